#include "styling/ColorSchemes.h"

#include "model/CVMindMaps.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

// Every entry of the palette as "fill/stroke", comma separated.
std::string PaletteText(const TColorScheme& scheme) {
    std::string text;
    for (int i = 0; i < scheme.PaletteCount(); ++i) {
        if (i > 0)
            text += ", ";
        text += ColorText(scheme.PaletteFill(i)) + "/" + ColorText(scheme.PaletteStroke(i));
    }
    return text;
}

std::string TopicColors(const TMindMapNode& topic) {
    return ColorText(topic.ResolvedFill) + "/" + ColorText(topic.ResolvedBorder) + " text " +
           ColorText(topic.ResolvedText);
}

std::string SchemeKind(const TColorScheme& scheme) {
    if (dynamic_cast<const TSimpleColorScheme*>(&scheme))
        return "simple";
    if (const auto* palettized = dynamic_cast<const TPalettizedColorScheme*>(&scheme))
        return palettized->LevelBased() ? "level" : "branch";
    return "other";
}

// A palette filled by hand, like one read from a document.
class TTestPaletteScheme : public TPalettizedColorScheme {
public:
    std::string_view GetKey() const override { return "test"; }
};

} // namespace

TEST(TColorSchemeRegistry, RegistersTheBuiltInSchemesInTheirFixedOrder) {
    TColorSchemeRegistry registry;
    RegisterBuiltInColorSchemes(registry);
    std::vector<std::string> keys;
    for (int i = 0; i < registry.Count(); ++i)
        keys.emplace_back(registry.SchemeAt(i).GetKey());
    const std::vector<std::string> expected = {
        "bright-palette",    "bright-palette.dark",     "soft-palette",       "soft-palette.dark",
        "pastel-palette",    "pastel-palette.dark",     "gold-palette",       "gold-palette.dark",
        "black-and-white",   "black-and-white.dark",    "gray-scale",         "gray-scale-pattern",
        "gray-scale.dark",   "gray-scale-pattern.dark", "material-strokes",   "material-strokes-dark",
        "material-filled",   "material-filled.dark",    "chart-colors",       "chart-colors.dark",
        "blue-steel-colors", "blue-steel-colors.dark",  "colors-on-black",    "aqua-levels",
        "aqua-levels.dark",  "spring-levels",           "spring-levels.dark",
    };
    EXPECT_EQ(keys, expected);
}

TEST(TColorSchemeRegistry, FindsByKeyWithoutRegardToCaseAndFallsBackToTheFirstScheme) {
    TColorSchemeRegistry registry;
    EXPECT_EQ(registry.FindScheme("bright-palette"), nullptr);
    EXPECT_EQ(registry.IndexOfScheme("bright-palette"), -1);

    RegisterBuiltInColorSchemes(registry);
    registry.RegisterScheme(nullptr);
    EXPECT_EQ(registry.Count(), 27);

    struct TCase {
        const char* Key;
        const char* Found;
        int Index;
    };
    const TCase cases[] = {
        {"GRAY-SCALE", "gray-scale", 10},
        {"Material-Strokes-Dark", "material-strokes-dark", 15},
        {"material-strokes.dark", "bright-palette", -1}, // this dark key is spelt with a hyphen
        {"no-such-scheme", "bright-palette", -1},
        {"", "bright-palette", -1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Key);
        ASSERT_NE(registry.FindScheme(c.Key), nullptr);
        EXPECT_EQ(registry.FindScheme(c.Key)->GetKey(), c.Found);
        EXPECT_EQ(registry.IndexOfScheme(c.Key), c.Index);
    }

    registry.RegisterScheme(std::make_unique<TTestPaletteScheme>());
    auto second = std::make_unique<TTestPaletteScheme>();
    const TColorScheme* secondPointer = second.get();
    registry.RegisterScheme(std::move(second));
    EXPECT_EQ(registry.IndexOfScheme("TEST"), 27);
    EXPECT_NE(registry.FindScheme("test"), secondPointer);
}

TEST(TBuiltInColorSchemes, HaveTheirKindBackgroundTextAndPalette) {
    struct TCase {
        const char* Key;
        const char* Kind;
        const char* Background;
        const char* Pattern;
        const char* Text;
        const char* Palette;
    };
    const TCase cases[] = {
        {"bright-palette", "branch", "#FFFFFF", "", "#181818",
         "#C1CCFF/#0033FF, #FFC0B4/#FF0000, #FFD595/#FF9900, #FFF6A9/#FBC02D, #ACFF97/#33FF00, #B9F1FF/#00CCFF, "
         "#E3B9FF/#9900FF, #FFC1E0/#FF80C0"},
        // fills: the strokes darkened, except the central theme's
        {"bright-palette.dark", "branch", "#181818", "", "#DFDFDF",
         "#177AE9/#0033FF, #800000/#FF0000, #804D00/#FF9900, #8F6903/#FBC02D, #1A8000/#33FF00, #006680/#00CCFF, "
         "#4D0080/#9900FF, #BF0060/#FF80C0"},
        {"soft-palette", "branch", "#FFFFFF", "", "#181818",
         "#DFE4FF/#556FFF, #FFDFDF/#FF5555, #FFEED5/#FFBB55, #FFF9C4/#FDD835, #E6FFDF/#66FF40, #DFF9FF/#66C6FF, "
         "#F4E6FF/#BB55FF, #FFE6F2/#FF95CA"},
        {"soft-palette.dark", "branch", "#181818", "", "#DFDFDF",
         "none/#556FFF, none/#FF5555, none/#FFBB55, none/#FDD835, none/#66FF40, none/#66C6FF, none/#BB55FF, "
         "none/#FF95CA"},
        // strokes: the fills darkened
        {"pastel-palette", "branch", "#FFF7E4", "", "#181818",
         "#E3C8AE/#956433, #F3B1BF/#B71C3A, #EBBC4A/#8A650F, #DFD04F/#807517, #9EC6AE/#427155, #82B0C7/#335C71, "
         "#C8B4DE/#623E8A, #DEA0DE/#8E318E, #D8B8C2/#814758"},
        // fills: the strokes darkened once more
        {"pastel-palette.dark", "branch", "#181818", "", "#DFDFDF",
         "#4A321A/#956433, #5A0E1D/#B71C3A, #453307/#8A650F, #3F390C/#807517, #21382B/#427155, #1A2D37/#335C71, "
         "#311F45/#623E8A, #471847/#8E318E, #41232C/#814758"},
        {"gold-palette", "branch", "#FEF9CB", "", "#181818",
         "#FDF4AC/#CFBB05, #F3E786/#AA9B11, #F7DD61/#A48809, #F1CF34/#89730A, #E1B455/#846117, #CEA734/#675418, "
         "#C79A2D/#634B16, #B59128/#5A4914"},
        {"gold-palette.dark", "branch", "#181818", "", "#DFDFDF",
         "none/#CFBB05, none/#AA9B11, none/#A48809, none/#89730A, none/#846117, none/#675418, none/#634B16, "
         "none/#5A4914"},
        {"black-and-white", "simple", "#FFFFFF", "", "#000000", "#FFFFFF/#000000"},
        {"black-and-white.dark", "simple", "#181818", "", "#DFDFDF", "#181818/#DFDFDF"},
        {"gray-scale", "level", "#FFFFFF", "", "#181818", "none/#404040, none/#808080, none/#A0A0A4"},
        {"gray-scale-pattern", "level", "#FFFFFF", ".system.dust_scratches", "#181818",
         "none/#404040, none/#808080, none/#A0A0A4"},
        {"gray-scale.dark", "level", "#181818", "", "#DFDFDF", "none/#DFDFDF, none/#C0C0C0, none/#A0A0A4"},
        {"gray-scale-pattern.dark", "level", "#181818", ".system.low_contrast_linen", "#DFDFDF",
         "none/#DFDFDF, none/#C0C0C0, none/#A0A0A4"},
        {"material-strokes", "branch", "#FFFFFF", "", "#181818",
         "none/#3F51B5, none/#D50000, none/#FB8C00, none/#FFD600, none/#AEEA00, none/#76FF03, none/#00C853, "
         "none/#00B0FF, none/#2962FF, none/#9575CD, none/#AB47BC"},
        {"material-strokes-dark", "branch", "#181818", "", "#DFDFDF",
         "none/#3F51B5, none/#D50000, none/#FB8C00, none/#FFD600, none/#AEEA00, none/#76FF03, none/#00C853, "
         "none/#00B0FF, none/#2962FF, none/#9575CD, none/#AB47BC"},
        {"material-filled", "branch", "#FFFFFF", "", "#181818",
         "#90CAF9/#42A5F5, #EF9A9A/#F44336, #FFB74D/#FF9800, #FFE082/#FFCA28, #FFF59D/#FFEE58, #E6EE9C/#D4E157, "
         "#DCEDC8/#AED581, #A5D6A7/#4CAF50, #80CBC4/#26A69A, #B3E5FC/#4FC3F7, #C5CAE9/#9FA8DA, #D1C4E9/#B39DDB, "
         "#E1BEE7/#CE93D8, #F8BBD0/#F48FB1"},
        {"material-filled.dark", "branch", "#181818", "", "#181818",
         "#90CAF9/#42A5F5, #EF9A9A/#F44336, #FFB74D/#FF9800, #FFE082/#FFCA28, #FFF59D/#FFEE58, #E6EE9C/#D4E157, "
         "#DCEDC8/#AED581, #A5D6A7/#4CAF50, #80CBC4/#26A69A, #B3E5FC/#4FC3F7, #C5CAE9/#9FA8DA, #D1C4E9/#B39DDB, "
         "#E1BEE7/#CE93D8, #F8BBD0/#F48FB1"},
        {"chart-colors", "simple", "#FFFFFF", "", "#37474F", "#E8EAF6/#3F51B5"},
        {"chart-colors.dark", "simple", "#181818", "", "#E8EAF6", "#2D336C/#5C6BC0"},
        {"blue-steel-colors", "simple", "#FFFFFF", "", "#2D3773", "#E9EBF8/#C8CFE9"},
        {"blue-steel-colors.dark", "simple", "#181818", "", "#E9EBF8", "#1D2349/#3C4997"},
        {"colors-on-black", "branch", "#181818", "", "#DFDFDF",
         "#181818/#0033FF, #181818/#FF0000, #181818/#FF9900, #181818/#FBC02D, #181818/#33FF00, #181818/#00CCFF, "
         "#181818/#9900FF, #181818/#FF80C0"},
        {"aqua-levels", "level", "#FFFFFF", "", "#181818",
         "#307CA5/#1B5072, #5BB4E3/#1986C7, #C7E6F8/#1986C7, #DDEEF7/#2C8CBF, #EDF7FC/#249AD2"},
        // fills: the strokes darkened, the central theme's like level 1's
        {"aqua-levels.dark", "level", "#181818", "", "#DFDFDF",
         "#104158/#2599D1, #104158/#1F82B1, #0D3548/#1A6B93, #0A2C3D/#145778, #07212E/#10445C"},
        {"spring-levels", "level", "#FFFFFF", "", "#181818",
         "#8CD0FF/#3F8594, #C5EE9A/#62A81C, #FFF6A9/#FBC02D, #FFF9C4/#FBC02D, #FFFBD1/#FBC02D"},
        {"spring-levels.dark", "level", "#181818", "", "#DFDFDF",
         "none/#54A5B6, none/#62A81C, none/#FFD600, none/#FDD835, none/#FDD835"},
    };
    TColorSchemeRegistry registry;
    RegisterBuiltInColorSchemes(registry);
    ASSERT_EQ(registry.Count(), static_cast<int>(std::size(cases)));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Key);
        const int index = registry.IndexOfScheme(c.Key);
        ASSERT_GE(index, 0);
        const TColorScheme& scheme = registry.SchemeAt(index);
        EXPECT_EQ(SchemeKind(scheme), c.Kind);
        EXPECT_EQ(ColorText(scheme.BackgroundColor()), c.Background);
        EXPECT_EQ(scheme.BackgroundPatternKey(), c.Pattern);
        EXPECT_EQ(ColorText(scheme.TextColor()), c.Text);
        EXPECT_EQ(PaletteText(scheme), c.Palette);
        EXPECT_FALSE(scheme.IsCustom());
        if (const auto* palettized = dynamic_cast<const TPalettizedColorScheme*>(&scheme)) {
            EXPECT_EQ(palettized->Fills().size(), palettized->Strokes().size());
        }
    }
}

TEST(TBuiltInColorSchemes, StoreColoursWithRedInTheLowByte) {
    const TBrightColorScheme scheme;
    EXPECT_EQ(scheme.PaletteFill(0), 0x00FFCCC1u);   // #C1CCFF
    EXPECT_EQ(scheme.PaletteStroke(0), 0x00FF3300u); // #0033FF
}

TEST(TBuiltInColorSchemes, GoldStrokesAreTheFillsWithHalvedLuminance) {
    const TGoldColorScheme scheme;
    for (int i = 0; i < scheme.PaletteCount(); ++i) {
        SCOPED_TRACE(ColorText(scheme.PaletteFill(i)));
        const THLSColor fill = ColorRGBToHLS(scheme.PaletteFill(i));
        const THLSColor stroke = ColorRGBToHLS(scheme.PaletteStroke(i));
        EXPECT_NEAR(stroke.Luminance, fill.Luminance / 2, 1);
        EXPECT_NEAR(stroke.Hue, fill.Hue, 2);
        EXPECT_NEAR(stroke.Saturation, fill.Saturation, 3);
    }
}

TEST(THLSConversion, ConvertsRGBToHLS) {
    struct TCase {
        TColor Color;
        THLSColor Hls;
    };
    const TCase cases[] = {
        {RGBColor(255, 0, 0), {0, 120, 240}},
        {RGBColor(255, 255, 0), {40, 120, 240}},
        {RGBColor(0, 255, 0), {80, 120, 240}},
        {RGBColor(0, 255, 255), {120, 120, 240}},
        {RGBColor(0, 0, 255), {160, 120, 240}},
        {RGBColor(255, 0, 255), {200, 120, 240}},
        {RGBColor(200, 100, 50), {13, 118, 144}},
        // greys have no hue: they answer the undefined hue and no saturation
        {RGBColor(255, 255, 255), {160, 240, 0}},
        {RGBColor(0, 0, 0), {160, 0, 0}},
        {RGBColor(128, 128, 128), {160, 120, 0}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(ColorText(c.Color));
        const THLSColor hls = ColorRGBToHLS(c.Color);
        EXPECT_EQ(hls.Hue, c.Hls.Hue);
        EXPECT_EQ(hls.Luminance, c.Hls.Luminance);
        EXPECT_EQ(hls.Saturation, c.Hls.Saturation);
    }
}

TEST(THLSConversion, ConvertsHLSToRGBAndKeepsOutOfRangeValuesInside) {
    struct TCase {
        int Hue, Luminance, Saturation;
        const char* Color;
    };
    const TCase cases[] = {
        {0, 120, 240, "#FF0000"},
        {80, 120, 240, "#00FF00"},
        {160, 120, 240, "#0000FF"},
        {40, 60, 240, "#808000"},
        {13, 118, 144, "#C96332"},
        {160, 120, 0, "#7F7F7F"}, // greys truncate, as the shell's conversion does
        {100, 240, 77, "#FFFFFF"},
        {100, 0, 77, "#000000"},
        // the hue is an angle: whole turns and negative hues wrap
        {240, 120, 240, "#FF0000"},
        {480, 120, 240, "#FF0000"},
        {-80, 120, 240, "#0000FF"},
        // luminance and saturation are kept within 0..240; beyond, the channels would overflow into each other
        {0, 300, 240, "#FFFFFF"},
        {0, -5, 240, "#000000"},
        {0, 120, 999, "#FF0000"},
        {0, 120, -1, "#7F7F7F"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Hue << ", " << c.Luminance << ", " << c.Saturation);
        EXPECT_EQ(ColorText(ColorHLSToRGB(c.Hue, c.Luminance, c.Saturation)), c.Color);
    }
}

TEST(THLSConversion, RoundTripStaysWithinThePrecisionOfTheScale) {
    for (TColor exact :
         {RGBColor(255, 0, 0), RGBColor(0, 255, 0), RGBColor(0, 0, 255), RGBColor(255, 255, 255), RGBColor(0, 0, 0)}) {
        const THLSColor hls = ColorRGBToHLS(exact);
        EXPECT_EQ(ColorText(ColorHLSToRGB(hls.Hue, hls.Luminance, hls.Saturation)), ColorText(exact));
    }
    for (unsigned v = 0; v < 256; ++v) {
        const THLSColor hls = ColorRGBToHLS(RGBColor(v, v, v));
        const TColor back = ColorHLSToRGB(hls.Hue, hls.Luminance, hls.Saturation);
        ASSERT_EQ(RedOf(back), GreenOf(back)) << v;
        ASSERT_EQ(RedOf(back), BlueOf(back)) << v;
        ASSERT_LE(std::abs(static_cast<int>(RedOf(back)) - static_cast<int>(v)), 1) << v;
    }
    // hue steps of 1/240 turn lose up to 5 of 255 in saturated colours
    int worst = 0;
    for (unsigned r = 0; r < 256; r += 5)
        for (unsigned g = 0; g < 256; g += 5)
            for (unsigned b = 0; b < 256; b += 5) {
                const THLSColor hls = ColorRGBToHLS(RGBColor(r, g, b));
                ASSERT_TRUE(hls.Hue >= 0 && hls.Hue < 240 && hls.Luminance >= 0 && hls.Luminance <= 240 &&
                            hls.Saturation >= 0 && hls.Saturation <= 240)
                    << r << " " << g << " " << b;
                const TColor back = ColorHLSToRGB(hls.Hue, hls.Luminance, hls.Saturation);
                worst = std::max({worst, std::abs(static_cast<int>(RedOf(back)) - static_cast<int>(r)),
                                  std::abs(static_cast<int>(GreenOf(back)) - static_cast<int>(g)),
                                  std::abs(static_cast<int>(BlueOf(back)) - static_cast<int>(b))});
            }
    EXPECT_LE(worst, 5);
}

TEST(TDarken, HalvesTheLuminanceAndLeavesTheSentinels) {
    struct TCase {
        TColor Color;
        const char* Darkened;
    };
    const TCase cases[] = {
        {RGBColor(255, 0, 0), "#800000"},
        {RGBColor(255, 255, 255), "#7F7F7F"},
        {RGBColor(0, 0, 0), "#000000"},
        {RGBColor(128, 128, 128), "#3F3F3F"},
        {RGBColor(200, 100, 50), "#64321A"},
        {RGBColor(0x17, 0x7A, 0xE9), "#0C3E74"},
        {clNone, "none"},
        {clDefault, "default"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(ColorText(c.Color));
        EXPECT_EQ(ColorText(Darken(c.Color)), c.Darkened);
    }
}

TEST(TPalettizedColorScheme, StartsWithTheBaseLookAndClampsEntryIndices) {
    TTestPaletteScheme scheme;
    EXPECT_EQ(ColorText(scheme.BackgroundColor()), "#FFFFFF");
    EXPECT_EQ(scheme.BackgroundPatternKey(), "");
    EXPECT_EQ(ColorText(scheme.TextColor()), "#181818");
    EXPECT_FALSE(scheme.LevelBased());
    EXPECT_EQ(scheme.PaletteCount(), 0);
    EXPECT_EQ(ColorText(scheme.PaletteFill(0)), "#FFFFFF");
    EXPECT_EQ(ColorText(scheme.PaletteStroke(0)), "#181818");

    scheme.AddEntry(RGBColor(1, 1, 1), RGBColor(2, 2, 2));
    scheme.AddEntry(RGBColor(3, 3, 3), RGBColor(4, 4, 4));
    EXPECT_EQ(ColorText(scheme.PaletteFill(-1)), "#010101");
    EXPECT_EQ(ColorText(scheme.PaletteStroke(-1)), "#020202");
    EXPECT_EQ(ColorText(scheme.PaletteFill(7)), "#030303");
    EXPECT_EQ(ColorText(scheme.PaletteStroke(7)), "#040404");
}

TEST(TPalettizedColorScheme, GivesMainBranchesTheNextEntriesInTheOrderTheyAreColoured) {
    TBrightColorScheme scheme;
    TTestMap map;
    TMindMapNode* central = map.Add();
    std::vector<TMindMapNode*> branches;
    for (int i = 0; i < 5; ++i)
        branches.push_back(map.Add(central));

    scheme.ResetPalette();
    scheme.ApplyToTopic(*central);
    EXPECT_EQ(TopicColors(*central), "#C1CCFF/#0033FF text #181818");
    EXPECT_EQ(central->PaletteIndex(), 1);
    // coloured last to first: the last child gets entry 1
    for (auto it = branches.rbegin(); it != branches.rend(); ++it)
        scheme.ApplyToTopic(**it);
    const std::vector<std::string> expected = {
        "#ACFF97/#33FF00 text #181818", "#FFF6A9/#FBC02D text #181818", "#FFD595/#FF9900 text #181818",
        "#FFC0B4/#FF0000 text #181818", "#C1CCFF/#0033FF text #181818",
    };
    for (std::size_t i = 0; i < branches.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(branches[i]->PaletteIndex(), 6 - static_cast<int>(i));
    }
    EXPECT_EQ(TopicColors(*branches[4]), "#FFC0B4/#FF0000 text #181818");
    EXPECT_EQ(TopicColors(*branches[0]), "#B9F1FF/#00CCFF text #181818");

    // in tree order on a fresh map the first child gets entry 1; a second central theme also takes entry 0
    TTestMap tree;
    TMindMapNode* first = tree.Add();
    std::vector<TMindMapNode*> children;
    for (int i = 0; i < 5; ++i)
        children.push_back(tree.Add(first));
    TMindMapNode* second = tree.Add();
    TMindMapNode* secondChild = tree.Add(second);
    ApplyColorSchemeToMap(scheme, tree.Map);
    for (std::size_t i = 0; i < children.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(children[i]->PaletteIndex(), static_cast<int>(i) + 2);
    }
    EXPECT_EQ(TopicColors(*children[0]), "#FFC0B4/#FF0000 text #181818");
    EXPECT_EQ(TopicColors(*second), "#C1CCFF/#0033FF text #181818");
    EXPECT_EQ(secondChild->PaletteIndex(), 2);
}

TEST(TPalettizedColorScheme, RepeatsEntriesRoundRobinButNeverHandsOutEntryZero) {
    TBrightColorScheme scheme;
    const auto paletteIndices = [&scheme](int branchCount) {
        TTestMap map;
        TMindMapNode* central = map.Add();
        for (int i = 0; i < branchCount; ++i)
            map.Add(central);
        ApplyColorSchemeToMap(scheme, map.Map);
        std::vector<int> indices;
        for (const TMindMapNode* branch : central->Children())
            indices.push_back(branch->PaletteIndex());
        return indices;
    };
    std::vector<int> expected;
    for (int i = 0; i < 20; ++i)
        expected.push_back(2 + i % 7);
    EXPECT_EQ(paletteIndices(20), expected);
    // the counter starts again with every map
    EXPECT_EQ(paletteIndices(9), std::vector<int>(expected.begin(), expected.begin() + 9));
}

TEST(TPalettizedColorScheme, KeepsStoredIndicesAndClampsThemToThePalette) {
    TBrightColorScheme scheme;
    TTestMap map;
    TMindMapNode* central = map.Add(nullptr, 3);
    TMindMapNode* beyond = map.Add(central, 12);
    TMindMapNode* negative = map.Add(central, -4);
    TMindMapNode* stored = map.Add(central, 2);
    TMindMapNode* sub = map.Add(beyond, 5);
    ApplyColorSchemeToMap(scheme, map.Map);

    EXPECT_EQ(TopicColors(*central), "#FFD595/#FF9900 text #181818");
    EXPECT_EQ(central->PaletteIndex(), 3);
    EXPECT_EQ(TopicColors(*beyond), "#FFC1E0/#FF80C0 text #181818");
    EXPECT_EQ(beyond->PaletteIndex(), 12);
    // entry 1 belongs to a later sibling that stored it
    EXPECT_EQ(negative->PaletteIndex(), 3);
    EXPECT_EQ(TopicColors(*negative), "#FFD595/#FF9900 text #181818");
    EXPECT_EQ(TopicColors(*stored), "#FFC0B4/#FF0000 text #181818");
    EXPECT_EQ(TopicColors(*sub), "#ACFF97/#33FF00 text #181818");
    EXPECT_EQ(sub->PaletteIndex(), 5);
}

TEST(TPalettizedColorScheme, ReapplyingKeepsEveryBranchColour) {
    TBrightColorScheme scheme;
    TTestMap map;
    TMindMapNode* central = map.Add();
    TMindMapNode* a = map.Add(central);
    TMindMapNode* b = map.Add(central);
    TMindMapNode* c = map.Add(central);
    ApplyColorSchemeToMap(scheme, map.Map);
    b->SetParent(nullptr); // b leaves: its entry is free again
    TMindMapNode* d = map.Add(central);
    ApplyColorSchemeToMap(scheme, map.Map);

    EXPECT_EQ(a->PaletteIndex(), 2);
    EXPECT_EQ(c->PaletteIndex(), 4);
    EXPECT_EQ(d->PaletteIndex(), 3);
    EXPECT_EQ(TopicColors(*c), "#FFF6A9/#FBC02D text #181818");
    EXPECT_EQ(TopicColors(*d), "#FFD595/#FF9900 text #181818");
}

TEST(TPalettizedColorScheme, SubBranchesCopyTheirParentsEffectiveColours) {
    TBrightColorScheme scheme;
    TTestMap map;
    TMindMapNode* central = map.Add();
    TMindMapNode* branch = map.Add(central);
    TMindMapNode* sub = map.Add(branch);
    TMindMapNode* subSub = map.Add(sub);

    ApplyColorSchemeToMap(scheme, map.Map);
    EXPECT_EQ(TopicColors(*sub), "#FFC0B4/#FF0000 text #181818");
    EXPECT_EQ(TopicColors(*subSub), "#FFC0B4/#FF0000 text #181818");
    EXPECT_EQ(sub->PaletteIndex(), 0);
    EXPECT_EQ(subSub->PaletteIndex(), 0);

    // the branch's own style sets a fill, the sub-branch's a text colour; the rest comes from the palette
    branch->Style().SetFillColor(RGBColor(0x12, 0x34, 0x56));
    branch->Style().SetOverride(nsoFillColor, true);
    sub->Style().SetTextColor(RGBColor(0, 0xFF, 0));
    sub->Style().SetOverride(nsoTextColor, true);
    ApplyColorSchemeToMap(scheme, map.Map);
    EXPECT_EQ(TopicColors(*branch), "#FFC0B4/#FF0000 text #181818");
    EXPECT_EQ(TopicColors(*sub), "#123456/#FF0000 text #181818");
    EXPECT_EQ(TopicColors(*subSub), "#123456/#FF0000 text #00FF00");
}

TEST(TPalettizedColorScheme, LevelSchemesColourByDepthWithoutTouchingPaletteIndices) {
    TAquaLeveledScheme scheme;
    TTestMap map;
    std::vector<TMindMapNode*> chain{map.Add()};
    for (int level = 1; level <= 9; ++level)
        chain.push_back(map.Add(chain.back(), level == 1 ? 3 : 0));
    ApplyColorSchemeToMap(scheme, map.Map);

    const char* expected[] = {
        "#307CA5/#1B5072", "#5BB4E3/#1986C7", "#C7E6F8/#1986C7", "#DDEEF7/#2C8CBF", "#EDF7FC/#249AD2",
        "#EDF7FC/#249AD2", "#EDF7FC/#249AD2", "#EDF7FC/#249AD2", "#EDF7FC/#249AD2", "#EDF7FC/#249AD2",
    };
    for (std::size_t level = 0; level < chain.size(); ++level) {
        SCOPED_TRACE(level);
        EXPECT_EQ(TopicColors(*chain[level]), std::string(expected[level]) + " text #181818");
        EXPECT_EQ(chain[level]->PaletteIndex(), level == 1 ? 3 : 0);
    }
}

TEST(TPalettizedColorScheme, EmptyPaletteAssignsOnlyTheTextColour) {
    for (bool levelBased : {false, true}) {
        SCOPED_TRACE(levelBased);
        TTestPaletteScheme scheme;
        scheme.SetLevelBased(levelBased);
        scheme.SetTextColor(RGBColor(1, 2, 3));
        TTestMap map;
        TMindMapNode* central = map.Add();
        TMindMapNode* branch = map.Add(central);
        central->ResolvedFill = RGBColor(9, 9, 9);
        central->ResolvedBorder = RGBColor(8, 8, 8);
        ApplyColorSchemeToMap(scheme, map.Map);
        EXPECT_EQ(TopicColors(*central), "#090909/#080808 text #010203");
        EXPECT_EQ(central->PaletteIndex(), 0);
        EXPECT_EQ(branch->PaletteIndex(), 0);
    }
}

TEST(TPalettizedColorScheme, OneEntryPaletteGivesMainBranchesThatEntry) {
    TTestPaletteScheme scheme;
    scheme.AddEntry(RGBColor(0x11, 0x11, 0x11), RGBColor(0x22, 0x22, 0x22));
    TTestMap map;
    TMindMapNode* central = map.Add();
    TMindMapNode* first = map.Add(central);
    TMindMapNode* second = map.Add(central);
    ApplyColorSchemeToMap(scheme, map.Map);
    for (const TMindMapNode* topic : {central, first, second}) {
        EXPECT_EQ(TopicColors(*topic), "#111111/#222222 text #181818");
        EXPECT_EQ(topic->PaletteIndex(), 1);
    }
}

TEST(TSimpleColorScheme, ColoursEveryTopicAlikeAndAssignsNoEntries) {
    TChartColorScheme scheme;
    TTestMap map;
    TMindMapNode* central = map.Add();
    TMindMapNode* branch = map.Add(central);
    TMindMapNode* sub = map.Add(branch, 4);
    branch->Style().SetFillColor(RGBColor(1, 1, 1));
    branch->Style().SetOverride(nsoFillColor, true);
    ApplyColorSchemeToMap(scheme, map.Map);
    for (const TMindMapNode* topic : {central, branch, sub})
        EXPECT_EQ(TopicColors(*topic), "#E8EAF6/#3F51B5 text #37474F");
    EXPECT_EQ(central->PaletteIndex(), 0);
    EXPECT_EQ(branch->PaletteIndex(), 0);
    EXPECT_EQ(sub->PaletteIndex(), 4);
}
