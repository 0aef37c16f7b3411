#pragma once

// The process-wide style manager: registered colour schemes and style sheets, the default sheet, the style
// options, and the fonts of the text roles (central themes, main branches, sub-branches, free texts, the
// outline and small captions) together with the text measurement that layout and word wrap ask for.
//
// Text is measured with pango on a context of our own at a fixed 96 dpi with hint metrics off, so sizes come
// out in map units and scale linearly with zoom, whatever the desktop's resolution.

#include "render/CairoHandles.h"
#include "render/Float2D.h"
#include "render/PangoHandles.h"
#include "styling/CVStyles.h"
#include "styling/ColorSchemes.h"
#include "styling/MindMapStyling.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class TBackgroundPattern;
class TStyleManager;

// The pango context every map text is measured on: an 8 x 8 image surface, 96 dpi, hint metrics and hinting
// off. Not re-entrant; used on the user-interface thread only.
class TMeasuringContext {
public:
    TMeasuringContext();
    TMeasuringContext(const TMeasuringContext&) = delete;
    TMeasuringContext& operator=(const TMeasuringContext&) = delete;

    PangoContext* Context() const { return FContext.Get(); }
    // A layout of this context that neither wraps nor ellipsizes.
    TPangoLayoutRef NewLayout() const;
    // Whether fontconfig knows the family (ASCII case folded); the list is read once.
    bool HasFamily(std::string_view family) const;

private:
    TPicture FSurface;
    TCairoPtr FCairo;
    TPangoContextRef FContext;
    mutable std::vector<std::string> FFamilies; // lower case, sorted
    mutable bool FFamiliesListed = false;
};

// The size of measured text from its layout's extents, in map units: the logical size (advance widths and line
// heights) stands when glyphs are missing or when the ink reaches 15 % or more beyond it in either direction
// (marks stacked far out of the line); otherwise ink that overhangs a little, as italics do, is included.
TFloatPoint MeasuredTextSize(TFloatPoint logical, TFloatPoint ink, bool missingGlyphs);

// Base of the text style data: the border width topics use when no style sets one, and the line box.
class TMindNodeStyleData {
public:
    TMindNodeStyleData() = default;
    TMindNodeStyleData(const TMindNodeStyleData&) = delete;
    TMindNodeStyleData& operator=(const TMindNodeStyleData&) = delete;
    virtual ~TMindNodeStyleData() = default;

    double BorderWidth() const { return FBorderWidth; }
    // Non-finite and negative widths are ignored.
    void SetBorderWidth(double value);
    // Both coordinates are the height of one line ("Wyg") in this font.
    TFloatPoint LineBox() const { return FLineBox; }

    // Changes between BeginUpdate and the outermost EndUpdate are reported once, at that EndUpdate, which always
    // reports one change.
    void BeginUpdate() { ++FUpdateCount; }
    // An EndUpdate without a matching BeginUpdate is ignored.
    void EndUpdate();
    bool Updating() const { return FUpdateCount > 0; }

    virtual void Changed() {}
    // The size of the text in map units; lines break at CR, LF and CR LF, never elsewhere.
    virtual TFloatPoint MeasureText(std::string_view text) const = 0;

protected:
    void SetLineBox(TFloatPoint value);
    // Runs at the outermost EndUpdate before the change is reported.
    virtual void UpdateEnding() {}

private:
    void ValueChanged();

    double FBorderWidth = 1.0;
    TFloatPoint FLineBox{};
    int FUpdateCount = 0;
};

// A font of a text role, with its pango description and measurement. The layout it measures with is its own,
// on the shared measuring context, and keeps the font between measurements; sizes of measured texts are kept
// until the font changes.
class TPangoMindNodeStyleData : public TMindNodeStyleData {
public:
    // A null manager never hears of changes (scratch fonts).
    TPangoMindNodeStyleData(TStyleManager* manager, const TMeasuringContext& context, std::string fontName,
                            double pointSize, bool bold, double borderWidth);

    const std::string& FontName() const { return FFontName; }
    void SetFontName(const std::string& value);
    double PointSize() const { return FPointSize; }
    // Kept within 1 .. 1000 points; non-finite sizes are ignored.
    void SetPointSize(double value);
    // PointSize rounded, halves to even.
    int FontSize() const { return FFontSize; }
    // Bold, italic, underline and strikeout bits; underline and strikeout do not change measurements.
    TFontStyles FontStyle() const { return FFontStyle; }
    void SetFontStyle(TFontStyles value);
    bool Bold() const { return (FFontStyle & fsBold) != 0; }
    void SetBold(bool value) { SetStyleBit(fsBold, value); }
    bool Italic() const { return (FFontStyle & fsItalic) != 0; }
    void SetItalic(bool value) { SetStyleBit(fsItalic, value); }
    bool Underline() const { return (FFontStyle & fsUnderline) != 0; }
    void SetUnderline(bool value) { SetStyleBit(fsUnderline, value); }
    bool StrikeOut() const { return (FFontStyle & fsStrikeOut) != 0; }
    void SetStrikeOut(bool value) { SetStyleBit(fsStrikeOut, value); }
    // True when name, size and style bits are those of the other font.
    bool SameFont(const TPangoMindNodeStyleData& other) const;

    // Family, size in pango units at 96 dpi, weight 600 for bold, italic style.
    const PangoFontDescription* FontDescription() const { return FDescription.get(); }

    void Changed() override;
    TFloatPoint MeasureText(std::string_view text) const override;

protected:
    void UpdateEnding() override;

private:
    struct TTextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };

    void SetStyleBit(TFontStyle bit, bool value);
    TFloatPoint MeasureUncached(std::string_view text) const;

    TStyleManager* FManager;           // not owned, may be null
    const TMeasuringContext* FContext; // not owned
    std::string FFontName;
    double FPointSize;
    int FFontSize;
    TFontStyles FFontStyle;
    TPangoFontDescriptionPtr FDescription;
    TPangoLayoutRef FLayout;
    mutable std::unordered_map<std::string, TFloatPoint, TTextHash, std::equal_to<>> FMeasured;
};

// A scratch font derived from a text role's font; it never reports changes.
class TPangoPassiveStyleData : public TPangoMindNodeStyleData {
public:
    explicit TPangoPassiveStyleData(const TMeasuringContext& context);

    void Changed() override {}
    // The base font with other style bits and size, in one update; nothing happens when the font is already so.
    void DeriveFont(const TPangoMindNodeStyleData& base, TFontStyles fontStyle, double pointSize);
};

// How a topic's or free text's text measured.
struct TElementTextMetrics {
    TFloatPoint Size;           // italic allowance included in the width
    TFloatPoint LineBox;        // of the font measured with
    double ItalicAllowance = 0; // a sixth of the line height for italic fonts
};

enum TAppearance : std::uint8_t { apSystem, apLight, apDark };

// What loading and saving fonts needs of the configuration store. Sections are registry key paths below the
// store's base key, sub-keys joined by "\".
class IFontSettingsStore {
public:
    virtual ~IFontSettingsStore() = default;
    virtual std::string ReadString(const std::string& section, const std::string& name,
                                   const std::string& fallback) = 0;
    virtual double ReadFloat(const std::string& section, const std::string& name, double fallback) = 0;
    virtual bool ReadBool(const std::string& section, const std::string& name, bool fallback) = 0;
    virtual void WriteString(const std::string& section, const std::string& name, const std::string& value) = 0;
    virtual void WriteFloat(const std::string& section, const std::string& name, double value) = 0;
    virtual void WriteBool(const std::string& section, const std::string& name, bool value) = 0;
};

class TStyleOptions {
public:
    TStyleOptions(const TStyleOptions&) = delete;
    TStyleOptions& operator=(const TStyleOptions&) = delete;

    // System (follow the desktop), light or dark; other values are ignored.
    TAppearance Appearance() const { return FAppearance; }
    void SetAppearance(TAppearance value);
    // A change rebuilds every sheet.
    bool IsDark() const { return FIsDark; }
    void SetIsDark(bool value);
    // The desktop's dark-mode indicator, as the user interface reads it; followed under the system appearance.
    bool PlatformDark() const { return FPlatformDark; }
    void SetPlatformDark(bool value);

private:
    friend class TStyleManager;
    explicit TStyleOptions(TStyleManager& manager) : FManager(manager) {}
    void UpdateIsDark();

    TStyleManager& FManager;
    TAppearance FAppearance = apSystem;
    bool FIsDark = false;
    bool FPlatformDark = false;
};

// Hears of the style manager's changes while it exists. Callbacks may be left empty.
class TStyleManagerObserver {
public:
    explicit TStyleManagerObserver(TStyleManager& manager);
    ~TStyleManagerObserver();
    TStyleManagerObserver(const TStyleManagerObserver&) = delete;
    TStyleManagerObserver& operator=(const TStyleManagerObserver&) = delete;

    // Fonts of central themes, branches or captions changed: topics must be measured again.
    void SetOnTopicFontsChanged(std::function<void()> callback) { FOnTopicFontsChanged = std::move(callback); }
    // Every sheet was rebuilt for new options.
    void SetOnOptionsChanged(std::function<void()> callback) { FOnOptionsChanged = std::move(callback); }
    void SetOnSheetAdded(std::function<void(TStyleSheet&)> callback) { FOnSheetAdded = std::move(callback); }
    void SetOnSheetChanged(std::function<void(TStyleSheet&)> callback) { FOnSheetChanged = std::move(callback); }
    // The free-text font changed.
    void SetOnTextFontChanged(std::function<void()> callback) { FOnTextFontChanged = std::move(callback); }

private:
    friend class TStyleManager;

    TStyleManager* FManager; // not owned; null once the manager is gone
    std::function<void()> FOnTopicFontsChanged;
    std::function<void()> FOnOptionsChanged;
    std::function<void(TStyleSheet&)> FOnSheetAdded;
    std::function<void(TStyleSheet&)> FOnSheetChanged;
    std::function<void()> FOnTextFontChanged;
};

using TTranslateFunction = std::function<std::string(std::string_view key, std::string_view englishText)>;
using TPatternResolver = std::function<TBackgroundPattern*(std::string_view key)>;

class TStyleManager {
public:
    // The locale decides the default font family; empty means the user's (LC_ALL, LC_CTYPE, LANG).
    explicit TStyleManager(std::string localeName = {});
    TStyleManager(const TStyleManager&) = delete;
    TStyleManager& operator=(const TStyleManager&) = delete;
    ~TStyleManager();

    // Colour schemes.
    void RegisterScheme(std::unique_ptr<TColorScheme> scheme) { FSchemes.RegisterScheme(std::move(scheme)); }
    TColorSchemeRegistry& Schemes() { return FSchemes; }
    const TColorSchemeRegistry& Schemes() const { return FSchemes; }
    // The scheme with that key (ASCII case folded), else the first registered; null when none is registered.
    TColorScheme* FindScheme(std::string_view key) const { return FSchemes.FindScheme(key); }

    // Style sheets.
    // Appends the sheet and tells the observers. Duplicate keys are kept: lookups find the first.
    TStyleSheet& RegisterSheet(std::unique_ptr<TStyleSheet> sheet);
    int SheetCount() const { return static_cast<int>(FSheets.size()); }
    TStyleSheet& SheetAt(int index) const { return *FSheets.at(static_cast<std::size_t>(index)); }
    // Index of the first sheet with that key (ASCII case folded), else -1. Older documents wrote the chart
    // sheet's key as "system.system.basic-chart".
    int FindSheetIndex(std::string_view key) const;
    // The sheet with that key, else the first registered; null when none is registered.
    TStyleSheet* FindSheet(std::string_view key) const;
    // The sheet a document naming this key is shown with: its own, else the default sheet.
    TStyleSheet* SheetForDocument(std::string_view key);
    // Unset, it becomes the first sheet (null without sheets).
    TStyleSheet* DefaultSheet();
    void SetDefaultSheet(std::string_view key);
    // Tells the observers; each sheet's Rebuild ends with this.
    void SheetChanged(TStyleSheet& sheet);
    // Rebuilds every sheet in order, then tells the observers the options changed.
    void RebuildSheets();

    TStyleOptions& Options() { return FOptions; }
    const TStyleOptions& Options() const { return FOptions; }

    // Fonts.
    // The family of the user's language when installed, else "Liberation Sans".
    const std::string& DefaultFontName() const { return FDefaultFontName; }
    const TMeasuringContext& MeasuringContext() const { return *FMeasuringContext; }
    TPangoMindNodeStyleData& CentralThemeData() { return *FCentralThemeData; }
    TPangoMindNodeStyleData& MainBranchData() { return *FMainBranchData; }
    TPangoMindNodeStyleData& SubBranchData() { return *FSubBranchData; }
    TPangoMindNodeStyleData& TextData() { return *FTextData; }
    TPangoMindNodeStyleData& OutlineData() { return *FOutlineData; }
    TPangoMindNodeStyleData& CaptionData() { return *FCaptionData; }
    // Central-theme data for level 0, main-branch data for level 1, sub-branch data below.
    TPangoMindNodeStyleData& TopicDataForLevel(int level);
    // Reports a change of one of the six text style data to the observers.
    void TextDataChanged(const TPangoMindNodeStyleData& data);
    // Each configurable role in the section base + "\" + its sub-key: "fontname", "fontsize" (points),
    // "boldfont", "italicfont". Loading keeps current values as defaults and reports one change per role.
    void LoadFonts(IFontSettingsStore& store, const std::string& baseSection);
    void SaveFonts(IFontSettingsStore& store, const std::string& baseSection) const;

    // Measuring and painting topics and free texts. A font overridden in the element's style chain is the
    // role's family with the style's bits and size, held in a scratch font (one for measuring, one for
    // painting) until the next call; otherwise the role's font itself.
    const TPangoMindNodeStyleData& MeasuringFont(const TPangoMindNodeStyleData& roleData, const TFontDescriptor& font);
    const TPangoMindNodeStyleData& PaintingFont(const TPangoMindNodeStyleData& roleData, const TFontDescriptor& font);
    TElementTextMetrics MeasureElementText(const TPangoMindNodeStyleData& roleData, const TFontDescriptor& font,
                                           std::string_view text);

    // Translation of sheet names; without a translator the English text.
    void SetTranslator(TTranslateFunction translate) { FTranslate = std::move(translate); }
    std::string Translate(std::string_view key, std::string_view englishText) const;
    // Background patterns of schemes, by key; without a resolver or for an empty key, none.
    void SetPatternResolver(TPatternResolver resolver) { FPatternResolver = std::move(resolver); }
    TBackgroundPattern* ResolvePattern(std::string_view key) const;

private:
    friend class TStyleManagerObserver;

    void AddObserver(TStyleManagerObserver* observer);
    void RemoveObserver(TStyleManagerObserver* observer);
    // Calls the function for every observer, also when observers come or go meanwhile.
    void ForEachObserver(const std::function<void(TStyleManagerObserver&)>& call);

    std::unique_ptr<TMeasuringContext> FMeasuringContext; // owned
    std::string FDefaultFontName;
    TColorSchemeRegistry FSchemes;
    std::vector<std::unique_ptr<TStyleSheet>> FSheets; // owned
    TStyleSheet* FDefaultSheet = nullptr;              // not owned
    TStyleOptions FOptions{*this};
    std::unique_ptr<TPangoMindNodeStyleData> FCentralThemeData; // owned
    std::unique_ptr<TPangoMindNodeStyleData> FMainBranchData;   // owned
    std::unique_ptr<TPangoMindNodeStyleData> FSubBranchData;    // owned
    std::unique_ptr<TPangoMindNodeStyleData> FTextData;         // owned
    std::unique_ptr<TPangoMindNodeStyleData> FOutlineData;      // owned
    std::unique_ptr<TPangoMindNodeStyleData> FCaptionData;      // owned
    std::unique_ptr<TPangoPassiveStyleData> FMeasuringData;     // owned
    std::unique_ptr<TPangoPassiveStyleData> FPaintingData;      // owned
    std::vector<TStyleManagerObserver*> FObservers;             // not owned; null while removed mid-notification
    int FNotifying = 0;
    TTranslateFunction FTranslate;
    TPatternResolver FPatternResolver;
};

// The start-up state: light appearance, the built-in schemes and sheets registered, "system.bright-palette" the
// default sheet.
void SetUpBuiltInStyles(TStyleManager& manager);
// The program's style manager, made on first use in its start-up state. It lives until the program ends.
TStyleManager& StyleManager();

// The default font family for a locale name such as "ja_JP.UTF-8" or "zh-Hant": the family of its language
// when installed, else "Liberation Sans".
std::string DefaultFontFamily(std::string_view localeName, const std::function<bool(std::string_view)>& installed);
// The user's locale for text: LC_ALL, else LC_CTYPE, else LANG; empty when none is set.
std::string UserLocaleName();
