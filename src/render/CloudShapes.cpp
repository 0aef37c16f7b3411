#include "render/CloudShapes.h"

#include <cairo.h>
#include <gio/gio.h>

#include <charconv>
#include <cstddef>

namespace {

constexpr std::size_t kPointCount = CloudPointCount;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool ParseInteger(std::string_view field, int& value) {
    field = Trim(field);
    if (field.size() > 1 && field.front() == '+' && field[1] != '-')
        field.remove_prefix(1);
    if (field.empty())
        return false;
    const char* end = field.data() + field.size();
    const auto [ptr, ec] = std::from_chars(field.data(), end, value);
    return ec == std::errc() && ptr == end;
}

TFloatPoint Normalised(int x, int y) {
    return {(x - 222) / 366.0, (163 - y) / 208.0};
}

bool ParseLine(std::string_view line, TFloatPoint& point) {
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos || line.find(',', comma + 1) != std::string_view::npos)
        return false;
    int x = 0;
    int y = 0;
    if (!ParseInteger(line.substr(0, comma), x) || !ParseInteger(line.substr(comma + 1), y))
        return false;
    point = Normalised(x, y);
    return true;
}

} // namespace

std::string_view CloudShapeResource() {
    // The resource lives as long as the program; its bytes are static data.
    static const std::string_view text = [] {
        GBytes* bytes = g_resources_lookup_data("/org/orrinex/corvella/cloud_outline", G_RESOURCE_LOOKUP_FLAGS_NONE,
                                                nullptr);
        if (!bytes)
            return std::string_view();
        gsize size = 0;
        const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
        const std::string_view view(data, size);
        g_bytes_unref(bytes);
        return view;
    }();
    return text;
}

TFloatPoints ParseCloudPoints(std::string_view text) {
    TFloatPoints points;
    points.reserve(CloudPointCount);
    while (!text.empty() && points.size() < kPointCount) {
        const std::size_t eol = text.find('\n');
        const std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        TFloatPoint point;
        if (ParseLine(line, point))
            points.push_back(point);
    }
    points.resize(CloudPointCount, Normalised(79, 224));
    return points;
}

const TFloatPoints& CloudPoints() {
    static const TFloatPoints points = ParseCloudPoints(CloudShapeResource());
    return points;
}

void CloudPath(cairo_t* cr, const TFloatRect& r) {
    CloudPath(cr, r, CloudPoints());
}

void CloudPath(cairo_t* cr, const TFloatRect& r, const TFloatPoints& points) {
    if (points.empty())
        return;
    const double cx = r.Left + r.Width / 2;
    const double cy = r.Top + r.Height / 2;
    const auto at = [&](std::size_t i) { return TFloatPoint{cx + r.Width * points[i].X, cy + r.Height * points[i].Y}; };
    const TFloatPoint start = at(0);
    cairo_move_to(cr, start.X, start.Y);
    for (std::size_t i = 1; i + 2 < points.size() && i + 2 < kPointCount; i += 3) {
        const TFloatPoint c1 = at(i);
        const TFloatPoint c2 = at(i + 1);
        const TFloatPoint end = at(i + 2);
        cairo_curve_to(cr, c1.X, c1.Y, c2.X, c2.Y, end.X, end.Y);
    }
    cairo_close_path(cr);
}
