#include "render/CVImages.h"

#include <gtest/gtest.h>

namespace {

// A picture whose left half is opaque red and right half transparent.
TPicture HalfRed(int side) {
    TPicture picture = NewPicture(side, side);
    cairo_t* cr = cairo_create(picture.Surface());
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_rectangle(cr, 0, 0, side / 2.0, side);
    cairo_fill(cr);
    cairo_destroy(cr);
    return picture;
}

std::uint32_t PixelAt(const TPicture& picture, int x, int y) {
    cairo_surface_flush(picture.Surface());
    const unsigned char* data = cairo_image_surface_get_data(picture.Surface());
    return reinterpret_cast<const std::uint32_t*>(data + y * cairo_image_surface_get_stride(picture.Surface()))[x];
}

TDesignImageLists DesignLists() {
    TDesignImageLists lists;
    for (TImageList* tools : {&lists.ToolImages, &lists.ToolImages24, &lists.ToolImages32, &lists.ToolImages48})
        for (int i = 0; i < 180; ++i)
            tools->Add(HalfRed(tools->Width()));
    for (TImageList* preferences : {&lists.PreferencesImages, &lists.LargePreferencesImages})
        for (int i = 0; i < 4; ++i)
            preferences->Add(HalfRed(preferences->Width()));
    for (int i = 0; i < 3; ++i)
        lists.LayoutImages.Add(HalfRed(128));
    return lists;
}

} // namespace

TEST(TCVImagesDM, ListsFollowTheScreenResolution) {
    const struct {
        int Dpi;
        int Tier;
        int ToolSide;
        int LargerSide;
        int PreferenceSide;
        int Spacing;
        int LayoutWidth;
        int LayoutHeight;
    } cases[] = {
        {96, 0, 16, 24, 32, 3, 128, 71},   {120, 0, 16, 24, 32, 4, 160, 89},  {134, 0, 16, 24, 32, 4, 179, 99},
        {135, 1, 24, 32, 32, 4, 180, 100}, {144, 1, 24, 32, 32, 4, 192, 106}, {172, 1, 24, 32, 32, 5, 229, 127},
        {192, 2, 32, 48, 48, 6, 256, 142},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Dpi);
        TCVImagesDM images(DesignLists(), c.Dpi, false);
        EXPECT_EQ(images.ResolutionTier(), c.Tier);
        EXPECT_EQ(images.ToolImagesForTier().Width(), c.ToolSide);
        EXPECT_EQ(images.LargerToolImages().Width(), c.LargerSide);
        EXPECT_EQ(images.PreferenceImages().Width(), c.PreferenceSide);
        EXPECT_EQ(images.ToolSpacing(), c.Spacing);
        EXPECT_EQ(images.ScaledLayoutImages().Width(), c.LayoutWidth);
        EXPECT_EQ(images.ScaledLayoutImages().Height(), c.LayoutHeight);
    }
}

TEST(TCVImagesDM, LayoutPicturesAreScaledAfterAnEmptyFirstPicture) {
    TCVImagesDM images(DesignLists(), 192, false);
    const TImageList& scaled = images.ScaledLayoutImages();
    ASSERT_EQ(scaled.Count(), 4);
    EXPECT_EQ(PixelAt(scaled.At(0), 10, 10), 0u);
    EXPECT_EQ(PixelAt(scaled.At(1), 10, 10), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(scaled.At(1), 250, 10) >> 24, 0u);
}

TEST(TCVImagesDM, DarkModeShowsLightPicturesExceptTheColouredOnes) {
    TCVImagesDM light(DesignLists(), 96, false);
    EXPECT_EQ(&light.ToolImagesForTier(), &light.Design().ToolImages);
    EXPECT_EQ(PixelAt(light.ToolImagesForTier().At(0), 2, 8), 0xFFFF0000u);

    TCVImagesDM dark(DesignLists(), 144, true);
    const TImageList& tools = dark.ToolImagesForTier();
    EXPECT_NE(&tools, &dark.Design().ToolImages24);
    ASSERT_EQ(tools.Count(), 180);
    EXPECT_EQ(tools.Width(), 24);
    const std::uint32_t lightColour = 0xFFF0F0FFu;
    for (int index : {0, 109, 111, 122, 130, 175, 177, 179}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(PixelAt(tools.At(index), 2, 12), lightColour);
        EXPECT_EQ(PixelAt(tools.At(index), 20, 12), 0u); // transparency is kept
    }
    for (int index : {110, 119, 120, 123, 129, 140, 141, 147, 171, 172, 176}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(PixelAt(tools.At(index), 2, 12), 0xFFFF0000u);
    }
    EXPECT_EQ(PixelAt(dark.LargerToolImages().At(0), 2, 12), lightColour);
    const TImageList& preferences = dark.PreferenceImages();
    EXPECT_EQ(PixelAt(preferences.At(0), 2, 12), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(preferences.At(1), 2, 12), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(preferences.At(2), 2, 12), lightColour);
}

TEST(TCVImagesDM, SizeObserversHearResolutionChangesWhileTheyLive) {
    auto images = std::make_unique<TCVImagesDM>(DesignLists(), 96, false);
    int heard = 0, other = 0;
    int form = 0;
    auto observer = images->AddSizeObserver([&] { ++heard; }, &form);
    auto second = images->AddSizeObserver([&] { ++other; }, nullptr);
    EXPECT_EQ(observer->Form(), &form);
    images->ChangeResolution(96); // no change
    images->ChangeResolution(192);
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(images->ResolutionTier(), 2);
    EXPECT_EQ(images->ToolImagesForTier().Width(), 32);
    second.reset();
    images->ChangeResolution(144);
    EXPECT_EQ(heard, 2);
    EXPECT_EQ(other, 1);
    images.reset();
    observer.reset(); // the data module went first
}

TEST(TImageList, PicturesOfAnotherSizeAreScaledToFit) {
    TImageList list(16, 16);
    EXPECT_EQ(list.Add(HalfRed(16)), 0);
    EXPECT_EQ(list.Add(HalfRed(64)), 1);
    EXPECT_EQ(list.At(1).Width(), 16);
    EXPECT_EQ(PixelAt(list.At(1), 3, 8), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(list.At(1), 12, 8) >> 24, 0u);
    EXPECT_EQ(list.Add(TPicture()), 2); // an empty picture keeps its place
    EXPECT_EQ(list.Count(), 3);
}
