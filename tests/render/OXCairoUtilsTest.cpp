#include "render/OXCairoUtils.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace {

// cairo keeps path coordinates in 24.8 fixed point.
constexpr double kCairoEps = 1.0 / 256 + 1e-9;

struct TElement {
    cairo_path_data_type_t Type;
    TFloatPoint End; // the last point of the element; none for close
};

// The path's elements, without the move that cairo appends after each close.
std::vector<TElement> Elements(cairo_t* cr) {
    std::vector<TElement> elements;
    cairo_path_t* path = cairo_copy_path(cr);
    for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
        const cairo_path_data_t* d = &path->data[i];
        const cairo_path_data_type_t type = d->header.type;
        if (type == CAIRO_PATH_MOVE_TO && !elements.empty() && elements.back().Type == CAIRO_PATH_CLOSE_PATH &&
            i + d->header.length >= path->num_data)
            continue;
        TElement e{type, {}};
        if (type != CAIRO_PATH_CLOSE_PATH) {
            const cairo_path_data_t& p = d[d->header.length - 1];
            e.End = {p.point.x, p.point.y};
        }
        elements.push_back(e);
    }
    cairo_path_destroy(path);
    return elements;
}

std::vector<TFloatPoint> EndsOf(const std::vector<TElement>& elements, cairo_path_data_type_t type) {
    std::vector<TFloatPoint> points;
    for (const TElement& e : elements)
        if (e.Type == type)
            points.push_back(e.End);
    return points;
}

void ExpectPoints(const std::vector<TFloatPoint>& expected, const std::vector<TFloatPoint>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(expected[i].X, actual[i].X, kCairoEps);
        EXPECT_NEAR(expected[i].Y, actual[i].Y, kCairoEps);
    }
}

const TFloatRect kRect{10, 20, 100, 40};

} // namespace

TEST(OXCairoUtils, PolygonsRunThroughTheirCornersAndClose) {
    struct TCase {
        const char* Name;
        std::function<void(cairo_t*)> Append;
        std::vector<TFloatPoint> Corners; // move, then lines
    };
    const TCase cases[] = {
        {"diamond", [](cairo_t* cr) { DiamondPath(cr, kRect); }, {{10, 40}, {60, 20}, {110, 40}, {60, 60}}},
        {"right arrow",
         [](cairo_t* cr) { RightArrowPath(cr, kRect, 12); },
         {{10, 20}, {98, 20}, {110, 40}, {98, 60}, {10, 60}, {22, 40}}},
        {"left arrow",
         [](cairo_t* cr) { LeftArrowPath(cr, kRect, 12); },
         {{22, 20}, {110, 20}, {98, 40}, {110, 60}, {22, 60}, {10, 40}}},
        {"parallelogram",
         [](cairo_t* cr) { ParallelogramPath(cr, kRect, 12); },
         {{22, 20}, {110, 20}, {98, 60}, {10, 60}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestCanvas canvas;
        c.Append(canvas.Context());
        const std::vector<TElement> elements = Elements(canvas.Context());
        ASSERT_EQ(c.Corners.size() + 1, elements.size());
        EXPECT_EQ(CAIRO_PATH_MOVE_TO, elements.front().Type);
        EXPECT_EQ(CAIRO_PATH_CLOSE_PATH, elements.back().Type);
        std::vector<TFloatPoint> corners = EndsOf(elements, CAIRO_PATH_MOVE_TO);
        const std::vector<TFloatPoint> lines = EndsOf(elements, CAIRO_PATH_LINE_TO);
        corners.insert(corners.end(), lines.begin(), lines.end());
        ExpectPoints(c.Corners, corners);
    }
}

TEST(OXCairoUtils, RoundedRectanglesPutTheirCornersAtTheRadius) {
    struct TCase {
        const char* Name;
        std::function<void(cairo_t*)> Append;
        TFloatPoint Start;
        std::vector<TFloatPoint> LineEnds;
        std::vector<TFloatPoint> ArcEnds;
    };
    const TCase cases[] = {
        {"round rect",
         [](cairo_t* cr) { RoundRectPath(cr, kRect, 7); },
         {10, 27},
         {{103, 20}, {110, 53}, {17, 60}},
         {{17, 20}, {110, 27}, {103, 60}, {10, 53}}},
        {"drop round rect",
         [](cairo_t* cr) { DropRoundRectPath(cr, kRect, 7); },
         {10, 20},
         {{103, 20}, {110, 53}, {17, 60}},
         {{110, 27}, {103, 60}, {10, 53}}},
        // The radius is the caller's business: a radius above half the height is drawn as given.
        {"round rect, radius above half the height",
         [](cairo_t* cr) { RoundRectPath(cr, kRect, 30); },
         {10, 50},
         {{80, 20}, {110, 30}, {40, 60}},
         {{40, 20}, {110, 50}, {80, 60}, {10, 30}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestCanvas canvas;
        c.Append(canvas.Context());
        const std::vector<TElement> elements = Elements(canvas.Context());
        ASSERT_FALSE(elements.empty());
        EXPECT_EQ(CAIRO_PATH_CLOSE_PATH, elements.back().Type);
        ExpectPoints({c.Start}, EndsOf(elements, CAIRO_PATH_MOVE_TO));
        ExpectPoints(c.LineEnds, EndsOf(elements, CAIRO_PATH_LINE_TO));
        // cairo splits no quarter circle of these sizes: one curve per corner.
        ExpectPoints(c.ArcEnds, EndsOf(elements, CAIRO_PATH_CURVE_TO));
    }
}

TEST(OXCairoUtils, EllipseFillsItsInscribedEllipse) {
    TTestCanvas canvas;
    cairo_t* cr = canvas.Context();
    EllipsePath(cr, kRect);
    double x1, y1, x2, y2;
    cairo_fill_extents(cr, &x1, &y1, &x2, &y2);
    EXPECT_NEAR(10, x1, 0.02);
    EXPECT_NEAR(20, y1, 0.02);
    EXPECT_NEAR(110, x2, 0.02);
    EXPECT_NEAR(60, y2, 0.02);
    EXPECT_TRUE(cairo_in_fill(cr, 60, 40));
    EXPECT_TRUE(cairo_in_fill(cr, 10.5, 40));
    EXPECT_TRUE(cairo_in_fill(cr, 60, 20.5));
    EXPECT_FALSE(cairo_in_fill(cr, 14, 24)); // the rectangle's corner
    // The context's matrix is back to what it was.
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    EXPECT_EQ(1, m.xx);
    EXPECT_EQ(0, m.x0);
}

TEST(OXCairoUtils, EllipseAfterAnotherOutlineIsASubPathOfItsOwn) {
    TTestCanvas canvas;
    cairo_t* cr = canvas.Context();
    DiamondPath(cr, {0, 0, 20, 20});
    EllipsePath(cr, kRect);
    const std::vector<TElement> elements = Elements(cr);
    std::size_t second = 0;
    for (std::size_t i = 1; i < elements.size(); ++i)
        if (elements[i].Type == CAIRO_PATH_MOVE_TO && elements[i - 1].Type == CAIRO_PATH_CLOSE_PATH)
            second = i;
    ASSERT_GT(second, 0u) << "the ellipse does not start a sub-path";
    ExpectPoints({{110, 40}}, {elements[second].End});
    for (std::size_t i = second + 1; i < elements.size(); ++i)
        EXPECT_NE(CAIRO_PATH_LINE_TO, elements[i].Type) << "element " << i;
    EXPECT_EQ(CAIRO_PATH_CLOSE_PATH, elements.back().Type);
}

TEST(OXCairoUtils, FlatEllipsesLeaveTheContextUsable) {
    const TFloatRect rects[] = {
        {10, 20, 0, 40}, {10, 20, 100, 0}, {10, 20, 0, 0}, {10, 20, std::numeric_limits<double>::infinity(), 5}};
    for (const TFloatRect& r : rects) {
        SCOPED_TRACE(testing::Message() << r.Width << " x " << r.Height);
        TTestCanvas canvas;
        cairo_t* cr = canvas.Context();
        EllipsePath(cr, r);
        cairo_fill(cr);
        EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(cr));
    }
}

TEST(OXCairoUtils, SourceColorTakesRedFromTheLowByte) {
    TTestCanvas canvas;
    cairo_t* cr = canvas.Context();
    SetSourceColor(cr, RGBColor(0x33, 0x66, 0x99));
    double r, g, b, a;
    ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_pattern_get_rgba(cairo_get_source(cr), &r, &g, &b, &a));
    EXPECT_DOUBLE_EQ(0x33 / 255.0, r);
    EXPECT_DOUBLE_EQ(0x66 / 255.0, g);
    EXPECT_DOUBLE_EQ(0x99 / 255.0, b);
    EXPECT_DOUBLE_EQ(1, a);
    SetSourceColor(cr, clWhite, 0.25);
    ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_pattern_get_rgba(cairo_get_source(cr), &r, &g, &b, &a));
    EXPECT_DOUBLE_EQ(0.25, a);
}

TEST(OXCairoUtils, BorderDashFollowsStrokeStyleAndWidth) {
    struct TCase {
        TStrokeStyle Style;
        double Width;
        std::vector<double> Dashes;
        cairo_line_cap_t Cap;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const TCase cases[] = {
        {stsSolid, 2, {}, CAIRO_LINE_CAP_BUTT},
        {stsDashS, 2, {2, 3}, CAIRO_LINE_CAP_ROUND},
        {stsDashM, 2, {4, 4}, CAIRO_LINE_CAP_ROUND},
        {stsDashL, 1.5, {6, 4.5}, CAIRO_LINE_CAP_ROUND},
        // A zero width would make an all-zero pattern, which cairo refuses for good.
        {stsDashM, 0, {}, CAIRO_LINE_CAP_BUTT},
        {stsDashS, nan, {}, CAIRO_LINE_CAP_BUTT},
        {static_cast<TStrokeStyle>(9), 2, {}, CAIRO_LINE_CAP_BUTT},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << StrokeStyleName(c.Style) << " width " << c.Width);
        TTestCanvas canvas;
        cairo_t* cr = canvas.Context();
        const double previous[] = {1, 1};
        cairo_set_dash(cr, previous, 2, 0);
        SetBorderDash(cr, c.Style, c.Width);
        EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(cr));
        std::vector<double> dashes(static_cast<std::size_t>(cairo_get_dash_count(cr)));
        cairo_get_dash(cr, dashes.data(), nullptr);
        EXPECT_EQ(c.Dashes, dashes);
        EXPECT_EQ(c.Cap, cairo_get_line_cap(cr));
    }
}
