#include "styling/ColorSchemes.h"

#include "model/CVMindMaps.h"
#include "platform/CVStrings.h"
#include "styling/MindMapStyling.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr int RGBMax = 255;

// Colours below are written as 0xRRGGBB, the way designers give them.
constexpr TColor Hex(std::uint32_t rgb) {
    return RGBColor(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

constexpr TColor DarkBackground = Hex(0x181818);
constexpr TColor DarkText = Hex(0xDFDFDF);

struct TEntry {
    std::uint32_t Fill;
    std::uint32_t Stroke;
};

// One channel of the HLS to RGB conversion: n1 and n2 are the low and high values, the hue picks where between.
int HueToChannel(int n1, int n2, int hue) {
    if (hue < 0)
        hue += HLSMax;
    if (hue > HLSMax)
        hue -= HLSMax;
    if (hue < HLSMax / 6)
        return n1 + ((n2 - n1) * hue + HLSMax / 12) / (HLSMax / 6);
    if (hue < HLSMax / 2)
        return n2;
    if (hue < HLSMax * 2 / 3)
        return n1 + ((n2 - n1) * (HLSMax * 2 / 3 - hue) + HLSMax / 12) / (HLSMax / 6);
    return n1;
}

unsigned ChannelFromHLS(int value) {
    return static_cast<unsigned>((value * RGBMax + HLSMax / 2) / HLSMax);
}

} // namespace

// The integer conversion of the Windows shell colour functions (HLSMAX 240, RGBMAX 255), with their rounding.
THLSColor ColorRGBToHLS(TColor color) {
    const int r = static_cast<int>(RedOf(color));
    const int g = static_cast<int>(GreenOf(color));
    const int b = static_cast<int>(BlueOf(color));
    const int cMax = std::max({r, g, b});
    const int cMin = std::min({r, g, b});
    THLSColor hls;
    hls.Luminance = ((cMax + cMin) * HLSMax + RGBMax) / (2 * RGBMax);
    if (cMax == cMin) {
        hls.Hue = HLSUndefinedHue;
        return hls;
    }
    const int spread = cMax - cMin;
    if (hls.Luminance <= HLSMax / 2)
        hls.Saturation = (spread * HLSMax + (cMax + cMin) / 2) / (cMax + cMin);
    else
        hls.Saturation = (spread * HLSMax + (2 * RGBMax - cMax - cMin) / 2) / (2 * RGBMax - cMax - cMin);
    const auto delta = [&](int c) { return ((cMax - c) * (HLSMax / 6) + spread / 2) / spread; };
    int hue;
    if (r == cMax)
        hue = delta(b) - delta(g);
    else if (g == cMax)
        hue = HLSMax / 3 + delta(r) - delta(b);
    else
        hue = HLSMax * 2 / 3 + delta(g) - delta(r);
    if (hue < 0)
        hue += HLSMax;
    if (hue > HLSMax)
        hue -= HLSMax;
    hls.Hue = hue;
    return hls;
}

TColor ColorHLSToRGB(int hue, int luminance, int saturation) {
    hue %= HLSMax;
    if (hue < 0)
        hue += HLSMax;
    // out of range, the magic numbers leave 0..240 and the channels 0..255
    luminance = std::clamp(luminance, 0, HLSMax);
    saturation = std::clamp(saturation, 0, HLSMax);
    if (saturation == 0) {
        const auto grey = static_cast<unsigned>(luminance * RGBMax / HLSMax);
        return RGBColor(grey, grey, grey);
    }
    const int magic2 = luminance <= HLSMax / 2
                           ? (luminance * (HLSMax + saturation) + HLSMax / 2) / HLSMax
                           : luminance + saturation - (luminance * saturation + HLSMax / 2) / HLSMax;
    const int magic1 = 2 * luminance - magic2;
    return RGBColor(ChannelFromHLS(HueToChannel(magic1, magic2, hue + HLSMax / 3)),
                    ChannelFromHLS(HueToChannel(magic1, magic2, hue)),
                    ChannelFromHLS(HueToChannel(magic1, magic2, hue - HLSMax / 3)));
}

TColor Darken(TColor color) {
    if (!IsPaintable(color))
        return color;
    const THLSColor hls = ColorRGBToHLS(color);
    return ColorHLSToRGB(hls.Hue, hls.Luminance >> 1, hls.Saturation);
}

void TSimpleColorScheme::ApplyToTopic(TMindMapNode& topic) {
    topic.ResolvedFill = FFill;
    topic.ResolvedBorder = FStroke;
    topic.ResolvedText = TextColor();
}

void TPalettizedColorScheme::AddEntry(TColor fill, TColor stroke) {
    FFills.push_back(fill);
    FStrokes.push_back(stroke);
}

TColor TPalettizedColorScheme::PaletteFill(int index) const {
    if (FFills.empty())
        return TColorScheme::PaletteFill(index);
    return FFills[static_cast<std::size_t>(std::clamp(index, 0, static_cast<int>(FFills.size()) - 1))];
}

TColor TPalettizedColorScheme::PaletteStroke(int index) const {
    if (FStrokes.empty())
        return TColorScheme::PaletteStroke(index);
    return FStrokes[static_cast<std::size_t>(std::clamp(index, 0, static_cast<int>(FStrokes.size()) - 1))];
}

void TPalettizedColorScheme::SetFill(int index, TColor fill) {
    FFills.at(static_cast<std::size_t>(index)) = fill;
}

void TPalettizedColorScheme::StrokesFromFills() {
    while (FStrokes.size() < FFills.size())
        FStrokes.push_back(Darken(FFills[FStrokes.size()]));
}

void TPalettizedColorScheme::FillsNone() {
    FFills.assign(FStrokes.size(), clNone);
}

void TPalettizedColorScheme::FillsFromStrokes() {
    FFills.clear();
    for (TColor stroke : FStrokes)
        FFills.push_back(Darken(stroke));
}

void TPalettizedColorScheme::SetAllFills(TColor fill) {
    FFills.assign(FStrokes.size(), fill);
}

void TPalettizedColorScheme::AssignEntry(TMindMapNode& topic, int entry) const {
    topic.ResolvedFill = PaletteFill(entry);
    topic.ResolvedBorder = PaletteStroke(entry);
}

int TPalettizedColorScheme::ChooseBranchIndex(const TMindMapNode& centralTheme) {
    const int count = PaletteCount();
    // a one-entry palette has nothing but the central theme's entry to give
    if (count <= 1)
        return 0;
    std::vector<bool> taken(static_cast<std::size_t>(count), false);
    // the scan ends once every entry is seen taken, so that handing out entries to many branches stays linear
    int free = count - 1;
    for (const TMindMapNode* child : centralTheme.Children()) {
        const int entry = child->PaletteIndex() - 1;
        if (entry >= 1 && entry < count && !taken[static_cast<std::size_t>(entry)]) {
            taken[static_cast<std::size_t>(entry)] = true;
            if (--free == 0)
                break;
        }
    }
    for (int entry = 1; entry < count; ++entry)
        if (!taken[static_cast<std::size_t>(entry)])
            return entry;
    // every entry has a branch: hand them out again in turn, never entry 0
    if (FNextIndex <= 0 || FNextIndex >= count)
        FNextIndex = 1;
    const int entry = FNextIndex;
    FNextIndex = (FNextIndex + 1) % count;
    return entry;
}

void TPalettizedColorScheme::ApplyToTopic(TMindMapNode& topic) {
    topic.ResolvedText = TextColor();
    const int count = PaletteCount();
    if (count == 0)
        return;
    if (FLevelBased) {
        AssignEntry(topic, std::min(topic.Level(), count - 1));
        return;
    }
    const int stored = std::max(topic.PaletteIndex(), 0);
    TMindMapNode* parent = topic.Parent();
    if (!parent) {
        const int entry = std::min(stored > 0 ? stored : 1, count);
        if (stored == 0)
            topic.SetPaletteIndex(entry);
        AssignEntry(topic, entry - 1);
    } else if (!parent->Parent()) {
        int entry;
        if (stored > 0) {
            entry = std::min(stored, count);
        } else {
            entry = ChooseBranchIndex(*parent) + 1;
            topic.SetPaletteIndex(entry);
        }
        AssignEntry(topic, entry - 1);
    } else if (stored > 0) {
        AssignEntry(topic, std::min(stored, count) - 1);
    } else {
        const TNodeStyle& parentStyle = parent->Style();
        topic.ResolvedFill = ColorOrPalette(parentStyle.FillColor(), parent->ResolvedFill);
        topic.ResolvedBorder = ColorOrPalette(parentStyle.StrokeColor(), parent->ResolvedBorder);
        topic.ResolvedText = ColorOrPalette(parentStyle.TextColor(), parent->ResolvedText);
    }
}

TBrightColorScheme::TBrightColorScheme() {
    constexpr TEntry entries[] = {
        {0xC1CCFF, 0x0033FF}, {0xFFC0B4, 0xFF0000}, {0xFFD595, 0xFF9900}, {0xFFF6A9, 0xFBC02D},
        {0xACFF97, 0x33FF00}, {0xB9F1FF, 0x00CCFF}, {0xE3B9FF, 0x9900FF}, {0xFFC1E0, 0xFF80C0},
    };
    for (const TEntry& entry : entries)
        AddEntry(Hex(entry.Fill), Hex(entry.Stroke));
}

TDarkBrightColorScheme::TDarkBrightColorScheme() {
    SetBackgroundColor(DarkBackground);
    SetTextColor(DarkText);
    FillsFromStrokes();
    SetFill(0, Hex(0x177AE9));
}

TColorsOnBlackScheme::TColorsOnBlackScheme() {
    SetBackgroundColor(DarkBackground);
    SetTextColor(DarkText);
    SetAllFills(DarkBackground);
}

TSoftColorScheme::TSoftColorScheme() {
    constexpr TEntry entries[] = {
        {0xDFE4FF, 0x556FFF}, {0xFFDFDF, 0xFF5555}, {0xFFEED5, 0xFFBB55}, {0xFFF9C4, 0xFDD835},
        {0xE6FFDF, 0x66FF40}, {0xDFF9FF, 0x66C6FF}, {0xF4E6FF, 0xBB55FF}, {0xFFE6F2, 0xFF95CA},
    };
    for (const TEntry& entry : entries)
        AddEntry(Hex(entry.Fill), Hex(entry.Stroke));
}

TDarkSoftColorScheme::TDarkSoftColorScheme() {
    SetBackgroundColor(DarkBackground);
    SetTextColor(DarkText);
    FillsNone();
}

TGoldColorScheme::TGoldColorScheme() {
    SetBackgroundColor(Hex(0xFEF9CB));
    constexpr std::uint32_t fills[] = {0xFDF4AC, 0xF3E786, 0xF7DD61, 0xF1CF34, 0xE1B455, 0xCEA734, 0xC79A2D, 0xB59128};
    for (std::uint32_t fill : fills)
        AddFill(Hex(fill));
    StrokesFromFills();
}

TDarkGoldColorScheme::TDarkGoldColorScheme() {
    SetBackgroundColor(DarkBackground);
    SetTextColor(DarkText);
    FillsNone();
}

TPastelColorScheme::TPastelColorScheme() {
    SetBackgroundColor(Hex(0xFFF7E4));
    constexpr std::uint32_t fills[] = {0xE3C8AE, 0xF3B1BF, 0xEBBC4A, 0xDFD04F, 0x9EC6AE,
                                       0x82B0C7, 0xC8B4DE, 0xDEA0DE, 0xD8B8C2};
    for (std::uint32_t fill : fills)
        AddFill(Hex(fill));
    StrokesFromFills();
}

TDarkPastelColorScheme::TDarkPastelColorScheme() {
    SetBackgroundColor(DarkBackground);
    SetTextColor(DarkText);
    FillsFromStrokes();
}

TAquaLeveledScheme::TAquaLeveledScheme() {
    SetLevelBased(true);
    constexpr TEntry entries[] = {
        {0x307CA5, 0x1B5072}, {0x5BB4E3, 0x1986C7}, {0xC7E6F8, 0x1986C7}, {0xDDEEF7, 0x2C8CBF}, {0xEDF7FC, 0x249AD2},
    };
    for (const TEntry& entry : entries)
        AddEntry(Hex(entry.Fill), Hex(entry.Stroke));
}

TDarkAquaLeveledScheme::TDarkAquaLeveledScheme() {
    SetLevelBased(true);
    SetBackgroundColor(DarkBackground);
    SetTextColor(DarkText);
    constexpr std::uint32_t strokes[] = {0x2599D1, 0x1F82B1, 0x1A6B93, 0x145778, 0x10445C};
    for (std::uint32_t stroke : strokes)
        AddStroke(Hex(stroke));
    FillsFromStrokes();
    SetFill(0, Fills()[1]);
}

TSpringLeveledScheme::TSpringLeveledScheme() {
    SetLevelBased(true);
    constexpr TEntry entries[] = {
        {0x8CD0FF, 0x3F8594}, {0xC5EE9A, 0x62A81C}, {0xFFF6A9, 0xFBC02D}, {0xFFF9C4, 0xFBC02D}, {0xFFFBD1, 0xFBC02D},
    };
    for (const TEntry& entry : entries)
        AddEntry(Hex(entry.Fill), Hex(entry.Stroke));
}

TDarkSpringLeveledScheme::TDarkSpringLeveledScheme() {
    SetLevelBased(true);
    SetBackgroundColor(DarkBackground);
    SetTextColor(DarkText);
    constexpr std::uint32_t strokes[] = {0x54A5B6, 0x62A81C, 0xFFD600, 0xFDD835, 0xFDD835};
    for (std::uint32_t stroke : strokes)
        AddStroke(Hex(stroke));
    FillsNone();
}

TMaterialStrokesColorScheme::TMaterialStrokesColorScheme() {
    constexpr std::uint32_t strokes[] = {0x3F51B5, 0xD50000, 0xFB8C00, 0xFFD600, 0xAEEA00, 0x76FF03,
                                         0x00C853, 0x00B0FF, 0x2962FF, 0x9575CD, 0xAB47BC};
    for (std::uint32_t stroke : strokes)
        AddStroke(Hex(stroke));
    FillsNone();
}

TDarkMaterialStrokesColorScheme::TDarkMaterialStrokesColorScheme() {
    SetBackgroundColor(DarkBackground);
    SetTextColor(DarkText);
}

TMaterialFilledColorScheme::TMaterialFilledColorScheme() {
    constexpr TEntry entries[] = {
        {0x90CAF9, 0x42A5F5}, {0xEF9A9A, 0xF44336}, {0xFFB74D, 0xFF9800}, {0xFFE082, 0xFFCA28}, {0xFFF59D, 0xFFEE58},
        {0xE6EE9C, 0xD4E157}, {0xDCEDC8, 0xAED581}, {0xA5D6A7, 0x4CAF50}, {0x80CBC4, 0x26A69A}, {0xB3E5FC, 0x4FC3F7},
        {0xC5CAE9, 0x9FA8DA}, {0xD1C4E9, 0xB39DDB}, {0xE1BEE7, 0xCE93D8}, {0xF8BBD0, 0xF48FB1},
    };
    for (const TEntry& entry : entries)
        AddEntry(Hex(entry.Fill), Hex(entry.Stroke));
}

// Only the background is dark: the light fills carry the default dark text.
TDarkMaterialFilledColorScheme::TDarkMaterialFilledColorScheme() {
    SetBackgroundColor(DarkBackground);
}

TGrayScaleColorScheme::TGrayScaleColorScheme() {
    SetLevelBased(true);
    constexpr std::uint32_t strokes[] = {0x404040, 0x808080, 0xA0A0A4};
    for (std::uint32_t stroke : strokes)
        AddStroke(Hex(stroke));
    FillsNone();
}

TGrayScalePatternColorScheme::TGrayScalePatternColorScheme() {
    SetBackgroundPatternKey(".system.dust_scratches");
}

TDarkGrayScaleColorScheme::TDarkGrayScaleColorScheme() {
    SetLevelBased(true);
    SetBackgroundColor(DarkBackground);
    SetTextColor(DarkText);
    constexpr std::uint32_t strokes[] = {0xDFDFDF, 0xC0C0C0, 0xA0A0A4};
    for (std::uint32_t stroke : strokes)
        AddStroke(Hex(stroke));
    FillsNone();
}

TDarkGrayScalePatternColorScheme::TDarkGrayScalePatternColorScheme() {
    SetBackgroundPatternKey(".system.low_contrast_linen");
}

TChartColorScheme::TChartColorScheme() : TSimpleColorScheme(Hex(0xE8EAF6), Hex(0x3F51B5)) {
    SetTextColor(Hex(0x37474F));
}

TDarkChartColorScheme::TDarkChartColorScheme() : TSimpleColorScheme(Hex(0x2D336C), Hex(0x5C6BC0)) {
    SetBackgroundColor(DarkBackground);
    SetTextColor(Hex(0xE8EAF6));
}

TBlueSteelColorScheme::TBlueSteelColorScheme() : TSimpleColorScheme(Hex(0xE9EBF8), Hex(0xC8CFE9)) {
    SetTextColor(Hex(0x2D3773));
}

TDarkBlueSteelColorScheme::TDarkBlueSteelColorScheme() : TSimpleColorScheme(Hex(0x1D2349), Hex(0x3C4997)) {
    SetBackgroundColor(DarkBackground);
    SetTextColor(Hex(0xE9EBF8));
}

TBlackAndWhiteColorScheme::TBlackAndWhiteColorScheme() : TSimpleColorScheme(Hex(0xFFFFFF), Hex(0x000000)) {
    SetBackgroundColor(Hex(0xFFFFFF));
    SetTextColor(Hex(0x000000));
}

TDarkBlackAndWhiteColorScheme::TDarkBlackAndWhiteColorScheme() : TSimpleColorScheme(DarkBackground, DarkText) {
    SetBackgroundColor(DarkBackground);
    SetTextColor(DarkText);
}

void TColorSchemeRegistry::RegisterScheme(std::unique_ptr<TColorScheme> scheme) {
    if (scheme)
        FSchemes.push_back(std::move(scheme));
}

int TColorSchemeRegistry::IndexOfScheme(std::string_view key) const {
    for (std::size_t i = 0; i < FSchemes.size(); ++i)
        if (SameText(FSchemes[i]->GetKey(), key))
            return static_cast<int>(i);
    return -1;
}

TColorScheme* TColorSchemeRegistry::FindScheme(std::string_view key) const {
    if (FSchemes.empty())
        return nullptr;
    const int index = IndexOfScheme(key);
    return FSchemes[static_cast<std::size_t>(index < 0 ? 0 : index)].get();
}

void RegisterBuiltInColorSchemes(TColorSchemeRegistry& registry) {
    registry.RegisterScheme(std::make_unique<TBrightColorScheme>());
    registry.RegisterScheme(std::make_unique<TDarkBrightColorScheme>());
    registry.RegisterScheme(std::make_unique<TSoftColorScheme>());
    registry.RegisterScheme(std::make_unique<TDarkSoftColorScheme>());
    registry.RegisterScheme(std::make_unique<TPastelColorScheme>());
    registry.RegisterScheme(std::make_unique<TDarkPastelColorScheme>());
    registry.RegisterScheme(std::make_unique<TGoldColorScheme>());
    registry.RegisterScheme(std::make_unique<TDarkGoldColorScheme>());
    registry.RegisterScheme(std::make_unique<TBlackAndWhiteColorScheme>());
    registry.RegisterScheme(std::make_unique<TDarkBlackAndWhiteColorScheme>());
    registry.RegisterScheme(std::make_unique<TGrayScaleColorScheme>());
    registry.RegisterScheme(std::make_unique<TGrayScalePatternColorScheme>());
    registry.RegisterScheme(std::make_unique<TDarkGrayScaleColorScheme>());
    registry.RegisterScheme(std::make_unique<TDarkGrayScalePatternColorScheme>());
    registry.RegisterScheme(std::make_unique<TMaterialStrokesColorScheme>());
    registry.RegisterScheme(std::make_unique<TDarkMaterialStrokesColorScheme>());
    registry.RegisterScheme(std::make_unique<TMaterialFilledColorScheme>());
    registry.RegisterScheme(std::make_unique<TDarkMaterialFilledColorScheme>());
    registry.RegisterScheme(std::make_unique<TChartColorScheme>());
    registry.RegisterScheme(std::make_unique<TDarkChartColorScheme>());
    registry.RegisterScheme(std::make_unique<TBlueSteelColorScheme>());
    registry.RegisterScheme(std::make_unique<TDarkBlueSteelColorScheme>());
    registry.RegisterScheme(std::make_unique<TColorsOnBlackScheme>());
    registry.RegisterScheme(std::make_unique<TAquaLeveledScheme>());
    registry.RegisterScheme(std::make_unique<TDarkAquaLeveledScheme>());
    registry.RegisterScheme(std::make_unique<TSpringLeveledScheme>());
    registry.RegisterScheme(std::make_unique<TDarkSpringLeveledScheme>());
}

void ApplyColorSchemeToMap(TColorScheme& scheme, TMindMap& map) {
    scheme.ResetPalette();
    std::vector<TMindMapNode*> topics;
    for (TMindMapNode* centralTheme : map.CentralThemes())
        centralTheme->CollectBranch(topics);
    for (TMindMapNode* topic : topics)
        scheme.ApplyToTopic(*topic);
}
