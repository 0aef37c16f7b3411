#include "render/TopicShapes.h"

#include "render/CloudShapes.h"
#include "render/OXCairoUtils.h"
#include "styling/ColorSchemes.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// tan 30 degrees: the slope of the diamond's edges.
constexpr double kDiamondSlope = 0.5773502691896258;
// Ratios of a cloud's box to the padded content box it must enclose.
constexpr double kCloudWidthRatio = 1.3357664233576642;
constexpr double kCloudHeightRatio = 1.4857142857142857;
// x of the cloud's highest bump, as a fraction of its box width from the left.
constexpr double kCloudNoteX = 0.5 + 0.36338797814207650;

constexpr TColor kSilver = 0x00C0C0C0;

// Lengths that come from outside: a negative or non-finite value counts as 0.
double Length(double value) {
    return std::isfinite(value) && value > 0 ? value : 0;
}

bool IsFinite(const TFloatRect& r) {
    return std::isfinite(r.Left) && std::isfinite(r.Top) && std::isfinite(r.Width) && std::isfinite(r.Height);
}

TColor Dimmed(TColor color, bool dimmed, bool darkBackground) {
    return dimmed ? DimColor(color, darkBackground) : color;
}

int RoundInt(double value) {
    return static_cast<int>(std::nearbyint(value));
}

// Even-odd crossing test of a closed polygon.
bool PolygonContains(const TFloatPoint* points, int count, const TFloatPoint& p) {
    bool inside = false;
    for (int i = 0, j = count - 1; i < count; j = i++) {
        const TFloatPoint& a = points[i];
        const TFloatPoint& b = points[j];
        if ((a.Y > p.Y) != (b.Y > p.Y) && p.X < (b.X - a.X) * (p.Y - a.Y) / (b.Y - a.Y) + a.X)
            inside = !inside;
    }
    return inside;
}

} // namespace

double HalfRoundRadius(double lineBoxHeight) {
    return (Length(lineBoxHeight) * 1.41 + 16) / 2;
}

double BorderInset(TNodeBorderStyle style, double borderWidth) {
    return style == sbsNone ? 0 : 5 - Length(borderWidth) / 2;
}

TTopicSize TopicSizeFromContent(const TTopicSizeInput& input) {
    const double w = Length(input.ContentSize.X);
    const double h = Length(input.ContentSize.Y);
    const double th = Length(input.LineBoxHeight);
    const double minWidth = Length(input.MinWidth);
    const double minHeight = Length(input.MinHeight);

    double width = w + 16 + std::max(0.6 * th, 5.0);
    double height = h + 16 + (input.ImageOnly ? 0 : 0.41 * th);
    double arrowDepth = 0;
    switch (input.BorderStyle) {
    case sbsRoundRect:
    case sbsDropRoundRect:
        width += 3;
        break;
    case sbsHalfRound:
        width += 2 * HalfRoundRadius(th) / 3;
        break;
    case sbsEllipse:
        width = width * 1.3 + 4;
        height = h * 1.41 + 16 + 0.4 * th;
        break;
    case sbsCircle:
        width = std::hypot(w, h) + 16;
        height = width + 0.4 * th;
        break;
    case sbsDiamond:
        width = (h + 4) / kDiamondSlope + w + 8;
        height = width * kDiamondSlope + 0.4 * th;
        break;
    case sbsCloud:
        width = (w + 16) * kCloudWidthRatio;
        height = (h + 16) * kCloudHeightRatio;
        break;
    case sbsRightArrow:
    case sbsLeftArrow:
    case sbsParallelogram:
        arrowDepth = std::max(height, minHeight > 1 ? minHeight : 0) / 4;
        width += 2 * arrowDepth;
        break;
    case sbsNone:
        width = w + 8;
        height = h + 5;
        break;
    default:
        break;
    }

    TTopicSize size;
    size.TextInset = (width - w) / 2;
    size.ArrowDepth = arrowDepth;
    if (minWidth > 1)
        width = std::max(width, minWidth);
    if (minHeight > 1)
        height = std::max(height, minHeight);
    if (input.BorderStyle == sbsCircle)
        width = height = std::max(width, height);
    size.Size = {width, height};
    return size;
}

TTopicStroke TopicStroke(const TTopicShape& shape, const TTopicPaintState& state) {
    TTopicStroke stroke;
    if (shape.BorderStyle == sbsNone) {
        if (!shape.Visible)
            stroke.Width = 2;
        else
            stroke.Width = state.Interactive && state.MultiSelection ? 0 : 1;
    } else {
        stroke.Width = Length(shape.BorderWidth);
    }
    if (state.Interactive && shape.Selected) {
        if (state.MultiSelection)
            stroke.Width += 3;
        stroke.Boxed = true;
    }
    // A borderless topic with nothing to show would vanish: it keeps a thin box. A thicker selection line stays.
    if (shape.BorderStyle == sbsNone && shape.BlankText && !shape.HasEmbeddedImage) {
        stroke.Width = std::max(stroke.Width, 1.0);
        stroke.Boxed = true;
    }
    return stroke;
}

TFloatRect TopicOutlineRect(const TTopicShape& shape, double strokeWidth, bool dropTargetPass) {
    const TFloatRect& b = shape.Bounds;
    const double c = Length(strokeWidth);
    const double d = dropTargetPass ? -5 : shape.BorderStyle == sbsNone ? c / 2 : 5 - c / 2;
    const double dx = std::min(b.Width / 2, d);
    const double dy = std::min(b.Height / 2, d);
    return FloatRectInflate(b, -dx, -dy);
}

void AppendTopicOutline(cairo_t* cr, const TTopicShape& shape, const TFloatRect& rect, bool boxed) {
    const double arrowDepth = Length(shape.ArrowDepth);
    switch (shape.BorderStyle) {
    case sbsHalfRound:
        RoundRectPath(cr, rect, std::min(Length(shape.HalfRoundRadius), rect.Height / 2));
        break;
    case sbsDropRoundRect:
        DropRoundRectPath(cr, rect, 7);
        break;
    case sbsEllipse:
    case sbsCircle:
        EllipsePath(cr, rect);
        break;
    case sbsRectangle:
        RoundRectPath(cr, rect, 1);
        break;
    case sbsDiamond:
        DiamondPath(cr, rect);
        break;
    case sbsCloud:
        CloudPath(cr, rect);
        break;
    case sbsRightArrow:
        RightArrowPath(cr, rect, arrowDepth);
        break;
    case sbsLeftArrow:
        LeftArrowPath(cr, rect, arrowDepth);
        break;
    case sbsParallelogram:
        ParallelogramPath(cr, rect, arrowDepth);
        break;
    case sbsNone:
        if (boxed) {
            RoundRectPath(cr, rect, 2);
        } else {
            const TFloatRect r =
                FloatRectInflate(rect, -std::min(rect.Width / 2, 0.5), -std::min(rect.Height / 2, 0.5));
            cairo_rectangle(cr, r.Left, r.Top, r.Width, r.Height);
        }
        break;
    case sbsRoundRect:
    default:
        RoundRectPath(cr, rect, 7);
        break;
    }
}

TTopicFill TopicFill(const TTopicShape& shape, const TTopicPaintState& state) {
    if (IsPaintable(shape.FillColor) &&
        (shape.BorderStyle != sbsNone || shape.FillOverridden || shape.FillColor != state.BackgroundColor))
        return {false, Dimmed(shape.FillColor, shape.Dimmed, state.DarkBackground)};
    if (!shape.ImageOnly || shape.HasDate) {
        const TColor color = IsPaintable(shape.HullFill) ? shape.HullFill : state.BackgroundColor;
        if (IsPaintable(color))
            return {false, color};
    }
    return {};
}

bool PaintTopicShape(cairo_t* cr, const TTopicShape& shape, const TTopicPaintState& state,
                     const TTopicShapeHooks& hooks) {
    if (shape.Dimmed && state.HideDimmed)
        return false;
    if (hooks.PaintMatrixFrame)
        hooks.PaintMatrixFrame();
    if (!IsFinite(shape.Bounds))
        return false;
    if (state.Culling && !FloatRectsOverlap(shape.Bounds, state.VisibleRect))
        return false;

    const TTopicStroke stroke = TopicStroke(shape, state);
    const TFloatRect rect = TopicOutlineRect(shape, stroke.Width, state.DropTargetPass);
    cairo_new_path(cr);
    if (shape.BorderStyle == sbsCloud) {
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    }
    AppendTopicOutline(cr, shape, rect, stroke.Boxed);
    cairo_set_line_width(cr, stroke.Width);

    if (!shape.Visible) {
        const double dash = 5;
        SetSourceColor(cr, kSilver);
        cairo_set_dash(cr, &dash, 1, 0);
        cairo_stroke(cr);
        ClearDash(cr);
    } else if (state.DropTargetPass) {
        if (state.DarkBackground)
            cairo_set_source_rgba(cr, 0.8, 0.8, 1.0, 0.5);
        else
            cairo_set_source_rgba(cr, 0, 0, 0.8, 0.3);
        cairo_fill(cr);
    } else {
        const TTopicFill fill = TopicFill(shape, state);
        const bool bordered = shape.BorderStyle != sbsNone;
        if ((stroke.Boxed || bordered) && stroke.Width > 0 && IsPaintable(shape.StrokeColor)) {
            if (!fill.Transparent) {
                SetSourceColor(cr, fill.Color);
                cairo_fill_preserve(cr);
            }
            SetSourceColor(cr, Dimmed(shape.StrokeColor, shape.Dimmed, state.DarkBackground));
            if (bordered)
                SetBorderDash(cr, shape.StrokeStyle, stroke.Width);
            cairo_stroke(cr);
            ClearDash(cr);
        } else if (!fill.Transparent) {
            SetSourceColor(cr, fill.Color);
            cairo_fill(cr);
        } else {
            cairo_new_path(cr);
        }
    }
    // The cloud's round caps must not leak into a filled-only outline either.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);

    if (!shape.Visible)
        return true;
    if (!state.DropTargetPass && shape.ShowsNote)
        PaintNoteIndicator(cr, shape, state);
    if (hooks.PaintNumberBelow)
        hooks.PaintNumberBelow(stroke.Width);
    return true;
}

bool NoteShowsIndicator(std::string_view note) {
    return std::any_of(note.begin(), note.end(), [](char c) { return static_cast<unsigned char>(c) > ' '; });
}

TFloatPoint NoteIndicatorCentre(const TTopicShape& shape) {
    const double inset = BorderInset(shape.BorderStyle, shape.BorderWidth);
    const TFloatRect r = FloatRectInflate(shape.Bounds, -inset, -inset);
    switch (shape.BorderStyle) {
    case sbsRoundRect:
    case sbsDropRoundRect:
        return {r.Right() - 11, r.Top};
    case sbsHalfRound:
        return {r.Right() - std::min(r.Width / 2, Length(shape.HalfRoundRadius)), r.Top};
    case sbsEllipse:
    case sbsCircle:
    case sbsDiamond:
        return {r.Left + r.Width / 2 + 8, r.Top};
    case sbsCloud:
        return {r.Left + r.Width * kCloudNoteX, r.Top};
    case sbsRightArrow:
        return {r.Right() - Length(shape.ArrowDepth) - 8, r.Top};
    case sbsNone:
        return {r.Right() - 8, r.Top - 2};
    default:
        return {r.Right() - 8, r.Top};
    }
}

void PaintNoteIndicator(cairo_t* cr, const TTopicShape& shape, const TTopicPaintState& state) {
    const TFloatPoint centre = NoteIndicatorCentre(shape);
    if (!std::isfinite(centre.X) || !std::isfinite(centre.Y))
        return;
    TColor fill = state.NoteIndicatorColor;
    TColor stroke = Darken(state.NoteIndicatorColor);
    if (state.NoteIndicatorAutomatic) {
        fill = shape.FillColor != 0 ? Dimmed(shape.FillColor, shape.Dimmed, state.DarkBackground) : clNone;
        stroke = Dimmed(shape.StrokeColor, shape.Dimmed, state.DarkBackground);
    }
    cairo_new_path(cr);
    cairo_arc(cr, centre.X, centre.Y, shape.NoteMatchesSearch ? 7 : 4, 0, 2 * std::numbers::pi);
    cairo_close_path(cr);
    cairo_set_line_width(cr, 1);
    if (IsPaintable(fill)) {
        SetSourceColor(cr, fill);
        cairo_fill_preserve(cr);
    }
    if (IsPaintable(stroke)) {
        SetSourceColor(cr, stroke);
        cairo_stroke(cr);
    }
    cairo_new_path(cr);
}

bool TopicHitTest(const TFloatRect& bounds, TNodeBorderStyle style, const TFloatPoint& p, const TFloatRect* numberBox) {
    if (numberBox && FloatRectContains(*numberBox, p))
        return true;
    if (!FloatRectContains(bounds, p))
        return false;
    const TFloatPoint c = bounds.Center();
    switch (style) {
    case sbsEllipse:
    case sbsCircle: {
        const double a = bounds.Width / 2;
        const double b = bounds.Height / 2;
        if (!(a > 0) || !(b > 0))
            return false;
        const double dx = (p.X - c.X) / a;
        const double dy = (p.Y - c.Y) / b;
        return dx * dx + dy * dy <= 1;
    }
    case sbsDiamond: {
        const TFloatPoint corners[4] = {
            {bounds.Left, c.Y}, {c.X, bounds.Top}, {bounds.Right(), c.Y}, {c.X, bounds.Bottom()}};
        return PolygonContains(corners, 4, p);
    }
    default:
        return true;
    }
}

bool IsDarkBackground(TColor background) {
    return ColorRGBToHLS(background).Luminance / static_cast<double>(HLSMax) < 0.35;
}

TColor DimColor(TColor color, bool darkBackground) {
    if (!IsPaintable(color))
        return color;
    THLSColor hls = ColorRGBToHLS(color);
    hls.Saturation = RoundInt(hls.Saturation * 0.2);
    if (darkBackground) {
        hls.Saturation = RoundInt(hls.Saturation * 0.4);
        hls.Luminance = RoundInt(hls.Luminance * 0.3);
    } else {
        hls.Saturation = RoundInt(hls.Saturation * 0.7);
        hls.Luminance += RoundInt((HLSMax - hls.Luminance) * 0.85);
    }
    return ColorHLSToRGB(hls.Hue, hls.Luminance, hls.Saturation);
}
