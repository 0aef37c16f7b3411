#include "styling/CVStyleManager.h"

#include "platform/CVStrings.h"
#include "styling/Patterns.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double MeasuringResolution = 96.0;
constexpr double MinPointSize = 1.0;
constexpr double MaxPointSize = 1000.0;
// Ink reaching this far beyond the logical extents is not trusted.
constexpr double InkTolerance = 1.15;
// Measured sizes kept per font: enough for every text of a large map, bounded for pathological ones.
constexpr std::size_t MaxCachedTexts = 1 << 17;
constexpr std::size_t MaxCachedTextLength = 1024;
constexpr const char* FallbackFontFamily = "Liberation Sans";
constexpr const char* LineBoxSample = "Wyg";

struct TNotifyingScope {
    explicit TNotifyingScope(int& depth) : Depth(depth) { ++Depth; }
    ~TNotifyingScope() { --Depth; }
    TNotifyingScope(const TNotifyingScope&) = delete;
    TNotifyingScope& operator=(const TNotifyingScope&) = delete;
    int& Depth;
};

} // namespace

TMeasuringContext::TMeasuringContext()
    : FSurface(TPicture::Adopt(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8))),
      FCairo(cairo_create(FSurface.Surface())),
      FContext(TPangoContextRef::Adopt(pango_cairo_create_context(FCairo.get()))) {
    pango_cairo_context_set_resolution(FContext.Get(), MeasuringResolution);
    // unhinted metrics and unrounded glyph positions: widths scale linearly with the zoom
    TCairoFontOptionsPtr options(cairo_font_options_create());
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(FContext.Get(), options.get());
    pango_context_set_round_glyph_positions(FContext.Get(), FALSE);
}

TPangoLayoutRef TMeasuringContext::NewLayout() const {
    TPangoLayoutRef layout = TPangoLayoutRef::Adopt(pango_layout_new(FContext.Get()));
    pango_layout_set_width(layout.Get(), -1);
    pango_layout_set_ellipsize(layout.Get(), PANGO_ELLIPSIZE_NONE);
    return layout;
}

bool TMeasuringContext::HasFamily(std::string_view family) const {
    if (!FFamiliesListed) {
        FFamiliesListed = true;
        PangoFontFamily** families = nullptr;
        int count = 0;
        pango_font_map_list_families(pango_context_get_font_map(FContext.Get()), &families, &count);
        for (int i = 0; i < count; ++i)
            FFamilies.push_back(LowerAscii(pango_font_family_get_name(families[i])));
        g_free(families);
        std::sort(FFamilies.begin(), FFamilies.end());
    }
    return std::binary_search(FFamilies.begin(), FFamilies.end(), LowerAscii(family));
}

TFloatPoint MeasuredTextSize(TFloatPoint logical, TFloatPoint ink, bool missingGlyphs) {
    if (missingGlyphs)
        return logical;
    const TFloatPoint inked{std::max(ink.X, logical.X), std::max(ink.Y, logical.Y)};
    if (inked.Y >= InkTolerance * logical.Y || inked.X >= InkTolerance * logical.X)
        return logical;
    return inked;
}

void TMindNodeStyleData::SetBorderWidth(double value) {
    if (!std::isfinite(value) || value < 0 || value == FBorderWidth)
        return;
    FBorderWidth = value;
    ValueChanged();
}

void TMindNodeStyleData::EndUpdate() {
    if (FUpdateCount == 0)
        return;
    if (FUpdateCount == 1)
        UpdateEnding();
    if (--FUpdateCount == 0)
        Changed();
}

void TMindNodeStyleData::SetLineBox(TFloatPoint value) {
    if (value == FLineBox)
        return;
    FLineBox = value;
    ValueChanged();
}

void TMindNodeStyleData::ValueChanged() {
    // inside an update the outermost EndUpdate reports it
    if (FUpdateCount == 0)
        Changed();
}

TPangoMindNodeStyleData::TPangoMindNodeStyleData(TStyleManager* manager, const TMeasuringContext& context,
                                                 std::string fontName, double pointSize, bool bold, double borderWidth)
    : FManager(nullptr), FContext(&context), FFontName(std::move(fontName)),
      FPointSize(std::clamp(std::isfinite(pointSize) ? pointSize : 10.0, MinPointSize, MaxPointSize)),
      FFontSize(static_cast<int>(RoundHalfEven(FPointSize))), FFontStyle(bold ? fsBold : 0),
      FLayout(context.NewLayout()) {
    SetBorderWidth(borderWidth);
    // the first font and line box are no change anybody must hear of
    TPangoMindNodeStyleData::UpdateEnding();
    FManager = manager;
}

void TPangoMindNodeStyleData::SetFontName(const std::string& value) {
    if (value == FFontName)
        return;
    BeginUpdate();
    FFontName = value;
    EndUpdate();
}

void TPangoMindNodeStyleData::SetPointSize(double value) {
    if (!std::isfinite(value))
        return;
    value = std::clamp(value, MinPointSize, MaxPointSize);
    if (value == FPointSize)
        return;
    BeginUpdate();
    FPointSize = value;
    FFontSize = static_cast<int>(RoundHalfEven(value));
    EndUpdate();
}

void TPangoMindNodeStyleData::SetFontStyle(TFontStyles value) {
    value &= fsBold | fsItalic | fsUnderline | fsStrikeOut;
    if (value == FFontStyle)
        return;
    BeginUpdate();
    FFontStyle = value;
    EndUpdate();
}

void TPangoMindNodeStyleData::SetStyleBit(TFontStyle bit, bool value) {
    SetFontStyle(static_cast<TFontStyles>(value ? FFontStyle | bit : FFontStyle & ~bit));
}

bool TPangoMindNodeStyleData::SameFont(const TPangoMindNodeStyleData& other) const {
    return FFontName == other.FFontName && FPointSize == other.FPointSize && FFontStyle == other.FFontStyle;
}

void TPangoMindNodeStyleData::Changed() {
    if (FManager)
        FManager->TextDataChanged(*this);
}

void TPangoMindNodeStyleData::UpdateEnding() {
    // the description first: the line box is measured in the new font
    FDescription.reset(pango_font_description_new());
    pango_font_description_set_family(FDescription.get(), FFontName.c_str());
    pango_font_description_set_size(FDescription.get(), static_cast<gint>(RoundHalfEven(FPointSize * PANGO_SCALE)));
    pango_font_description_set_weight(FDescription.get(), Bold() ? PANGO_WEIGHT_SEMIBOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(FDescription.get(), Italic() ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(FLayout.Get(), FDescription.get());
    FMeasured.clear();
    const double height = MeasureUncached(LineBoxSample).Y;
    SetLineBox({height, height});
}

TFloatPoint TPangoMindNodeStyleData::MeasureText(std::string_view text) const {
    if (text.size() > MaxCachedTextLength)
        return MeasureUncached(text);
    if (const auto it = FMeasured.find(text); it != FMeasured.end())
        return it->second;
    const TFloatPoint size = MeasureUncached(text);
    if (FMeasured.size() >= MaxCachedTexts)
        FMeasured.clear();
    FMeasured.emplace(text, size);
    return size;
}

TFloatPoint TPangoMindNodeStyleData::MeasureUncached(std::string_view text) const {
    PangoLayout* layout = FLayout.Get();
    const auto length = static_cast<gssize>(std::min<std::size_t>(text.size(), INT_MAX));
    // pango refuses invalid UTF-8 (and NUL) with a warning; measure what would be shown instead
    if (g_utf8_validate(text.data(), length, nullptr)) {
        pango_layout_set_text(layout, text.data(), static_cast<int>(length));
    } else {
        gchar* valid = g_utf8_make_valid(text.data(), length);
        pango_layout_set_text(layout, valid, -1);
        g_free(valid);
    }
    PangoRectangle ink{};
    PangoRectangle logical{};
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    const bool missingGlyphs = pango_layout_get_unknown_glyphs_count(layout) > 0;
    return MeasuredTextSize({static_cast<double>(logical.width), static_cast<double>(logical.height)},
                            {static_cast<double>(ink.width), static_cast<double>(ink.height)}, missingGlyphs);
}

TPangoPassiveStyleData::TPangoPassiveStyleData(const TMeasuringContext& context)
    : TPangoMindNodeStyleData(nullptr, context, FallbackFontFamily, 10.0, false, 1.0) {}

void TPangoPassiveStyleData::DeriveFont(const TPangoMindNodeStyleData& base, TFontStyles fontStyle, double pointSize) {
    const double size = std::isfinite(pointSize) ? std::clamp(pointSize, MinPointSize, MaxPointSize) : PointSize();
    fontStyle &= fsBold | fsItalic | fsUnderline | fsStrikeOut;
    // topics in a row mostly share their font: keep the line box and the measured texts then
    if (FontName() == base.FontName() && FontStyle() == fontStyle && PointSize() == size)
        return;
    BeginUpdate();
    SetFontName(base.FontName());
    SetFontStyle(fontStyle);
    SetPointSize(size);
    EndUpdate();
}

void TStyleOptions::SetAppearance(TAppearance value) {
    if (value > apDark || value == FAppearance)
        return;
    FAppearance = value;
    UpdateIsDark();
}

void TStyleOptions::SetIsDark(bool value) {
    if (value == FIsDark)
        return;
    FIsDark = value;
    FManager.RebuildSheets();
}

void TStyleOptions::SetPlatformDark(bool value) {
    if (value == FPlatformDark)
        return;
    FPlatformDark = value;
    UpdateIsDark();
}

void TStyleOptions::UpdateIsDark() {
    SetIsDark(FAppearance == apDark || (FAppearance == apSystem && FPlatformDark));
}

TStyleManagerObserver::TStyleManagerObserver(TStyleManager& manager) : FManager(&manager) {
    manager.AddObserver(this);
}

TStyleManagerObserver::~TStyleManagerObserver() {
    if (FManager)
        FManager->RemoveObserver(this);
}

TStyleManager::TStyleManager(std::string localeName) : FMeasuringContext(std::make_unique<TMeasuringContext>()) {
    if (localeName.empty())
        localeName = UserLocaleName();
    FDefaultFontName =
        DefaultFontFamily(localeName, [this](std::string_view family) { return FMeasuringContext->HasFamily(family); });
    const auto newData = [this](double pointSize, bool bold, double borderWidth) {
        return std::make_unique<TPangoMindNodeStyleData>(this, *FMeasuringContext, FDefaultFontName, pointSize, bold,
                                                         borderWidth);
    };
    FCentralThemeData = newData(15, true, 2.5);
    FMainBranchData = newData(12, true, 1.5);
    FSubBranchData = newData(10, false, 1.0);
    FTextData = newData(10, false, 1.0);
    FOutlineData = newData(9, true, 1.0);
    FCaptionData = newData(9, false, 1.0);
    FMeasuringData = std::make_unique<TPangoPassiveStyleData>(*FMeasuringContext);
    FPaintingData = std::make_unique<TPangoPassiveStyleData>(*FMeasuringContext);
}

TStyleManager::~TStyleManager() {
    for (TStyleManagerObserver* observer : FObservers)
        if (observer)
            observer->FManager = nullptr;
}

TStyleSheet& TStyleManager::RegisterSheet(std::unique_ptr<TStyleSheet> sheet) {
    TStyleSheet& added = *sheet;
    FSheets.push_back(std::move(sheet));
    ForEachObserver([&added](TStyleManagerObserver& observer) {
        if (observer.FOnSheetAdded)
            observer.FOnSheetAdded(added);
    });
    return added;
}

int TStyleManager::FindSheetIndex(std::string_view key) const {
    if (SameText(key, "system.system.basic-chart"))
        key = "system.basic-chart";
    for (std::size_t i = 0; i < FSheets.size(); ++i)
        if (SameText(FSheets[i]->Key(), key))
            return static_cast<int>(i);
    return -1;
}

TStyleSheet* TStyleManager::FindSheet(std::string_view key) const {
    if (FSheets.empty())
        return nullptr;
    const int index = FindSheetIndex(key);
    return FSheets[static_cast<std::size_t>(std::max(index, 0))].get();
}

TStyleSheet* TStyleManager::SheetForDocument(std::string_view key) {
    const int index = FindSheetIndex(key);
    return index >= 0 ? FSheets[static_cast<std::size_t>(index)].get() : DefaultSheet();
}

TStyleSheet* TStyleManager::DefaultSheet() {
    if (FDefaultSheet == nullptr && !FSheets.empty())
        FDefaultSheet = FSheets.front().get();
    return FDefaultSheet;
}

void TStyleManager::SetDefaultSheet(std::string_view key) {
    if (TStyleSheet* sheet = FindSheet(key))
        FDefaultSheet = sheet;
}

void TStyleManager::SheetChanged(TStyleSheet& sheet) {
    ForEachObserver([&sheet](TStyleManagerObserver& observer) {
        if (observer.FOnSheetChanged)
            observer.FOnSheetChanged(sheet);
    });
}

void TStyleManager::RebuildSheets() {
    for (const auto& sheet : FSheets)
        sheet->Rebuild();
    ForEachObserver([](TStyleManagerObserver& observer) {
        if (observer.FOnOptionsChanged)
            observer.FOnOptionsChanged();
    });
}

TPangoMindNodeStyleData& TStyleManager::TopicDataForLevel(int level) {
    if (level <= 0)
        return *FCentralThemeData;
    return level == 1 ? *FMainBranchData : *FSubBranchData;
}

void TStyleManager::TextDataChanged(const TPangoMindNodeStyleData& data) {
    if (&data == FOutlineData.get())
        return;
    const bool textFont = &data == FTextData.get();
    ForEachObserver([textFont](TStyleManagerObserver& observer) {
        const std::function<void()>& callback = textFont ? observer.FOnTextFontChanged : observer.FOnTopicFontsChanged;
        if (callback)
            callback();
    });
}

void TStyleManager::LoadFonts(IFontSettingsStore& store, const std::string& baseSection) {
    const std::pair<TPangoMindNodeStyleData*, const char*> roles[] = {
        {FCentralThemeData.get(), "CentralTheme"}, {FMainBranchData.get(), "MainBranch"},
        {FSubBranchData.get(), "SubBranch"},       {FTextData.get(), "Text"},
        {FOutlineData.get(), "Outline"},
    };
    for (const auto& [data, subKey] : roles) {
        const std::string section = baseSection + "\\" + subKey;
        data->BeginUpdate();
        data->SetFontName(store.ReadString(section, "fontname", data->FontName()));
        data->SetPointSize(store.ReadFloat(section, "fontsize", data->PointSize()));
        data->SetBold(store.ReadBool(section, "boldfont", data->Bold()));
        data->SetItalic(store.ReadBool(section, "italicfont", data->Italic()));
        data->EndUpdate();
    }
}

void TStyleManager::SaveFonts(IFontSettingsStore& store, const std::string& baseSection) const {
    const std::pair<const TPangoMindNodeStyleData*, const char*> roles[] = {
        {FCentralThemeData.get(), "CentralTheme"}, {FMainBranchData.get(), "MainBranch"},
        {FSubBranchData.get(), "SubBranch"},       {FTextData.get(), "Text"},
        {FOutlineData.get(), "Outline"},
    };
    for (const auto& [data, subKey] : roles) {
        const std::string section = baseSection + "\\" + subKey;
        store.WriteString(section, "fontname", data->FontName());
        store.WriteFloat(section, "fontsize", data->PointSize());
        store.WriteBool(section, "boldfont", data->Bold());
        store.WriteBool(section, "italicfont", data->Italic());
    }
}

const TPangoMindNodeStyleData& TStyleManager::MeasuringFont(const TPangoMindNodeStyleData& roleData,
                                                            const TFontDescriptor& font) {
    if (!font.FontOverridden)
        return roleData;
    FMeasuringData->DeriveFont(roleData, font.FontStyle, font.Size);
    return *FMeasuringData;
}

const TPangoMindNodeStyleData& TStyleManager::PaintingFont(const TPangoMindNodeStyleData& roleData,
                                                           const TFontDescriptor& font) {
    if (!font.FontOverridden)
        return roleData;
    FPaintingData->DeriveFont(roleData, font.FontStyle, font.Size);
    return *FPaintingData;
}

TElementTextMetrics TStyleManager::MeasureElementText(const TPangoMindNodeStyleData& roleData,
                                                      const TFontDescriptor& font, std::string_view text) {
    const TPangoMindNodeStyleData& data = MeasuringFont(roleData, font);
    TElementTextMetrics metrics;
    metrics.LineBox = data.LineBox();
    metrics.Size = data.MeasureText(text);
    // italic glyphs lean out of their advance box
    if (data.Italic())
        metrics.ItalicAllowance = metrics.LineBox.Y / 6;
    metrics.Size.X += metrics.ItalicAllowance;
    return metrics;
}

std::string TStyleManager::Translate(std::string_view key, std::string_view englishText) const {
    return FTranslate ? FTranslate(key, englishText) : std::string(englishText);
}

TBackgroundPattern* TStyleManager::ResolvePattern(std::string_view key) const {
    if (key.empty() || !FPatternResolver)
        return nullptr;
    return FPatternResolver(key);
}

void TStyleManager::AddObserver(TStyleManagerObserver* observer) {
    FObservers.push_back(observer);
}

void TStyleManager::RemoveObserver(TStyleManagerObserver* observer) {
    const auto it = std::find(FObservers.begin(), FObservers.end(), observer);
    if (it == FObservers.end())
        return;
    if (FNotifying > 0)
        *it = nullptr;
    else
        FObservers.erase(it);
}

void TStyleManager::ForEachObserver(const std::function<void(TStyleManagerObserver&)>& call) {
    {
        TNotifyingScope scope(FNotifying);
        // observers added meanwhile are appended and hear this notification too
        for (std::size_t i = 0; i < FObservers.size(); ++i)
            if (TStyleManagerObserver* observer = FObservers[i])
                call(*observer);
    }
    if (FNotifying == 0)
        std::erase(FObservers, nullptr);
}

void SetUpBuiltInStyles(TStyleManager& manager) {
    manager.Options().SetAppearance(apLight);
    manager.SetPatternResolver([](std::string_view key) -> TBackgroundPattern* { return FindPattern(key); });
    RegisterBuiltInColorSchemes(manager.Schemes());
    RegisterBuiltInStyleSheets(manager);
}

TStyleManager& StyleManager() {
    static TStyleManager manager;
    static const bool setUp = (SetUpBuiltInStyles(manager), true);
    (void)setUp;
    return manager;
}

std::string DefaultFontFamily(std::string_view localeName, const std::function<bool(std::string_view)>& installed) {
    // "ll_TT.codeset@modifier", or "ll-Script-TT" as language tags write it
    localeName = localeName.substr(0, localeName.find_first_of(".@"));
    std::vector<std::string_view> parts;
    while (!localeName.empty()) {
        const std::size_t end = localeName.find_first_of("_-");
        parts.push_back(localeName.substr(0, end));
        localeName = end == std::string_view::npos ? std::string_view() : localeName.substr(end + 1);
    }
    std::string family = FallbackFontFamily;
    const std::string_view language = parts.empty() ? std::string_view() : parts.front();
    if (SameText(language, "zh")) {
        const bool traditional = std::any_of(parts.begin() + 1, parts.end(), [](std::string_view part) {
            return SameText(part, "Hant") || SameText(part, "TW") || SameText(part, "HK") || SameText(part, "MO");
        });
        family = traditional ? "Noto Sans CJK TC" : "Noto Sans CJK SC";
    } else if (SameText(language, "ja")) {
        family = "Noto Sans CJK JP";
    } else if (SameText(language, "ko")) {
        family = "Noto Sans CJK KR";
    } else if (SameText(language, "hi")) {
        family = "Noto Sans Devanagari";
    }
    if (family != FallbackFontFamily && !(installed && installed(family)))
        family = FallbackFontFamily;
    return family;
}

std::string UserLocaleName() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"})
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0')
            return value;
    return {};
}
