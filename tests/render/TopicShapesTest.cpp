#include "render/TopicShapes.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kEps = 1e-9;
constexpr double kCairoEps = 1.0 / 256 + 1e-9;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

constexpr TNodeBorderStyle kAllStyles[] = {sbsRoundRect,  sbsHalfRound, sbsDropRoundRect, sbsEllipse,
                                           sbsCircle,     sbsRectangle, sbsDiamond,       sbsCloud,
                                           sbsRightArrow, sbsLeftArrow, sbsParallelogram, sbsNone};

constexpr TColor kRed = RGBColor(255, 0, 0);
constexpr TColor kBlue = RGBColor(0, 0, 255);
constexpr TColor kGreen = RGBColor(0, 128, 0);
constexpr TColor kYellow = RGBColor(255, 255, 0);
constexpr TColor kSilver = RGBColor(192, 192, 192);

std::uint32_t Opaque(TColor c) {
    return 0xFF000000u | RedOf(c) << 16 | GreenOf(c) << 8 | BlueOf(c);
}

std::string Hex(std::uint32_t v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08X", v);
    return buffer;
}

// Channels may differ by one where cairo rounds translucent colours.
void ExpectPixelNear(std::uint32_t expected, std::uint32_t actual) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        EXPECT_LE(std::abs(e - a), 1) << "expected " << Hex(expected) << ", got " << Hex(actual);
    }
}

void ExpectRect(const TFloatRect& expected, const TFloatRect& actual) {
    EXPECT_NEAR(expected.Left, actual.Left, kEps);
    EXPECT_NEAR(expected.Top, actual.Top, kEps);
    EXPECT_NEAR(expected.Width, actual.Width, kEps);
    EXPECT_NEAR(expected.Height, actual.Height, kEps);
}

// A bordered topic at (20, 20), 160 x 80: with border width 2 its outline runs 4 inside the bounds, so the line
// covers y = 23 .. 25 at the top and the fill starts at y = 24.
TTopicShape BoxTopic(TNodeBorderStyle style = sbsRoundRect) {
    TTopicShape shape;
    shape.Bounds = {20, 20, 160, 80};
    shape.BorderStyle = style;
    shape.BorderWidth = 2;
    shape.FillColor = kRed;
    shape.StrokeColor = kBlue;
    shape.HalfRoundRadius = 22.1;
    shape.ArrowDepth = 20;
    return shape;
}

} // namespace

// --- sizes ------------------------------------------------------------------------------------------------------

TEST(TopicShapes, HalfRoundRadiusAndBorderInset) {
    EXPECT_NEAR(22.1, HalfRoundRadius(20), kEps);
    EXPECT_NEAR(8, HalfRoundRadius(0), kEps);
    EXPECT_NEAR(8, HalfRoundRadius(kNaN), kEps);
    EXPECT_NEAR(0, BorderInset(sbsNone, 3), kEps);
    EXPECT_NEAR(4.5, BorderInset(sbsRectangle, 1), kEps);
    EXPECT_NEAR(3.75, BorderInset(sbsRoundRect, 2.5), kEps);
    EXPECT_NEAR(-10, BorderInset(sbsCloud, 30), kEps);
}

TEST(TopicShapes, SizeFollowsContentByBorderStyle) {
    // Content 100 x 20 with a 20 high line: before the style, W = 100 + 16 + 12 = 128 and H = 20 + 16 + 8.2.
    struct TCase {
        TNodeBorderStyle Style;
        double Width;
        double Height;
        double TextInset;
        double ArrowDepth;
    };
    const TCase cases[] = {
        {sbsRoundRect, 131, 44.2, 15.5, 0},
        {sbsHalfRound, 142.73333333333335, 44.2, 21.366666666666674, 0}, // + 2/3 of 22.1
        {sbsDropRoundRect, 131, 44.2, 15.5, 0},
        {sbsEllipse, 170.4, 52.2, 35.2, 0},
        // sqrt(100^2 + 20^2) + 16 wide, 8 higher, then made square; the inset is taken before.
        {sbsCircle, 125.9803902718557, 125.9803902718557, 8.990195135927848, 0},
        {sbsRectangle, 128, 44.2, 14, 0},
        {sbsDiamond, 149.56921938165306, 94.3538290724796, 24.784609690826528, 0},
        {sbsCloud, 154.94890510948906, 53.48571428571429, 27.47445255474453, 0},
        {sbsRightArrow, 150.1, 44.2, 25.05, 11.05},
        {sbsLeftArrow, 150.1, 44.2, 25.05, 11.05},
        {sbsParallelogram, 150.1, 44.2, 25.05, 11.05},
        {sbsNone, 108, 25, 4, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(NodeBorderStyleName(c.Style));
        const TTopicSize size = TopicSizeFromContent({{100, 20}, 20, c.Style});
        EXPECT_NEAR(c.Width, size.Size.X, kEps);
        EXPECT_NEAR(c.Height, size.Size.Y, kEps);
        EXPECT_NEAR(c.TextInset, size.TextInset, kEps);
        EXPECT_NEAR(c.ArrowDepth, size.ArrowDepth, kEps);
    }
}

TEST(TopicShapes, SizeOfSmallTextUsesTheMinimumSidePadding) {
    // 0.6 th is below 5 for a 5 high line: the padding is 5.
    const TTopicSize size = TopicSizeFromContent({{40, 5}, 5, sbsRectangle});
    EXPECT_NEAR(40 + 16 + 5, size.Size.X, kEps);
    EXPECT_NEAR(5 + 16 + 2.05, size.Size.Y, kEps);
}

TEST(TopicShapes, ImageOnlyTopicGetsNoLineAllowance) {
    const TTopicSize size = TopicSizeFromContent({{100, 20}, 20, sbsRoundRect, true});
    EXPECT_NEAR(36, size.Size.Y, kEps);
    EXPECT_NEAR(131, size.Size.X, kEps);
}

TEST(TopicShapes, MinimumSizesApplyAfterTheInset) {
    struct TCase {
        const char* Name;
        TTopicSizeInput Input;
        double Width;
        double Height;
        double TextInset;
        double ArrowDepth;
    };
    const TCase cases[] = {
        {"larger minimums", {{100, 20}, 20, sbsRoundRect, false, 200, 60}, 200, 60, 15.5, 0},
        {"smaller minimums", {{100, 20}, 20, sbsRoundRect, false, 50, 30}, 131, 44.2, 15.5, 0},
        // The arrow depth is a quarter of the minimum height, and widens the topic by twice that.
        {"arrow with minimum height", {{100, 20}, 20, sbsRightArrow, false, 0, 80}, 168, 80, 34, 20},
        {"circle with minimum width", {{100, 20}, 20, sbsCircle, false, 200, 0}, 200, 200, 8.990195135927848, 0},
        {"circle with minimum height", {{100, 20}, 20, sbsCircle, false, 0, 300}, 300, 300, 8.990195135927848, 0},
        {"minimum of one does not apply", {{0, 0}, 0, sbsNone, false, 1, 1}, 8, 5, 4, 0},
        {"minimum of 1.5 applies", {{0, 0}, 0, sbsNone, false, 1.5, 10}, 8, 10, 4, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TTopicSize size = TopicSizeFromContent(c.Input);
        EXPECT_NEAR(c.Width, size.Size.X, kEps);
        EXPECT_NEAR(c.Height, size.Size.Y, kEps);
        EXPECT_NEAR(c.TextInset, size.TextInset, kEps);
        EXPECT_NEAR(c.ArrowDepth, size.ArrowDepth, kEps);
    }
}

TEST(TopicShapes, EmptyAndBrokenContentGivesFinitePositiveSizes) {
    const TTopicSizeInput broken[] = {
        {{kNaN, kNaN}, kNaN, sbsRoundRect, false, kNaN, kNaN},
        {{-50, -10}, -20, sbsRoundRect, false, -5, -5},
        {{kInf, -kInf}, kInf, sbsRoundRect, false, kInf, kInf},
    };
    for (TNodeBorderStyle style : kAllStyles) {
        SCOPED_TRACE(NodeBorderStyleName(style));
        const TTopicSize empty = TopicSizeFromContent({{0, 0}, 0, style});
        EXPECT_GT(empty.Size.X, 0);
        EXPECT_GT(empty.Size.Y, 0);
        EXPECT_TRUE(std::isfinite(empty.Size.X) && std::isfinite(empty.Size.Y) && std::isfinite(empty.TextInset));
        for (TTopicSizeInput input : broken) {
            input.BorderStyle = style;
            const TTopicSize size = TopicSizeFromContent(input);
            EXPECT_EQ(empty.Size, size.Size);
            EXPECT_EQ(empty.TextInset, size.TextInset);
            EXPECT_EQ(empty.ArrowDepth, size.ArrowDepth);
        }
    }
}

// --- stroke and outline -----------------------------------------------------------------------------------------

TEST(TopicShapes, StrokeWidthAndBoxByStyleAndSelection) {
    struct TCase {
        const char* Name;
        TNodeBorderStyle Style;
        bool Visible;
        bool Selected;
        bool Blank;
        bool Image;
        bool Interactive;
        bool Multi;
        double Width;
        bool Boxed;
    };
    const TCase cases[] = {
        {"borderless", sbsNone, true, false, false, false, true, false, 1, false},
        {"borderless in an export", sbsNone, true, false, false, false, false, true, 1, false},
        {"borderless beside a multi-selection", sbsNone, true, false, false, false, true, true, 0, false},
        {"borderless selected alone", sbsNone, true, true, false, false, true, false, 1, true},
        {"borderless selected with others", sbsNone, true, true, false, false, true, true, 3, true},
        {"borderless selected in an export", sbsNone, true, true, false, false, false, false, 1, false},
        {"hidden borderless drawn for its selection", sbsNone, false, true, false, false, true, false, 2, true},
        {"borderless with blank text", sbsNone, true, false, true, false, false, false, 1, true},
        {"borderless with blank text beside a multi-selection", sbsNone, true, false, true, false, true, true, 1, true},
        {"borderless with blank text, selected with others", sbsNone, true, true, true, false, true, true, 3, true},
        {"borderless image without text", sbsNone, true, false, true, true, false, false, 1, false},
        {"bordered", sbsRoundRect, true, false, false, false, true, true, 1.5, false},
        {"bordered selected alone", sbsRoundRect, true, true, false, false, true, false, 1.5, true},
        {"bordered selected with others", sbsRoundRect, true, true, false, false, true, true, 4.5, true},
        {"bordered with blank text", sbsEllipse, true, false, true, false, false, false, 1.5, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTopicShape shape;
        shape.BorderStyle = c.Style;
        shape.BorderWidth = 1.5;
        shape.Visible = c.Visible;
        shape.Selected = c.Selected;
        shape.BlankText = c.Blank;
        shape.HasEmbeddedImage = c.Image;
        TTopicPaintState state;
        state.Interactive = c.Interactive;
        state.MultiSelection = c.Multi;
        const TTopicStroke stroke = TopicStroke(shape, state);
        EXPECT_EQ(c.Width, stroke.Width);
        EXPECT_EQ(c.Boxed, stroke.Boxed);
    }
}

TEST(TopicShapes, BrokenBorderWidthDrawsNoLine) {
    for (double width : {kNaN, -3.0, kInf}) {
        SCOPED_TRACE(width);
        TTopicShape shape;
        shape.BorderWidth = width;
        EXPECT_EQ(0, TopicStroke(shape, {}).Width);
    }
}

TEST(TopicShapes, OutlineRectKeepsTheLineInsideTheBounds) {
    struct TCase {
        const char* Name;
        TNodeBorderStyle Style;
        TFloatRect Bounds;
        double Stroke;
        bool DropTarget;
        TFloatRect Expected;
    };
    const TCase cases[] = {
        {"rectangle, width 1", sbsRectangle, {0, 0, 100, 40}, 1, false, {4.5, 4.5, 91, 31}},
        {"round rect, width 2.5", sbsRoundRect, {0, 0, 100, 40}, 2.5, false, {3.75, 3.75, 92.5, 32.5}},
        {"borderless, width 3", sbsNone, {0, 0, 100, 40}, 3, false, {1.5, 1.5, 97, 37}},
        {"borderless, width 0", sbsNone, {0, 0, 100, 40}, 0, false, {0, 0, 100, 40}},
        {"drop target", sbsRoundRect, {0, 0, 100, 40}, 1, true, {-5, -5, 110, 50}},
        {"drop target, borderless", sbsNone, {0, 0, 100, 40}, 1, true, {-5, -5, 110, 50}},
        {"smaller than the inset", sbsRoundRect, {0, 0, 4, 2}, 1, false, {2, 1, 0, 0}},
        {"zero size", sbsEllipse, {10, 10, 0, 0}, 1, false, {10, 10, 0, 0}},
        {"line wider than the inset", sbsRoundRect, {0, 0, 100, 40}, 30, false, {-10, -10, 120, 60}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTopicShape shape;
        shape.BorderStyle = c.Style;
        shape.Bounds = c.Bounds;
        ExpectRect(c.Expected, TopicOutlineRect(shape, c.Stroke, c.DropTarget));
    }
}

TEST(TopicShapes, OutlineOfEachStyleStartsWhereItsShapeBegins) {
    // Rectangle (10, 20) 100 x 40; half round radius 22.1 (clamped to 20 by the height), arrow depth 11.
    struct TCase {
        TNodeBorderStyle Style;
        bool Boxed;
        TFloatPoint Start;
        TFloatRect Extents;
    };
    const TFloatRect r{10, 20, 100, 40};
    const TCase cases[] = {
        {sbsRoundRect, false, {10, 27}, r},
        {sbsHalfRound, false, {10, 40}, r},
        {sbsDropRoundRect, false, {10, 20}, r},
        {sbsEllipse, false, {110, 40}, r},
        {sbsCircle, false, {110, 40}, r},
        {sbsRectangle, false, {10, 21}, r},
        {sbsDiamond, false, {10, 40}, r},
        {sbsCloud, false, {20.92896174863388, 28.26923076923077}, {}},
        {sbsRightArrow, false, {10, 20}, r},
        {sbsLeftArrow, false, {21, 20}, r},
        {sbsParallelogram, false, {21, 20}, r},
        {sbsNone, true, {10, 22}, r},
        {sbsNone, false, {10.5, 20.5}, {10.5, 20.5, 99, 39}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << NodeBorderStyleName(c.Style) << (c.Boxed ? " boxed" : ""));
        TTestCanvas canvas;
        cairo_t* cr = canvas.Context();
        TTopicShape shape;
        shape.BorderStyle = c.Style;
        shape.HalfRoundRadius = 22.1;
        shape.ArrowDepth = 11;
        AppendTopicOutline(cr, shape, r, c.Boxed);
        cairo_path_t* path = cairo_copy_path(cr);
        ASSERT_GE(path->num_data, 2);
        ASSERT_EQ(CAIRO_PATH_MOVE_TO, path->data[0].header.type);
        EXPECT_NEAR(c.Start.X, path->data[1].point.x, kCairoEps);
        EXPECT_NEAR(c.Start.Y, path->data[1].point.y, kCairoEps);
        cairo_path_destroy(path);
        if (c.Extents.Width > 0) {
            double x1, y1, x2, y2;
            cairo_fill_extents(cr, &x1, &y1, &x2, &y2);
            EXPECT_NEAR(c.Extents.Left, x1, 0.02);
            EXPECT_NEAR(c.Extents.Top, y1, 0.02);
            EXPECT_NEAR(c.Extents.Right(), x2, 0.02);
            EXPECT_NEAR(c.Extents.Bottom(), y2, 0.02);
        }
    }
}

TEST(TopicShapes, HalfRoundEndsAreTheRadiusWhenItFits) {
    TTestCanvas canvas;
    TTopicShape shape;
    shape.BorderStyle = sbsHalfRound;
    shape.HalfRoundRadius = 8;
    AppendTopicOutline(canvas.Context(), shape, {10, 20, 100, 40}, false);
    double x, y;
    cairo_path_t* path = cairo_copy_path(canvas.Context());
    x = path->data[1].point.x;
    y = path->data[1].point.y;
    cairo_path_destroy(path);
    EXPECT_NEAR(10, x, kCairoEps);
    EXPECT_NEAR(28, y, kCairoEps);
}

// --- fill -------------------------------------------------------------------------------------------------------

TEST(TopicShapes, FillChoice) {
    struct TCase {
        const char* Name;
        TNodeBorderStyle Style;
        TColor Fill;
        bool Overridden;
        TColor HullFill;
        bool ImageOnly;
        bool HasDate;
        bool Dimmed;
        bool Transparent;
        TColor Expected;
    };
    const TColor white = clWhite;
    const TCase cases[] = {
        {"own fill", sbsRoundRect, kRed, false, kGreen, false, false, false, false, kRed},
        {"own fill, dimmed", sbsRoundRect, kRed, false, clNone, false, false, true, false, RGBColor(239, 233, 233)},
        {"no fill: background", sbsRoundRect, clNone, false, clNone, false, false, false, false, white},
        {"no fill: the group's fill, never dimmed", sbsRoundRect, clNone, false, kGreen, false, false, true, false,
         kGreen},
        {"borderless with the background's colour: the group's fill", sbsNone, white, false, kGreen, false, false,
         false, false, kGreen},
        {"borderless with the background's colour set on its style", sbsNone, white, true, kGreen, false, false, false,
         false, white},
        {"borderless with another colour", sbsNone, kRed, false, kGreen, false, false, false, false, kRed},
        {"borderless image without fill", sbsNone, clNone, false, kGreen, true, false, false, true, clNone},
        {"borderless image with a date", sbsNone, clNone, false, clNone, true, true, false, false, white},
        {"bordered image without fill", sbsRoundRect, clNone, false, clNone, true, false, false, true, clNone},
        {"fill left to the scheme counts as none", sbsRoundRect, clDefault, false, clNone, false, false, false, false,
         white},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTopicShape shape;
        shape.BorderStyle = c.Style;
        shape.FillColor = c.Fill;
        shape.FillOverridden = c.Overridden;
        shape.HullFill = c.HullFill;
        shape.ImageOnly = c.ImageOnly;
        shape.HasDate = c.HasDate;
        shape.Dimmed = c.Dimmed;
        TTopicPaintState state;
        state.BackgroundColor = white;
        const TTopicFill fill = TopicFill(shape, state);
        EXPECT_EQ(c.Transparent, fill.Transparent);
        if (!c.Transparent) {
            EXPECT_EQ(c.Expected, fill.Color);
        }
    }
}

// --- painting ---------------------------------------------------------------------------------------------------

TEST(TopicShapes, PaintsFillInsideAndBorderOnTheOutline) {
    TTestCanvas canvas;
    ASSERT_TRUE(PaintTopicShape(canvas.Context(), BoxTopic(), {}));
    EXPECT_EQ(Opaque(kRed), canvas.Pixel(100, 60));
    EXPECT_EQ(Opaque(kBlue), canvas.Pixel(100, 23));
    EXPECT_EQ(Opaque(kBlue), canvas.Pixel(100, 24));
    EXPECT_EQ(Opaque(kRed), canvas.Pixel(100, 25));
    EXPECT_EQ(0u, canvas.Pixel(100, 22));
    EXPECT_EQ(0u, canvas.Pixel(21, 60));
}

TEST(TopicShapes, BorderDashFollowsTheStrokeStyle) {
    for (TStrokeStyle style : {stsSolid, stsDashL}) {
        SCOPED_TRACE(StrokeStyleName(style));
        TTestCanvas canvas;
        TTopicShape shape = BoxTopic(sbsRectangle);
        shape.StrokeStyle = style;
        ASSERT_TRUE(PaintTopicShape(canvas.Context(), shape, {}));
        int gaps = 0;
        for (int x = 40; x < 160; ++x)
            gaps += canvas.Pixel(x, 23) != Opaque(kBlue);
        if (style == stsSolid) {
            EXPECT_EQ(0, gaps);
        } else {
            EXPECT_GT(gaps, 20);
        }
    }
}

TEST(TopicShapes, DimmedTopicTakesDimmedColours) {
    TTestCanvas canvas;
    TTopicShape shape = BoxTopic();
    shape.Dimmed = true;
    ASSERT_TRUE(PaintTopicShape(canvas.Context(), shape, {}));
    EXPECT_EQ(Opaque(DimColor(kRed, false)), canvas.Pixel(100, 60));
    EXPECT_EQ(Opaque(DimColor(kBlue, false)), canvas.Pixel(100, 23));
}

TEST(TopicShapes, TopicWithoutFillHidesWhatLiesUnderIt) {
    struct TCase {
        const char* Name;
        TNodeBorderStyle Style;
        TColor HullFill;
        bool ImageOnly;
        std::uint32_t Centre;
    };
    const TCase cases[] = {
        {"bordered", sbsRoundRect, clNone, false, Opaque(kGreen)},
        {"inside a group", sbsRoundRect, kYellow, false, Opaque(kYellow)},
        {"borderless", sbsNone, clNone, false, Opaque(kGreen)},
        {"borderless image", sbsNone, clNone, true, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestCanvas canvas;
        TTopicShape shape = BoxTopic(c.Style);
        shape.FillColor = clNone;
        shape.HullFill = c.HullFill;
        shape.ImageOnly = c.ImageOnly;
        TTopicPaintState state;
        state.BackgroundColor = kGreen;
        ASSERT_TRUE(PaintTopicShape(canvas.Context(), shape, state));
        EXPECT_EQ(c.Centre, canvas.Pixel(100, 60));
    }
}

TEST(TopicShapes, SelectedBorderlessTopicInAMultiSelectionGetsAThickBox) {
    TTestCanvas canvas;
    TTopicShape shape = BoxTopic(sbsNone);
    shape.FillColor = clNone;
    shape.Selected = true;
    TTopicPaintState state;
    state.Interactive = true;
    state.MultiSelection = true;
    state.BackgroundColor = kGreen;
    ASSERT_TRUE(PaintTopicShape(canvas.Context(), shape, state));
    // A 3 wide line on the bounds deflated by 1.5: y = 20 .. 23.
    EXPECT_EQ(Opaque(kBlue), canvas.Pixel(100, 20));
    EXPECT_EQ(Opaque(kBlue), canvas.Pixel(100, 22));
    EXPECT_EQ(Opaque(kGreen), canvas.Pixel(100, 23));
}

TEST(TopicShapes, BorderWithoutColourIsNotStroked) {
    TTestCanvas canvas;
    TTopicShape shape = BoxTopic();
    shape.StrokeColor = clNone;
    ASSERT_TRUE(PaintTopicShape(canvas.Context(), shape, {}));
    EXPECT_EQ(0u, canvas.Pixel(100, 23));
    EXPECT_EQ(Opaque(kRed), canvas.Pixel(100, 24));
    EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(canvas.Context()));
}

TEST(TopicShapes, HiddenSelectedTopicIsADashedSilverOutlineOnly) {
    TTestCanvas canvas;
    TTopicShape shape = BoxTopic(sbsRectangle);
    shape.Visible = false;
    shape.Selected = true;
    shape.ShowsNote = true;
    TTopicPaintState state;
    state.Interactive = true;
    std::vector<std::string> calls;
    TTopicShapeHooks hooks;
    hooks.PaintNumberBelow = [&](double) { calls.push_back("number"); };
    ASSERT_TRUE(PaintTopicShape(canvas.Context(), shape, state, hooks));
    EXPECT_EQ(0u, canvas.Pixel(100, 60));
    int silver = 0;
    int empty = 0;
    for (int x = 40; x < 160; ++x) {
        silver += canvas.Pixel(x, 24) == Opaque(kSilver);
        empty += canvas.Pixel(x, 24) == 0;
    }
    EXPECT_GT(silver, 40);
    EXPECT_GT(empty, 40);
    EXPECT_EQ(0u, canvas.Pixel(164, 21)) << "no note indicator";
    EXPECT_TRUE(calls.empty()) << "no number box";
}

TEST(TopicShapes, DropTargetPassFillsTheGrownOutlineTranslucently) {
    struct TCase {
        bool Dark;
        std::uint32_t Colour; // premultiplied
    };
    const TCase cases[] = {
        {false, 0x4C00003Du}, // rgba(0, 0, 0.8, 0.3)
        {true, 0x80666680u},  // rgba(0.8, 0.8, 1.0, 0.5)
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Dark ? "dark" : "light");
        TTestCanvas canvas;
        TTopicShape shape = BoxTopic();
        shape.ShowsNote = true;
        TTopicPaintState state;
        state.Interactive = true;
        state.DropTargetPass = true;
        state.DarkBackground = c.Dark;
        ASSERT_TRUE(PaintTopicShape(canvas.Context(), shape, state));
        ExpectPixelNear(c.Colour, canvas.Pixel(100, 60));
        ExpectPixelNear(c.Colour, canvas.Pixel(100, 16)); // 4 outside the bounds
        EXPECT_EQ(0u, canvas.Pixel(100, 14));
        ExpectPixelNear(c.Colour, canvas.Pixel(164, 21)); // no note indicator over it
    }
}

TEST(TopicShapes, SkippedAndCulledTopicsPaintNothing) {
    struct TCase {
        const char* Name;
        bool Dimmed;
        bool HideDimmed;
        bool Culling;
        TFloatRect Visible;
        bool Painted;
        std::vector<std::string> Calls;
    };
    const TCase cases[] = {
        {"painted", false, false, true, {0, 0, 100, 100}, true, {"frame", "number 2"}},
        {"dimmed and shown", true, false, false, {}, true, {"frame", "number 2"}},
        {"dimmed and hidden", true, true, false, {}, false, {}},
        {"culled", false, false, true, {200, 0, 50, 50}, false, {"frame"}},
        {"touching the visible rectangle only", false, false, true, {180, 20, 50, 50}, false, {"frame"}},
        {"outside, culling off", false, false, false, {200, 0, 50, 50}, true, {"frame", "number 2"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestCanvas canvas;
        TTopicShape shape = BoxTopic();
        shape.Dimmed = c.Dimmed;
        TTopicPaintState state;
        state.HideDimmed = c.HideDimmed;
        state.Culling = c.Culling;
        state.VisibleRect = c.Visible;
        std::vector<std::string> calls;
        TTopicShapeHooks hooks;
        hooks.PaintMatrixFrame = [&] { calls.push_back("frame"); };
        hooks.PaintNumberBelow = [&](double width) {
            calls.push_back("number " + std::to_string(static_cast<int>(width)));
        };
        EXPECT_EQ(c.Painted, PaintTopicShape(canvas.Context(), shape, state, hooks));
        EXPECT_EQ(c.Calls, calls);
        EXPECT_EQ(c.Painted, canvas.Pixel(100, 60) != 0u);
    }
}

TEST(TopicShapes, BoundsThatAreNotFiniteAreNotPainted) {
    TTestCanvas canvas;
    TTopicShape shape = BoxTopic(sbsEllipse);
    shape.Bounds = {kNaN, 20, 100, 40};
    EXPECT_FALSE(PaintTopicShape(canvas.Context(), shape, {}));
    shape.Bounds = {20, 20, kInf, 40};
    EXPECT_FALSE(PaintTopicShape(canvas.Context(), shape, {}));
    EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(canvas.Context()));
}

TEST(TopicShapes, DegenerateTopicsLeaveTheContextUsable) {
    for (TNodeBorderStyle style : kAllStyles) {
        for (double borderWidth : {0.0, 1.0, 1000.0}) {
            SCOPED_TRACE(testing::Message() << NodeBorderStyleName(style) << " border " << borderWidth);
            TTestCanvas canvas;
            TTopicShape shape = BoxTopic(style);
            shape.Bounds = {50, 50, 0, 0};
            shape.BorderWidth = borderWidth;
            shape.StrokeStyle = stsDashM;
            shape.ShowsNote = true;
            EXPECT_TRUE(PaintTopicShape(canvas.Context(), shape, {}));
            EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(canvas.Context()));
        }
    }
}

TEST(TopicShapes, PaintingLeavesTheContextAsItFoundIt) {
    for (TNodeBorderStyle style : {sbsCloud, sbsRoundRect}) {
        for (double borderWidth : {0.0, 2.0}) {
            SCOPED_TRACE(testing::Message() << NodeBorderStyleName(style) << " border " << borderWidth);
            TTestCanvas canvas;
            cairo_t* cr = canvas.Context();
            TTopicShape shape = BoxTopic(style);
            shape.BorderWidth = borderWidth;
            shape.StrokeStyle = stsDashS;
            shape.ShowsNote = true;
            ASSERT_TRUE(PaintTopicShape(cr, shape, {}));
            EXPECT_EQ(0, cairo_get_dash_count(cr));
            EXPECT_EQ(CAIRO_LINE_CAP_BUTT, cairo_get_line_cap(cr));
            EXPECT_EQ(CAIRO_LINE_JOIN_MITER, cairo_get_line_join(cr));
            EXPECT_FALSE(cairo_has_current_point(cr));
        }
    }
}

// --- note indicator ---------------------------------------------------------------------------------------------

TEST(TopicShapes, NoteShowsIndicatorForAnythingAboveABlank) {
    EXPECT_FALSE(NoteShowsIndicator(""));
    EXPECT_FALSE(NoteShowsIndicator(" \t\r\n"));
    EXPECT_TRUE(NoteShowsIndicator("  .  "));
    EXPECT_TRUE(NoteShowsIndicator("\xC2\xA0")); // a no-break space is above a blank
}

TEST(TopicShapes, NoteIndicatorCentreByBorderStyle) {
    // Bounds (0, 0) 200 x 60 with border width 2: the inset is 4, R = (4, 4) 192 x 52.
    struct TCase {
        TNodeBorderStyle Style;
        double HalfRoundRadius;
        TFloatPoint Centre;
    };
    const TCase cases[] = {
        {sbsRoundRect, 22.1, {185, 4}},   {sbsDropRoundRect, 22.1, {185, 4}},
        {sbsHalfRound, 22.1, {173.9, 4}}, {sbsHalfRound, 200, {100, 4}}, // at most half the width in
        {sbsEllipse, 22.1, {108, 4}},     {sbsCircle, 22.1, {108, 4}},
        {sbsDiamond, 22.1, {108, 4}},     {sbsCloud, 22.1, {169.7704918032787, 4}},
        {sbsRightArrow, 22.1, {173, 4}}, // arrow depth 15
        {sbsLeftArrow, 22.1, {188, 4}},   {sbsParallelogram, 22.1, {188, 4}},
        {sbsRectangle, 22.1, {188, 4}},   {sbsNone, 22.1, {192, -2}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << NodeBorderStyleName(c.Style) << " " << c.HalfRoundRadius);
        TTopicShape shape;
        shape.Bounds = {0, 0, 200, 60};
        shape.BorderStyle = c.Style;
        shape.BorderWidth = 2;
        shape.HalfRoundRadius = c.HalfRoundRadius;
        shape.ArrowDepth = 15;
        const TFloatPoint centre = NoteIndicatorCentre(shape);
        EXPECT_NEAR(c.Centre.X, centre.X, kEps);
        EXPECT_NEAR(c.Centre.Y, centre.Y, kEps);
    }
}

TEST(TopicShapes, NoteIndicatorColoursAndSize) {
    // The indicator of BoxTopic is centred at (165, 24); pixel (164, 21) lies inside a circle of radius 4, pixel
    // (164, 18) only inside one of radius 7. Both are outside the topic's outline.
    struct TCase {
        const char* Name;
        bool Automatic;
        TColor TopicFill;
        bool Matches;
        std::uint32_t Inner;
        std::uint32_t Outer;
    };
    const TCase cases[] = {
        {"the topic's fill", true, kRed, false, Opaque(kRed), 0},
        {"the map's colour", false, kRed, false, Opaque(kYellow), 0},
        {"matching the search", false, kRed, true, Opaque(kYellow), Opaque(kYellow)},
        {"a black topic leaves the indicator unfilled", true, clBlack, false, 0, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestCanvas canvas;
        TTopicShape shape = BoxTopic();
        shape.FillColor = c.TopicFill;
        shape.ShowsNote = true;
        shape.NoteMatchesSearch = c.Matches;
        TTopicPaintState state;
        state.NoteIndicatorAutomatic = c.Automatic;
        state.NoteIndicatorColor = kYellow;
        ASSERT_TRUE(PaintTopicShape(canvas.Context(), shape, state));
        EXPECT_EQ(c.Inner, canvas.Pixel(164, 21));
        EXPECT_EQ(c.Outer, canvas.Pixel(164, 18));
    }
}

TEST(TopicShapes, NoteIndicatorRingIsTheStrokeColour) {
    struct TCase {
        const char* Name;
        bool Automatic;
        TColor Ring;
    };
    const TCase cases[] = {
        {"automatic: the topic's stroke", true, kBlue},
        {"set: the darker variant", false, RGBColor(128, 128, 0)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestCanvas canvas;
        TTopicShape shape = BoxTopic();
        // Half a unit off the grid, the indicator is centred at (165.5, 24.5) and its 1 wide ring covers pixel row
        // 20 where it crosses the vertical through the centre.
        shape.Bounds = {20.5, 20.5, 160, 80};
        shape.ShowsNote = true;
        TTopicPaintState state;
        state.NoteIndicatorAutomatic = c.Automatic;
        state.NoteIndicatorColor = kYellow;
        ASSERT_TRUE(PaintTopicShape(canvas.Context(), shape, state));
        const std::uint32_t ring = canvas.Pixel(165, 20);
        const std::uint32_t expected = Opaque(c.Ring);
        for (int shift = 0; shift < 32; shift += 8) {
            const int e = static_cast<int>((expected >> shift) & 0xFF);
            const int a = static_cast<int>((ring >> shift) & 0xFF);
            EXPECT_LE(std::abs(e - a), 12) << "expected " << Hex(expected) << ", got " << Hex(ring);
        }
    }
}

// --- hit test ---------------------------------------------------------------------------------------------------

TEST(TopicShapes, HitTestFollowsTheShape) {
    const TFloatRect bounds{0, 0, 100, 40};
    struct TCase {
        TNodeBorderStyle Style;
        TFloatPoint Point;
        bool Hit;
    };
    const TCase cases[] = {
        {sbsRoundRect, {50, 20}, true},     {sbsRoundRect, {0, 0}, true},        {sbsRoundRect, {100, 40}, true},
        {sbsRoundRect, {-0.01, 20}, false}, {sbsRoundRect, {50, 40.01}, false},  {sbsCloud, {1, 1}, true},
        {sbsNone, {99, 39}, true},          {sbsRectangle, {100.01, 20}, false}, {sbsEllipse, {50, 20}, true},
        {sbsEllipse, {0.5, 20}, true},      {sbsEllipse, {99.5, 20}, true},      {sbsEllipse, {50, 0.5}, true},
        {sbsEllipse, {50, 39.5}, true},     {sbsEllipse, {2, 2}, false},         {sbsEllipse, {10, 5}, false},
        {sbsEllipse, {90, 35}, false},      {sbsCircle, {50, 0}, true},          {sbsCircle, {98, 38}, false},
        {sbsDiamond, {50, 20}, true},       {sbsDiamond, {1, 20}, true},         {sbsDiamond, {50, 1}, true},
        {sbsDiamond, {99, 20}, true},       {sbsDiamond, {50, 39}, true},        {sbsDiamond, {25, 11}, true},
        {sbsDiamond, {25, 9}, false},       {sbsDiamond, {75, 29}, true},        {sbsDiamond, {75, 31}, false},
        {sbsDiamond, {75, 9}, false},       {sbsDiamond, {25, 31}, false},       {sbsDiamond, {101, 20}, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << NodeBorderStyleName(c.Style) << " (" << c.Point.X << ", " << c.Point.Y
                                        << ")");
        EXPECT_EQ(c.Hit, TopicHitTest(bounds, c.Style, c.Point));
    }
}

TEST(TopicShapes, HitTestOfFlatShapes) {
    EXPECT_FALSE(TopicHitTest({0, 0, 0, 40}, sbsEllipse, {0, 20}));
    EXPECT_FALSE(TopicHitTest({0, 0, 100, 0}, sbsCircle, {50, 0}));
    EXPECT_FALSE(TopicHitTest({0, 0, 0, 0}, sbsDiamond, {0, 0}));
    EXPECT_TRUE(TopicHitTest({0, 0, 0, 40}, sbsRoundRect, {0, 20}));
}

TEST(TopicShapes, NumberBoxBelowTheTopicHitsToo) {
    const TFloatRect number{8, 41, 30, 14};
    for (TNodeBorderStyle style : kAllStyles) {
        SCOPED_TRACE(NodeBorderStyleName(style));
        EXPECT_TRUE(TopicHitTest({0, 0, 100, 40}, style, {20, 50}, &number));
        EXPECT_FALSE(TopicHitTest({0, 0, 100, 40}, style, {20, 50}));
        EXPECT_FALSE(TopicHitTest({0, 0, 100, 40}, style, {60, 50}, &number));
    }
}

// --- colours ----------------------------------------------------------------------------------------------------

TEST(TopicShapes, DimColorOnLightAndDarkBackgrounds) {
    struct TCase {
        const char* Name;
        TColor Color;
        bool Dark;
        TColor Expected;
    };
    const TCase cases[] = {
        {"red on light", kRed, false, RGBColor(239, 233, 233)},
        {"red on dark", kRed, true, RGBColor(41, 35, 35)},
        {"white on light", clWhite, false, clWhite},
        {"white on dark", clWhite, true, RGBColor(76, 76, 76)},
        {"black on light", clBlack, false, RGBColor(216, 216, 216)},
        {"black on dark", clBlack, true, clBlack},
        // Luminance 230 gains 10 x 0.85 = 8.5, rounded to the even 8.
        {"half on light rounds to even", RGBColor(244, 244, 244), false, RGBColor(252, 252, 252)},
        // Luminance 15 becomes 15 x 0.3 = 4.5, rounded to the even 4.
        {"half on dark rounds to even", RGBColor(16, 16, 16), true, RGBColor(4, 4, 4)},
        {"no colour", clNone, false, clNone},
        {"colour left to the scheme", clDefault, true, clDefault},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(c.Expected, DimColor(c.Color, c.Dark)) << std::hex << DimColor(c.Color, c.Dark);
    }
}

TEST(TopicShapes, DarkBackgroundIsBelowAThirdOfFullLuminance) {
    EXPECT_TRUE(IsDarkBackground(RGBColor(0x18, 0x18, 0x18)));
    EXPECT_TRUE(IsDarkBackground(RGBColor(88, 88, 88)));  // luminance 83
    EXPECT_FALSE(IsDarkBackground(RGBColor(89, 89, 89))); // luminance 84 = 0.35 x 240
    EXPECT_FALSE(IsDarkBackground(clWhite));
}
