#include "styling/CVStyles.h"

#include "model/CVMindMaps.h"
#include "styling/CVStyleManager.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

// Colours below are written as 0xRRGGBB, the way designers give them.
constexpr TColor Hex(std::uint32_t rgb) {
    return RGBColor(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// Tapered lines from the central theme, thick solid lines below.
void TaperedRelations(TLeveledRelationStyle& relations) {
    relations.SetLevelCount(2);
    TRelationStyle& central = relations.LevelStyle(0);
    central.SetLineWidth(2.0f);
    central.SetOverride(rsoLineWidth, true);
    central.SetLineStyle(penTapered);
    TRelationStyle& below = relations.LevelStyle(1);
    below.SetLineWidth(2.0f);
    below.SetOverride(rsoLineWidth, true);
    below.SetLineStyle(penSolidThick);
}

// Tapered lines from the central theme, thin solid lines of their default width below.
void TaperedThinRelations(TLeveledRelationStyle& relations) {
    relations.SetLevelCount(2);
    TRelationStyle& central = relations.LevelStyle(0);
    central.SetLineWidth(2.0f);
    central.SetOverride(rsoLineWidth, true);
    central.SetLineStyle(penTapered);
    relations.LevelStyle(1).SetLineStyle(penSolidThin);
}

// A border width that every topic of the level uses, also where text style data would give another.
void SetLevelBorderWidth(TNodeStyle& level, double width) {
    level.SetBorderWidth(width);
    level.SetOverride(nsoBorderWidth, true);
}

} // namespace

TStyleSheet::TStyleSheet(TStyleManager& manager, std::string key, TRelationLineStyle lineStyle,
                         TNodeBorderStyle borderStyle, std::string_view lightSchemeKey, std::string_view darkSchemeKey,
                         std::string nameKey, std::string englishName)
    : FManager(&manager), FKey(std::move(key)), FNameKey(std::move(nameKey)), FEnglishName(std::move(englishName)),
      FLightSchemeKey(lightSchemeKey), FDarkSchemeKey(darkSchemeKey) {
    SetConnectionLineStyle(lineStyle);
    if (!FLightSchemeKey.empty())
        FColorScheme = manager.FindScheme(FLightSchemeKey);
    NodeStyle().LevelStyle(0).SetBorderStyle(borderStyle);
    TextStyle().SetTextColor(FColorScheme ? FColorScheme->TextColor() : clBlack);
}

TColor TStyleSheet::GetBackgroundColor() const {
    return FColorScheme ? FColorScheme->BackgroundColor() : TLeveledMindMapStyle::GetBackgroundColor();
}

TBackgroundPattern* TStyleSheet::GetBackgroundPattern() const {
    if (FColorScheme == nullptr)
        return TLeveledMindMapStyle::GetBackgroundPattern();
    return FManager->ResolvePattern(FColorScheme->BackgroundPatternKey());
}

std::string TStyleSheet::GetDisplayName() const {
    if (FNameKey.empty())
        return FKey;
    return FManager->Translate(FNameKey, FEnglishName);
}

void TStyleSheet::Rebuild() {
    // sheets without schemes of their own to choose from (custom sheets) have nothing to rebuild
    if (FLightSchemeKey.empty())
        return;
    {
        TStyleUpdate update(*this);
        const bool dark = FManager->Options().IsDark();
        SelectScheme(dark);
        ApplySetup(dark);
    }
    NotifyRebuilt();
}

void TStyleSheet::SetConnectionLineStyle(TRelationLineStyle lineStyle) {
    TStyleUpdate update(*this);
    RelationStyle().LevelStyle(0).SetLineStyle(lineStyle);
    ApplyDerivedCrossLinkStyle(CrossLinkStyle(), lineStyle, true);
}

void TStyleSheet::SetColorScheme(TColorScheme* scheme) {
    if (scheme == FColorScheme)
        return;
    FColorScheme = scheme;
    // the background comes from the scheme
    Changed();
}

void TStyleSheet::SelectScheme(bool dark) {
    if (FLightSchemeKey.empty())
        return;
    const std::string& key = dark && !FDarkSchemeKey.empty() ? FDarkSchemeKey : FLightSchemeKey;
    SetColorScheme(FManager->FindScheme(key));
    TextStyle().SetTextColor(FColorScheme ? FColorScheme->TextColor() : clBlack);
}

void TStyleSheet::NotifyRebuilt() {
    FManager->SheetChanged(*this);
}

void TStyleSheet::ApplyToMap(TMindMap& map) const {
    map.BeginUpdate();
    try {
        map.SheetStyle().Assign(*this);
        if (FColorScheme)
            FColorScheme->ResetPalette();
        ApplyToTopics(map);
    } catch (...) {
        map.EndUpdate();
        throw;
    }
    map.EndUpdate();
}

void TStyleSheet::ApplyToTopics(TMindMap& map) const {
    // depth first without recursion (branches can be very deep), parents before children, children in order
    std::vector<std::pair<TMindMapNode*, int>> stack;
    const std::vector<TMindMapNode*>& roots = map.CentralThemes();
    for (auto it = roots.rbegin(); it != roots.rend(); ++it)
        stack.emplace_back(*it, 0);
    while (!stack.empty()) {
        const auto [topic, level] = stack.back();
        stack.pop_back();
        ApplyToTopic(*topic, level);
        const std::vector<TMindMapNode*>& children = topic->Children();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.emplace_back(*it, level + 1);
    }
}

void TStyleSheet::ApplyToBranch(TMindMapNode& topic) const {
    std::vector<std::pair<TMindMapNode*, int>> stack{{&topic, topic.Level()}};
    while (!stack.empty()) {
        const auto [current, level] = stack.back();
        stack.pop_back();
        ApplyToTopic(*current, level);
        const std::vector<TMindMapNode*>& children = current->Children();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.emplace_back(*it, level + 1);
    }
}

void TStyleSheet::ApplyToTopic(TMindMapNode& topic, int level) const {
    if (FColorScheme)
        FColorScheme->ApplyToTopic(topic);
    topic.Style().SetLevel(level);
    topic.ParentRelation().Style().SetLevel(std::max(level - 1, 0));
}

void TClassicStyleBase::Rebuild() {
    ApplyStandardVariant();
    NotifyRebuilt();
}

void TClassicStyleBase::ApplyStandardVariant() {
    TStyleUpdate update(*this);
    const bool dark = Manager().Options().IsDark();
    SelectScheme(dark);
    ApplySetup(dark);
}

TBrightColorsStyle::TBrightColorsStyle(TStyleManager& manager)
    : TClassicStyleBase(manager, "system.bright-palette", penCable, sbsHalfRound, "bright-palette",
                        "bright-palette.dark", "style_bright_colors", "Bright Colors") {}

void TBrightColorsStyle::ApplySetup(bool) {
    NodeStyle().SetLevelCount(1);
    SetLevelBorderWidth(NodeStyle().LevelStyle(0), 0.25);
    TaperedRelations(RelationStyle());
}

TColorsOnBlackStyle::TColorsOnBlackStyle(TStyleManager& manager)
    : TClassicStyleBase(manager, "system.colors-on-black-palette", penCable, sbsHalfRound, "colors-on-black", "",
                        "style_colors_on_black", "Colors on Black") {}

void TColorsOnBlackStyle::ApplySetup(bool) {
    NodeStyle().SetLevelCount(1);
    SetLevelBorderWidth(NodeStyle().LevelStyle(0), 1.5);
    TaperedRelations(RelationStyle());
}

TSoftColorsStyleBase::TSoftColorsStyleBase(TStyleManager& manager, std::string key, std::string nameKey,
                                           std::string englishName)
    : TClassicStyleBase(manager, std::move(key), penCable, sbsHalfRound, "soft-palette", "soft-palette.dark",
                        std::move(nameKey), std::move(englishName)) {}

void TSoftColorsStyleBase::ApplySetup(bool dark) {
    NodeStyle().SetLevelCount(1);
    SetLevelBorderWidth(NodeStyle().LevelStyle(0), dark ? 1.5 : 0.25);
    TaperedRelations(RelationStyle());
}

TSoftColorsStyle::TSoftColorsStyle(TStyleManager& manager)
    : TSoftColorsStyleBase(manager, "system.soft-palette", "style_soft_colors", "Soft Colors") {}

TSoftColorsLeftRightStyle::TSoftColorsLeftRightStyle(TStyleManager& manager)
    : TSoftColorsStyleBase(manager, "system.soft-palette-left-right", "style_soft_colors_left_right",
                           "Soft Colors Left-Right") {}

void TSoftColorsLeftRightStyle::ApplySetup(bool dark) {
    TSoftColorsStyleBase::ApplySetup(dark);
    SetConnectionStyle(csLeftRight);
}

TSpringLevelsStyle::TSpringLevelsStyle(TStyleManager& manager)
    : TClassicStyleBase(manager, "system.spring-levels", penCable, sbsDropRoundRect, "spring-levels",
                        "spring-levels.dark", "style_spring_levels", "Spring Levels") {}

void TSpringLevelsStyle::ApplySetup(bool dark) {
    NodeStyle().SetLevelCount(1);
    TNodeStyle& level = NodeStyle().LevelStyle(0);
    level.SetBorderStyle(sbsHalfRound);
    SetLevelBorderWidth(level, dark ? 1.5 : 0.25);
    TaperedRelations(RelationStyle());
}

TAquaLevelsStyle::TAquaLevelsStyle(TStyleManager& manager)
    : TClassicStyleBase(manager, "system.aqua-levels", penCable, sbsHalfRound, "aqua-levels", "aqua-levels.dark",
                        "style_aqua_levels", "Aqua Levels") {}

void TAquaLevelsStyle::ApplySetup(bool dark) {
    NodeStyle().SetLevelCount(2);
    // the central theme is filled whatever the scheme's first entry says
    TNodeStyle& central = NodeStyle().LevelStyle(0);
    central.SetBorderWidth(0.25);
    central.SetFillColor(Hex(0x186792));
    central.SetTextColor(dark ? clDefault : Hex(0xFFFFFF));
    central.SetOverride(nsoBorderWidth | nsoTextColor | nsoFillColor, true);
    TNodeStyle& below = NodeStyle().LevelStyle(1);
    below.SetBorderStyle(sbsHalfRound);
    SetLevelBorderWidth(below, 0.25);
    below.SetFillColor(clDefault);
    below.SetStrokeColor(clDefault);
    below.SetTextColor(clDefault);
    TaperedRelations(RelationStyle());
}

TPastelColorsStyle::TPastelColorsStyle(TStyleManager& manager)
    : TClassicStyleBase(manager, "system.pastel-palette", penDouble, sbsDropRoundRect, "pastel-palette",
                        "pastel-palette.dark", "style_pastel_colors", "Pastel Colors") {}

void TPastelColorsStyle::ApplySetup(bool) {
    NodeStyle().SetLevelCount(1);
    TNodeStyle& level = NodeStyle().LevelStyle(0);
    level.SetBorderStyle(sbsHalfRound);
    SetLevelBorderWidth(level, 0.25);
    TaperedRelations(RelationStyle());
    // the cross-link arrow stays the open arrow derived from the double line
    CrossLinkStyle().SetLineStyle(penCable);
}

TGoldenColorsStyle::TGoldenColorsStyle(TStyleManager& manager)
    : TClassicStyleBase(manager, "system.gold-palette", penCable, sbsHalfRound, "gold-palette", "gold-palette.dark",
                        "style_golden_colors", "Golden Colors") {}

void TGoldenColorsStyle::ApplySetup(bool dark) {
    NodeStyle().SetLevelCount(2);
    TNodeStyle& central = NodeStyle().LevelStyle(0);
    central.SetBorderStyle(sbsHalfRound);
    SetLevelBorderWidth(central, 1.5);
    TNodeStyle& below = NodeStyle().LevelStyle(1);
    below.SetBorderStyle(sbsHalfRound);
    SetLevelBorderWidth(below, dark ? 1.5 : 0.25);
    TaperedRelations(RelationStyle());
}

TNaturalMaterialColorsStyleBase::TNaturalMaterialColorsStyleBase(TStyleManager& manager, std::string key,
                                                                 std::string_view lightSchemeKey,
                                                                 std::string_view darkSchemeKey, std::string nameKey,
                                                                 std::string englishName)
    : TStyleSheet(manager, std::move(key), penAutoTapered, sbsNone, lightSchemeKey, darkSchemeKey, std::move(nameKey),
                  std::move(englishName)) {}

void TNaturalMaterialColorsStyleBase::ApplySetup(bool) {
    SetConnectionStyle(csBaseline);
    TRelationStyle& connection = RelationStyle().LevelStyle(0);
    connection.SetLineWidth(2.0f);
    connection.SetOverride(rsoLineWidth, true);
    NodeStyle().SetLevelCount(2);
    TNodeStyle& central = NodeStyle().LevelStyle(0);
    central.SetBorderStyle(sbsHalfRound);
    SetLevelBorderWidth(central, 3.0);
    // branches take the border width of their text style data
    TNodeStyle& below = NodeStyle().LevelStyle(1);
    below.SetBorderStyle(sbsNone);
    below.SetBorderWidth(0.0);
    below.SetOverride(nsoBorderWidth, false);
}

TNaturalMaterialColorsStyle::TNaturalMaterialColorsStyle(TStyleManager& manager)
    : TNaturalMaterialColorsStyleBase(manager, "system.natural-material-colors", "material-strokes",
                                      "material-strokes-dark", "style_natural_colors", "Natural + Colors") {}

TDarkNaturalMaterialColorsStyle::TDarkNaturalMaterialColorsStyle(TStyleManager& manager)
    : TNaturalMaterialColorsStyleBase(manager, "system.natural-material-colors.dark", "material-strokes-dark", "",
                                      "style_natural_colors_dark", "Natural + Colors on Black") {}

TBlueSteelStyle::TBlueSteelStyle(TStyleManager& manager)
    : TStyleSheet(manager, "system.blue-steel", penSolidThin, sbsHalfRound, "blue-steel-colors",
                  "blue-steel-colors.dark", "style_blue_steel", "Blue Steel") {}

void TBlueSteelStyle::ApplySetup(bool) {
    SetCheckboxColor(Hex(0x7882B4));
    SetOverride(msoCheckboxColor, true);
    SetLevelBorderWidth(NodeStyle().LevelStyle(0), 0.0);
    TaperedThinRelations(RelationStyle());
}

TColoredCirclesStyle::TColoredCirclesStyle(TStyleManager& manager)
    : TStyleSheet(manager, "system.colored-circles", penAutoTapered, sbsCircle, "material-filled",
                  "material-filled.dark", "style_colored_circles", "Colored Circles") {}

void TColoredCirclesStyle::ApplySetup(bool dark) {
    SetCheckboxColor(Hex(0x6E6E6E));
    SetOverride(msoCheckboxColor, true);
    SetLevelBorderWidth(NodeStyle().LevelStyle(0), 0.5);
    SetConnectionStyle(csCentered);
    TRelationStyle& connection = RelationStyle().LevelStyle(0);
    connection.SetLineWidth(2.0f);
    connection.SetOverride(rsoLineWidth, true);
    // the dark filled scheme keeps the light text colour, which free texts on black cannot use
    if (dark)
        TextStyle().SetTextColor(Hex(0xDFDFDF));
}

TChartStyle::TChartStyle(TStyleManager& manager)
    : TStyleSheet(manager, "system.basic-chart", penSolidThin, sbsRoundRect, "chart-colors", "chart-colors.dark",
                  "style_chart", "Chart") {}

void TChartStyle::ApplySetup(bool dark) {
    TRelationStyle& connection = RelationStyle().LevelStyle(0);
    connection.SetPathStyle(rpsOrtho);
    connection.SetTargetArrow(arsSingleArrow);
    CrossLinkStyle().SetPathStyle(rpsOrtho);
    CrossLinkStyle().SetTargetArrow(arsSingleArrow);
    CrossLinkStyle().SetLineStyle(penSolidThin);
    // one level for all topics, with the font overridden: every topic is measured in a 10-point regular font
    TNodeStyle& level = NodeStyle().LevelStyle(0);
    level.SetFontScale(1.0f);
    level.SetBorderWidth(dark ? 0.25 : 2.0);
    level.SetOverride(nsoFont | nsoBorderWidth, true);
}

TGrayScaleStyleBase::TGrayScaleStyleBase(TStyleManager& manager, std::string key, std::string nameKey,
                                         std::string englishName)
    : TStyleSheet(manager, std::move(key), penSolidThin, sbsNone, "gray-scale", "gray-scale.dark", std::move(nameKey),
                  std::move(englishName)) {}

TCompactGrayScaleStyle::TCompactGrayScaleStyle(TStyleManager& manager)
    : TGrayScaleStyleBase(manager, "system.compact-gray-scale", "style_compact_gray_scale", "Compact Gray Scale") {}

TGrayScaleStyle::TGrayScaleStyle(TStyleManager& manager)
    : TGrayScaleStyle(manager, "system.gray-scale", "style_gray_scale", "Gray Scale") {}

TGrayScaleStyle::TGrayScaleStyle(TStyleManager& manager, std::string key, std::string nameKey, std::string englishName)
    : TGrayScaleStyleBase(manager, std::move(key), std::move(nameKey), std::move(englishName)) {}

void TGrayScaleStyle::ApplySetup(bool) {
    NodeStyle().SetLevelCount(2);
    TNodeStyle& central = NodeStyle().LevelStyle(0);
    central.SetBorderStyle(sbsHalfRound);
    SetLevelBorderWidth(central, 1.5);
    NodeStyle().LevelStyle(1).SetBorderStyle(sbsNone);
    TaperedThinRelations(RelationStyle());
}

TNaturalGrayScaleStyle::TNaturalGrayScaleStyle(TStyleManager& manager)
    : TGrayScaleStyle(manager, "system.natural-gray-scale", "style_natural_gray_scale", "Natural + Gray Scale") {}

void TNaturalGrayScaleStyle::ApplySetup(bool dark) {
    TGrayScaleStyle::ApplySetup(dark);
    SetConnectionStyle(csBaseline);
}

TBlackAndWhiteStyle::TBlackAndWhiteStyle(TStyleManager& manager)
    : TStyleSheet(manager, "system.black-and-white", penCable, sbsDropRoundRect, "black-and-white",
                  "black-and-white.dark", "style_black_and_white", "Black and White") {}

void TBlackAndWhiteStyle::ApplySetup(bool) {
    // a plain setter: the cross-link style stays derived from the cable
    RelationStyle().LevelStyle(0).SetLineStyle(penSolidThin);
}

void RegisterBuiltInStyleSheets(TStyleManager& manager) {
    manager.RegisterSheet(NewStyleSheet<TBrightColorsStyle>(manager));
    manager.RegisterSheet(NewStyleSheet<TSoftColorsStyle>(manager));
    manager.RegisterSheet(NewStyleSheet<TNaturalMaterialColorsStyle>(manager));
    manager.RegisterSheet(NewStyleSheet<TBlueSteelStyle>(manager));
    manager.RegisterSheet(NewStyleSheet<TAquaLevelsStyle>(manager));
    manager.RegisterSheet(NewStyleSheet<TSpringLevelsStyle>(manager));
    manager.RegisterSheet(NewStyleSheet<TCompactGrayScaleStyle>(manager));
    manager.RegisterSheet(NewStyleSheet<TGrayScaleStyle>(manager));
    manager.RegisterSheet(NewStyleSheet<TNaturalGrayScaleStyle>(manager));
    manager.RegisterSheet(NewStyleSheet<TPastelColorsStyle>(manager));
    manager.RegisterSheet(NewStyleSheet<TGoldenColorsStyle>(manager));
    manager.RegisterSheet(NewStyleSheet<TColoredCirclesStyle>(manager));
    manager.RegisterSheet(NewStyleSheet<TChartStyle>(manager));
    manager.RegisterSheet(NewStyleSheet<TDarkNaturalMaterialColorsStyle>(manager));
    manager.RegisterSheet(NewStyleSheet<TColorsOnBlackStyle>(manager));
    manager.RegisterSheet(NewStyleSheet<TBlackAndWhiteStyle>(manager));
    manager.RegisterSheet(NewStyleSheet<TSoftColorsLeftRightStyle>(manager));
    manager.SetDefaultSheet("system.bright-palette");
}
