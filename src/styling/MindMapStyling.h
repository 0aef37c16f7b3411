#pragma once

// The look of every map element. A style stores only what was set on it (its override bits) and asks its parent
// for everything else, so a document can override single values of its style sheet and a single topic single
// values of the document. Topic and connection styles are organised by level: 0 central theme, 1 main branch,
// 2 and deeper sub-branches.
//
// Chains as a map builds them:
//   topic TNodeStyle (Level = depth) -> TMindMapStyle::NodeStyle() -> TLeveledMindMapStyle::NodeStyle() entry
//   connection TRelationStyle (Level = max(depth - 1, 0)) -> TMindMapStyle::RelationStyle() -> leveled entry
//   cross link TRelationStyle -> TMindMapStyle::CrossLinkStyle() -> TLeveledMindMapStyle::CrossLinkStyle()
//   free text TTextStyle -> TMindMapStyle::TextStyle() -> TLeveledMindMapStyle::TextStyle()
// Parents are fixed at construction and must outlive their children.
//
// Colours that resolve to clDefault are not set anywhere in the chain: the colour scheme decides them
// (ColorOrPalette).

#include "styling/Colors.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

class TElementStyle;
class TNodeStyleBase;
class TLeveledMindMapStyle;

// What styles need of a background pattern; the patterns themselves are the pattern registry's
// (styling/Patterns.h).
class TBackgroundPattern {
public:
    TBackgroundPattern() = default;
    TBackgroundPattern(const TBackgroundPattern&) = delete;
    TBackgroundPattern& operator=(const TBackgroundPattern&) = delete;
    virtual ~TBackgroundPattern() = default;

    // The pattern's mean colour: what a background showing it counts as when colours are chosen against it.
    virtual TColor AverageColor() const = 0;
};

// Topic border shapes; documents store the value names ("sbsEllipse").
enum TNodeBorderStyle : std::uint8_t {
    sbsRoundRect,
    sbsHalfRound,
    sbsDropRoundRect,
    sbsEllipse,
    sbsCircle,
    sbsRectangle,
    sbsDiamond,
    sbsCloud,
    sbsRightArrow,
    sbsLeftArrow,
    sbsParallelogram,
    sbsNone,
};

// Connection lines; documents store the value names ("penTapered").
enum TRelationLineStyle : std::uint8_t {
    penCable,
    penSolidThick,
    penDouble,
    penSolidThin,
    penWideCable,
    penDashedDouble,
    penDashedThin,
    penTapered,
    penReverseTapered,
    penAutoTapered,
};

// The remaining enumerations are stored under keywords ("bezier", "singleArrow", "left-right", ...).
enum TRelationPathStyle : std::uint8_t { rpsBezier, rpsOrtho, rpsRounded, rpsStraight };

enum TArrowStyle : std::uint8_t {
    arsNone,
    arsSingleArrow,
    arsFilledArrow,
    arsOpenArrow,
    arsInhibit,
    arsOpenCircle,
    arsFilledCircle,
    arsOpenDiamond,
    arsFilledDiamond,
};

enum TStyleAlignment : std::uint8_t { salAuto, salCenter, salLeft, salRight };

enum TCalloutStyle : std::uint8_t { cstNone, cstTapered, cstLine };

enum TConnectionStyle : std::uint8_t { csCentered, csBaseline, csLeftRight };

enum TStrokeStyle : std::uint8_t { stsSolid, stsDashS, stsDashM, stsDashL };

enum TGroupBorderStyle : std::uint8_t {
    gbsRoundRect,
    gbsRectangle,
    gbsEllipse,
    gbsCircle,
    gbsDiamond,
    gbsCloud,
    gbsHull,
    gbsCloudHull,
};

// Font style bits; documents store them as the booleans "bold", "italic", "underline", "strikethrough".
enum TFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = std::uint8_t; // a set of TFontStyle bits

// Override bits of topic styles. Font scale and font style share one bit; 16 is unused.
enum TNodeStyleOverride : std::uint32_t {
    nsoFillColor = 1,
    nsoTextColor = 2,
    nsoAlignment = 4,
    nsoFont = 8,
    nsoStrokeColor = 32,
    nsoBorderStyle = 64,
    nsoBorderWidth = 128,
    nsoStrokeStyle = 256,
    nsoMinWidth = 512,
    nsoMinHeight = 1024,
};

enum TRelationStyleOverride : std::uint8_t {
    rsoLineStyle = 1,
    rsoLineWidth = 2,
    rsoPathStyle = 4,
    rsoSourceArrow = 8,
    rsoTargetArrow = 16,
    rsoColor = 32,
};

enum TTextStyleOverride : std::uint32_t {
    tsoFillColor = 1,
    tsoTextColor = 2,
    tsoAlignment = 4,
    tsoFont = 8,
    tsoCallout = 16,
};

enum TMindMapStyleOverride : std::uint8_t {
    msoConnectionStyle = 1,
    msoBackgroundColor = 2,
    msoBackgroundPattern = 4,
    msoCheckboxColor = 8,
    msoNoteIndicatorColor = 16,
};

// Keyword tables. Names compare without regard to ASCII case; an unknown name answers false and leaves the value
// untouched, so the caller's default stands. A value outside its enumeration has the name "". The connection
// style keywords belong to the native filer's map attributes (formats/CVFilers.h).
const char* NodeBorderStyleName(TNodeBorderStyle value);
bool TryNodeBorderStyleFromName(std::string_view name, TNodeBorderStyle& value);
const char* RelationLineStyleName(TRelationLineStyle value);
bool TryRelationLineStyleFromName(std::string_view name, TRelationLineStyle& value);
const char* RelationPathStyleName(TRelationPathStyle value);
bool TryRelationPathStyleFromName(std::string_view name, TRelationPathStyle& value);
const char* ArrowStyleName(TArrowStyle value);
bool TryArrowStyleFromName(std::string_view name, TArrowStyle& value);
const char* StyleAlignmentName(TStyleAlignment value);
bool TryStyleAlignmentFromName(std::string_view name, TStyleAlignment& value);
const char* CalloutStyleName(TCalloutStyle value);
bool TryCalloutStyleFromName(std::string_view name, TCalloutStyle& value);
const char* ConnectionStyleName(TConnectionStyle value);
bool TryConnectionStyleFromName(std::string_view name, TConnectionStyle& value);
const char* StrokeStyleName(TStrokeStyle value);
bool TryStrokeStyleFromName(std::string_view name, TStrokeStyle& value);
const char* GroupBorderStyleName(TGroupBorderStyle value);
bool TryGroupBorderStyleFromName(std::string_view name, TGroupBorderStyle& value);

// Width of a connection line whose style sets no width anywhere.
float DefaultLineWidth(TRelationLineStyle lineStyle);
// Border width of a topic at this level when nothing sets one: 2.5 central theme, 1.5 main branch, 1.0 below.
double DefaultBorderWidth(int level);
// The line style cross links take from a connection line style: doubles become dashed doubles, thin lines
// dashed thin lines, everything else a wide cable.
TRelationLineStyle DerivedCrossLinkLineStyle(TRelationLineStyle lineStyle);

// A resolved style colour, or the colour the scheme assigned to the element when the chain left it at clDefault.
constexpr TColor ColorOrPalette(TColor styleColor, TColor paletteColor) {
    return styleColor == clDefault ? paletteColor : styleColor;
}

// What the measurer and the painter need of a topic's or free text's font.
struct TFontDescriptor {
    TStyleAlignment Alignment = salAuto;
    bool FontOverridden = false; // the font override bit is set somewhere in the chain
    float Size = 10.0f;          // points: FontScale x 10, rounded half to even
    TFontStyles FontStyle = 0;
};

using TStyleChangeEvent = std::function<void(TElementStyle&)>;

// Base of all styles: change notification with update batching. Changes made between BeginUpdate and the
// outermost EndUpdate are reported once, at that EndUpdate.
class TElementStyle {
public:
    TElementStyle() = default;
    TElementStyle(const TElementStyle&) = delete;
    TElementStyle& operator=(const TElementStyle&) = delete;
    virtual ~TElementStyle() = default;

    void SetOnChange(TStyleChangeEvent onChange) { FOnChange = std::move(onChange); }

    void BeginUpdate();
    // An EndUpdate without a matching BeginUpdate is ignored.
    void EndUpdate();
    bool Updating() const { return FUpdateCount > 0; }
    // Reports a change now, or at the outermost EndUpdate while updating.
    void Changed();

    virtual bool IsCustomized() const = 0;

protected:
    // Called when the update count leaves 0 (starting) and when it returns to 0.
    virtual void UpdateStateChanged(bool starting);

private:
    TStyleChangeEvent FOnChange;
    int FUpdateCount = 0;
    bool FPendingChange = false;
};

// Opens an update on construction and closes it on destruction.
class TStyleUpdate {
public:
    explicit TStyleUpdate(TElementStyle& style) : FStyle(style) { FStyle.BeginUpdate(); }
    ~TStyleUpdate() { FStyle.EndUpdate(); }
    TStyleUpdate(const TStyleUpdate&) = delete;
    TStyleUpdate& operator=(const TStyleUpdate&) = delete;

private:
    TElementStyle& FStyle;
};

// Connection and cross-link styles. The getters answer the value for an element at the given level.
class TRelationStyleBase : public TElementStyle {
public:
    virtual TColor GetColor(int level) const = 0;
    virtual TRelationLineStyle GetLineStyle(int level) const = 0;
    virtual float GetLineWidth(int level) const = 0;
    virtual TRelationPathStyle GetPathStyle(int level) const = 0;
    virtual TArrowStyle GetSourceArrow(int level) const = 0;
    virtual TArrowStyle GetTargetArrow(int level) const = 0;
    // True when one of the bits is set here or up the chain, for an element at the given level.
    virtual bool HasOverride(std::uint8_t bits, int level) const = 0;
    // Copies from a style of the same class; does nothing otherwise.
    virtual void Assign(const TRelationStyleBase& source) = 0;
    virtual void Reset() = 0;
};

class TRelationStyle : public TRelationStyleBase {
public:
    explicit TRelationStyle(TRelationStyleBase* parentStyle = nullptr);

    TRelationStyleBase* ParentStyle() const { return FParentStyle; }
    // A cross link shown as hierarchy takes its values from the connection styles instead of the cross-link one.
    void SetParentStyle(TRelationStyleBase* parentStyle);
    int Level() const { return FLevel; }
    // Negative levels count as 0.
    void SetLevel(int level);
    std::uint8_t Overrides() const { return FOverrides; }
    void SetOverride(std::uint8_t bits, bool on);
    bool HasOverride(std::uint8_t bits) const { return HasOverride(bits, FLevel); }
    // Tests this style's own bit by its number (0 .. 7); other numbers answer false.
    bool IsOverridden(int bitNumber) const;

    // Values resolved for this style's own level.
    TColor Color() const { return GetColor(FLevel); }
    TRelationLineStyle LineStyle() const { return GetLineStyle(FLevel); }
    float LineWidth() const { return GetLineWidth(FLevel); }
    TRelationPathStyle PathStyle() const { return GetPathStyle(FLevel); }
    TArrowStyle SourceArrow() const { return GetSourceArrow(FLevel); }
    TArrowStyle TargetArrow() const { return GetTargetArrow(FLevel); }

    // Setters store the value; they do not touch the override bits. Non-finite widths are ignored and negative
    // ones stored as 0.
    void SetColor(TColor value);
    void SetLineStyle(TRelationLineStyle value);
    void SetLineWidth(float value);
    void SetPathStyle(TRelationPathStyle value);
    void SetSourceArrow(TArrowStyle value);
    void SetTargetArrow(TArrowStyle value);

    TColor GetColor(int level) const override;
    TRelationLineStyle GetLineStyle(int level) const override;
    // Without a parent and without its bit: the default width of this style's own line style.
    float GetLineWidth(int level) const override;
    TRelationPathStyle GetPathStyle(int level) const override;
    TArrowStyle GetSourceArrow(int level) const override;
    TArrowStyle GetTargetArrow(int level) const override;
    bool HasOverride(std::uint8_t bits, int level) const override;
    // Copies the source's bits and resolved values (inherited values become plain values here).
    void Assign(const TRelationStyleBase& source) override;
    // Restores the reset values and clears the bits; the level stays.
    void Reset() override;
    bool IsCustomized() const override { return FOverrides != 0; }

private:
    TRelationStyleBase* FParentStyle; // not owned
    int FLevel = 0;
    std::uint8_t FOverrides = 0;
    TColor FColor = clDefault;
    TRelationLineStyle FLineStyle = penCable;
    float FLineWidth = 0.0f;
    TRelationPathStyle FPathStyle = rpsBezier;
    TArrowStyle FSourceArrow = arsNone;
    TArrowStyle FTargetArrow = arsNone;
};

// Sets the cross-link style's line style derived from a connection line style and, with arrow, a target arrow
// that suits it. Only values are set, never override bits.
void ApplyDerivedCrossLinkStyle(TRelationStyle& crossLinkStyle, TRelationLineStyle lineStyle, bool withArrow);

// The entries of a leveled style: one parentless entry per level, numbered by its level; a level past the last
// entry uses the last entry and negative levels use the first. Entries report their changes to the owner.
template <class TEntry> class TStyleLevels {
public:
    explicit TStyleLevels(TElementStyle& owner) : FOwner(owner) { FEntries.push_back(NewEntry()); }

    int Count() const { return static_cast<int>(FEntries.size()); }
    // Drops entries from or appends reset ones to the end and renumbers them; answers whether the count changed.
    bool SetCount(int count) {
        if (count <= 0 || count == Count())
            return false;
        FEntries.resize(static_cast<std::size_t>(std::min(count, Count())));
        while (Count() < count)
            FEntries.push_back(NewEntry());
        for (int i = 0; i < count; ++i)
            FEntries[static_cast<std::size_t>(i)]->SetLevel(i);
        return true;
    }
    TEntry& At(int level) { return *FEntries[Index(level)]; }
    const TEntry& At(int level) const { return *FEntries[Index(level)]; }
    bool IsCustomized() const {
        return std::any_of(FEntries.begin(), FEntries.end(), [](const auto& entry) { return entry->IsCustomized(); });
    }

private:
    std::size_t Index(int level) const { return static_cast<std::size_t>(std::clamp(level, 0, Count() - 1)); }
    std::unique_ptr<TEntry> NewEntry() {
        auto entry = std::make_unique<TEntry>();
        entry->SetOnChange([this](TElementStyle&) { FOwner.Changed(); });
        return entry;
    }

    TElementStyle& FOwner;                         // not owned: the leveled style holding these entries
    std::vector<std::unique_ptr<TEntry>> FEntries; // owned, never empty
};

// Copies another leveled style of the same class: its level count, then entry by entry.
template <class TLeveled, class TBase> void AssignLevels(TLeveled& target, const TBase& source) {
    const auto* other = dynamic_cast<const TLeveled*>(&source);
    if (other == nullptr || other == &target)
        return;
    TStyleUpdate update(target);
    target.SetLevelCount(other->LevelCount());
    for (int i = 0; i < target.LevelCount(); ++i)
        target.LevelStyle(i).Assign(other->LevelStyle(i));
}

// One parentless TRelationStyle per level; an element deeper than the last entry uses the last entry.
class TLeveledRelationStyle : public TRelationStyleBase {
public:
    TLeveledRelationStyle() : FLevels(*this) {}

    int LevelCount() const { return FLevels.Count(); }
    // n <= 0 or the current count does nothing; otherwise entries are dropped from or appended to the end
    // (reset, without parent) and renumbered, and one change is reported.
    void SetLevelCount(int count);
    // The entry for an element at this level: index min(level, LevelCount - 1), negative levels use entry 0.
    // Its change callback belongs to this style.
    TRelationStyle& LevelStyle(int level) { return FLevels.At(level); }
    const TRelationStyle& LevelStyle(int level) const { return FLevels.At(level); }

    TColor GetColor(int level) const override { return LevelStyle(level).GetColor(level); }
    TRelationLineStyle GetLineStyle(int level) const override { return LevelStyle(level).GetLineStyle(level); }
    float GetLineWidth(int level) const override { return LevelStyle(level).GetLineWidth(level); }
    TRelationPathStyle GetPathStyle(int level) const override { return LevelStyle(level).GetPathStyle(level); }
    TArrowStyle GetSourceArrow(int level) const override { return LevelStyle(level).GetSourceArrow(level); }
    TArrowStyle GetTargetArrow(int level) const override { return LevelStyle(level).GetTargetArrow(level); }
    bool HasOverride(std::uint8_t bits, int level) const override { return LevelStyle(level).HasOverride(bits, level); }
    // Takes the source's level count, then assigns entry by entry.
    void Assign(const TRelationStyleBase& source) override;
    // One level, reset.
    void Reset() override;
    bool IsCustomized() const override { return FLevels.IsCustomized(); }

private:
    TStyleLevels<TRelationStyle> FLevels;
};

// Topic styles. The getters answer the value for a topic at the given level.
class TNodeStyleBase : public TElementStyle {
public:
    virtual TStyleAlignment GetAlignment(int level) const = 0;
    virtual TNodeBorderStyle GetBorderStyle(int level) const = 0;
    virtual double GetBorderWidth(int level) const = 0;
    virtual TColor GetFillColor(int level) const = 0;
    virtual float GetFontScale(int level) const = 0;
    virtual TFontStyles GetFontStyle(int level) const = 0;
    virtual TColor GetStrokeColor(int level) const = 0;
    virtual TStrokeStyle GetStrokeStyle(int level) const = 0;
    virtual TColor GetTextColor(int level) const = 0;
    virtual bool HasOverride(std::uint32_t bits, int level) const = 0;
    // Copies from a style of the same class; does nothing otherwise.
    virtual void Assign(const TNodeStyleBase& source) = 0;
    virtual void Reset() = 0;
};

class TNodeStyle : public TNodeStyleBase {
public:
    explicit TNodeStyle(TNodeStyleBase* parentStyle = nullptr);

    TNodeStyleBase* ParentStyle() const { return FParentStyle; }
    int Level() const { return FLevel; }
    // Negative levels count as 0.
    void SetLevel(int level);
    std::uint32_t Overrides() const { return FOverrides; }
    void SetOverride(std::uint32_t bits, bool on);
    bool HasOverride(std::uint32_t bits) const { return HasOverride(bits, FLevel); }

    // Values resolved for this style's own level.
    TStyleAlignment Alignment() const { return GetAlignment(FLevel); }
    TNodeBorderStyle BorderStyle() const { return GetBorderStyle(FLevel); }
    double BorderWidth() const { return GetBorderWidth(FLevel); }
    TColor FillColor() const { return GetFillColor(FLevel); }
    float FontScale() const { return GetFontScale(FLevel); }
    TFontStyles FontStyle() const { return GetFontStyle(FLevel); }
    TColor StrokeColor() const { return GetStrokeColor(FLevel); }
    TStrokeStyle StrokeStyle() const { return GetStrokeStyle(FLevel); }
    TColor TextColor() const { return GetTextColor(FLevel); }
    // Minimum sizes are never inherited: the own value when its bit is set here, else 0.
    double MinWidth() const;
    double MinHeight() const;

    // Setters store the value; they do not touch the override bits. The font scale is kept within 0.2 .. 5.0;
    // non-finite numbers are ignored and negative widths and sizes stored as 0.
    void SetAlignment(TStyleAlignment value);
    void SetBorderStyle(TNodeBorderStyle value);
    void SetBorderWidth(double value);
    void SetFillColor(TColor value);
    void SetFontScale(float value);
    void SetFontStyle(TFontStyles value);
    void SetStrokeColor(TColor value);
    void SetStrokeStyle(TStrokeStyle value);
    void SetTextColor(TColor value);
    void SetMinWidth(double value);
    void SetMinHeight(double value);

    TFontDescriptor FontDescriptor() const;
    // The border width layout and painter use: the resolved width when a style in the chain sets one, otherwise
    // the width of the topic's text style data.
    double EffectiveBorderWidth(double textStyleBorderWidth) const;

    TStyleAlignment GetAlignment(int level) const override;
    TNodeBorderStyle GetBorderStyle(int level) const override;
    // Without a parent and without its bit: DefaultBorderWidth of this style's own level.
    double GetBorderWidth(int level) const override;
    TColor GetFillColor(int level) const override;
    float GetFontScale(int level) const override;
    TFontStyles GetFontStyle(int level) const override;
    TColor GetStrokeColor(int level) const override;
    TStrokeStyle GetStrokeStyle(int level) const override;
    TColor GetTextColor(int level) const override;
    bool HasOverride(std::uint32_t bits, int level) const override;
    // Copies the source's bits and resolved values (inherited values become plain values here).
    void Assign(const TNodeStyleBase& source) override;
    // Restores the reset values and clears the bits; the level stays.
    void Reset() override;
    bool IsCustomized() const override { return FOverrides != 0; }

private:
    bool Own(std::uint32_t bit) const { return FParentStyle == nullptr || (FOverrides & bit) != 0; }

    TNodeStyleBase* FParentStyle; // not owned
    int FLevel = 0;
    std::uint32_t FOverrides = 0;
    TStyleAlignment FAlignment = salAuto;
    TNodeBorderStyle FBorderStyle = sbsDropRoundRect;
    double FBorderWidth = 0.0;
    TColor FFillColor = clDefault;
    float FFontScale = 1.0f;
    TFontStyles FFontStyle = 0;
    TColor FStrokeColor = clDefault;
    TStrokeStyle FStrokeStyle = stsSolid;
    TColor FTextColor = clDefault;
    double FMinWidth = 0.0;
    double FMinHeight = 0.0;
};

// One parentless TNodeStyle per level; a topic deeper than the last entry uses the last entry.
class TLeveledNodeStyle : public TNodeStyleBase {
public:
    TLeveledNodeStyle() : FLevels(*this) {}

    int LevelCount() const { return FLevels.Count(); }
    // n <= 0 or the current count does nothing; otherwise entries are dropped from or appended to the end
    // (reset, without parent) and renumbered, and one change is reported.
    void SetLevelCount(int count);
    // The entry for a topic at this level: index min(level, LevelCount - 1), negative levels use entry 0.
    // Its change callback belongs to this style.
    TNodeStyle& LevelStyle(int level) { return FLevels.At(level); }
    const TNodeStyle& LevelStyle(int level) const { return FLevels.At(level); }

    TStyleAlignment GetAlignment(int level) const override { return LevelStyle(level).GetAlignment(level); }
    TNodeBorderStyle GetBorderStyle(int level) const override { return LevelStyle(level).GetBorderStyle(level); }
    double GetBorderWidth(int level) const override { return LevelStyle(level).GetBorderWidth(level); }
    TColor GetFillColor(int level) const override { return LevelStyle(level).GetFillColor(level); }
    float GetFontScale(int level) const override { return LevelStyle(level).GetFontScale(level); }
    TFontStyles GetFontStyle(int level) const override { return LevelStyle(level).GetFontStyle(level); }
    TColor GetStrokeColor(int level) const override { return LevelStyle(level).GetStrokeColor(level); }
    TStrokeStyle GetStrokeStyle(int level) const override { return LevelStyle(level).GetStrokeStyle(level); }
    TColor GetTextColor(int level) const override { return LevelStyle(level).GetTextColor(level); }
    bool HasOverride(std::uint32_t bits, int level) const override {
        return LevelStyle(level).HasOverride(bits, level);
    }
    // Takes the source's level count, then assigns entry by entry.
    void Assign(const TNodeStyleBase& source) override;
    // One level, reset.
    void Reset() override;
    bool IsCustomized() const override { return FLevels.IsCustomized(); }

private:
    TStyleLevels<TNodeStyle> FLevels;
};

// Style of free texts; not leveled, the getters walk the parent chain.
class TTextStyle : public TElementStyle {
public:
    explicit TTextStyle(TTextStyle* parentStyle = nullptr);

    TTextStyle* ParentStyle() const { return FParentStyle; }
    std::uint32_t Overrides() const { return FOverrides; }
    void SetOverride(std::uint32_t bits, bool on);
    bool HasOverride(std::uint32_t bits) const;

    TStyleAlignment Alignment() const;
    TCalloutStyle Callout() const;
    TColor FillColor() const;
    float FontScale() const;
    TFontStyles FontStyle() const;
    TColor TextColor() const;

    // Setters store the value; they do not touch the override bits. The font scale is kept within 0.2 .. 5.0;
    // NaN is ignored.
    void SetAlignment(TStyleAlignment value);
    void SetCallout(TCalloutStyle value);
    void SetFillColor(TColor value);
    void SetFontScale(float value);
    void SetFontStyle(TFontStyles value);
    void SetTextColor(TColor value);

    TFontDescriptor FontDescriptor() const;

    // Copies the source's bits and resolved values.
    void Assign(const TTextStyle& source);
    void Reset();
    bool IsCustomized() const override { return FOverrides != 0; }

private:
    bool Own(std::uint32_t bit) const { return FParentStyle == nullptr || (FOverrides & bit) != 0; }

    TTextStyle* FParentStyle; // not owned
    std::uint32_t FOverrides = 0;
    TStyleAlignment FAlignment = salAuto;
    TCalloutStyle FCallout = cstNone;
    TColor FFillColor = clDefault;
    float FFontScale = 1.0f;
    TFontStyles FFontStyle = 0;
    TColor FTextColor = clDefault;
};

// Style of a group border: no parent, no override bits, every value is its own.
class TNodeGroupStyle : public TElementStyle {
public:
    static constexpr TColor DefaultFillColor = 0x00B3ECFF;   // #FFECB3
    static constexpr TColor DefaultStrokeColor = 0x0000ABFF; // #FFAB00

    TGroupBorderStyle BorderStyle() const { return FBorderStyle; }
    double BorderWidth() const { return FBorderWidth; }
    TColor FillColor() const { return FFillColor; }
    int Padding() const { return FPadding; }
    TColor StrokeColor() const { return FStrokeColor; }
    TStrokeStyle StrokeStyle() const { return FStrokeStyle; }

    void SetBorderStyle(TGroupBorderStyle value);
    // Non-finite widths are ignored, negative ones stored as 0.
    void SetBorderWidth(double value);
    void SetFillColor(TColor value);
    // Kept within -4 .. 20.
    void SetPadding(int value);
    void SetStrokeColor(TColor value);
    void SetStrokeStyle(TStrokeStyle value);

    bool HasBorder() const { return FBorderWidth > 0 && FStrokeColor != clNone; }
    bool HasFill() const { return FFillColor != clNone; }
    bool IsInvisible() const { return !HasFill() && (FBorderWidth == 0 || FStrokeColor == clNone); }

    void Assign(const TNodeGroupStyle& source);
    bool IsCustomized() const override { return true; }

private:
    TGroupBorderStyle FBorderStyle = gbsRoundRect;
    double FBorderWidth = 4.0;
    TColor FFillColor = DefaultFillColor;
    int FPadding = 4;
    TColor FStrokeColor = DefaultStrokeColor;
    TStrokeStyle FStrokeStyle = stsSolid;
};

// A pattern the map style owns (a custom pattern read from a document). The pattern module makes it with the
// deleter that suits its class.
using TOwnedPattern = std::unique_ptr<TBackgroundPattern, void (*)(TBackgroundPattern*)>;

using TNodeStyleChangeEvent = std::function<void(TNodeStyleBase&)>;

// The style of a whole map: map attributes plus the four component styles it owns. A change of a component is
// reported as a change of the map style; a change of the node style is also reported to OnNodeStyleChange
// (once per outermost update). The components' change callbacks belong to this style.
class TMindMapStyleBase : public TElementStyle {
public:
    ~TMindMapStyleBase() override;

    TLeveledMindMapStyle* ParentStyle() const { return FParentStyle; }
    void SetOnNodeStyleChange(TNodeStyleChangeEvent onNodeStyleChange) {
        FOnNodeStyleChange = std::move(onNodeStyleChange);
    }

    std::uint8_t Overrides() const { return FOverrides; }
    void SetOverride(std::uint8_t bits, bool on);
    // True when one of the bits is set here or up the parent chain.
    bool HasOverride(std::uint8_t bits) const;
    // Tests this style's own bit by its number (0 .. 7); other numbers answer false.
    bool IsOverridden(int bitNumber) const;

    // Values resolved through the parent chain.
    TConnectionStyle ConnectionStyle() const;
    TColor BackgroundColor() const { return GetBackgroundColor(); }
    TBackgroundPattern* BackgroundPattern() const { return GetBackgroundPattern(); }
    TColor CheckboxColor() const;
    TColor NoteIndicatorColor() const;

    virtual TColor GetBackgroundColor() const;
    virtual TBackgroundPattern* GetBackgroundPattern() const;

    // Setters store the value; they do not touch the override bits.
    void SetConnectionStyle(TConnectionStyle value);
    void SetBackgroundColor(TColor value);
    // A pattern other than the owned one frees the owned one. The pattern must outlive this style.
    void SetBackgroundPattern(TBackgroundPattern* value);
    void SetCheckboxColor(TColor value);
    void SetNoteIndicatorColor(TColor value);
    TBackgroundPattern* OwnedPattern() const { return FOwnedPattern.get(); }
    // Frees the previous owned pattern and makes the new one the background pattern.
    void SetOwnedPattern(TOwnedPattern pattern);

    // The colour the background shows: the pattern's average colour when a pattern shows (own background colour
    // bit clear and a pattern present), else the background colour. Without averageColorOf the pattern's own
    // AverageColor is taken.
    TColor
    EffectiveBackgroundColor(const std::function<TColor(const TBackgroundPattern&)>& averageColorOf = nullptr) const;
    bool HasPatternBackground() const;
    // False only when a style in the chain sets the colour and it is not clNone.
    bool CheckboxColorIsAutomatic() const;
    bool NoteIndicatorColorIsAutomatic() const;

    TNodeStyleBase& NodeStyle() { return *FNodeStyle; }
    const TNodeStyleBase& NodeStyle() const { return *FNodeStyle; }
    TRelationStyleBase& RelationStyle() { return *FRelationStyle; }
    const TRelationStyleBase& RelationStyle() const { return *FRelationStyle; }
    TRelationStyle& CrossLinkStyle() { return *FCrossLinkStyle; }
    const TRelationStyle& CrossLinkStyle() const { return *FCrossLinkStyle; }
    TTextStyle& TextStyle() { return *FTextStyle; }
    const TTextStyle& TextStyle() const { return *FTextStyle; }

    // Copies the bits and the source's resolved map values (a sheet's scheme background becomes a plain value),
    // then assigns the four components; one change is reported.
    void Assign(const TMindMapStyleBase& source);
    // Initial values, components reset, cross links derived from connection level 0.
    void Reset();
    bool IsCustomized() const override;

protected:
    struct TSubStyles {
        std::unique_ptr<TNodeStyleBase> NodeStyle;
        std::unique_ptr<TRelationStyleBase> RelationStyle;
        std::unique_ptr<TRelationStyle> CrossLinkStyle;
        std::unique_ptr<TTextStyle> TextStyle;
    };

    // The derived class makes the components (they may depend on the parent) and hands them over.
    TMindMapStyleBase(TLeveledMindMapStyle* parentStyle, TSubStyles subStyles);

    void UpdateStateChanged(bool starting) override;

private:
    void NodeStyleChanged();
    void DeriveCrossLinkStyle();

    TLeveledMindMapStyle* FParentStyle; // not owned
    std::uint8_t FOverrides = 0;
    TConnectionStyle FConnectionStyle = csCentered;
    TColor FBackgroundColor = clWhite;
    TBackgroundPattern* FBackgroundPattern = nullptr; // not owned (may be FOwnedPattern)
    TColor FCheckboxColor = clNone;
    TColor FNoteIndicatorColor = clNone;
    std::unique_ptr<TNodeStyleBase> FNodeStyle;         // owned
    std::unique_ptr<TRelationStyleBase> FRelationStyle; // owned
    std::unique_ptr<TRelationStyle> FCrossLinkStyle;    // owned
    std::unique_ptr<TTextStyle> FTextStyle;             // owned
    TOwnedPattern FOwnedPattern{nullptr, nullptr};      // owned
    TNodeStyleChangeEvent FOnNodeStyleChange;
    bool FPendingNodeStyleChange = false;
};

// A document's own overrides: each component's parent is the matching component of the parent style.
class TMindMapStyle : public TMindMapStyleBase {
public:
    explicit TMindMapStyle(TLeveledMindMapStyle* parentStyle = nullptr);

    TNodeStyle& NodeStyle() { return static_cast<TNodeStyle&>(TMindMapStyleBase::NodeStyle()); }
    const TNodeStyle& NodeStyle() const { return static_cast<const TNodeStyle&>(TMindMapStyleBase::NodeStyle()); }
    TRelationStyle& RelationStyle() { return static_cast<TRelationStyle&>(TMindMapStyleBase::RelationStyle()); }
    const TRelationStyle& RelationStyle() const {
        return static_cast<const TRelationStyle&>(TMindMapStyleBase::RelationStyle());
    }

private:
    static TSubStyles CreateSubStyles(TLeveledMindMapStyle* parentStyle);
};

// A style sheet or a document's copy of one: leveled topic and connection styles, no parent.
class TLeveledMindMapStyle : public TMindMapStyleBase {
public:
    TLeveledMindMapStyle();

    TLeveledNodeStyle& NodeStyle() { return static_cast<TLeveledNodeStyle&>(TMindMapStyleBase::NodeStyle()); }
    const TLeveledNodeStyle& NodeStyle() const {
        return static_cast<const TLeveledNodeStyle&>(TMindMapStyleBase::NodeStyle());
    }
    TLeveledRelationStyle& RelationStyle() {
        return static_cast<TLeveledRelationStyle&>(TMindMapStyleBase::RelationStyle());
    }
    const TLeveledRelationStyle& RelationStyle() const {
        return static_cast<const TLeveledRelationStyle&>(TMindMapStyleBase::RelationStyle());
    }

private:
    static TSubStyles CreateSubStyles();
};
