#include "styling/CVStyles.h"

#include "model/CVMindMaps.h"
#include "platform/CVStrings.h"
#include "styling/CVStyleManager.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Topic level entries as "border width", the width marked "*" when its override bit is set and shown as "-"
// when the entry leaves the width to the text style data; colours and font only where set.
std::string TopicLevels(const TLeveledMindMapStyle& style) {
    std::string text;
    for (int i = 0; i < style.NodeStyle().LevelCount(); ++i) {
        const TNodeStyle& level = style.NodeStyle().LevelStyle(i);
        if (i > 0)
            text += ", ";
        text += NodeBorderStyleName(level.BorderStyle());
        text += level.HasOverride(nsoBorderWidth) ? " " + FormatFloat(level.BorderWidth()) + "*" : " -";
        if (level.FillColor() != clDefault)
            text += " fill " + ColorText(level.FillColor());
        if (level.StrokeColor() != clDefault)
            text += " stroke " + ColorText(level.StrokeColor());
        if (level.TextColor() != clDefault)
            text += " text " + ColorText(level.TextColor());
        if (level.HasOverride(nsoFont))
            text += " font " + FormatFloat(level.FontScale()) + "/" + std::to_string(level.FontStyle());
    }
    return text;
}

std::string RelationText(const TRelationStyle& style) {
    std::string text = RelationLineStyleName(style.LineStyle());
    text += style.HasOverride(rsoLineWidth) ? " " + FormatFloat(style.LineWidth()) + "*" : " -";
    if (style.PathStyle() != rpsBezier)
        text += std::string(" ") + RelationPathStyleName(style.PathStyle());
    if (style.TargetArrow() != arsNone)
        text += std::string(" ") + ArrowStyleName(style.TargetArrow());
    return text;
}

std::string ConnectionLevels(const TLeveledMindMapStyle& style) {
    std::string text;
    for (int i = 0; i < style.RelationStyle().LevelCount(); ++i)
        text += (i > 0 ? ", " : "") + RelationText(style.RelationStyle().LevelStyle(i));
    return text;
}

std::string CheckboxText(const TLeveledMindMapStyle& style) {
    return ColorText(style.CheckboxColor()) + (style.IsOverridden(3) ? "*" : "");
}

std::string SchemeKey(const TStyleSheet& sheet) {
    return sheet.ColorScheme() ? std::string(sheet.ColorScheme()->GetKey()) : "";
}

// A manager in its start-up state.
class TStyles {
public:
    TStyles() { SetUpBuiltInStyles(Manager); }
    TStyleSheet& Sheet(std::string_view key) { return *Manager.FindSheet(key); }

    TStyleManager Manager{"en_US.UTF-8"};
};

// A sheet as documents bring them: no key of its own, no scheme to choose from.
class TPlainSheet : public TStyleSheet {
public:
    explicit TPlainSheet(TStyleManager& manager, std::string_view schemeKey = "")
        : TStyleSheet(manager, "", penCable, sbsDropRoundRect, schemeKey, "", "", "") {}
};

} // namespace

TEST(TStyleSheet, BuiltInSheetsCarryTheirValues) {
    struct TCase {
        const char* Key;
        const char* Name;
        const char* Scheme;
        const char* Topics;
        const char* Connections;
        const char* CrossLink;
        TConnectionStyle Connection;
        const char* Checkbox;
        const char* FreeText;
        const char* Background;
    };
    const TCase cases[] = {
        {"system.bright-palette", "Bright Colors", "bright-palette", "sbsHalfRound 0.25*",
         "penTapered 2*, penSolidThick 2*", "penWideCable - singleArrow", csCentered, "none", "#181818", "#FFFFFF"},
        {"system.soft-palette", "Soft Colors", "soft-palette", "sbsHalfRound 0.25*", "penTapered 2*, penSolidThick 2*",
         "penWideCable - singleArrow", csCentered, "none", "#181818", "#FFFFFF"},
        {"system.natural-material-colors", "Natural + Colors", "material-strokes", "sbsHalfRound 3*, sbsNone -",
         "penAutoTapered 2*", "penWideCable - singleArrow", csBaseline, "none", "#181818", "#FFFFFF"},
        {"system.blue-steel", "Blue Steel", "blue-steel-colors", "sbsHalfRound 0*", "penTapered 2*, penSolidThin -",
         "penDashedThin - singleArrow", csCentered, "#7882B4*", "#2D3773", "#FFFFFF"},
        {"system.aqua-levels", "Aqua Levels", "aqua-levels",
         "sbsHalfRound 0.25* fill #186792 text #FFFFFF, sbsHalfRound 0.25*", "penTapered 2*, penSolidThick 2*",
         "penWideCable - singleArrow", csCentered, "none", "#181818", "#FFFFFF"},
        {"system.spring-levels", "Spring Levels", "spring-levels", "sbsHalfRound 0.25*",
         "penTapered 2*, penSolidThick 2*", "penWideCable - singleArrow", csCentered, "none", "#181818", "#FFFFFF"},
        {"system.compact-gray-scale", "Compact Gray Scale", "gray-scale", "sbsNone -", "penSolidThin -",
         "penDashedThin - singleArrow", csCentered, "none", "#181818", "#FFFFFF"},
        {"system.gray-scale", "Gray Scale", "gray-scale", "sbsHalfRound 1.5*, sbsNone -",
         "penTapered 2*, penSolidThin -", "penDashedThin - singleArrow", csCentered, "none", "#181818", "#FFFFFF"},
        {"system.natural-gray-scale", "Natural + Gray Scale", "gray-scale", "sbsHalfRound 1.5*, sbsNone -",
         "penTapered 2*, penSolidThin -", "penDashedThin - singleArrow", csBaseline, "none", "#181818", "#FFFFFF"},
        {"system.pastel-palette", "Pastel Colors", "pastel-palette", "sbsHalfRound 0.25*",
         "penTapered 2*, penSolidThick 2*", "penCable - openArrow", csCentered, "none", "#181818", "#FFF7E4"},
        {"system.gold-palette", "Golden Colors", "gold-palette", "sbsHalfRound 1.5*, sbsHalfRound 0.25*",
         "penTapered 2*, penSolidThick 2*", "penWideCable - singleArrow", csCentered, "none", "#181818", "#FEF9CB"},
        {"system.colored-circles", "Colored Circles", "material-filled", "sbsCircle 0.5*", "penAutoTapered 2*",
         "penWideCable - singleArrow", csCentered, "#6E6E6E*", "#181818", "#FFFFFF"},
        {"system.basic-chart", "Chart", "chart-colors", "sbsRoundRect 2* font 1/0", "penSolidThin - ortho singleArrow",
         "penSolidThin - ortho singleArrow", csCentered, "none", "#37474F", "#FFFFFF"},
        {"system.natural-material-colors.dark", "Natural + Colors on Black", "material-strokes-dark",
         "sbsHalfRound 3*, sbsNone -", "penAutoTapered 2*", "penWideCable - singleArrow", csBaseline, "none", "#DFDFDF",
         "#181818"},
        {"system.colors-on-black-palette", "Colors on Black", "colors-on-black", "sbsHalfRound 1.5*",
         "penTapered 2*, penSolidThick 2*", "penWideCable - singleArrow", csCentered, "none", "#DFDFDF", "#181818"},
        {"system.black-and-white", "Black and White", "black-and-white", "sbsDropRoundRect -", "penSolidThin -",
         "penWideCable - singleArrow", csCentered, "none", "#000000", "#FFFFFF"},
        {"system.soft-palette-left-right", "Soft Colors Left-Right", "soft-palette", "sbsHalfRound 0.25*",
         "penTapered 2*, penSolidThick 2*", "penWideCable - singleArrow", csLeftRight, "none", "#181818", "#FFFFFF"},
    };
    TStyles styles;
    ASSERT_EQ(styles.Manager.SheetCount(), static_cast<int>(std::size(cases)));
    for (int i = 0; i < styles.Manager.SheetCount(); ++i) {
        const TCase& c = cases[i];
        SCOPED_TRACE(c.Key);
        const TStyleSheet& sheet = styles.Manager.SheetAt(i);
        EXPECT_EQ(sheet.Key(), c.Key);
        EXPECT_EQ(sheet.GetDisplayName(), c.Name);
        EXPECT_EQ(SchemeKey(sheet), c.Scheme);
        EXPECT_EQ(TopicLevels(sheet), c.Topics);
        EXPECT_EQ(ConnectionLevels(sheet), c.Connections);
        EXPECT_EQ(RelationText(sheet.CrossLinkStyle()), c.CrossLink);
        EXPECT_EQ(sheet.ConnectionStyle(), c.Connection);
        EXPECT_EQ(CheckboxText(sheet), c.Checkbox);
        EXPECT_EQ(ColorText(sheet.TextStyle().TextColor()), c.FreeText);
        EXPECT_EQ(ColorText(sheet.BackgroundColor()), c.Background);
        EXPECT_FALSE(sheet.IsCustomSheet());
    }
}

TEST(TStyleSheet, DarkAppearanceTakesTheDarkSchemesAndVariants) {
    struct TCase {
        const char* Key;
        const char* Scheme;
        const char* Topics;
        const char* FreeText;
    };
    const TCase cases[] = {
        {"system.bright-palette", "bright-palette.dark", "sbsHalfRound 0.25*", "#DFDFDF"},
        {"system.soft-palette", "soft-palette.dark", "sbsHalfRound 1.5*", "#DFDFDF"},
        {"system.natural-material-colors", "material-strokes-dark", "sbsHalfRound 3*, sbsNone -", "#DFDFDF"},
        {"system.blue-steel", "blue-steel-colors.dark", "sbsHalfRound 0*", "#E9EBF8"},
        // the central theme's text colour is left to the scheme
        {"system.aqua-levels", "aqua-levels.dark", "sbsHalfRound 0.25* fill #186792, sbsHalfRound 0.25*", "#DFDFDF"},
        {"system.spring-levels", "spring-levels.dark", "sbsHalfRound 1.5*", "#DFDFDF"},
        {"system.compact-gray-scale", "gray-scale.dark", "sbsNone -", "#DFDFDF"},
        {"system.gray-scale", "gray-scale.dark", "sbsHalfRound 1.5*, sbsNone -", "#DFDFDF"},
        {"system.natural-gray-scale", "gray-scale.dark", "sbsHalfRound 1.5*, sbsNone -", "#DFDFDF"},
        {"system.pastel-palette", "pastel-palette.dark", "sbsHalfRound 0.25*", "#DFDFDF"},
        {"system.gold-palette", "gold-palette.dark", "sbsHalfRound 1.5*, sbsHalfRound 1.5*", "#DFDFDF"},
        // the dark filled scheme keeps a dark text colour; free texts get a light one
        {"system.colored-circles", "material-filled.dark", "sbsCircle 0.5*", "#DFDFDF"},
        {"system.basic-chart", "chart-colors.dark", "sbsRoundRect 0.25* font 1/0", "#E8EAF6"},
        {"system.natural-material-colors.dark", "material-strokes-dark", "sbsHalfRound 3*, sbsNone -", "#DFDFDF"},
        {"system.colors-on-black-palette", "colors-on-black", "sbsHalfRound 1.5*", "#DFDFDF"},
        {"system.black-and-white", "black-and-white.dark", "sbsDropRoundRect -", "#DFDFDF"},
        {"system.soft-palette-left-right", "soft-palette.dark", "sbsHalfRound 1.5*", "#DFDFDF"},
    };
    TStyles styles;
    // what a light rebuild gives, to compare with after the way back
    std::vector<std::string> light;
    for (int i = 0; i < styles.Manager.SheetCount(); ++i)
        light.push_back(TopicLevels(styles.Manager.SheetAt(i)) + " " + SchemeKey(styles.Manager.SheetAt(i)) + " " +
                        ColorText(styles.Manager.SheetAt(i).TextStyle().TextColor()));

    styles.Manager.Options().SetAppearance(apDark);
    ASSERT_TRUE(styles.Manager.Options().IsDark());
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Key);
        const TStyleSheet& sheet = styles.Sheet(c.Key);
        EXPECT_EQ(SchemeKey(sheet), c.Scheme);
        EXPECT_EQ(TopicLevels(sheet), c.Topics);
        EXPECT_EQ(ColorText(sheet.TextStyle().TextColor()), c.FreeText);
    }

    styles.Manager.Options().SetAppearance(apLight);
    for (int i = 0; i < styles.Manager.SheetCount(); ++i) {
        const TStyleSheet& sheet = styles.Manager.SheetAt(i);
        SCOPED_TRACE(sheet.Key());
        EXPECT_EQ(TopicLevels(sheet) + " " + SchemeKey(sheet) + " " + ColorText(sheet.TextStyle().TextColor()),
                  light[static_cast<std::size_t>(i)]);
    }
}

TEST(TStyleSheet, KeysResolveCaseInsensitivelyWithFallbacks) {
    struct TCase {
        const char* Key;
        const char* Found;
        int Index;
    };
    const TCase cases[] = {
        {"system.gray-scale", "system.gray-scale", 7},
        {"SYSTEM.GRAY-SCALE", "system.gray-scale", 7},
        {"system.system.basic-chart", "system.basic-chart", 12},
        {"System.System.Basic-Chart", "system.basic-chart", 12},
        {"system.no-such-sheet", "system.bright-palette", -1},
        {"", "system.bright-palette", -1},
        // only ASCII letters fold
        {"system.gray-scal\xC3\x89", "system.bright-palette", -1},
    };
    TStyles styles;
    styles.Manager.SetDefaultSheet("system.gold-palette");
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Key);
        EXPECT_EQ(styles.Manager.FindSheetIndex(c.Key), c.Index);
        EXPECT_EQ(styles.Manager.FindSheet(c.Key)->Key(), c.Found);
        // a document naming an unknown key is shown with the default sheet
        EXPECT_EQ(styles.Manager.SheetForDocument(c.Key)->Key(), c.Index >= 0 ? c.Found : "system.gold-palette");
    }

    TStyleManager empty("en_US.UTF-8");
    EXPECT_EQ(empty.FindSheet("system.bright-palette"), nullptr);
    EXPECT_EQ(empty.SheetForDocument("system.bright-palette"), nullptr);
    EXPECT_EQ(empty.DefaultSheet(), nullptr);
}

TEST(TStyleSheet, WithoutSchemesASheetHasBlackFreeTextAndItsOwnBackground) {
    TStyleManager manager("en_US.UTF-8");
    const auto sheet = NewStyleSheet<TGoldenColorsStyle>(manager);
    EXPECT_EQ(sheet->ColorScheme(), nullptr);
    EXPECT_EQ(sheet->TextStyle().TextColor(), clBlack);
    EXPECT_EQ(sheet->BackgroundColor(), clWhite);
    EXPECT_EQ(sheet->BackgroundPattern(), nullptr);
    // the level setup does not depend on a scheme
    EXPECT_EQ(TopicLevels(*sheet), "sbsHalfRound 1.5*, sbsHalfRound 0.25*");

    // an unknown scheme key takes the first registered scheme
    RegisterBuiltInColorSchemes(manager.Schemes());
    TPlainSheet plain(manager, "no-such-scheme");
    EXPECT_EQ(SchemeKey(plain), "bright-palette");
}

TEST(TStyleSheet, SheetsWithoutSchemeChoicesIgnoreRebuildsAndAnswerTheirKey) {
    TStyles styles;
    int changes = 0;
    TStyleManagerObserver observer(styles.Manager);
    observer.SetOnSheetChanged([&changes](TStyleSheet&) { ++changes; });
    TPlainSheet plain(styles.Manager);
    plain.NodeStyle().SetLevelCount(3);
    plain.Rebuild();
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(plain.NodeStyle().LevelCount(), 3);
    EXPECT_EQ(plain.GetDisplayName(), "");
    EXPECT_EQ(plain.ColorScheme(), nullptr);

    styles.Sheet("system.gray-scale").Rebuild();
    EXPECT_EQ(changes, 1);
}

TEST(TStyleSheet, DisplayNamesAndBackgroundPatternsComeFromTheManagersHooks) {
    TStyles styles;
    styles.Manager.SetTranslator(
        [](std::string_view key, std::string_view english) { return std::string(key) + "=" + std::string(english); });
    EXPECT_EQ(styles.Sheet("system.colors-on-black-palette").GetDisplayName(), "style_colors_on_black=Colors on Black");

    // a scheme with a pattern: the sheet answers the pattern the registry resolves for its key
    char patternObject = 0;
    auto* pattern = reinterpret_cast<TBackgroundPattern*>(&patternObject);
    std::string asked;
    styles.Manager.SetPatternResolver([&](std::string_view key) {
        asked = key;
        return pattern;
    });
    TPlainSheet withPattern(styles.Manager, "gray-scale-pattern");
    EXPECT_EQ(withPattern.BackgroundPattern(), pattern);
    EXPECT_EQ(asked, ".system.dust_scratches");
    // schemes without a pattern do not ask
    asked.clear();
    EXPECT_EQ(styles.Sheet("system.gray-scale").BackgroundPattern(), nullptr);
    EXPECT_EQ(asked, "");
}

TEST(TStyleSheet, AppliesItselfToAMap) {
    TStyles styles;
    TTestMap tree;
    TMindMapNode* central = tree.Add();
    TMindMapNode* first = tree.Add(central);
    TMindMapNode* second = tree.Add(central);
    TMindMapNode* sub = tree.Add(first);
    TMindMapNode* deep = tree.Add(sub);
    const std::vector<TMindMapNode*> topics = {central, first, second, sub, deep};

    const TStyleSheet& gold = styles.Sheet("system.gold-palette");
    gold.ApplyToMap(tree.Map);
    const TLeveledMindMapStyle& copy = tree.Map.SheetStyle();
    EXPECT_EQ(TopicLevels(copy), TopicLevels(gold));
    EXPECT_EQ(ConnectionLevels(copy), ConnectionLevels(gold));
    EXPECT_EQ(RelationText(copy.CrossLinkStyle()), RelationText(gold.CrossLinkStyle()));
    // the scheme's background became a value of the copy
    EXPECT_EQ(ColorText(copy.BackgroundColor()), "#FEF9CB");

    const int levels[] = {0, 1, 1, 2, 3};
    const char* const fills[] = {"#FDF4AC", "#F3E786", "#F7DD61", "#F3E786", "#F3E786"};
    for (std::size_t i = 0; i < topics.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(topics[i]->Style().Level(), levels[i]);
        EXPECT_EQ(topics[i]->ParentRelation().Style().Level(), std::max(levels[i] - 1, 0));
        EXPECT_EQ(ColorText(topics[i]->ResolvedFill), fills[i]);
        EXPECT_EQ(topics[i]->Style().BorderStyle(), sbsHalfRound);
    }
    EXPECT_EQ(tree.Map.MapStyle().RelationStyle().GetLineStyle(0), penTapered);
    EXPECT_EQ(tree.Map.MapStyle().RelationStyle().GetLineStyle(4), penSolidThick);

    // the copy is the map's own: the sheet changing later does not reach it until applied again
    styles.Manager.Options().SetAppearance(apDark);
    EXPECT_EQ(ColorText(copy.BackgroundColor()), "#FEF9CB");
    EXPECT_EQ(TopicLevels(copy), "sbsHalfRound 1.5*, sbsHalfRound 0.25*");
    gold.ApplyToMap(tree.Map);
    EXPECT_EQ(ColorText(copy.BackgroundColor()), "#181818");
    EXPECT_EQ(TopicLevels(copy), "sbsHalfRound 1.5*, sbsHalfRound 1.5*");
}

TEST(TStyleSheet, ReapplyingKeepsBranchColoursAndColoursNewTopics) {
    TStyles styles;
    TTestMap tree;
    TMindMapNode* central = tree.Add();
    TMindMapNode* a = tree.Add(central);
    TMindMapNode* b = tree.Add(central);
    const TStyleSheet& bright = styles.Sheet("system.bright-palette");
    bright.ApplyToMap(tree.Map);
    EXPECT_EQ(a->PaletteIndex(), 2);
    EXPECT_EQ(b->PaletteIndex(), 3);

    // a new branch takes the next free entry; the others keep theirs
    TMindMapNode* c = tree.Add(central);
    bright.ApplyToTopics(tree.Map);
    EXPECT_EQ(a->PaletteIndex(), 2);
    EXPECT_EQ(b->PaletteIndex(), 3);
    EXPECT_EQ(c->PaletteIndex(), 4);
    EXPECT_EQ(ColorText(a->ResolvedFill), "#FFC0B4");

    // a topic moved under a branch takes that branch's colours and the levels of its new place
    TMindMapNode* moved = tree.Add();
    TMindMapNode* movedChild = tree.Add(moved);
    moved->SetParent(b);
    tree.Map.RebuildCentralThemes();
    bright.ApplyToBranch(*moved);
    EXPECT_EQ(moved->Style().Level(), 2);
    EXPECT_EQ(movedChild->Style().Level(), 3);
    EXPECT_EQ(movedChild->ParentRelation().Style().Level(), 2);
    EXPECT_EQ(ColorText(movedChild->ResolvedBorder), ColorText(b->ResolvedBorder));
}

TEST(TStyleSheet, SingleLevelSheetsStyleEveryLevelAlike) {
    TStyles styles;
    TTestMap tree;
    TMindMapNode* topic = tree.Add();
    std::vector<TMindMapNode*> chain = {topic};
    for (int i = 0; i < 4; ++i)
        chain.push_back(tree.Add(chain.back()));

    styles.Sheet("system.bright-palette").ApplyToMap(tree.Map);
    for (const TMindMapNode* t : chain) {
        SCOPED_TRACE(t->Level());
        EXPECT_EQ(t->Style().BorderStyle(), sbsHalfRound);
        EXPECT_EQ(t->Style().EffectiveBorderWidth(9.0), 0.25);
    }

    // the chart's font override reaches every topic: 10-point regular, central theme included
    styles.Sheet("system.basic-chart").ApplyToMap(tree.Map);
    for (const TMindMapNode* t : chain) {
        SCOPED_TRACE(t->Level());
        const TFontDescriptor font = t->Style().FontDescriptor();
        EXPECT_TRUE(font.FontOverridden);
        EXPECT_EQ(font.Size, 10.0f);
        EXPECT_EQ(font.FontStyle, 0);
    }

    // aqua fills the central theme itself; deeper topics take the level palette
    styles.Sheet("system.aqua-levels").ApplyToMap(tree.Map);
    EXPECT_EQ(ColorText(ColorOrPalette(chain[0]->Style().FillColor(), chain[0]->ResolvedFill)), "#186792");
    EXPECT_EQ(ColorText(ColorOrPalette(chain[0]->Style().TextColor(), chain[0]->ResolvedText)), "#FFFFFF");
    EXPECT_EQ(ColorText(ColorOrPalette(chain[1]->Style().FillColor(), chain[1]->ResolvedFill)), "#5BB4E3");
    EXPECT_EQ(ColorText(ColorOrPalette(chain[4]->Style().FillColor(), chain[4]->ResolvedFill)), "#EDF7FC");
}
