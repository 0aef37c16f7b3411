#include "render/StockIcns.h"

#include "render/CustomImageStores.h"
#include "render/FlatStockIcns.h"
#include "render/V1StockIcons.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace {

// Opaque pixels of a 32-bit picture.
int OpaquePixels(const TPicture& picture) {
    cairo_surface_flush(picture.Surface());
    const unsigned char* data = cairo_image_surface_get_data(picture.Surface());
    const int stride = cairo_image_surface_get_stride(picture.Surface());
    int count = 0;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            count += (reinterpret_cast<const std::uint32_t*>(data + y * stride)[x] >> 24) > 200;
    return count;
}

std::uint32_t PixelAt(const TPicture& picture, int x, int y) {
    cairo_surface_flush(picture.Surface());
    const unsigned char* data = cairo_image_surface_get_data(picture.Surface());
    return reinterpret_cast<const std::uint32_t*>(data + y * cairo_image_surface_get_stride(picture.Surface()))[x];
}

// Names of the program's resources that start with the prefix.
std::set<std::string> ResourceNames(const std::string& prefix) {
    std::set<std::string> names;
    char** children = g_resources_enumerate_children("/org/orrinex/corvella/", G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
    for (char** child = children; child && *child; ++child)
        if (std::string(*child).rfind(prefix, 0) == 0)
            names.insert(*child);
    g_strfreev(children);
    return names;
}

} // namespace

TEST(TFlatStockIconStore, ListsEveryTableKeyButThreeAndServesAllFlatPictures) {
    TFlatStockIconStore& store = FlatStockIconStore();
    EXPECT_EQ(TFlatStockIconStore::TableWords().size(), 184u);
    EXPECT_EQ(store.GetCount(), 181);
    ASSERT_EQ(store.Keys().size(), 181u);
    EXPECT_EQ(store.Keys().front(), "ic8_48_ok");
    EXPECT_EQ(store.Keys().back(), "ic8_48_construction");
    for (const char* unlisted : {"ic8_48_twitter", "ic8_48_skype", "ic8_48_google_plus", "ic8_48_axe"}) {
        SCOPED_TRACE(unlisted);
        EXPECT_EQ(std::count(store.Keys().begin(), store.Keys().end(), unlisted), 0);
        EXPECT_TRUE(store.GetSurface(unlisted)); // loaded all the same
    }
    // every word of the table and the extra words has a 48 and a 96 pixel picture
    std::vector<std::string> words(TFlatStockIconStore::TableWords().begin(), TFlatStockIconStore::TableWords().end());
    words.insert(words.end(), TFlatStockIconStore::ExtraWords().begin(), TFlatStockIconStore::ExtraWords().end());
    EXPECT_EQ(words.size(), 186u);
    for (const std::string& word : words) {
        SCOPED_TRACE(word);
        for (int side : {48, 96}) {
            const TPicture picture = store.GetSurface("ic8_" + std::to_string(side) + "_" + word);
            ASSERT_TRUE(picture);
            EXPECT_EQ(picture.Width(), side);
            EXPECT_EQ(picture.Height(), side);
            EXPECT_GT(OpaquePixels(picture), side * side / 16); // a real picture, not an empty square
        }
    }
    // and the resources hold no flat picture beyond those
    const std::set<std::string> resources = ResourceNames("ic8_");
    EXPECT_EQ(resources.size(), 372u);
    for (const std::string& word : words)
        EXPECT_EQ(resources.count("ic8_96_" + word), 1u) << word;
}

TEST(TFlatStockIconStore, ServesOnlyKeysWithTheExactPrefix) {
    TFlatStockIconStore& store = FlatStockIconStore();
    const struct {
        const char* Key;
        bool Served;
    } cases[] = {
        {"ic8_48_ok", true},       {"ic8_96_ok", true}, {"IC8_48_ok", false}, {"ic8_48_OK", false},
        {"ic8_48_nothing", false}, {"ic8_48", false},   {"ic8_", false},      {"ok", false},
        {"xic8_48_ok", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Key);
        EXPECT_EQ(static_cast<bool>(store.GetSurface(c.Key)), c.Served);
    }
}

TEST(TV1StockIcons, KeysIgnoreLetterCaseAndEndWithTheNumberPictures) {
    TV1StockIcons& store = V1StockIcons();
    EXPECT_EQ(store.GetCount(), 110);
    ASSERT_EQ(store.Keys().size(), 110u);
    EXPECT_EQ(store.Keys()[99], "cloud");
    EXPECT_EQ(store.Keys()[100], "white.0");
    EXPECT_EQ(store.Keys().back(), "white.9");
    const struct {
        const char* Key;
        const char* Resource;
    } cases[] = {
        {"ok", "tick_png"},       {"OK", "tick_png"},
        {"Cancel", "delete_png"}, {"todo", "cogwheels_png"},
        {"time", "clock_png"},    {"GreenFlag", "green_flag_png"},
        {"tablet", "ipad_png"},   {"heraldic_cross", "heraldic_cross_png"},
        {"ax", "ax_png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Key);
        const TPicture picture = store.GetSurface(c.Key);
        EXPECT_TRUE(picture == ResourcePicture(c.Resource));
        EXPECT_EQ(picture.Width(), 32);
    }
    EXPECT_FALSE(store.GetSurface("ok "));
    EXPECT_FALSE(store.GetSurface("unknown"));
    EXPECT_TRUE(store.GetSurface("WHITE.7"));
    for (const auto& [key, resource] : TV1StockIcons::KeyTable()) {
        SCOPED_TRACE(key);
        EXPECT_EQ(ResourcePicture(resource).Width(), 32);
        EXPECT_GT(OpaquePixels(ResourcePicture(resource)), 32 * 32 / 16);
    }
}

TEST(TV1StockIcons, NumberPicturesAreWhiteRoundSquaresWithTheDigit) {
    const TPicture zero = V1StockIcons().GetSurface("white.0");
    ASSERT_TRUE(zero);
    EXPECT_EQ(zero.Width(), 32);
    EXPECT_EQ(PixelAt(zero, 0, 0) >> 24, 0u);     // outside the square
    EXPECT_EQ(PixelAt(zero, 16, 3), 0xFF000000u); // the black border
    EXPECT_EQ(PixelAt(zero, 5, 16), 0xFFFFFFFFu); // white inside, left of the digit
    int dark = 0;
    for (int y = 6; y < 26; ++y)
        for (int x = 6; x < 26; ++x)
            dark += (PixelAt(zero, x, y) & 0xFF) < 80;
    EXPECT_GT(dark, 20);
    const std::string one = EncodePngPicture(MakeNumberPicture(1));
    EXPECT_NE(one, EncodePngPicture(MakeNumberPicture(8)));
    EXPECT_EQ(one, EncodePngPicture(MakeNumberPicture(1)));
}

TEST(TStockIconStores, AsksTheFlatStoreFirstThenTheLegacyStore) {
    TStockIconStores& stores = StockIconStores();
    ASSERT_GE(stores.Stores().size(), 2u);
    EXPECT_EQ(stores.Stores()[0], &FlatStockIconStore());
    EXPECT_EQ(stores.Stores()[1], &V1StockIcons());
    EXPECT_TRUE(stores.GetSurface("ic8_48_ok") == ResourcePicture("ic8_48_ok"));
    EXPECT_TRUE(stores.GetSurface("OK") == ResourcePicture("tick_png"));
    EXPECT_FALSE(stores.GetSurface("IC8_48_ok"));
    EXPECT_FALSE(stores.GetSurface(""));
}

TEST(TStockIconStores, PickerListsAreSizedByScreenResolution) {
    const struct {
        int Dpi;
        int FlatSide;
        int LegacySide;
    } cases[] = {{96, 28, 20}, {120, 35, 25}, {144, 42, 30}, {192, 48, 32}, {288, 48, 32}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Dpi);
        TFlatStockIconStore flat(c.Dpi);
        const TImageList& flatList = flat.GetImageList();
        EXPECT_EQ(flatList.Width(), c.FlatSide);
        EXPECT_EQ(flatList.Count(), 181);
        TV1StockIcons legacy(c.Dpi);
        const TImageList& legacyList = legacy.GetImageList();
        EXPECT_EQ(legacyList.Height(), c.LegacySide);
        EXPECT_EQ(legacyList.Count(), 110);
    }
    // entry n belongs to the n-th key: the last legacy entry is the digit 9, white inside
    TV1StockIcons legacy(192);
    const TPicture nine = legacy.GetImageList().At(109);
    EXPECT_EQ(PixelAt(nine, 5, 16), 0xFFFFFFFFu);
    EXPECT_GT(OpaquePixels(legacy.GetImageList().At(0)), 32 * 32 / 8);
}
