#pragma once

// Colour schemes supply every topic colour that the style chain leaves at clDefault, the map background and the
// default text colour. A simple scheme gives all topics one fill and one stroke; a palettized scheme hands out
// fill/stroke entries by branch (each main branch its own entry, sub-branches inherit it) or by level.
//
// The RGB <-> HLS conversion works on the 0..240 scale of the Windows shell colour functions, so that colours
// derived from a document (darkened strokes, hull shades) come out as they did where the document was made.

#include "styling/Colors.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TMindMap;
class TMindMapNode;

// Hue, luminance and saturation, each 0..240.
struct THLSColor {
    int Hue = 0;
    int Luminance = 0;
    int Saturation = 0;

    friend bool operator==(const THLSColor&, const THLSColor&) = default;
};

constexpr int HLSMax = 240;
// The hue answered for greys, whose hue is undefined.
constexpr int HLSUndefinedHue = HLSMax * 2 / 3;

// The high byte of the colour is ignored: sentinels convert like the RGB value they carry.
THLSColor ColorRGBToHLS(TColor color);
// Hue is taken modulo 240 (it is an angle); luminance and saturation are kept within 0..240.
TColor ColorHLSToRGB(int hue, int luminance, int saturation);
// The colour with half its HLS luminance. clNone and clDefault stay as they are: they carry no colour to darken.
TColor Darken(TColor color);

class TColorScheme {
public:
    static constexpr TColor BaseTextColor = 0x00181818; // #181818, also the base stroke

    TColorScheme() = default;
    TColorScheme(const TColorScheme&) = delete;
    TColorScheme& operator=(const TColorScheme&) = delete;
    virtual ~TColorScheme() = default;

    TColor BackgroundColor() const { return FBackgroundColor; }
    void SetBackgroundColor(TColor value) { FBackgroundColor = value; }
    // Key of the background pattern (".system.wood"); empty for none. The pattern registry resolves it.
    const std::string& BackgroundPatternKey() const { return FBackgroundPatternKey; }
    void SetBackgroundPatternKey(std::string key) { FBackgroundPatternKey = std::move(key); }
    TColor TextColor() const { return FTextColor; }
    void SetTextColor(TColor value) { FTextColor = value; }

    // Called once before the scheme colours a whole map.
    virtual void ResetPalette() {}
    virtual int PaletteCount() const { return 1; }
    // Sets the topic's ResolvedFill, ResolvedBorder and ResolvedText, and may assign its PaletteIndex. Topics are
    // coloured in tree order, parents before children: a sub-branch copies its parent's effective colours.
    virtual void ApplyToTopic(TMindMapNode&) {}
    virtual TColor PaletteFill(int) const { return clWhite; }
    virtual TColor PaletteStroke(int) const { return BaseTextColor; }
    virtual bool IsCustom() const { return false; }
    virtual std::string_view GetKey() const = 0;

private:
    TColor FBackgroundColor = clWhite;
    std::string FBackgroundPatternKey;
    TColor FTextColor = BaseTextColor;
};

// One fill and one stroke for every topic.
class TSimpleColorScheme : public TColorScheme {
public:
    TSimpleColorScheme(TColor fill, TColor stroke) : FFill(fill), FStroke(stroke) {}

    void ApplyToTopic(TMindMapNode& topic) override;
    TColor PaletteFill(int) const override { return FFill; }
    TColor PaletteStroke(int) const override { return FStroke; }

private:
    TColor FFill;
    TColor FStroke;
};

// A list of fill/stroke entries. By branch, entry 0 colours the central themes, main branches take entries 1, 2,
// ... in the order they are coloured and keep them (their PaletteIndex, 1-based, records the entry), repeating
// round-robin once all are used; sub-branches copy their parent's colours. By level, a topic at level L takes
// entry L, the last entry serving all deeper levels. Indices beyond the palette use its last entry.
class TPalettizedColorScheme : public TColorScheme {
public:
    bool LevelBased() const { return FLevelBased; }
    void SetLevelBased(bool value) { FLevelBased = value; }
    const std::vector<TColor>& Fills() const { return FFills; }
    const std::vector<TColor>& Strokes() const { return FStrokes; }
    // Appends one entry; for palettes read from a document.
    void AddEntry(TColor fill, TColor stroke);

    void ResetPalette() override { FNextIndex = 0; }
    int PaletteCount() const override { return static_cast<int>(FFills.size()); }
    void ApplyToTopic(TMindMapNode& topic) override;
    // Entry index of the list; an index outside the list is clamped to it, an empty list answers the base colour.
    TColor PaletteFill(int index) const override;
    TColor PaletteStroke(int index) const override;

protected:
    // The built-in schemes build their palettes in their constructors with these.
    void AddFill(TColor fill) { FFills.push_back(fill); }
    void AddStroke(TColor stroke) { FStrokes.push_back(stroke); }
    void SetFill(int index, TColor fill);
    // Completes the strokes with the darkened fills at the same positions.
    void StrokesFromFills();
    // Makes the palette stroke-only: one clNone fill per stroke.
    void FillsNone();
    // Replaces the fills by the darkened strokes.
    void FillsFromStrokes();
    void SetAllFills(TColor fill);

private:
    // 0-based entry for a new main branch under the central theme; entry 0 is the central theme's own.
    int ChooseBranchIndex(const TMindMapNode& centralTheme);
    void AssignEntry(TMindMapNode& topic, int entry) const;

    bool FLevelBased = false;
    std::vector<TColor> FFills;
    std::vector<TColor> FStrokes;
    int FNextIndex = 0; // round-robin counter once every entry has a main branch
};

// Built-in schemes, in registration order.

class TBrightColorScheme : public TPalettizedColorScheme {
public:
    TBrightColorScheme();
    std::string_view GetKey() const override { return "bright-palette"; }
};

class TDarkBrightColorScheme : public TBrightColorScheme {
public:
    TDarkBrightColorScheme();
    std::string_view GetKey() const override { return "bright-palette.dark"; }
};

class TSoftColorScheme : public TPalettizedColorScheme {
public:
    TSoftColorScheme();
    std::string_view GetKey() const override { return "soft-palette"; }
};

class TDarkSoftColorScheme : public TSoftColorScheme {
public:
    TDarkSoftColorScheme();
    std::string_view GetKey() const override { return "soft-palette.dark"; }
};

class TPastelColorScheme : public TPalettizedColorScheme {
public:
    TPastelColorScheme();
    std::string_view GetKey() const override { return "pastel-palette"; }
};

class TDarkPastelColorScheme : public TPastelColorScheme {
public:
    TDarkPastelColorScheme();
    std::string_view GetKey() const override { return "pastel-palette.dark"; }
};

class TGoldColorScheme : public TPalettizedColorScheme {
public:
    TGoldColorScheme();
    std::string_view GetKey() const override { return "gold-palette"; }
};

class TDarkGoldColorScheme : public TGoldColorScheme {
public:
    TDarkGoldColorScheme();
    std::string_view GetKey() const override { return "gold-palette.dark"; }
};

class TBlackAndWhiteColorScheme : public TSimpleColorScheme {
public:
    TBlackAndWhiteColorScheme();
    std::string_view GetKey() const override { return "black-and-white"; }
};

class TDarkBlackAndWhiteColorScheme : public TSimpleColorScheme {
public:
    TDarkBlackAndWhiteColorScheme();
    std::string_view GetKey() const override { return "black-and-white.dark"; }
};

class TGrayScaleColorScheme : public TPalettizedColorScheme {
public:
    TGrayScaleColorScheme();
    std::string_view GetKey() const override { return "gray-scale"; }
};

class TGrayScalePatternColorScheme : public TGrayScaleColorScheme {
public:
    TGrayScalePatternColorScheme();
    std::string_view GetKey() const override { return "gray-scale-pattern"; }
};

class TDarkGrayScaleColorScheme : public TPalettizedColorScheme {
public:
    TDarkGrayScaleColorScheme();
    std::string_view GetKey() const override { return "gray-scale.dark"; }
};

class TDarkGrayScalePatternColorScheme : public TDarkGrayScaleColorScheme {
public:
    TDarkGrayScalePatternColorScheme();
    std::string_view GetKey() const override { return "gray-scale-pattern.dark"; }
};

class TMaterialStrokesColorScheme : public TPalettizedColorScheme {
public:
    TMaterialStrokesColorScheme();
    std::string_view GetKey() const override { return "material-strokes"; }
};

// Its key has a hyphen where the other dark keys have ".dark"; documents name it so.
class TDarkMaterialStrokesColorScheme : public TMaterialStrokesColorScheme {
public:
    TDarkMaterialStrokesColorScheme();
    std::string_view GetKey() const override { return "material-strokes-dark"; }
};

class TMaterialFilledColorScheme : public TPalettizedColorScheme {
public:
    TMaterialFilledColorScheme();
    std::string_view GetKey() const override { return "material-filled"; }
};

class TDarkMaterialFilledColorScheme : public TMaterialFilledColorScheme {
public:
    TDarkMaterialFilledColorScheme();
    std::string_view GetKey() const override { return "material-filled.dark"; }
};

class TChartColorScheme : public TSimpleColorScheme {
public:
    TChartColorScheme();
    std::string_view GetKey() const override { return "chart-colors"; }
};

class TDarkChartColorScheme : public TSimpleColorScheme {
public:
    TDarkChartColorScheme();
    std::string_view GetKey() const override { return "chart-colors.dark"; }
};

class TBlueSteelColorScheme : public TSimpleColorScheme {
public:
    TBlueSteelColorScheme();
    std::string_view GetKey() const override { return "blue-steel-colors"; }
};

class TDarkBlueSteelColorScheme : public TSimpleColorScheme {
public:
    TDarkBlueSteelColorScheme();
    std::string_view GetKey() const override { return "blue-steel-colors.dark"; }
};

// The bright palette's strokes on black fills.
class TColorsOnBlackScheme : public TBrightColorScheme {
public:
    TColorsOnBlackScheme();
    std::string_view GetKey() const override { return "colors-on-black"; }
};

class TAquaLeveledScheme : public TPalettizedColorScheme {
public:
    TAquaLeveledScheme();
    std::string_view GetKey() const override { return "aqua-levels"; }
};

class TDarkAquaLeveledScheme : public TPalettizedColorScheme {
public:
    TDarkAquaLeveledScheme();
    std::string_view GetKey() const override { return "aqua-levels.dark"; }
};

class TSpringLeveledScheme : public TPalettizedColorScheme {
public:
    TSpringLeveledScheme();
    std::string_view GetKey() const override { return "spring-levels"; }
};

class TDarkSpringLeveledScheme : public TPalettizedColorScheme {
public:
    TDarkSpringLeveledScheme();
    std::string_view GetKey() const override { return "spring-levels.dark"; }
};

// The schemes a style manager offers, in registration order; it owns them.
class TColorSchemeRegistry {
public:
    TColorSchemeRegistry() = default;
    TColorSchemeRegistry(const TColorSchemeRegistry&) = delete;
    TColorSchemeRegistry& operator=(const TColorSchemeRegistry&) = delete;

    // Appends the scheme; a null scheme is ignored. Duplicate keys are kept: lookups find the first.
    void RegisterScheme(std::unique_ptr<TColorScheme> scheme);
    int Count() const { return static_cast<int>(FSchemes.size()); }
    TColorScheme& SchemeAt(int index) const { return *FSchemes.at(static_cast<std::size_t>(index)); }
    // Index of the first scheme whose key equals the key without regard to ASCII case; -1 when none does.
    int IndexOfScheme(std::string_view key) const;
    // The scheme with that key, else the first registered scheme (the fallback for unknown keys); null when
    // nothing is registered.
    TColorScheme* FindScheme(std::string_view key) const;

private:
    std::vector<std::unique_ptr<TColorScheme>> FSchemes; // owned
};

// Registers the built-in schemes in their fixed order; "bright-palette" comes first and is the fallback.
void RegisterBuiltInColorSchemes(TColorSchemeRegistry& registry);

// Colours every topic of the map: resets the palette, then applies the scheme to each central theme's branch in
// tree order, parents before children.
void ApplyColorSchemeToMap(TColorScheme& scheme, TMindMap& map);
