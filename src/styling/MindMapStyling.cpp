#include "styling/MindMapStyling.h"

#include "platform/CVStrings.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr std::array kNodeBorderStyleNames = {
    "sbsRoundRect", "sbsHalfRound", "sbsDropRoundRect", "sbsEllipse",   "sbsCircle",        "sbsRectangle",
    "sbsDiamond",   "sbsCloud",     "sbsRightArrow",    "sbsLeftArrow", "sbsParallelogram", "sbsNone",
};
constexpr std::array kRelationLineStyleNames = {
    "penCable",        "penSolidThick", "penDouble",  "penSolidThin",      "penWideCable",
    "penDashedDouble", "penDashedThin", "penTapered", "penReverseTapered", "penAutoTapered",
};
constexpr std::array kRelationPathStyleNames = {"bezier", "ortho", "rounded", "straight"};
constexpr std::array kArrowStyleNames = {
    "none",       "singleArrow",  "filledArrow", "openArrow",     "inhibit",
    "openCircle", "filledCircle", "openDiamond", "filledDiamond",
};
constexpr std::array kStyleAlignmentNames = {"auto", "center", "left", "right"};
constexpr std::array kCalloutStyleNames = {"none", "tapered", "line"};
constexpr std::array kConnectionStyleNames = {"centered", "baseline", "left-right"};
constexpr std::array kStrokeStyleNames = {"solid", "dash-s", "dash-m", "dash-l"};
constexpr std::array kGroupBorderStyleNames = {
    "roundrect", "rectangle", "ellipse", "circle", "diamond", "cloud", "hull", "cloud-hull",
};

static_assert(kNodeBorderStyleNames.size() == sbsNone + 1);
static_assert(kRelationLineStyleNames.size() == penAutoTapered + 1);
static_assert(kRelationPathStyleNames.size() == rpsStraight + 1);
static_assert(kArrowStyleNames.size() == arsFilledDiamond + 1);
static_assert(kStyleAlignmentNames.size() == salRight + 1);
static_assert(kCalloutStyleNames.size() == cstLine + 1);
static_assert(kStrokeStyleNames.size() == stsDashL + 1);
static_assert(kGroupBorderStyleNames.size() == gbsCloudHull + 1);

template <class TEnum, std::size_t N> const char* NameOf(const std::array<const char*, N>& names, TEnum value) {
    const auto index = static_cast<std::size_t>(value);
    return index < N ? names[index] : "";
}

template <class TEnum, std::size_t N>
bool TryFromName(const std::array<const char*, N>& names, std::string_view name, TEnum& value) {
    for (std::size_t i = 0; i < N; ++i) {
        if (SameText(name, names[i])) {
            value = static_cast<TEnum>(i);
            return true;
        }
    }
    return false;
}

// Values outside an enumeration can only come from a cast; setters ignore them.
template <class TEnum, std::size_t N> bool IsValid(const std::array<const char*, N>&, TEnum value) {
    return static_cast<std::size_t>(value) < N;
}

// Stores the value and answers whether it differed.
template <class T> bool Store(T& field, T value) {
    if (field == value)
        return false;
    field = value;
    return true;
}

constexpr float kMinFontScale = 0.2f;
constexpr float kMaxFontScale = 5.0f;

float ClampFontScale(float value) {
    if (value >= kMaxFontScale)
        return kMaxFontScale;
    if (value < kMinFontScale)
        return kMinFontScale;
    return value;
}

float FontPointSize(float fontScale) {
    // The product is formed in double so that a single-precision scale rounds as it is stored.
    return static_cast<float>(RoundHalfEven(static_cast<double>(fontScale) * 10.0));
}

} // namespace

const char* NodeBorderStyleName(TNodeBorderStyle value) {
    return NameOf(kNodeBorderStyleNames, value);
}
bool TryNodeBorderStyleFromName(std::string_view name, TNodeBorderStyle& value) {
    return TryFromName(kNodeBorderStyleNames, name, value);
}
const char* RelationLineStyleName(TRelationLineStyle value) {
    return NameOf(kRelationLineStyleNames, value);
}
bool TryRelationLineStyleFromName(std::string_view name, TRelationLineStyle& value) {
    return TryFromName(kRelationLineStyleNames, name, value);
}
const char* RelationPathStyleName(TRelationPathStyle value) {
    return NameOf(kRelationPathStyleNames, value);
}
bool TryRelationPathStyleFromName(std::string_view name, TRelationPathStyle& value) {
    return TryFromName(kRelationPathStyleNames, name, value);
}
const char* ArrowStyleName(TArrowStyle value) {
    return NameOf(kArrowStyleNames, value);
}
bool TryArrowStyleFromName(std::string_view name, TArrowStyle& value) {
    return TryFromName(kArrowStyleNames, name, value);
}
const char* StyleAlignmentName(TStyleAlignment value) {
    return NameOf(kStyleAlignmentNames, value);
}
bool TryStyleAlignmentFromName(std::string_view name, TStyleAlignment& value) {
    return TryFromName(kStyleAlignmentNames, name, value);
}
const char* CalloutStyleName(TCalloutStyle value) {
    return NameOf(kCalloutStyleNames, value);
}
bool TryCalloutStyleFromName(std::string_view name, TCalloutStyle& value) {
    return TryFromName(kCalloutStyleNames, name, value);
}
const char* ConnectionStyleName(TConnectionStyle value) {
    return NameOf(kConnectionStyleNames, value);
}
bool TryConnectionStyleFromName(std::string_view name, TConnectionStyle& value) {
    return TryFromName(kConnectionStyleNames, name, value);
}
const char* StrokeStyleName(TStrokeStyle value) {
    return NameOf(kStrokeStyleNames, value);
}
bool TryStrokeStyleFromName(std::string_view name, TStrokeStyle& value) {
    return TryFromName(kStrokeStyleNames, name, value);
}
const char* GroupBorderStyleName(TGroupBorderStyle value) {
    return NameOf(kGroupBorderStyleNames, value);
}
bool TryGroupBorderStyleFromName(std::string_view name, TGroupBorderStyle& value) {
    return TryFromName(kGroupBorderStyleNames, name, value);
}

float DefaultLineWidth(TRelationLineStyle lineStyle) {
    switch (lineStyle) {
    case penDouble:
    case penDashedDouble:
        return 4.5f;
    case penSolidThin:
    case penTapered:
    case penReverseTapered:
    case penAutoTapered:
        return 1.7f;
    case penDashedThin:
        return 2.2f;
    case penCable:
    case penSolidThick:
    case penWideCable:
    default:
        return 3.0f;
    }
}

double DefaultBorderWidth(int level) {
    if (level <= 0)
        return 2.5;
    if (level == 1)
        return 1.5;
    return 1.0;
}

TRelationLineStyle DerivedCrossLinkLineStyle(TRelationLineStyle lineStyle) {
    switch (lineStyle) {
    case penDouble:
    case penDashedDouble:
        return penDashedDouble;
    case penSolidThin:
    case penDashedThin:
        return penDashedThin;
    default:
        return penWideCable;
    }
}

void ApplyDerivedCrossLinkStyle(TRelationStyle& crossLinkStyle, TRelationLineStyle lineStyle, bool withArrow) {
    TStyleUpdate update(crossLinkStyle);
    const TRelationLineStyle derived = DerivedCrossLinkLineStyle(lineStyle);
    crossLinkStyle.SetLineStyle(derived);
    if (withArrow)
        crossLinkStyle.SetTargetArrow(derived == penDouble || derived == penDashedDouble ? arsOpenArrow
                                                                                         : arsSingleArrow);
}

void TElementStyle::BeginUpdate() {
    if (FUpdateCount++ == 0)
        UpdateStateChanged(true);
}

void TElementStyle::EndUpdate() {
    if (FUpdateCount == 0)
        return;
    if (--FUpdateCount == 0)
        UpdateStateChanged(false);
}

void TElementStyle::Changed() {
    if (FUpdateCount > 0) {
        FPendingChange = true;
        return;
    }
    if (FOnChange)
        FOnChange(*this);
}

void TElementStyle::UpdateStateChanged(bool starting) {
    if (starting) {
        FPendingChange = false;
    } else if (FPendingChange) {
        FPendingChange = false;
        Changed();
    }
}

TRelationStyle::TRelationStyle(TRelationStyleBase* parentStyle)
    : FParentStyle(parentStyle != this ? parentStyle : nullptr) {}

void TRelationStyle::SetParentStyle(TRelationStyleBase* parentStyle) {
    if (parentStyle == this)
        parentStyle = nullptr;
    if (parentStyle == FParentStyle)
        return;
    FParentStyle = parentStyle;
    Changed();
}

void TRelationStyle::SetLevel(int level) {
    if (Store(FLevel, std::max(level, 0)))
        Changed();
}

void TRelationStyle::SetOverride(std::uint8_t bits, bool on) {
    if (Store(FOverrides, static_cast<std::uint8_t>(on ? FOverrides | bits : FOverrides & ~bits)))
        Changed();
}

bool TRelationStyle::IsOverridden(int bitNumber) const {
    return bitNumber >= 0 && bitNumber <= 7 && ((FOverrides >> bitNumber) & 1) != 0;
}

void TRelationStyle::SetColor(TColor value) {
    if (Store(FColor, value))
        Changed();
}

void TRelationStyle::SetLineStyle(TRelationLineStyle value) {
    if (IsValid(kRelationLineStyleNames, value) && Store(FLineStyle, value))
        Changed();
}

void TRelationStyle::SetLineWidth(float value) {
    if (std::isfinite(value) && Store(FLineWidth, std::max(value, 0.0f)))
        Changed();
}

void TRelationStyle::SetPathStyle(TRelationPathStyle value) {
    if (IsValid(kRelationPathStyleNames, value) && Store(FPathStyle, value))
        Changed();
}

void TRelationStyle::SetSourceArrow(TArrowStyle value) {
    if (IsValid(kArrowStyleNames, value) && Store(FSourceArrow, value))
        Changed();
}

void TRelationStyle::SetTargetArrow(TArrowStyle value) {
    if (IsValid(kArrowStyleNames, value) && Store(FTargetArrow, value))
        Changed();
}

TColor TRelationStyle::GetColor(int level) const {
    if (FParentStyle == nullptr || (FOverrides & rsoColor) != 0)
        return FColor;
    return FParentStyle->GetColor(level);
}

TRelationLineStyle TRelationStyle::GetLineStyle(int level) const {
    if (FParentStyle == nullptr || (FOverrides & rsoLineStyle) != 0)
        return FLineStyle;
    return FParentStyle->GetLineStyle(level);
}

float TRelationStyle::GetLineWidth(int level) const {
    if ((FOverrides & rsoLineWidth) != 0)
        return FLineWidth;
    if (FParentStyle == nullptr)
        return DefaultLineWidth(FLineStyle);
    return FParentStyle->GetLineWidth(level);
}

TRelationPathStyle TRelationStyle::GetPathStyle(int level) const {
    if (FParentStyle == nullptr || (FOverrides & rsoPathStyle) != 0)
        return FPathStyle;
    return FParentStyle->GetPathStyle(level);
}

TArrowStyle TRelationStyle::GetSourceArrow(int level) const {
    if (FParentStyle == nullptr || (FOverrides & rsoSourceArrow) != 0)
        return FSourceArrow;
    return FParentStyle->GetSourceArrow(level);
}

TArrowStyle TRelationStyle::GetTargetArrow(int level) const {
    if (FParentStyle == nullptr || (FOverrides & rsoTargetArrow) != 0)
        return FTargetArrow;
    return FParentStyle->GetTargetArrow(level);
}

bool TRelationStyle::HasOverride(std::uint8_t bits, int level) const {
    if ((FOverrides & bits) != 0)
        return true;
    return FParentStyle != nullptr && FParentStyle->HasOverride(bits, level);
}

void TRelationStyle::Assign(const TRelationStyleBase& source) {
    const auto* other = dynamic_cast<const TRelationStyle*>(&source);
    if (other == nullptr || other == this)
        return;
    TStyleUpdate update(*this);
    SetOverride(0xFF, false);
    SetOverride(other->Overrides(), true);
    SetColor(other->Color());
    SetLineStyle(other->LineStyle());
    SetLineWidth(other->LineWidth());
    SetPathStyle(other->PathStyle());
    SetSourceArrow(other->SourceArrow());
    SetTargetArrow(other->TargetArrow());
}

void TRelationStyle::Reset() {
    TStyleUpdate update(*this);
    SetOverride(0xFF, false);
    SetColor(clDefault);
    SetLineStyle(penCable);
    SetLineWidth(0.0f);
    SetPathStyle(rpsBezier);
    SetSourceArrow(arsNone);
    SetTargetArrow(arsNone);
}

void TLeveledRelationStyle::SetLevelCount(int count) {
    TStyleUpdate update(*this);
    if (FLevels.SetCount(count))
        Changed();
}

void TLeveledRelationStyle::Assign(const TRelationStyleBase& source) {
    AssignLevels(*this, source);
}

void TLeveledRelationStyle::Reset() {
    TStyleUpdate update(*this);
    SetLevelCount(1);
    LevelStyle(0).Reset();
}

TNodeStyle::TNodeStyle(TNodeStyleBase* parentStyle) : FParentStyle(parentStyle != this ? parentStyle : nullptr) {}

void TNodeStyle::SetLevel(int level) {
    if (Store(FLevel, std::max(level, 0)))
        Changed();
}

void TNodeStyle::SetOverride(std::uint32_t bits, bool on) {
    if (Store(FOverrides, on ? FOverrides | bits : FOverrides & ~bits))
        Changed();
}

double TNodeStyle::MinWidth() const {
    return (FOverrides & nsoMinWidth) != 0 ? FMinWidth : 0.0;
}

double TNodeStyle::MinHeight() const {
    return (FOverrides & nsoMinHeight) != 0 ? FMinHeight : 0.0;
}

void TNodeStyle::SetAlignment(TStyleAlignment value) {
    if (IsValid(kStyleAlignmentNames, value) && Store(FAlignment, value))
        Changed();
}

void TNodeStyle::SetBorderStyle(TNodeBorderStyle value) {
    if (IsValid(kNodeBorderStyleNames, value) && Store(FBorderStyle, value))
        Changed();
}

void TNodeStyle::SetBorderWidth(double value) {
    if (std::isfinite(value) && Store(FBorderWidth, std::max(value, 0.0)))
        Changed();
}

void TNodeStyle::SetFillColor(TColor value) {
    if (Store(FFillColor, value))
        Changed();
}

void TNodeStyle::SetFontScale(float value) {
    if (!std::isnan(value) && Store(FFontScale, ClampFontScale(value)))
        Changed();
}

void TNodeStyle::SetFontStyle(TFontStyles value) {
    if (Store(FFontStyle, static_cast<TFontStyles>(value & (fsBold | fsItalic | fsUnderline | fsStrikeOut))))
        Changed();
}

void TNodeStyle::SetStrokeColor(TColor value) {
    if (Store(FStrokeColor, value))
        Changed();
}

void TNodeStyle::SetStrokeStyle(TStrokeStyle value) {
    if (IsValid(kStrokeStyleNames, value) && Store(FStrokeStyle, value))
        Changed();
}

void TNodeStyle::SetTextColor(TColor value) {
    if (Store(FTextColor, value))
        Changed();
}

void TNodeStyle::SetMinWidth(double value) {
    if (std::isfinite(value) && Store(FMinWidth, std::max(value, 0.0)))
        Changed();
}

void TNodeStyle::SetMinHeight(double value) {
    if (std::isfinite(value) && Store(FMinHeight, std::max(value, 0.0)))
        Changed();
}

TFontDescriptor TNodeStyle::FontDescriptor() const {
    return {Alignment(), HasOverride(nsoFont), FontPointSize(FontScale()), FontStyle()};
}

double TNodeStyle::EffectiveBorderWidth(double textStyleBorderWidth) const {
    return HasOverride(nsoBorderWidth) ? BorderWidth() : textStyleBorderWidth;
}

TStyleAlignment TNodeStyle::GetAlignment(int level) const {
    return Own(nsoAlignment) ? FAlignment : FParentStyle->GetAlignment(level);
}

TNodeBorderStyle TNodeStyle::GetBorderStyle(int level) const {
    return Own(nsoBorderStyle) ? FBorderStyle : FParentStyle->GetBorderStyle(level);
}

double TNodeStyle::GetBorderWidth(int level) const {
    if ((FOverrides & nsoBorderWidth) != 0)
        return FBorderWidth;
    if (FParentStyle == nullptr)
        return DefaultBorderWidth(FLevel);
    return FParentStyle->GetBorderWidth(level);
}

TColor TNodeStyle::GetFillColor(int level) const {
    return Own(nsoFillColor) ? FFillColor : FParentStyle->GetFillColor(level);
}

float TNodeStyle::GetFontScale(int level) const {
    return Own(nsoFont) ? FFontScale : FParentStyle->GetFontScale(level);
}

TFontStyles TNodeStyle::GetFontStyle(int level) const {
    return Own(nsoFont) ? FFontStyle : FParentStyle->GetFontStyle(level);
}

TColor TNodeStyle::GetStrokeColor(int level) const {
    return Own(nsoStrokeColor) ? FStrokeColor : FParentStyle->GetStrokeColor(level);
}

TStrokeStyle TNodeStyle::GetStrokeStyle(int level) const {
    return Own(nsoStrokeStyle) ? FStrokeStyle : FParentStyle->GetStrokeStyle(level);
}

TColor TNodeStyle::GetTextColor(int level) const {
    return Own(nsoTextColor) ? FTextColor : FParentStyle->GetTextColor(level);
}

bool TNodeStyle::HasOverride(std::uint32_t bits, int level) const {
    if ((FOverrides & bits) != 0)
        return true;
    return FParentStyle != nullptr && FParentStyle->HasOverride(bits, level);
}

void TNodeStyle::Assign(const TNodeStyleBase& source) {
    const auto* other = dynamic_cast<const TNodeStyle*>(&source);
    if (other == nullptr || other == this)
        return;
    TStyleUpdate update(*this);
    SetOverride(0xFFFFFFFF, false);
    SetOverride(other->Overrides(), true);
    SetAlignment(other->Alignment());
    SetBorderStyle(other->BorderStyle());
    SetBorderWidth(other->BorderWidth());
    SetFillColor(other->FillColor());
    SetFontScale(other->FontScale());
    SetFontStyle(other->FontStyle());
    SetStrokeColor(other->StrokeColor());
    SetStrokeStyle(other->StrokeStyle());
    SetTextColor(other->TextColor());
    SetMinWidth(other->MinWidth());
    SetMinHeight(other->MinHeight());
}

void TNodeStyle::Reset() {
    TStyleUpdate update(*this);
    SetOverride(0xFFFFFFFF, false);
    SetAlignment(salAuto);
    SetBorderStyle(sbsDropRoundRect);
    SetBorderWidth(0.0);
    SetFillColor(clDefault);
    SetFontScale(1.0f);
    SetFontStyle(0);
    SetStrokeColor(clDefault);
    SetStrokeStyle(stsSolid);
    SetTextColor(clDefault);
    SetMinWidth(0.0);
    SetMinHeight(0.0);
}

void TLeveledNodeStyle::SetLevelCount(int count) {
    TStyleUpdate update(*this);
    if (FLevels.SetCount(count))
        Changed();
}

void TLeveledNodeStyle::Assign(const TNodeStyleBase& source) {
    AssignLevels(*this, source);
}

void TLeveledNodeStyle::Reset() {
    TStyleUpdate update(*this);
    SetLevelCount(1);
    LevelStyle(0).Reset();
}

TTextStyle::TTextStyle(TTextStyle* parentStyle) : FParentStyle(parentStyle != this ? parentStyle : nullptr) {}

void TTextStyle::SetOverride(std::uint32_t bits, bool on) {
    if (Store(FOverrides, on ? FOverrides | bits : FOverrides & ~bits))
        Changed();
}

bool TTextStyle::HasOverride(std::uint32_t bits) const {
    if ((FOverrides & bits) != 0)
        return true;
    return FParentStyle != nullptr && FParentStyle->HasOverride(bits);
}

TStyleAlignment TTextStyle::Alignment() const {
    return Own(tsoAlignment) ? FAlignment : FParentStyle->Alignment();
}

TCalloutStyle TTextStyle::Callout() const {
    return Own(tsoCallout) ? FCallout : FParentStyle->Callout();
}

TColor TTextStyle::FillColor() const {
    return Own(tsoFillColor) ? FFillColor : FParentStyle->FillColor();
}

float TTextStyle::FontScale() const {
    return Own(tsoFont) ? FFontScale : FParentStyle->FontScale();
}

TFontStyles TTextStyle::FontStyle() const {
    return Own(tsoFont) ? FFontStyle : FParentStyle->FontStyle();
}

TColor TTextStyle::TextColor() const {
    return Own(tsoTextColor) ? FTextColor : FParentStyle->TextColor();
}

void TTextStyle::SetAlignment(TStyleAlignment value) {
    if (IsValid(kStyleAlignmentNames, value) && Store(FAlignment, value))
        Changed();
}

void TTextStyle::SetCallout(TCalloutStyle value) {
    if (IsValid(kCalloutStyleNames, value) && Store(FCallout, value))
        Changed();
}

void TTextStyle::SetFillColor(TColor value) {
    if (Store(FFillColor, value))
        Changed();
}

void TTextStyle::SetFontScale(float value) {
    if (!std::isnan(value) && Store(FFontScale, ClampFontScale(value)))
        Changed();
}

void TTextStyle::SetFontStyle(TFontStyles value) {
    if (Store(FFontStyle, static_cast<TFontStyles>(value & (fsBold | fsItalic | fsUnderline | fsStrikeOut))))
        Changed();
}

void TTextStyle::SetTextColor(TColor value) {
    if (Store(FTextColor, value))
        Changed();
}

TFontDescriptor TTextStyle::FontDescriptor() const {
    return {Alignment(), HasOverride(tsoFont), FontPointSize(FontScale()), FontStyle()};
}

void TTextStyle::Assign(const TTextStyle& source) {
    if (&source == this)
        return;
    TStyleUpdate update(*this);
    SetOverride(0xFFFFFFFF, false);
    SetOverride(source.Overrides(), true);
    SetAlignment(source.Alignment());
    SetCallout(source.Callout());
    SetFillColor(source.FillColor());
    SetFontScale(source.FontScale());
    SetFontStyle(source.FontStyle());
    SetTextColor(source.TextColor());
}

void TTextStyle::Reset() {
    TStyleUpdate update(*this);
    SetOverride(0xFFFFFFFF, false);
    SetAlignment(salAuto);
    SetCallout(cstNone);
    SetFillColor(clDefault);
    SetFontScale(1.0f);
    SetFontStyle(0);
    SetTextColor(clDefault);
}

void TNodeGroupStyle::SetBorderStyle(TGroupBorderStyle value) {
    if (IsValid(kGroupBorderStyleNames, value) && Store(FBorderStyle, value))
        Changed();
}

void TNodeGroupStyle::SetBorderWidth(double value) {
    if (std::isfinite(value) && Store(FBorderWidth, std::max(value, 0.0)))
        Changed();
}

void TNodeGroupStyle::SetFillColor(TColor value) {
    if (Store(FFillColor, value))
        Changed();
}

void TNodeGroupStyle::SetPadding(int value) {
    if (Store(FPadding, std::clamp(value, -4, 20)))
        Changed();
}

void TNodeGroupStyle::SetStrokeColor(TColor value) {
    if (Store(FStrokeColor, value))
        Changed();
}

void TNodeGroupStyle::SetStrokeStyle(TStrokeStyle value) {
    if (IsValid(kStrokeStyleNames, value) && Store(FStrokeStyle, value))
        Changed();
}

void TNodeGroupStyle::Assign(const TNodeGroupStyle& source) {
    if (&source == this)
        return;
    TStyleUpdate update(*this);
    SetBorderStyle(source.BorderStyle());
    SetBorderWidth(source.BorderWidth());
    SetFillColor(source.FillColor());
    SetPadding(source.Padding());
    SetStrokeColor(source.StrokeColor());
    SetStrokeStyle(source.StrokeStyle());
}

TMindMapStyleBase::TMindMapStyleBase(TLeveledMindMapStyle* parentStyle, TSubStyles subStyles)
    : FParentStyle(parentStyle), FNodeStyle(std::move(subStyles.NodeStyle)),
      FRelationStyle(std::move(subStyles.RelationStyle)), FCrossLinkStyle(std::move(subStyles.CrossLinkStyle)),
      FTextStyle(std::move(subStyles.TextStyle)) {
    DeriveCrossLinkStyle();
    FNodeStyle->SetOnChange([this](TElementStyle&) { NodeStyleChanged(); });
    FRelationStyle->SetOnChange([this](TElementStyle&) { Changed(); });
    FCrossLinkStyle->SetOnChange([this](TElementStyle&) { Changed(); });
    FTextStyle->SetOnChange([this](TElementStyle&) { Changed(); });
}

TMindMapStyleBase::~TMindMapStyleBase() = default;

void TMindMapStyleBase::DeriveCrossLinkStyle() {
    ApplyDerivedCrossLinkStyle(*FCrossLinkStyle, FRelationStyle->GetLineStyle(0), true);
}

void TMindMapStyleBase::NodeStyleChanged() {
    if (Updating()) {
        FPendingNodeStyleChange = true;
        Changed();
        return;
    }
    Changed();
    if (FOnNodeStyleChange)
        FOnNodeStyleChange(*FNodeStyle);
}

void TMindMapStyleBase::UpdateStateChanged(bool starting) {
    if (starting)
        FPendingNodeStyleChange = false;
    TElementStyle::UpdateStateChanged(starting);
    if (!starting && FPendingNodeStyleChange) {
        FPendingNodeStyleChange = false;
        if (FOnNodeStyleChange)
            FOnNodeStyleChange(*FNodeStyle);
    }
}

void TMindMapStyleBase::SetOverride(std::uint8_t bits, bool on) {
    if (Store(FOverrides, static_cast<std::uint8_t>(on ? FOverrides | bits : FOverrides & ~bits)))
        Changed();
}

bool TMindMapStyleBase::HasOverride(std::uint8_t bits) const {
    if ((FOverrides & bits) != 0)
        return true;
    return FParentStyle != nullptr && FParentStyle->HasOverride(bits);
}

bool TMindMapStyleBase::IsOverridden(int bitNumber) const {
    return bitNumber >= 0 && bitNumber <= 7 && ((FOverrides >> bitNumber) & 1) != 0;
}

TConnectionStyle TMindMapStyleBase::ConnectionStyle() const {
    if (FParentStyle == nullptr || (FOverrides & msoConnectionStyle) != 0)
        return FConnectionStyle;
    return FParentStyle->ConnectionStyle();
}

TColor TMindMapStyleBase::CheckboxColor() const {
    if (FParentStyle == nullptr || (FOverrides & msoCheckboxColor) != 0)
        return FCheckboxColor;
    return FParentStyle->CheckboxColor();
}

TColor TMindMapStyleBase::NoteIndicatorColor() const {
    if (FParentStyle == nullptr || (FOverrides & msoNoteIndicatorColor) != 0)
        return FNoteIndicatorColor;
    return FParentStyle->NoteIndicatorColor();
}

TColor TMindMapStyleBase::GetBackgroundColor() const {
    if (FParentStyle == nullptr || (FOverrides & msoBackgroundColor) != 0)
        return FBackgroundColor;
    return FParentStyle->GetBackgroundColor();
}

TBackgroundPattern* TMindMapStyleBase::GetBackgroundPattern() const {
    if (FParentStyle == nullptr || (FOverrides & msoBackgroundPattern) != 0)
        return FBackgroundPattern;
    return FParentStyle->GetBackgroundPattern();
}

void TMindMapStyleBase::SetConnectionStyle(TConnectionStyle value) {
    if (value <= csLeftRight && Store(FConnectionStyle, value))
        Changed();
}

void TMindMapStyleBase::SetBackgroundColor(TColor value) {
    if (Store(FBackgroundColor, value))
        Changed();
}

void TMindMapStyleBase::SetBackgroundPattern(TBackgroundPattern* value) {
    if (value == FBackgroundPattern)
        return;
    FBackgroundPattern = value;
    if (FOwnedPattern && FOwnedPattern.get() != value)
        FOwnedPattern.reset();
    Changed();
}

void TMindMapStyleBase::SetCheckboxColor(TColor value) {
    if (Store(FCheckboxColor, value))
        Changed();
}

void TMindMapStyleBase::SetNoteIndicatorColor(TColor value) {
    if (Store(FNoteIndicatorColor, value))
        Changed();
}

void TMindMapStyleBase::SetOwnedPattern(TOwnedPattern pattern) {
    if (pattern && pattern.get() == FOwnedPattern.get()) {
        // Two owners of one pattern: keep ours and let go of the second claim.
        (void)pattern.release();
        return;
    }
    TOwnedPattern previous = std::move(FOwnedPattern);
    FOwnedPattern = std::move(pattern);
    SetBackgroundPattern(FOwnedPattern.get());
    // The previous pattern goes with `previous`, after the background no longer points at it.
}

TColor TMindMapStyleBase::EffectiveBackgroundColor(
    const std::function<TColor(const TBackgroundPattern&)>& averageColorOf) const {
    const TBackgroundPattern* pattern = GetBackgroundPattern();
    if ((FOverrides & msoBackgroundColor) == 0 && pattern != nullptr)
        return averageColorOf ? averageColorOf(*pattern) : pattern->AverageColor();
    return GetBackgroundColor();
}

bool TMindMapStyleBase::HasPatternBackground() const {
    return (FOverrides & msoBackgroundColor) == 0 && GetBackgroundPattern() != nullptr;
}

bool TMindMapStyleBase::CheckboxColorIsAutomatic() const {
    return !(HasOverride(msoCheckboxColor) && CheckboxColor() != clNone);
}

bool TMindMapStyleBase::NoteIndicatorColorIsAutomatic() const {
    return !(HasOverride(msoNoteIndicatorColor) && NoteIndicatorColor() != clNone);
}

void TMindMapStyleBase::Assign(const TMindMapStyleBase& source) {
    if (&source == this)
        return;
    TStyleUpdate update(*this);
    SetOverride(0xFF, false);
    SetOverride(source.Overrides(), true);
    SetConnectionStyle(source.ConnectionStyle());
    SetBackgroundColor(source.GetBackgroundColor());
    SetBackgroundPattern(source.GetBackgroundPattern());
    SetCheckboxColor(source.CheckboxColor());
    SetNoteIndicatorColor(source.NoteIndicatorColor());
    FNodeStyle->Assign(*source.FNodeStyle);
    FRelationStyle->Assign(*source.FRelationStyle);
    FCrossLinkStyle->Assign(*source.FCrossLinkStyle);
    FTextStyle->Assign(*source.FTextStyle);
}

void TMindMapStyleBase::Reset() {
    TStyleUpdate update(*this);
    SetOverride(0xFF, false);
    SetConnectionStyle(csCentered);
    SetBackgroundColor(clWhite);
    SetBackgroundPattern(nullptr);
    SetCheckboxColor(clNone);
    SetNoteIndicatorColor(clNone);
    FRelationStyle->Reset();
    FCrossLinkStyle->Reset();
    DeriveCrossLinkStyle();
    FNodeStyle->Reset();
    FTextStyle->Reset();
}

bool TMindMapStyleBase::IsCustomized() const {
    return FOverrides != 0 || FNodeStyle->IsCustomized() || FRelationStyle->IsCustomized() ||
           FCrossLinkStyle->IsCustomized() || FTextStyle->IsCustomized();
}

TMindMapStyle::TMindMapStyle(TLeveledMindMapStyle* parentStyle)
    : TMindMapStyleBase(parentStyle, CreateSubStyles(parentStyle)) {}

TMindMapStyleBase::TSubStyles TMindMapStyle::CreateSubStyles(TLeveledMindMapStyle* parentStyle) {
    TSubStyles subStyles;
    if (parentStyle != nullptr) {
        subStyles.NodeStyle = std::make_unique<TNodeStyle>(&parentStyle->NodeStyle());
        subStyles.RelationStyle = std::make_unique<TRelationStyle>(&parentStyle->RelationStyle());
        subStyles.CrossLinkStyle = std::make_unique<TRelationStyle>(&parentStyle->CrossLinkStyle());
        subStyles.TextStyle = std::make_unique<TTextStyle>(&parentStyle->TextStyle());
    } else {
        subStyles.NodeStyle = std::make_unique<TNodeStyle>();
        subStyles.RelationStyle = std::make_unique<TRelationStyle>();
        subStyles.CrossLinkStyle = std::make_unique<TRelationStyle>();
        subStyles.TextStyle = std::make_unique<TTextStyle>();
    }
    return subStyles;
}

TLeveledMindMapStyle::TLeveledMindMapStyle() : TMindMapStyleBase(nullptr, CreateSubStyles()) {}

TMindMapStyleBase::TSubStyles TLeveledMindMapStyle::CreateSubStyles() {
    TSubStyles subStyles;
    subStyles.NodeStyle = std::make_unique<TLeveledNodeStyle>();
    subStyles.RelationStyle = std::make_unique<TLeveledRelationStyle>();
    subStyles.CrossLinkStyle = std::make_unique<TRelationStyle>();
    subStyles.TextStyle = std::make_unique<TTextStyle>();
    return subStyles;
}
