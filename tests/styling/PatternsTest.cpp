#include "styling/Patterns.h"

#include "TestSupport.h"
#include "platform/CVStrings.h"
#include "render/DiagramPngs.h"
#include "render/MapImageExports.h"
#include "styling/CVStyleManager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The keys, mean colours and sizes the built-in patterns are known by, in list order.
struct TKnownPattern {
    const char* Key;
    int Red, Green, Blue;
    int Width, Height;
};

constexpr TKnownPattern kKnownPatterns[] = {
    {".system.dust_scratches", 244, 244, 244, 400, 400},
    {".system.cream_paper", 234, 234, 234, 158, 144},
    {".system.light_linen", 225, 226, 228, 654, 654},
    {".system.wave_grid", 237, 237, 237, 100, 100},
    {".system.fabric_1", 235, 235, 235, 400, 400},
    {".system.cardboard_flat", 220, 220, 220, 256, 256},
    {".system.rice_paper_2", 245, 242, 240, 485, 485},
    {".system.farmer", 226, 227, 223, 349, 349},
    {".system.cork_1", 226, 226, 226, 300, 300},
    {".system.felt", 202, 202, 202, 500, 466},
    {".system.sandpaper", 218, 216, 210, 348, 500},
    {".system.cork_wallet", 226, 222, 217, 300, 300},
    {".system.rice_paper_3", 241, 237, 221, 250, 250},
    {".system.ep_natural_white", 233, 229, 227, 400, 400},
    {".system.old_map", 247, 233, 199, 256, 256},
    {".system.mocha_grunge", 135, 135, 135, 400, 400},
    {".system.grey_wash_wall", 101, 101, 101, 350, 259},
    {".system.low_contrast_linen", 58, 58, 58, 256, 256},
    {".system.dark_mosaic", 24, 24, 24, 400, 400},
    {".system.vintage_wallpaper", 44, 54, 94, 400, 400},
    {".system.moroccan_flower_dark", 25, 59, 107, 400, 400},
    {".system.geometric_leaves", 250, 250, 251, 400, 400},
    {".system.leaves", 253, 254, 251, 400, 400},
    {".system.foggy_birds", 252, 252, 252, 206, 206},
    {".system.leaves_2", 238, 238, 238, 294, 235},
    {".system.white_waves", 246, 246, 246, 400, 400},
    {".system.wood", 244, 210, 157, 203, 317},
    {".system.cork_board", 199, 157, 123, 400, 400},
    {".system.blue_snow", 234, 244, 251, 400, 400},
};

// The pixel of a 24- or 32-bit picture as 0xRRGGBB (premultiplied for 32 bits).
std::uint32_t PixelAt(const TPicture& picture, int x, int y) {
    cairo_surface_flush(picture.Surface());
    const unsigned char* data = cairo_image_surface_get_data(picture.Surface());
    const int stride = cairo_image_surface_get_stride(picture.Surface());
    return reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride)[x] & 0xFFFFFF;
}

// A 24-bit picture whose every pixel is made by the function (0xRRGGBB).
template <typename TFill> TPicture MakePicture(int width, int height, TFill fill) {
    TPicture picture = NewPicture(width, height, CAIRO_FORMAT_RGB24);
    unsigned char* data = cairo_image_surface_get_data(picture.Surface());
    const int stride = cairo_image_surface_get_stride(picture.Surface());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride)[x] = fill(x, y);
    cairo_surface_mark_dirty(picture.Surface());
    return picture;
}

// Mean absolute channel difference between two columns (or rows) of a picture.
double LineDifference(const TPicture& picture, bool columns, int a, int b) {
    const int length = columns ? picture.Height() : picture.Width();
    double sum = 0;
    for (int i = 0; i < length; ++i) {
        const std::uint32_t p = columns ? PixelAt(picture, a, i) : PixelAt(picture, i, a);
        const std::uint32_t q = columns ? PixelAt(picture, b, i) : PixelAt(picture, i, b);
        for (int shift : {0, 8, 16})
            sum += std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF));
    }
    return sum / (3.0 * length);
}

} // namespace

TEST(TPatternManager, HoldsTheNonePatternThenTheBuiltInPatternsInListOrder) {
    TPatternManager& patterns = Patterns();
    ASSERT_EQ(patterns.Count(), 1 + static_cast<int>(std::size(kKnownPatterns)));
    const TPatternInfo& none = patterns.NonePattern();
    EXPECT_TRUE(none.IsNone());
    EXPECT_EQ(none.Key(), ".system.");
    EXPECT_EQ(none.AverageColor(), clWhite);
    EXPECT_TRUE(none.ResourceName().empty());
    for (std::size_t i = 0; i < std::size(kKnownPatterns); ++i) {
        const TKnownPattern& known = kKnownPatterns[i];
        SCOPED_TRACE(known.Key);
        const TPatternInfo& pattern = patterns.At(static_cast<int>(i) + 1);
        EXPECT_EQ(pattern.Key(), known.Key);
        EXPECT_EQ(pattern.AverageColor(), RGBColor(known.Red, known.Green, known.Blue));
        EXPECT_EQ(pattern.ResourceName(), "pattern_" + std::string(known.Key).substr(8));
        EXPECT_FALSE(pattern.IsNone());
        EXPECT_FALSE(pattern.IsCustom());
    }
}

// The listed mean colours must be those of the pictures themselves, and the pictures must tile without seams:
// the step from the last column back to the first is no larger than the steps inside the picture.
TEST(TPatternManager, BuiltInPicturesHaveTheirListedSizeAndMeanAndTileWithoutSeams) {
    for (const TKnownPattern& known : kKnownPatterns) {
        SCOPED_TRACE(known.Key);
        TPatternInfo* pattern = FindPattern(known.Key);
        ASSERT_NE(pattern, nullptr);
        const TPicture bitmap = GetBitmap(*pattern);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(cairo_image_surface_get_format(bitmap.Surface()), CAIRO_FORMAT_RGB24);
        EXPECT_EQ(bitmap.Width(), known.Width);
        EXPECT_EQ(bitmap.Height(), known.Height);
        EXPECT_EQ(AverageColorOf(bitmap), pattern->AverageColor());
        EXPECT_EQ(GetBitmap(*pattern), bitmap) << "loaded once and kept";
        for (bool columns : {true, false}) {
            const int extent = columns ? bitmap.Width() : bitmap.Height();
            double inside = 0;
            for (int i = 1; i < extent; ++i)
                inside += LineDifference(bitmap, columns, i - 1, i);
            inside /= extent - 1;
            EXPECT_LE(LineDifference(bitmap, columns, extent - 1, 0), 2.5 * inside + 1.0)
                << (columns ? "left and right edges" : "top and bottom edges");
        }
    }
}

TEST(TPatternManager, FindsKeysWithoutRegardToCaseAndNothingForBlankKeys) {
    ASSERT_NE(FindPattern(".system.wood"), nullptr);
    EXPECT_EQ(FindPattern(".SYSTEM.WOOD"), FindPattern(".system.wood"));
    EXPECT_EQ(FindPattern(".system."), &Patterns().NonePattern());
    EXPECT_EQ(FindPattern(""), nullptr);
    EXPECT_EQ(FindPattern("  "), nullptr);
    EXPECT_EQ(FindPattern("\t"), nullptr);
    EXPECT_EQ(FindPattern(".system.blank"), nullptr) << "the list's blank line is no pattern";
    EXPECT_EQ(FindPattern(".system.wood "), nullptr);
    EXPECT_EQ(FindPattern("wood"), nullptr);
}

TEST(TPatternManager, ReadsOnlyListLinesWithAKeyAndThreeNumbers) {
    const TPatternManager patterns("/.system.blank=(0,0,0)\r\n"
                                   ".system.a=(1,2,3)\r\n"
                                   "\r\n"
                                   "  \n"
                                   ".system.b = ( 10 , 20 , 30 )\n"
                                   ".system.noequals(1,2,3)\n"
                                   ".system.two=(1,2)\n"
                                   ".system.four=(1,2,3,4)\n"
                                   "system.c=(1,2,3)\n"
                                   ".system.d=(x,256,-5)\r"
                                   ".system.e=(7,8,9)");
    ASSERT_EQ(patterns.Count(), 5);
    EXPECT_TRUE(patterns.At(0).IsNone());
    EXPECT_EQ(patterns.At(1).Key(), ".system.a");
    EXPECT_EQ(patterns.At(1).AverageColor(), RGBColor(1, 2, 3));
    EXPECT_EQ(patterns.At(1).ResourceName(), "pattern_a");
    EXPECT_EQ(patterns.At(2).Key(), ".system.b ");
    EXPECT_EQ(patterns.At(2).AverageColor(), RGBColor(10, 20, 30));
    EXPECT_EQ(patterns.At(2).ResourceName(), "pattern_b") << "the name is trimmed";
    EXPECT_EQ(patterns.At(3).Key(), ".system.d");
    EXPECT_EQ(patterns.At(3).AverageColor(), RGBColor(0, 255, 0)) << "no number reads 0; channels are kept in range";
    EXPECT_EQ(patterns.At(4).Key(), ".system.e");
}

TEST(TPatternManager, APictureThatCannotBeLoadedRaisesAndLeavesNoBitmap) {
    const TPatternManager patterns(".system.missing=(1,2,3)");
    TPatternInfo& missing = patterns.At(1);
    EXPECT_THROW(GetBitmap(missing), ECVException);
    EXPECT_FALSE(missing.Bitmap());
    EXPECT_FALSE(GetBitmap(patterns.NonePattern())) << "the none pattern has no picture, and that is no error";
}

TEST(AverageColorOf, RoundsEachChannelsMeanHalfToEven) {
    // red: 0 and 1 (0.5 -> 0), green: 1 and 2 (1.5 -> 2), blue: 10 and 13 (11.5 -> 12)
    const TPicture picture = MakePicture(2, 1, [](int x, int) { return x == 0 ? 0x00010A : 0x01020D; });
    EXPECT_EQ(AverageColorOf(picture), RGBColor(0, 2, 12));
    EXPECT_EQ(AverageColorOf(TPicture()), clWhite);
    const TCustomPattern custom("#key", MakePicture(3, 3, [](int, int) { return 0x336699; }));
    EXPECT_TRUE(custom.IsCustom());
    EXPECT_EQ(custom.Key(), "#key");
    EXPECT_EQ(custom.AverageColor(), RGBColor(0x33, 0x66, 0x99));
    EXPECT_TRUE(custom.ResourceName().empty());
}

TEST(DrawPatternCover, CoversTheAreaCentredWithLargePicturesOnly) {
    const TPatternCoverRect rect = PatternCoverRect(2000, 1500, 1000, 1000);
    EXPECT_EQ(rect.Left, -167);
    EXPECT_EQ(rect.Right, 1166);
    EXPECT_EQ(rect.Top, 0);
    EXPECT_EQ(rect.Bottom, 1000);

    // red left of x = 1000, blue right of it: the cut leaves the picture's centre at the area's centre
    TCustomPattern large("#large", MakePicture(2000, 1500, [](int x, int) { return x < 1000 ? 0xFF0000 : 0x0000FF; }));
    TTestCanvas canvas(CAIRO_FORMAT_RGB24, 1000, 1000);
    ASSERT_TRUE(DrawPatternCover(large, canvas.Context(), 1000, 1000));
    EXPECT_EQ(canvas.Pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(canvas.Pixel(495, 500) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(canvas.Pixel(505, 500) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(canvas.Pixel(999, 999) & 0xFFFFFF, 0x0000FFu);

    TCustomPattern narrow("#narrow", MakePicture(1023, 2000, [](int, int) { return 0x00FF00; }));
    EXPECT_FALSE(DrawPatternCover(narrow, canvas.Context(), 1000, 1000));
    EXPECT_EQ(canvas.Pixel(505, 500) & 0xFFFFFF, 0x0000FFu) << "nothing is drawn";
    for (const TKnownPattern& known : kKnownPatterns) {
        SCOPED_TRACE(known.Key);
        EXPECT_FALSE(DrawPatternCover(*FindPattern(known.Key), canvas.Context(), 1000, 1000));
    }
}

// Exported pictures: the tiles start at the picture's top-left corner, whatever the map's coordinates.
TEST(RenderMapBitmap, PatternTilesStartAtThePicturesTopLeftCorner) {
    // a 7 x 5 tile with a different colour in every pixel
    const TPicture tile =
        MakePicture(7, 5, [](int x, int y) { return static_cast<std::uint32_t>(0x204060 + x * 16 + y * 0x1000); });
    TViewerImageStore store;
    ASSERT_TRUE(store.AddPng("tilekey", EncodePngPicture(tile)));
    TMindMap map;
    map.SetImageStore(&store);
    map.LoadFromText(
        NativeDocument(R"(<topic id="0" text="far away" x="1234.5" y="-777.25"/>)",
                       R"(<style key="system.bright-palette"><mindmap background-pattern="#tilekey"/></style>)"),
        "", true, 0);
    ASSERT_TRUE(map.MapStyle().HasPatternBackground());
    EXPECT_EQ(map.MapStyle().EffectiveBackgroundColor(), AverageColorOf(tile));
    const TPicture picture = RenderMapBitmap(map, false);
    // the corners and the margin are background
    for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {6, 4}, {7, 0}, {8, 1}, {0, 5}, {13, 9}, {3, 12}}) {
        SCOPED_TRACE(Format("pixel %d, %d", x, y));
        EXPECT_EQ(PixelAt(picture, x, y), PixelAt(tile, x % 7, y % 5));
    }
    const int right = picture.Width() - 1, bottom = picture.Height() - 1;
    EXPECT_EQ(PixelAt(picture, right, bottom), PixelAt(tile, right % 7, bottom % 5));
    map.SetImageStore(nullptr);
}

TEST(RenderMapBitmap, BuiltInPatternsTileAndAnOverriddenColourHidesThem) {
    TMindMap map;
    map.LoadFromText(
        NativeDocument(R"(<topic id="0" text="wood"/><topic id="1" text="far" x="500" y="400"/>)",
                       R"(<style key="system.bright-palette"><mindmap background-pattern=".system.wood"/></style>)"),
        "", true, 0);
    TPatternInfo& wood = *FindPattern(".system.wood");
    EXPECT_EQ(map.MapStyle().BackgroundPattern(), &wood);
    const TPicture bitmap = GetBitmap(wood);
    TPicture picture = RenderMapBitmap(map, false);
    ASSERT_GT(picture.Width(), 400);
    ASSERT_GT(picture.Height(), 400);
    for (auto [x, y] : {std::pair{0, 0}, {202, 0}, {203, 0}, {5, 316}, {5, 317}})
        EXPECT_EQ(PixelAt(picture, x, y), PixelAt(bitmap, x % 203, y % 317)) << x << ", " << y;

    map.LoadFromText(NativeDocument(R"(<topic id="0" text="plain"/>)",
                                    R"(<style key="system.bright-palette"><mindmap background-pattern=".system.wood">)"
                                    R"(<backgroundcolor r="10" g="20" b="30"/></mindmap></style>)"),
                     "", true, 0);
    EXPECT_FALSE(map.MapStyle().HasPatternBackground());
    picture = RenderMapBitmap(map, false);
    EXPECT_EQ(PixelAt(picture, 0, 0), 0x0A141Eu);
    EXPECT_EQ(PixelAt(picture, 203, 0), 0x0A141Eu);
}

TEST(RenderMapBitmap, LargeCustomPatternsCoverTheWholePicture) {
    // left half red, right half blue: covering shows both halves side by side, tiling would start with red again
    const TPicture large = MakePicture(1200, 1100, [](int x, int) { return x < 600 ? 0xFF0000 : 0x0000FF; });
    TViewerImageStore store;
    ASSERT_TRUE(store.AddPng("big", EncodePngPicture(large)));
    TMindMap map;
    map.SetImageStore(&store);
    map.LoadFromText(
        NativeDocument(R"(<topic id="0" text="covered"/>)",
                       R"(<style key="system.bright-palette"><mindmap background-pattern="#big"/></style>)"),
        "", true, 0);
    const TPicture picture = RenderMapBitmap(map, false);
    EXPECT_EQ(PixelAt(picture, 0, 0), 0xFF0000u);
    EXPECT_EQ(PixelAt(picture, picture.Width() - 1, 0), 0x0000FFu);
    EXPECT_EQ(PixelAt(picture, picture.Width() - 1, picture.Height() - 1), 0x0000FFu);
    map.SetImageStore(nullptr);
}

TEST(RenderMapBitmap, AMissingCustomPictureFallsBackToTheBuiltInPatternOfThatName) {
    TMindMap map;
    map.LoadFromText(
        NativeDocument(R"(<topic id="0" text="x"/>)",
                       R"(<style key="system.bright-palette"><mindmap background-pattern="#nothing"/></style>)"),
        "", true, 0);
    EXPECT_EQ(map.MapStyle().BackgroundPattern(), nullptr);
    EXPECT_EQ(map.BackgroundPatternName(), "#nothing") << "the name is kept for writing";
    map.LoadFromText(
        NativeDocument(R"(<topic id="0" text="x"/>)",
                       R"(<style key="system.bright-palette"><mindmap background-pattern="nil"/></style>)"),
        "", true, 0);
    EXPECT_EQ(map.MapStyle().BackgroundPattern(), nullptr);
    EXPECT_TRUE(map.MapStyle().IsOverridden(2)) << "the document says: no pattern";
}

TEST(PaintPatternBackground, TheNonePatternFillsWithItsMeanColour) {
    TTestCanvas canvas(CAIRO_FORMAT_RGB24, 20, 20);
    cairo_set_source_rgb(canvas.Context(), 0, 0, 0);
    cairo_paint(canvas.Context());
    PaintPatternBackground(canvas.Context(), Patterns().NonePattern(), 20, 20);
    EXPECT_EQ(canvas.Pixel(10, 10) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(SetUpBuiltInStyles, SchemePatternsResolveThroughTheRegistry) {
    EXPECT_EQ(StyleManager().ResolvePattern(".SYSTEM.DUST_SCRATCHES"), FindPattern(".system.dust_scratches"));
    EXPECT_EQ(StyleManager().ResolvePattern(".system.low_contrast_linen"), FindPattern(".system.low_contrast_linen"));
    EXPECT_EQ(StyleManager().ResolvePattern(".system.unknown"), nullptr);
}
