#pragma once

// Style sheets: complete, named looks for a map. A sheet holds topic and connection styles per level, the
// cross-link and free-text styles, map attributes and a colour scheme. The built-in sheets are made once at
// start-up and owned by the style manager; a map copies its sheet into its own leveled style when the sheet is
// applied, so later changes of the sheet reach the map only when the sheet is applied again.

#include "styling/ColorSchemes.h"
#include "styling/MindMapStyling.h"

#include <memory>
#include <string>
#include <string_view>

class TMindMap;
class TMindMapNode;
class TStyleManager;

class TStyleSheet : public TLeveledMindMapStyle {
public:
    // Unique among sheets, compared without regard to ASCII case ("system.bright-palette").
    const std::string& Key() const { return FKey; }
    // Translation key and English text of the name users see; empty for sheets named by their key.
    const std::string& NameKey() const { return FNameKey; }
    const std::string& EnglishName() const { return FEnglishName; }
    TColorScheme* ColorScheme() const { return FColorScheme; }
    TStyleManager& Manager() const { return *FManager; }

    // The scheme's background; without a scheme the sheet's own.
    TColor GetBackgroundColor() const override;
    TBackgroundPattern* GetBackgroundPattern() const override;

    // The name in the user's language; a sheet without a name key answers its key.
    virtual std::string GetDisplayName() const;
    // Deletes the file a sheet was loaded from; built-in sheets have none.
    virtual bool DeleteStorage() { return false; }
    virtual bool IsCustomSheet() const { return false; }
    // Built-in sheets pick their scheme for the current appearance and set up their levels again, then tell the
    // style manager's observers. Runs after construction (NewStyleSheet) and whenever the appearance changes.
    virtual void Rebuild();

    // Line style of connection level 0; the cross-link style is derived from it, with an arrow.
    void SetConnectionLineStyle(TRelationLineStyle lineStyle);

    // Copies the sheet into the map's own leveled style and colours every topic, in one map update.
    void ApplyToMap(TMindMap& map) const;
    // Colours every topic and sets their levels, without copying the sheet and without restarting the scheme's
    // round robin: what the map runs again when its node styles change, so palette colours follow moved and new
    // topics.
    void ApplyToTopics(TMindMap& map) const;
    // The same for one topic and its descendants, after the topic moved to another parent.
    void ApplyToBranch(TMindMapNode& topic) const;
    // Colours one topic of the given depth and sets the level of its style and of its parent connection. The
    // scheme must have been reset for the map and the topic's ancestors coloured before.
    void ApplyToTopic(TMindMapNode& topic, int level) const;

protected:
    // Empty scheme keys leave the sheet without scheme; an empty dark key uses the light scheme always.
    TStyleSheet(TStyleManager& manager, std::string key, TRelationLineStyle lineStyle, TNodeBorderStyle borderStyle,
                std::string_view lightSchemeKey, std::string_view darkSchemeKey, std::string nameKey,
                std::string englishName);

    void SetKey(std::string key) { FKey = std::move(key); }
    // A scheme the sheet itself owns (custom sheets), or one of the style manager's.
    void SetColorScheme(TColorScheme* scheme);
    // Takes the scheme for the appearance and the free-text colour from it.
    void SelectScheme(bool dark);
    // Level styles, connection styles and map attributes that go beyond the construction arguments.
    virtual void ApplySetup(bool /*dark*/) {}
    // Tells the style manager's observers that this sheet changed.
    void NotifyRebuilt();

private:
    TStyleManager* FManager; // not owned
    std::string FKey;
    std::string FNameKey;
    std::string FEnglishName;
    std::string FLightSchemeKey;
    std::string FDarkSchemeKey;
    TColorScheme* FColorScheme = nullptr; // not owned: the style manager (or a custom sheet) owns schemes
};

// A sheet is complete only after its first Rebuild: make sheets with this.
template <class TSheet> std::unique_ptr<TSheet> NewStyleSheet(TStyleManager& manager) {
    auto sheet = std::make_unique<TSheet>(manager);
    sheet->Rebuild();
    return sheet;
}

// Sheets whose whole setup is their standard variant.
class TClassicStyleBase : public TStyleSheet {
public:
    void Rebuild() override;
    // Scheme and level setup for the current appearance.
    virtual void ApplyStandardVariant();

protected:
    using TStyleSheet::TStyleSheet;
};

class TBrightColorsStyle : public TClassicStyleBase {
public:
    explicit TBrightColorsStyle(TStyleManager& manager);

protected:
    void ApplySetup(bool dark) override;
};

class TColorsOnBlackStyle : public TClassicStyleBase {
public:
    explicit TColorsOnBlackStyle(TStyleManager& manager);

protected:
    void ApplySetup(bool dark) override;
};

class TSoftColorsStyleBase : public TClassicStyleBase {
protected:
    TSoftColorsStyleBase(TStyleManager& manager, std::string key, std::string nameKey, std::string englishName);
    void ApplySetup(bool dark) override;
};

class TSoftColorsStyle : public TSoftColorsStyleBase {
public:
    explicit TSoftColorsStyle(TStyleManager& manager);
};

class TSoftColorsLeftRightStyle : public TSoftColorsStyleBase {
public:
    explicit TSoftColorsLeftRightStyle(TStyleManager& manager);

protected:
    void ApplySetup(bool dark) override;
};

class TSpringLevelsStyle : public TClassicStyleBase {
public:
    explicit TSpringLevelsStyle(TStyleManager& manager);

protected:
    void ApplySetup(bool dark) override;
};

class TAquaLevelsStyle : public TClassicStyleBase {
public:
    explicit TAquaLevelsStyle(TStyleManager& manager);

protected:
    void ApplySetup(bool dark) override;
};

class TPastelColorsStyle : public TClassicStyleBase {
public:
    explicit TPastelColorsStyle(TStyleManager& manager);

protected:
    void ApplySetup(bool dark) override;
};

class TGoldenColorsStyle : public TClassicStyleBase {
public:
    explicit TGoldenColorsStyle(TStyleManager& manager);

protected:
    void ApplySetup(bool dark) override;
};

class TNaturalMaterialColorsStyleBase : public TStyleSheet {
protected:
    TNaturalMaterialColorsStyleBase(TStyleManager& manager, std::string key, std::string_view lightSchemeKey,
                                    std::string_view darkSchemeKey, std::string nameKey, std::string englishName);
    void ApplySetup(bool dark) override;
};

class TNaturalMaterialColorsStyle : public TNaturalMaterialColorsStyleBase {
public:
    explicit TNaturalMaterialColorsStyle(TStyleManager& manager);
};

class TDarkNaturalMaterialColorsStyle : public TNaturalMaterialColorsStyleBase {
public:
    explicit TDarkNaturalMaterialColorsStyle(TStyleManager& manager);
};

class TBlueSteelStyle : public TStyleSheet {
public:
    explicit TBlueSteelStyle(TStyleManager& manager);

protected:
    void ApplySetup(bool dark) override;
};

class TColoredCirclesStyle : public TStyleSheet {
public:
    explicit TColoredCirclesStyle(TStyleManager& manager);

protected:
    void ApplySetup(bool dark) override;
};

class TChartStyle : public TStyleSheet {
public:
    explicit TChartStyle(TStyleManager& manager);

protected:
    void ApplySetup(bool dark) override;
};

class TGrayScaleStyleBase : public TStyleSheet {
protected:
    TGrayScaleStyleBase(TStyleManager& manager, std::string key, std::string nameKey, std::string englishName);
};

class TCompactGrayScaleStyle : public TGrayScaleStyleBase {
public:
    explicit TCompactGrayScaleStyle(TStyleManager& manager);
};

class TGrayScaleStyle : public TGrayScaleStyleBase {
public:
    explicit TGrayScaleStyle(TStyleManager& manager);

protected:
    TGrayScaleStyle(TStyleManager& manager, std::string key, std::string nameKey, std::string englishName);
    void ApplySetup(bool dark) override;
};

class TNaturalGrayScaleStyle : public TGrayScaleStyle {
public:
    explicit TNaturalGrayScaleStyle(TStyleManager& manager);

protected:
    void ApplySetup(bool dark) override;
};

class TBlackAndWhiteStyle : public TStyleSheet {
public:
    explicit TBlackAndWhiteStyle(TStyleManager& manager);

protected:
    void ApplySetup(bool dark) override;
};

// Registers the seventeen built-in sheets in their fixed order ("system.bright-palette" first, the fallback for
// unknown keys) and makes "system.bright-palette" the default sheet. The schemes must be registered before.
void RegisterBuiltInStyleSheets(TStyleManager& manager);
