#include "render/CvMindMapPainter.h"

#include "TestSupport.h"
#include "render/MapImageExports.h"
#include "styling/CVStyleManager.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstring>

namespace {

// The box of the pixels a drawing touched on a transparent canvas.
struct TInkBox {
    int Left = 1 << 30;
    int Top = 1 << 30;
    int Right = -1;
    int Bottom = -1;
    int Width() const { return Right - Left + 1; }
    int Height() const { return Bottom - Top + 1; }
    bool Empty() const { return Right < 0; }
};

TInkBox InkBox(const TTestCanvas& canvas) {
    cairo_surface_flush(canvas.Surface());
    TInkBox box;
    const int w = cairo_image_surface_get_width(canvas.Surface());
    const int h = cairo_image_surface_get_height(canvas.Surface());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((canvas.Pixel(x, y) >> 24) != 0) {
                box.Left = std::min(box.Left, x);
                box.Top = std::min(box.Top, y);
                box.Right = std::max(box.Right, x);
                box.Bottom = std::max(box.Bottom, y);
            }
    return box;
}

unsigned Alpha(std::uint32_t pixel) {
    return pixel >> 24;
}

// theme with two children; the second child has a grandchild
class PainterMap : public ::testing::Test {
protected:
    void SetUp() override {
        Theme = Add(nullptr, {0, 0}, "Theme");
        A = Add(Theme, {200, -80}, "A");
        B = Add(Theme, {-200, 60}, "B");
        B1 = Add(B, {-360, 120}, "B one");
        T.Map.RequestLayout();
        T.Map.Refresh();
    }

    TMindMapNode* Add(TMindMapNode* parent, TFloatPoint position, const char* text) {
        TMindMapNode* topic = T.Add(parent);
        topic->SetPosition(position);
        topic->SetText(text, tfPlain);
        return topic;
    }

    TTestMap T;
    TMindMapNode* Theme = nullptr;
    TMindMapNode* A = nullptr;
    TMindMapNode* B = nullptr;
    TMindMapNode* B1 = nullptr;
};

std::uint32_t PixelAt(const TPicture& picture, int x, int y) {
    cairo_surface_flush(picture.Surface());
    const unsigned char* data = cairo_image_surface_get_data(picture.Surface());
    const int stride = cairo_image_surface_get_stride(picture.Surface());
    std::uint32_t value;
    std::memcpy(&value, data + y * stride + x * 4, 4);
    return value & 0xFFFFFF;
}

} // namespace

TEST(MapImageExport, AreaAndSizeFollowTheBounds) {
    const TFloatRect area = ExportArea({-100, -50, 200, 100});
    EXPECT_EQ((TFloatRect{-130, -80, 260, 160}), area);
    struct TCase {
        double Width;
        int Pixels;
    };
    // rounded halves to even: 260.5 gives 260, 261.5 gives 262
    for (const TCase& test : {TCase{200, 260}, TCase{200.5, 260}, TCase{201.5, 262}, TCase{0, 60}}) {
        EXPECT_EQ(test.Pixels, ExportImageSize(ExportArea({0, 0, test.Width, 10}), 1).Width) << test.Width;
    }
    EXPECT_EQ(520, ExportImageSize(area, 2).Width);
}

TEST_F(PainterMap, ExportCoversTheContentOnTheBackground) {
    T.Map.MapStyle().SetBackgroundColor(RGBColor(10, 20, 30));
    T.Map.MapStyle().SetOverride(msoBackgroundColor, true);
    const TPicture picture = RenderMapBitmap(T.Map, false);
    const TFloatRect area = ExportArea(T.Map.GetContentBounds(false));
    EXPECT_EQ(static_cast<int>(std::nearbyint(area.Width)), picture.Width());
    EXPECT_EQ(static_cast<int>(std::nearbyint(area.Height)), picture.Height());
    EXPECT_EQ(CAIRO_FORMAT_RGB24, cairo_image_surface_get_format(picture.Surface()));
    EXPECT_EQ(0x0A141Eu, PixelAt(picture, 0, 0));
    // the theme's outline is drawn where the theme is: its left edge, halfway down
    const TFloatRect theme = Theme->GetBounds();
    const int x = static_cast<int>(theme.Left - area.Left) + 3;
    const int y = static_cast<int>(theme.Center().Y - area.Top);
    EXPECT_NE(0x0A141Eu, PixelAt(picture, x, y));
}

TEST_F(PainterMap, BranchExportNeedsASelectionAndLeavesOtherLinksOut) {
    T.Map.Select(nullptr);
    try {
        RenderMapBitmap(T.Map, true);
        FAIL() << "no exception";
    } catch (const EOXToolsException& error) {
        EXPECT_STREQ("No topics selected", error.what());
    }
    T.Map.NewCrossLink(B1, A); // leaves the branch of B
    T.Map.NewCrossLink(B, B1); // inside it
    T.Map.RequestLayout();
    T.Map.Refresh();
    T.Map.Select(B);
    TMindMapPaintSelection selection(T.Map);
    ASSERT_TRUE(selection.PaintSelectedBranches());
    ASSERT_EQ(1u, selection.CrossLinks().size());
    EXPECT_EQ(B1, selection.CrossLinks().front()->Target());
    ASSERT_EQ(1u, selection.Roots().size());
    EXPECT_EQ(B, selection.Roots().front());
    EXPECT_EQ(FloatRectUnion(B->GetBounds(), B1->GetBounds()), selection.Bounds());
    const TPicture picture = RenderMapBitmap(T.Map, true);
    EXPECT_EQ(static_cast<int>(std::nearbyint(selection.Bounds().Width + 60)), picture.Width());
}

TEST_F(PainterMap, TooLargeAPictureFailsBeforeAnyPixelIsMade) {
    EXPECT_THROW(RenderMapBitmap(T.Map, false, 1000), EImageTooLarge);
    B1->SetPosition({-1e7, 0});
    T.Map.RequestLayout();
    T.Map.Refresh();
    EXPECT_THROW(RenderMapBitmap(T.Map, false), EImageTooLarge);
}

TEST_F(PainterMap, ExportIsNeverDimmedNorMarked) {
    const TPicture plain = RenderMapBitmap(T.Map, false);
    TMindMapSearchData search;
    search.SetText("B one");
    search.SetFilters(sfText);
    T.Map.SetSearchData(search);
    ASSERT_TRUE(T.Map.SearchActive());
    T.Map.Select(A);
    const TPicture searched = RenderMapBitmap(T.Map, false);
    ASSERT_EQ(plain.Width(), searched.Width());
    for (int y = 0; y < plain.Height(); y += 3)
        for (int x = 0; x < plain.Width(); x += 3)
            ASSERT_EQ(PixelAt(plain, x, y), PixelAt(searched, x, y)) << x << "," << y;
}

TEST_F(PainterMap, UnreadablySmallTextIsATranslucentBar) {
    TTestCanvas canvas(CAIRO_FORMAT_ARGB32, 200, 60);
    TMindMapPaintSelection selection(T.Map);
    selection.PaintAll();
    TPaintMatrix matrix;
    matrix.XX = matrix.YY = 0.05;
    TMindMapPainter painter(canvas.Context(), matrix, selection, pfLayoutReady, {}, false);
    // 10 points at 0.05 is half a pixel: the 2000 x 400 text box becomes a 100 x 20 bar less 15 % each side
    painter.PaintText("Hidden words", {0, 0, 2000, 400}, false, StyleManager().MainBranchData(), clBlack, salCenter);
    const TInkBox box = InkBox(canvas);
    EXPECT_EQ(15, box.Left);
    EXPECT_EQ(3, box.Top);
    EXPECT_EQ(70, box.Width());
    EXPECT_EQ(14, box.Height());
    EXPECT_NEAR(64, Alpha(canvas.Pixel(50, 10)), 1);
}

TEST_F(PainterMap, ArrowHeadsGrowWithWideLinesOnly) {
    const auto arrowWidth = [this](double scale) {
        TTestCanvas canvas(CAIRO_FORMAT_ARGB32, 100, 100);
        TMindMapPaintSelection selection(T.Map);
        TMindMapPainter painter(canvas.Context(), {}, selection, pfLayoutReady, {}, false);
        // pointing right at (60, 50): 7 v back and 5 v to each side
        painter.PaintArrowHead({60, 50}, {1, 0}, arsFilledArrow, scale, clBlack);
        return InkBox(canvas);
    };
    const TInkBox base = arrowWidth(1);
    EXPECT_EQ(base.Height(), arrowWidth(0.5).Height());
    EXPECT_EQ(base.Width(), arrowWidth(0.5).Width());
    // a 6-wide line: 1.25 times the size, the outline only a little wider
    const TInkBox wide = arrowWidth(2);
    EXPECT_NEAR(1.25, static_cast<double>(wide.Height()) / base.Height(), 0.07);
    EXPECT_NEAR(1.25, static_cast<double>(wide.Width()) / base.Width(), 0.07);
}

TEST_F(PainterMap, HiddenTopicLeavesAMarkerAtItsConnectionsEnd) {
    B1->SetHidden(true);
    T.Map.RequestLayout();
    T.Map.Refresh();
    const TFloatPoint end = B1->ParentRelation().Path().P3;
    TTestCanvas canvas(CAIRO_FORMAT_ARGB32, 100, 100);
    TMindMapPaintSelection selection(T.Map);
    TPaintMatrix matrix;
    matrix.X0 = 50 - end.X;
    matrix.Y0 = 50 - end.Y;
    TMindMapPainter painter(canvas.Context(), matrix, selection, pfLayoutReady, {}, false);
    painter.PaintHiddenMarker(*B1, false);
    const TInkBox box = InkBox(canvas);
    // the 8 x 8 square around the end, its outline half a unit either side
    EXPECT_EQ(45, box.Left);
    EXPECT_EQ(45, box.Top);
    EXPECT_EQ(10, box.Width());
    EXPECT_EQ(10, box.Height());
}

TEST_F(PainterMap, CurvesAreCulledByTheirWholePath) {
    // a connection whose ends lie left of the view but whose curve bulges into it
    TRelationPath& path = A->ParentRelation().Path();
    path.SetCurve({0, 0}, {400, 300}, {400, 300}, {0, 100});
    path.Width = 3;
    const TFloatRect visible{250, 100, 100, 100};
    TTestCanvas canvas(CAIRO_FORMAT_ARGB32, 100, 100);
    TMindMapPaintSelection selection(T.Map);
    TPaintMatrix matrix;
    matrix.X0 = -visible.Left;
    matrix.Y0 = -visible.Top;
    TMindMapPainter painter(canvas.Context(), matrix, selection, pfLayoutReady | pfCull, visible, false);
    painter.PaintRelation(A->ParentRelation());
    EXPECT_FALSE(InkBox(canvas).Empty());
}

TEST(TaperedPaths, CoincidentEndsGiveNoNaN) {
    for (const bool curve : {false, true}) {
        TTestCanvas canvas;
        TRelationPath path;
        if (curve)
            path.SetCurve({20, 20}, {20, 20}, {20, 20}, {20, 20});
        else
            path.SetStraight({20, 20}, {20, 20});
        path.Width = 6;
        path.Taper = 4;
        path.AppendToContext(canvas.Context());
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        cairo_path_extents(canvas.Context(), &x1, &y1, &x2, &y2);
        EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(canvas.Context()));
        for (const double v : {x1, y1, x2, y2})
            EXPECT_TRUE(std::isfinite(v)) << (curve ? "curve" : "line");
        cairo_path_t* flat = cairo_copy_path_flat(canvas.Context());
        for (int i = 0; i < flat->num_data; i += flat->data[i].header.length)
            for (int j = 1; j < flat->data[i].header.length; ++j)
                EXPECT_TRUE(std::isfinite(flat->data[i + j].point.x) && std::isfinite(flat->data[i + j].point.y));
        cairo_path_destroy(flat);
    }
}
