#include "render/OXCairoUtils.h"

#include <cairo.h>

#include <cmath>
#include <numbers>

void RoundRectPath(cairo_t* cr, const TFloatRect& r, double radius) {
    const double pi = std::numbers::pi;
    const double right = r.Right();
    const double bottom = r.Bottom();
    cairo_move_to(cr, r.Left, r.Top + radius);
    cairo_arc(cr, r.Left + radius, r.Top + radius, radius, -pi, -pi / 2);
    cairo_line_to(cr, right - radius, r.Top);
    cairo_arc(cr, right - radius, r.Top + radius, radius, -pi / 2, 0);
    cairo_line_to(cr, right, bottom - radius);
    cairo_arc(cr, right - radius, bottom - radius, radius, 0, pi / 2);
    cairo_line_to(cr, r.Left + radius, bottom);
    cairo_arc(cr, r.Left + radius, bottom - radius, radius, pi / 2, pi);
    cairo_close_path(cr);
}

void DropRoundRectPath(cairo_t* cr, const TFloatRect& r, double radius) {
    const double pi = std::numbers::pi;
    const double right = r.Right();
    const double bottom = r.Bottom();
    cairo_move_to(cr, r.Left, r.Top);
    cairo_line_to(cr, right - radius, r.Top);
    cairo_arc(cr, right - radius, r.Top + radius, radius, -pi / 2, 0);
    cairo_line_to(cr, right, bottom - radius);
    cairo_arc(cr, right - radius, bottom - radius, radius, 0, pi / 2);
    cairo_line_to(cr, r.Left + radius, bottom);
    cairo_arc(cr, r.Left + radius, bottom - radius, radius, pi / 2, pi);
    cairo_close_path(cr);
}

void EllipsePath(cairo_t* cr, const TFloatRect& r) {
    const TFloatPoint c = r.Center();
    if (r.Width == 0 || r.Height == 0 || !std::isfinite(r.Width) || !std::isfinite(r.Height)) {
        cairo_move_to(cr, r.Left, c.Y);
        cairo_line_to(cr, c.X, r.Top);
        cairo_line_to(cr, r.Right(), c.Y);
        cairo_line_to(cr, c.X, r.Bottom());
        cairo_close_path(cr);
        return;
    }
    // A new sub-path keeps cairo_arc from joining the ellipse to the current point of an earlier sub-path.
    cairo_new_sub_path(cr);
    cairo_save(cr);
    cairo_translate(cr, c.X, c.Y);
    cairo_scale(cr, r.Width / 2, r.Height / 2);
    cairo_arc(cr, 0, 0, 1, 0, 2 * std::numbers::pi);
    cairo_close_path(cr);
    cairo_restore(cr);
}

void DiamondPath(cairo_t* cr, const TFloatRect& r) {
    const TFloatPoint c = r.Center();
    cairo_move_to(cr, r.Left, c.Y);
    cairo_line_to(cr, c.X, r.Top);
    cairo_line_to(cr, r.Right(), c.Y);
    cairo_line_to(cr, c.X, r.Bottom());
    cairo_close_path(cr);
}

void RightArrowPath(cairo_t* cr, const TFloatRect& r, double depth) {
    const double midY = r.Top + r.Height / 2;
    cairo_move_to(cr, r.Left, r.Top);
    cairo_line_to(cr, r.Right() - depth, r.Top);
    cairo_line_to(cr, r.Right(), midY);
    cairo_line_to(cr, r.Right() - depth, r.Bottom());
    cairo_line_to(cr, r.Left, r.Bottom());
    cairo_line_to(cr, r.Left + depth, midY);
    cairo_close_path(cr);
}

void LeftArrowPath(cairo_t* cr, const TFloatRect& r, double depth) {
    const double midY = r.Top + r.Height / 2;
    cairo_move_to(cr, r.Left + depth, r.Top);
    cairo_line_to(cr, r.Right(), r.Top);
    cairo_line_to(cr, r.Right() - depth, midY);
    cairo_line_to(cr, r.Right(), r.Bottom());
    cairo_line_to(cr, r.Left + depth, r.Bottom());
    cairo_line_to(cr, r.Left, midY);
    cairo_close_path(cr);
}

void ParallelogramPath(cairo_t* cr, const TFloatRect& r, double depth) {
    cairo_move_to(cr, r.Left + depth, r.Top);
    cairo_line_to(cr, r.Right(), r.Top);
    cairo_line_to(cr, r.Right() - depth, r.Bottom());
    cairo_line_to(cr, r.Left, r.Bottom());
    cairo_close_path(cr);
}

void SetSourceColor(cairo_t* cr, TColor color) {
    cairo_set_source_rgb(cr, RedOf(color) / 255.0, GreenOf(color) / 255.0, BlueOf(color) / 255.0);
}

void SetSourceColor(cairo_t* cr, TColor color, double alpha) {
    cairo_set_source_rgba(cr, RedOf(color) / 255.0, GreenOf(color) / 255.0, BlueOf(color) / 255.0, alpha);
}

void SetBorderDash(cairo_t* cr, TStrokeStyle style, double lineWidth) {
    double factor = 0;
    switch (style) {
    case stsDashS:
        factor = 1;
        break;
    case stsDashM:
        factor = 2;
        break;
    case stsDashL:
        factor = 4;
        break;
    default:
        break;
    }
    if (factor == 0 || !(lineWidth > 0) || !std::isfinite(lineWidth)) {
        ClearDash(cr);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        return;
    }
    const double z = factor * lineWidth;
    const double dashes[2] = {z, lineWidth + z / 2};
    cairo_set_dash(cr, dashes, 2, 0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
}

void ClearDash(cairo_t* cr) {
    cairo_set_dash(cr, nullptr, 0, 0);
}
