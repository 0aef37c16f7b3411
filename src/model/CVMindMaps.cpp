#include "model/CVMindMaps.h"

#include "formats/CVFilers.h"
#include "layout/NestedNodeLayouters.h"
#include "platform/AppErrors.h"
#include "platform/CVStrings.h"
#include "platform/Guids.h"
#include "render/MapHullBuilders.h"
#include "render/TopicShapes.h"
#include "styling/CVStyleManager.h"
#include "styling/CVStyles.h"
#include "text/MarkDownParsers.h"
#include "text/RichTextSpanParsers.h"
#include "text/TextWrappers.h"

#include <algorithm>
#include <cmath>
#include <glib.h>
#include <unordered_set>

namespace {

// The user's short date format for days since 1899-12-30; empty for dates the calendar cannot show.
std::string ShortDateText(double days) {
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6)
        return {};
    GDate* date = g_date_new_dmy(30, G_DATE_DECEMBER, 1899);
    const auto whole = static_cast<long>(std::floor(days));
    if (whole >= 0)
        g_date_add_days(date, static_cast<guint>(whole));
    else
        g_date_subtract_days(date, static_cast<guint>(-whole));
    std::string result;
    if (g_date_valid(date)) {
        GDateTime* dateTime =
            g_date_time_new_local(g_date_get_year(date), g_date_get_month(date), g_date_get_day(date), 0, 0, 0);
        if (dateTime) {
            if (gchar* text = g_date_time_format(dateTime, "%x")) {
                result = text;
                g_free(text);
            }
            g_date_time_unref(dateTime);
        }
    }
    g_date_free(date);
    return result;
}


// Free texts on relations are measured with the relations; those of topics with their topic.
void RefreshContainedTexts(TCompositeElement& element) {
    for (int i = 0; i < element.ContainedCount(); ++i)
        if (auto* text = dynamic_cast<TMindMapText*>(element.ContainedAt(i)))
            text->RefreshDerivedData();
}

} // namespace

TTopicTextMeasurer::TTopicTextMeasurer(const TMindMapNode& topic)
    : FRole(&StyleManager().TopicDataForLevel(topic.Level())), FFont(topic.Style().FontDescriptor()) {}

TFloatPoint TTopicTextMeasurer::MeasureText(std::string_view text) {
    return StyleManager().MeasureElementText(*FRole, FFont, text).Size;
}

double TTopicTextMeasurer::LineHeight() {
    return StyleManager().MeasureElementText(*FRole, FFont, "Wyg").LineBox.Y;
}

std::string NormalizeTopicText(const std::string& text) {
    std::string result = ReplaceLineBreaks(text, "\r");
    for (char& c : result)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\r')
            c = ' ';
    return result;
}

// ---------------------------------------------------------------------------------------------------------------
// Elements

const std::string& TMindMapElement::Guid() {
    if (FGuid.empty()) {
        FGuid = NewElementGuid();
        FMap->SetModified(true);
    }
    return FGuid;
}

void TContainedElement::SetOffset(TFloatPoint offset) {
    if (offset.X == FOffset.X && offset.Y == FOffset.Y)
        return;
    FOffset = offset;
    FOwner->ContainedChanged(*this);
}

bool TContainedElement::IsVisible() const {
    return FOwner->IsVisible();
}

TFloatPoint TContainedElement::GetPosition() const {
    const TFloatPoint origin = FOwner->GetPosition();
    return {origin.X + FOffset.X, origin.Y + FOffset.Y};
}

void TContainedElement::SetPosition(TFloatPoint position) {
    const TFloatPoint origin = FOwner->GetPosition();
    SetOffset({position.X - origin.X, position.Y - origin.Y});
}

TFloatRect TContainedElement::GetBounds() const {
    const TFloatPoint centre = GetPosition();
    const TFloatPoint size = DisplaySize();
    return {centre.X - size.X / 2, centre.Y - size.Y / 2, size.X, size.Y};
}

bool TContainedElement::HitTest(TFloatPoint point) const {
    const TFloatRect r = GetBounds();
    return point.X >= r.Left && point.X <= r.Left + r.Width && point.Y >= r.Top && point.Y <= r.Top + r.Height;
}

void TMindMapImage::CollectImageNames(std::vector<std::string>& names) const {
    if (!FName.empty())
        names.push_back(FName);
    if (!FThumbnail.empty())
        names.push_back(FThumbnail);
}

void TMindMapImage::SetName(std::string name, std::string thumbnail) {
    FName = std::move(name);
    FThumbnail = std::move(thumbnail);
    ReloadSurface();
}

void TMindMapImage::SetLink(const std::string& link) {
    std::string trimmed = Trim(link);
    std::replace(trimmed.begin(), trimmed.end(), '\\', '/');
    FLink = std::move(trimmed);
}

void TMindMapImage::SetScale(double scale) {
    if (!std::isfinite(scale))
        return;
    scale = std::clamp(scale, 0.1, 10.0);
    if (scale == FScale)
        return;
    FScale = scale;
    UpdateDisplaySize();
}

void TMindMapImage::SetClip(TClipShape clip) {
    if (clip > clsHalfRound)
        clip = clsNone;
    if (clip == FClip)
        return;
    FClip = clip;
    UpdateDisplaySize();
}

void TMindMapImage::SetSource(const TImageSource* source) {
    FSource = source ? std::make_unique<TImageSource>(*source) : nullptr;
}

void TMindMapImage::ReloadSurface() {
    FSurface = FThumbnail.empty() ? TPicture() : Map().ImageStore().GetSurface(FThumbnail);
    if (!FSurface && !FName.empty())
        FSurface = Map().ImageStore().GetSurface(FName);
    UpdateDisplaySize();
}

void TMindMapImage::UpdateDisplaySize() {
    constexpr double kScaleUnit = 0.5333333333333333; // 8/15
    FClipOffset = {};
    if (!FSurface) {
        FDisplaySize = {32, 32};
    } else {
        const double w = FSurface.Width();
        const double h = FSurface.Height();
        double f = FScale * kScaleUnit;
        // the shorter side is never below 24 map units
        if (f * std::min(w, h) < 24) {
            f = 24 / std::max(std::min(w, h), 1.0);
            FScale = f / kScaleUnit;
        }
        FDisplaySize = {w * f, h * f};
        if (FClip == clsCircle || FClip == clsSquare) {
            const double t = std::min(FDisplaySize.X, FDisplaySize.Y);
            FClipOffset = {(FDisplaySize.X - t) / 2, (FDisplaySize.Y - t) / 2};
            FDisplaySize = {t, t};
        }
    }
    Owner().ContainedChanged(*this);
}

void TMindMapText::SetText(const std::string& text, TTextFormat format) {
    const std::string normalized = Trim(NormalizeTopicText(text));
    if (normalized == FText && format == FTextFormat)
        return;
    FText = normalized;
    FTextFormat = format;
    FPlainText = PlainTextForFormat(FText, FTextFormat);
    Owner().ContainedChanged(*this);
}

TMindMapText::TMindMapText(TMindMap& map, TCompositeElement& owner)
    : TContainedElement(map, owner), FStyle(std::make_unique<TTextStyle>(&map.MapStyle().TextStyle())) {}

void TMindMapText::RefreshDerivedData() {
    FPlainText = PlainTextForFormat(FText, FTextFormat);
    const TElementTextMetrics metrics =
        StyleManager().MeasureElementText(StyleManager().TextData(), FStyle->FontDescriptor(), FPlainText);
    const double th = metrics.LineBox.Y;
    const TFloatPoint text{std::max(metrics.Size.X, metrics.LineBox.X), std::max(metrics.Size.Y, th)};
    FTextSize = text;
    FMeasuredSize = {std::max(text.X + 6 + th / 4, 24.0), std::max(text.Y + 6, 24.0)};
    if (!FNested)
        FSize = FMeasuredSize;
}

TFloatRect TMindMapText::TextRect() const {
    const TFloatPoint centre = GetPosition();
    return {centre.X - FTextSize.X / 2, centre.Y - FTextSize.Y / 2, FTextSize.X, FTextSize.Y};
}

void TMindMapText::SetNestedPlace(double width, TFloatPoint offset) {
    FSize = {width, FMeasuredSize.Y};
    PlaceAtOffset(offset);
}

void TMindMapText::SetNested(bool value) {
    if (Owner().ElementKind() != ekTopic)
        value = false;
    if (value == FNested)
        return;
    FNested = value;
    Owner().ContainedChanged(*this);
}

TCompositeElement::~TCompositeElement() = default;

TContainedElement* TCompositeElement::ContainedAt(int index) const {
    if (index < 0 || index >= ContainedCount())
        return nullptr;
    return FContained[static_cast<std::size_t>(index)].get();
}

int TCompositeElement::IndexOfContained(const TContainedElement* element) const {
    for (std::size_t i = 0; i < FContained.size(); ++i)
        if (FContained[i].get() == element)
            return static_cast<int>(i);
    return -1;
}

TMindMapImage* TCompositeElement::AddImage(std::string name, std::string thumbnail) {
    auto image = std::make_unique<TMindMapImage>(Map(), *this);
    TMindMapImage* result = image.get();
    FContained.push_back(std::move(image));
    result->SetName(std::move(name), std::move(thumbnail));
    PlaceContained(*result);
    return result;
}

TMindMapText* TCompositeElement::AddText(const std::string& text, TTextFormat format) {
    auto element = std::make_unique<TMindMapText>(Map(), *this);
    TMindMapText* result = element.get();
    FContained.push_back(std::move(element));
    result->SetText(text, format);
    PlaceContained(*result);
    return result;
}

TContainedElement* TCompositeElement::ContainedAtPoint(TFloatPoint point, const TContainedElement* excluded) const {
    for (auto it = FContained.rbegin(); it != FContained.rend(); ++it)
        if (it->get() != excluded && (*it)->HitTest(point))
            return it->get();
    return nullptr;
}

void TCompositeElement::PlaceContained(TContainedElement& element) {
    element.SetOffset({0, 0});
}

void TCompositeElement::ContainedChanged(TContainedElement& element) {
    Map().MarkDecorationsDirty();
    Map().NotifyElementChanged(&element);
}

bool TMindMapRelation::IsVisible() const {
    const TMindMapNode* source = Source();
    const TMindMapNode* target = Target();
    return source && target && source->IsVisible() && target->IsVisible();
}

TFloatPoint TMindMapRelation::GetPosition() const {
    const TMindMapNode* source = Source();
    const TMindMapNode* target = Target();
    if (source && target) {
        const TFloatPoint a = source->GetPosition();
        const TFloatPoint b = target->GetPosition();
        return {(a.X + b.X) / 2, (a.Y + b.Y) / 2};
    }
    if (source)
        return source->GetPosition();
    if (target)
        return target->GetPosition();
    return {};
}

TMindMapRelation::TMindMapRelation(TMindMap& map, TRelationStyleBase* parentStyle)
    : TCompositeElement(map), FStyle(std::make_unique<TRelationStyle>(parentStyle)) {}

TRelationStyle& TMindMapRelation::Style() const {
    Map().EnsureLevels();
    return *FStyle;
}

void TMindMapRelation::ApplyColor(TColor color) {
    FStyle->SetColor(color);
    FStyle->SetOverride(rsoColor, true);
}

bool TMindMapRelation::IsTapered() const {
    const TRelationStyle& style = Style();
    const TRelationLineStyle line = style.LineStyle();
    if (line == penAutoTapered)
        return true;
    if (line != penTapered && line != penReverseTapered)
        return false;
    // an inherited tapered line from a central theme that lays its branch out as a chart is drawn plain
    const TMindMapNode* source = Source();
    if (!style.IsOverridden(0) && source && !source->Parent()) {
        const TNestedLayoutMode mode = source->LayoutMode();
        if (mode == nlmList || mode == nlmTopDown || mode == nlmHLinear || mode == nlmMatrix)
            return false;
    }
    return true;
}

void TMindMapRelation::UpdatePathWidth() {
    const TRelationStyle& style = Style();
    double width = style.LineWidth();
    int taper = 0;
    if (style.PathStyle() != rpsOrtho && style.PathStyle() != rpsRounded && IsTapered()) {
        switch (style.LineStyle()) {
        case penTapered:
            taper = static_cast<int>(std::max<std::int64_t>(4, RoundHalfEven(width + 2.5)));
            break;
        case penReverseTapered: {
            const int t = static_cast<int>(std::max<std::int64_t>(4, RoundHalfEven(width + 2.5)));
            width += 2 * t;
            taper = -t;
            break;
        }
        case penAutoTapered: {
            const TMindMapNode* target = Target();
            int depth = target ? target->Level() : 0;
            if (ElementKind() == ekCrossLink && Source())
                depth = std::max(depth, Source()->Level() + 1);
            if (depth <= 4) {
                width += 8 - 2 * depth;
                taper = depth == 1 ? 3 : 1;
            }
            break;
        }
        default:
            break;
        }
    }
    FPath.Width = width;
    FPath.Taper = taper;
}

TFloatRect TMindMapRelation::GetBounds() const {
    TFloatRect bounds = FPath.Bounds();
    FPath.IncludeHandleBounds(bounds);
    for (int i = 0; i < ContainedCount(); ++i)
        bounds = FloatRectUnion(bounds, ContainedAt(i)->GetBounds());
    return bounds;
}

bool TMindMapRelation::HitTest(TFloatPoint point) const {
    return IsVisible() && FPath.ContainsPoint(point);
}

void TMindMapRelation::SetHasHandle(bool value) {
    if (value == FHasHandle)
        return;
    FHasHandle = value;
    Map().RequestLayout();
    Map().NotifyElementChanged(this);
}

TParentRelation::TParentRelation(TMindMap& map, TMindMapNode& topic)
    : TMindMapRelation(map, &map.MapStyle().RelationStyle()), FTopic(&topic) {}

TCrossLink::TCrossLink(TMindMap& map, TMindMapNode* source, TMindMapNode* target)
    : TMindMapRelation(map, &map.MapStyle().CrossLinkStyle()), FSource(source), FTarget(target) {}

void TCrossLink::SetAsHierarchy(bool value) {
    if (value == FAsHierarchy)
        return;
    FAsHierarchy = value;
    Map().InvalidateLevels();
    TMindMapStyle& mapStyle = Map().MapStyle();
    Style().SetParentStyle(value ? static_cast<TRelationStyleBase*>(&mapStyle.RelationStyle())
                                 : &mapStyle.CrossLinkStyle());
    Map().RequestLayout();
}

TMindMapNode* TParentRelation::Source() const {
    return FTopic->Parent();
}

bool TParentRelation::IsVisible() const {
    const TMindMapNode* parent = FTopic->Parent();
    return parent && parent->IsVisible() && !parent->Collapsed();
}

bool TCrossLink::Connects(const TMindMapNode* a, const TMindMapNode* b) const {
    return (FSource == a && FTarget == b) || (FSource == b && FTarget == a);
}

void TNodeGroup::AddMember(TMindMapNode* topic) {
    if (topic && std::find(FMembers.begin(), FMembers.end(), topic) == FMembers.end())
        FMembers.push_back(topic);
}

void TNodeGroup::RemoveMember(TMindMapNode* topic) {
    std::erase(FMembers, topic);
}

void TNodeGroup::UpdateVisibility() {
    FVisible = std::any_of(FMembers.begin(), FMembers.end(), [](const TMindMapNode* member) {
        const TMindMapNode* parent = member->Parent();
        return member->IsVisible() || (member->Hidden() && parent && parent->IsVisible() && !parent->Collapsed());
    });
}

bool TNodeGroup::HasMemberIn(const std::vector<TMindMapNode*>& topics) const {
    return std::any_of(FMembers.begin(), FMembers.end(), [&](const TMindMapNode* member) {
        return std::find(topics.begin(), topics.end(), member) != topics.end();
    });
}

// ---------------------------------------------------------------------------------------------------------------
// Topics

TMindMapNode::TMindMapNode(TMindMap& map, TFloatPoint position, bool loading)
    : TCompositeElement(map), FParentRelation(std::make_unique<TParentRelation>(map, *this)),
      FStyle(std::make_unique<TNodeStyle>(&map.MapStyle().NodeStyle())), FPosition(position), FLoading(loading) {}

TNodeStyle& TMindMapNode::Style() const {
    Map().EnsureLevels();
    return *FStyle;
}

void TMindMapNode::ClearStyleOverrides(std::uint32_t bits) {
    FStyle->SetOverride(bits, false);
    FDerivedDirty = true;
    if (!FLoading) {
        Map().RequestLayout();
        Changed();
    }
}

void TMindMapNode::ResetStyle() {
    if (Level() > 1)
        FPaletteIndex = 0;
    FStyle->Reset();
    FDerivedDirty = true;
    if (!FLoading) {
        Map().RequestLayout();
        Changed();
    }
}

TMindMapNode::~TMindMapNode() = default;

void TMindMapNode::SetPosition(TFloatPoint position) {
    if (position.X == FPosition.X && position.Y == FPosition.Y)
        return;
    FPosition = position;
    if (!FLoading)
        Map().RequestLayout();
}

TFloatRect TMindMapNode::GetBounds() const {
    return {FPosition.X - FSize.X / 2, FPosition.Y - FSize.Y / 2, FSize.X, FSize.Y};
}

void TMindMapNode::CollectImageNames(std::vector<std::string>& names) const {
    for (int i = 0; i < ContainedCount(); ++i)
        ContainedAt(i)->CollectImageNames(names);
    if (const auto* custom = dynamic_cast<const TCustomIcon*>(FIcon.get()))
        names.push_back(custom->ImageKey());
    if (FEmbeddedImage)
        names.push_back(FEmbeddedImage->ImageKey());
    if (FLink && !FLink->Thumbnail().empty())
        names.push_back(FLink->Thumbnail());
}

void TMindMapNode::SetIcon(const std::string& name) {
    if (name.empty()) {
        if (!FIcon)
            return;
        FIcon.reset();
    } else {
        if (FIcon && FIcon->Name() == name)
            return;
        if (name.front() == '#')
            FIcon = std::make_unique<TCustomIcon>(Map(), name);
        else
            FIcon = std::make_unique<TStockIcon>(name);
    }
    FDerivedDirty = true;
    if (!FLoading) {
        Map().RequestLayout();
        Changed();
    }
}

void TMindMapNode::SetEmbeddedImage(const std::string& key) {
    if (key.empty()) {
        if (!FEmbeddedImage)
            return;
        FEmbeddedImage.reset();
    } else {
        if (FEmbeddedImage && FEmbeddedImage->Name() == key)
            return;
        FEmbeddedImage = std::make_unique<TEmbeddedImage>(Map(), key);
    }
    FDerivedDirty = true;
    if (!FLoading) {
        Map().RequestLayout();
        Changed();
    }
}

TDiagramLink& TMindMapNode::EnsureLink() {
    if (!FLink) {
        FLink = std::make_unique<TDiagramLink>(Map());
        FDerivedDirty = true;
        if (!FLoading)
            Map().RequestLayout();
    }
    return *FLink;
}

void TMindMapNode::RemoveLink() {
    if (!FLink)
        return;
    FLink.reset();
    FDerivedDirty = true;
    if (!FLoading) {
        Map().RequestLayout();
        Changed();
    }
}

TNodeHullStyle& TMindMapNode::EnsureHull() {
    if (!FHull) {
        FHull = std::make_unique<TNodeHullStyle>();
        if (!FLoading)
            Changed();
    }
    return *FHull;
}

void TMindMapNode::RemoveHull() {
    if (FHull) {
        FHull.reset();
        if (!FLoading)
            Changed();
    }
}

void TMindMapNode::ReloadPictures() {
    if (FIcon)
        FIcon->Reload();
    if (FEmbeddedImage)
        FEmbeddedImage->Reload();
    if (FLink)
        FLink->LinkIcon().Reload();
    for (int i = 0; i < ContainedCount(); ++i)
        if (auto* image = dynamic_cast<TMindMapImage*>(ContainedAt(i)))
            image->ReloadSurface();
    FDerivedDirty = true;
}

void TMindMapNode::PlaceContained(TContainedElement& element) {
    // a new element sits centred above the topic
    const TFloatPoint size = element.DisplaySize();
    element.SetOffset({0, -(FSize.Y / 2 + size.Y / 2 + 8)});
}

int TMindMapNode::IndexInParent() const {
    const std::vector<TMindMapNode*>& siblings = FParent ? FParent->FChildren : Map().CentralThemes();
    const auto it = std::find(siblings.begin(), siblings.end(), this);
    return it == siblings.end() ? -1 : static_cast<int>(it - siblings.begin());
}

TMindMapNode* TMindMapNode::PreviousSibling() const {
    const int index = IndexInParent();
    if (index <= 0)
        return nullptr;
    const std::vector<TMindMapNode*>& siblings = FParent ? FParent->FChildren : Map().CentralThemes();
    return siblings[static_cast<std::size_t>(index - 1)];
}

bool TMindMapNode::IsLastSibling() const {
    const std::vector<TMindMapNode*>& siblings = FParent ? FParent->FChildren : Map().CentralThemes();
    return !siblings.empty() && siblings.back() == this;
}

int TMindMapNode::Level() const {
    if (!Map().FLevelsValid)
        Map().UpdateLevels();
    return FLevel;
}

void TMindMapNode::CollectBranch(std::vector<TMindMapNode*>& list) {
    // iterative: a branch can be a chain of many thousand topics
    std::vector<TMindMapNode*> stack{this};
    while (!stack.empty()) {
        TMindMapNode* topic = stack.back();
        stack.pop_back();
        list.push_back(topic);
        for (auto it = topic->FChildren.rbegin(); it != topic->FChildren.rend(); ++it)
            stack.push_back(*it);
    }
}

bool TMindMapNode::IsAncestorOf(const TMindMapNode* topic) const {
    for (const TMindMapNode* p = topic ? topic->FParent : nullptr; p; p = p->FParent)
        if (p == this)
            return true;
    return false;
}

void TMindMapNode::RemoveChild(TMindMapNode* child) {
    std::erase(FChildren, child);
    if (FChildren.empty() && !FLoading) {
        FCollapsed = false;
        FOutlineCollapsed = false;
    }
}

bool TMindMapNode::SetParent(TMindMapNode* parent) {
    if (parent == FParent)
        return true;
    if (parent == this || IsAncestorOf(parent))
        return false;
    const int oldLevel = FParent ? (FParent->FParent ? 2 : 1) : 0;
    if (FParent)
        FParent->RemoveChild(this);
    FParent = parent;
    if (parent)
        parent->FChildren.push_back(this);
    TMindMap& map = Map();
    map.InvalidateLevels();
    map.InvalidateNumbering();
    map.RequestRollUp();
    if (!FLoading) {
        // a branch that changes level loses the palette entries that belonged to its old place
        if (oldLevel == 0 && parent) {
            FPaletteIndex = 0;
            for (TMindMapNode* child : FChildren)
                child->FPaletteIndex = 0;
        } else if (oldLevel == 1) {
            FPaletteIndex = 0;
        }
        if (!parent)
            FHidden = false;
        FVisible = !FHidden && (!parent || (parent->FVisible && !parent->FCollapsed));
        UpdateChildVisibility();
        // only a topic that becomes parentless needs the list rebuilt in topic order
        if (parent) {
            std::erase(map.FCentralThemes, this);
            if (map.FMainCentralTheme == this)
                map.FMainCentralTheme = nullptr;
        } else
            map.RebuildCentralThemes();
        if (map.FStyleSheet && parent)
            map.FStyleSheet->ApplyToBranch(*this);
        map.RequestLayout();
        map.Notify(mcRelayout | mcContents);
    }
    return true;
}

void TMindMapNode::Changed() {
    if (!FLoading)
        Map().NotifyElementChanged(this);
}

void TMindMapNode::SetText(const std::string& text, TTextFormat format) {
    const std::string normalized = FLoading ? text : NormalizeTopicText(text);
    if (normalized == FText && format == FTextFormat)
        return;
    FText = normalized;
    FTextFormat = format;
    FPlainText = PlainTextForFormat(FText, FTextFormat);
    FDerivedDirty = true;
    if (FLoading)
        return;
    TMindMap& map = Map();
    if (map.FMainCentralTheme == this ||
        (!map.FMainCentralTheme && !map.FCentralThemes.empty() && map.FCentralThemes.front() == this))
        map.Notify(mcDocumentProperties);
    map.InvalidateNumbering();
    map.RequestLayout();
    Changed();
}

void TMindMapNode::SetNote(const std::string& note, TTextFormat format) {
    const std::string normalized = Trim(NormalizeTopicText(note));
    if (normalized == FNote && format == FNoteFormat)
        return;
    const bool hadNote = HasNote();
    FNote = normalized;
    FNoteFormat = format;
    if (FLoading)
        return;
    TMindMap& map = Map();
    if (hadNote != HasNote()) {
        FDerivedDirty = true;
        map.RequestLayout();
        Changed();
    }
    if (Selected() && map.FNoteEditor)
        map.FNoteEditor->NoteChanged(this);
}

bool TMindMapNode::HasNote() const {
    return std::any_of(FNote.begin(), FNote.end(), [](char c) { return static_cast<unsigned char>(c) > 0x20; });
}

std::string TMindMapNode::NotePlainText() const {
    return FNoteFormat == tfRichText ? FilterRichText(FNote) : FNote;
}

void TMindMapNode::UpdateChildVisibility() {
    // iterative: a branch can be a chain of many thousand topics
    std::vector<TMindMapNode*> stack{this};
    while (!stack.empty()) {
        TMindMapNode* topic = stack.back();
        stack.pop_back();
        const bool open = topic->FVisible && !topic->FCollapsed;
        for (TMindMapNode* child : topic->FChildren) {
            const bool visible = open && !child->FHidden;
            if (visible != child->FVisible) {
                child->FVisible = visible;
                child->FDerivedDirty = true;
                Map().RequestLayout();
            }
            stack.push_back(child);
        }
    }
}

void TMindMapNode::SetCollapsed(bool value) {
    if (value && FChildren.empty() && !FLoading)
        value = false;
    if (value == FCollapsed)
        return;
    FCollapsed = value;
    if (FLoading)
        return;
    FDerivedDirty = true;
    UpdateChildVisibility();
    Map().RequestLayout();
    Map().Notify(mcRelayout | mcContents);
    Changed();
}

void TMindMapNode::SetHidden(bool value) {
    if (value == FHidden)
        return;
    FHidden = value;
    if (FLoading)
        return;
    FVisible = !FHidden && (!FParent || (FParent->FVisible && !FParent->FCollapsed));
    UpdateChildVisibility();
    Map().RequestLayout();
    Map().Notify(mcRelayout | mcContents);
    Changed();
}

void TMindMapNode::SetCheckboxMode(TCheckboxMode mode) {
    if (mode > cbmRollUpProgress)
        mode = cbmNone;
    if (mode == FCheckboxMode)
        return;
    FCheckboxMode = mode;
    if (mode == cbmNone || (mode == cbmCheckbox && FProgress < 100))
        FProgress = 0;
    if (FLoading)
        return;
    FDerivedDirty = true;
    Map().RequestRollUp();
    Map().RequestLayout();
    Changed();
}

void TMindMapNode::SetProgress(int progress) {
    progress = std::clamp(progress, 0, 100);
    if (progress == FProgress)
        return;
    FProgress = progress;
    if (FLoading)
        return;
    Map().RequestRollUp();
    Changed();
}

void TMindMapNode::SetDate(bool hasDate, double date) {
    if (!std::isfinite(date))
        hasDate = false;
    if (!hasDate)
        date = 0;
    if (hasDate == FHasDate && date == FDate)
        return;
    FHasDate = hasDate;
    FDate = date;
    FDerivedDirty = true;
    if (FLoading)
        return;
    Map().RequestLayout();
    Changed();
}

void TMindMapNode::SetLayoutOptions(const TLayoutOptions* options) {
    const bool same = options ? (FLayoutOptions && *FLayoutOptions == *options) : !FLayoutOptions;
    if (same)
        return;
    if (options && options->Mode != nlmParent)
        FLayoutOptions = std::make_unique<TLayoutOptions>(*options);
    else
        FLayoutOptions.reset();
    if (FLoading)
        return;
    Map().RequestLayout();
    Map().Notify(mcRelayout | mcContents);
}

void TMindMapNode::SetVoiceMemo(const std::string& link) {
    const std::string trimmed = Trim(link);
    if (trimmed == FVoiceMemo)
        return;
    FVoiceMemo = trimmed;
    FDerivedDirty = true;
    if (!FLoading)
        Changed();
}

std::string TMindMapNode::NumberLabel() const {
    TMindMap& map = Map();
    if (map.FAutoNumbering == anDisabled)
        return {};
    const bool numberThemes = map.FCentralThemes.size() > 1;
    if (!FParent && !numberThemes)
        return {};
    if (!map.FNumberingValid)
        map.UpdateNumbering();
    // Labels of topics nested deeper than anyone reads show only their innermost levels: labelling every topic
    // of a long chain in full would cost the square of its length.
    std::vector<int> numbers;
    const TMindMapNode* topic = this;
    for (; topic && numbers.size() < kMaxNumberLabelLevels; topic = topic->FParent)
        if (topic->FParent || numberThemes)
            numbers.push_back(topic->FSiblingIndex + 1);
    std::string label;
    if (topic && (topic->FParent || numberThemes))
        label = "\u2026";
    for (auto it = numbers.rbegin(); it != numbers.rend(); ++it) {
        if (!label.empty())
            label += '.';
        label += std::to_string(*it);
    }
    return label;
}

TFloatPoint TMindMapNode::MeasureText(std::string_view text) const {
    return StyleManager().MeasureElementText(StyleManager().TopicDataForLevel(Level()), Style().FontDescriptor(), text)
        .Size;
}

void TMindMapNode::RefreshDerivedData() {
    if (FLoading || FRefreshing)
        return;
    FRefreshing = true;
    TStyleManager& manager = StyleManager();
    TTopicContent& c = FContent;
    const TFontDescriptor font = Style().FontDescriptor();
    const TPangoMindNodeStyleData& role = manager.TopicDataForLevel(Level());
    const TElementTextMetrics metrics =
        manager.MeasureElementText(role, font, FText.empty() ? std::string_view() : std::string_view(FPlainText));
    if (metrics.LineBox.X != c.LineBox.X || metrics.LineBox.Y != c.LineBox.Y || FHalfRoundRadius == 0) {
        c.LineBox = metrics.LineBox;
        FHalfRoundRadius = ::HalfRoundRadius(c.LineBox.Y);
    }
    c.ItalicAllowance = metrics.ItalicAllowance;
    c.TextEmpty = FText.empty();
    FPlainText = PlainTextForFormat(FText, FTextFormat);
    if (!FText.empty())
        c.TextSize = {std::max(metrics.Size.X, c.LineBox.X), std::max(metrics.Size.Y, c.LineBox.Y)};
    else {
        c.TextSize = c.LineBox;
        FPlainText.clear();
    }
    FDateText = FHasDate ? ShortDateText(FDate) : std::string();
    if ((FEmbeddedImage || FHasDate) && FText.empty()) {
        c.TextSize = {};
        c.ItalicAllowance = 0;
    }

    const std::string label = Map().FAutoNumbering == anInside ? NumberLabel() : std::string();
    c.NumberInside = !label.empty();
    c.NumberLabelSize = {};
    if (c.NumberInside) {
        const TFloatPoint size = manager.CaptionData().MeasureText(label);
        c.NumberLabelSize = {std::max(size.X + 2, 16.0), size.Y};
    }
    c.HasCheckBox = FCheckboxMode != cbmNone;
    c.HasIcon = FIcon != nullptr;
    c.IconSize = FIcon ? FIcon->GetSize() : TFloatPoint{};
    c.HasLink = FLink != nullptr;
    c.LinkIconSize = FLink ? FLink->LinkIcon().GetSize() : TFloatPoint{};
    c.HasVoiceMemo = !FVoiceMemo.empty();
    c.HasImage = FEmbeddedImage != nullptr;
    c.ImageSize = FEmbeddedImage ? FEmbeddedImage->GetSize() : TFloatPoint{};
    c.NestedTextSizes.clear();
    for (int i = 0; i < ContainedCount(); ++i)
        if (auto* text = dynamic_cast<TMindMapText*>(ContainedAt(i))) {
            text->RefreshDerivedData();
            if (text->Nested())
                c.NestedTextSizes.push_back(text->MeasuredSize());
        }
    c.HasDate = FHasDate;
    c.DateSize = {};
    if (FHasDate) {
        const TFloatPoint size = manager.CaptionData().MeasureText(FDateText);
        c.DateSize = {size.X + 4 + size.Y, size.Y};
    }
    StackTopicContent(c);
    UpdateSizeFromContent();
    FDerivedDirty = false;
    FRefreshing = false;
}

void TMindMapNode::UpdateSizeFromContent() {
    const TNodeStyle& style = Style();
    TTopicSizeInput input;
    input.ContentSize = FContent.ContentSize;
    input.LineBoxHeight = FContent.LineBox.Y;
    input.BorderStyle = style.BorderStyle();
    input.ImageOnly = FContent.ImageOnly();
    input.MinWidth = style.MinWidth();
    input.MinHeight = style.MinHeight();
    const TTopicSize size = TopicSizeFromContent(input);
    FSize = size.Size;
    FTextInset = size.TextInset;
    if (FContent.NestedTextSizes.empty())
        return;
    const std::vector<TNestedTextPlace> places = PlaceNestedTexts(FContent, Frame());
    std::size_t next = 0;
    for (int i = 0; i < ContainedCount() && next < places.size(); ++i)
        if (auto* text = dynamic_cast<TMindMapText*>(ContainedAt(i)); text && text->Nested()) {
            text->SetNestedPlace(places[next].Width, places[next].Offset);
            ++next;
        }
}

TStyleAlignment TMindMapNode::TextAlignment() const {
    const TStyleAlignment alignment = Style().Alignment();
    if (alignment != salAuto)
        return alignment;
    return AutoAlignment == salAuto ? salCenter : AutoAlignment;
}

TTopicFrame TMindMapNode::Frame() const {
    return {FPosition, FSize, FTextInset, static_cast<int>(TextAlignment())};
}

void TMindMapNode::MoveSubtree(TFloatPoint delta) {
    if (delta.X == 0 && delta.Y == 0)
        return;
    std::vector<TMindMapNode*> stack{this};
    while (!stack.empty()) {
        TMindMapNode* topic = stack.back();
        stack.pop_back();
        topic->FPosition = topic->FPosition + delta;
        topic->ChildConnectionStart = topic->ChildConnectionStart + delta;
        stack.insert(stack.end(), topic->FChildren.begin(), topic->FChildren.end());
    }
}

namespace {

// Runs the action on the topic and every descendant, parents before children.
template <typename TAction>
void ForBranch(TMindMapNode* root, bool includeRoot, TAction action) {
    std::vector<TMindMapNode*> stack;
    if (includeRoot)
        stack.push_back(root);
    else
        stack.assign(root->Children().rbegin(), root->Children().rend());
    while (!stack.empty()) {
        TMindMapNode* topic = stack.back();
        stack.pop_back();
        action(topic);
        stack.insert(stack.end(), topic->Children().rbegin(), topic->Children().rend());
    }
}

} // namespace

void TMindMapNode::CollapseBranch() {
    ForBranch(this, true, [](TMindMapNode* topic) { topic->SetCollapsed(true); });
}

void TMindMapNode::ExpandBranch() {
    ForBranch(this, true, [](TMindMapNode* topic) { topic->SetCollapsed(false); });
}

void TMindMapNode::HideDescendants() {
    ForBranch(this, false, [](TMindMapNode* topic) { topic->SetHidden(true); });
}

void TMindMapNode::ShowBranch() {
    ForBranch(this, true, [](TMindMapNode* topic) { topic->SetHidden(false); });
}

// ---------------------------------------------------------------------------------------------------------------
// Map

TMindMap::TMindMap()
    : FImageStore(&NullImageStore()),
      FStoreObserver(std::make_unique<TCustomImageStoreObserver>(FImageStore, this, &TMindMap::ImageStoreChanged)) {}

void TMindMap::SetImageStore(TCustomImageStore* store) {
    if (!store)
        store = &NullImageStore();
    if (store == FImageStore)
        return;
    FImageStore = store;
    FStoreObserver = std::make_unique<TCustomImageStoreObserver>(store, this, &TMindMap::ImageStoreChanged);
    for (const auto& topic : FTopics)
        topic->ReloadPictures();
    FLayoutNeeded = true;
    Notify(mcContents);
}

void TMindMap::ImageStoreChanged(void* owner, const std::string& name, TImageChange) {
    // pictures that use the name look it up again: a removed one then shows as missing
    auto* map = static_cast<TMindMap*>(owner);
    std::vector<std::string> names;
    for (const auto& topic : map->FTopics) {
        names.clear();
        topic->CollectImageNames(names);
        topic->ParentRelation().CollectImageNames(names);
        if (std::find(names.begin(), names.end(), name) != names.end())
            topic->ReloadPictures();
    }
    map->FLayoutNeeded = true;
    map->Notify(mcContents);
}

TMindMap::~TMindMap() {
    // observers are not told about a map that goes away
    FStoreObserver.reset();
    FEditor = nullptr;
    FNoteEditor = nullptr;
    FHierarchyListeners.clear();
    FSelection.clear();
}

TMindMapNode* TMindMap::MainCentralTheme() {
    if (!FMainCentralTheme && !FCentralThemes.empty())
        FMainCentralTheme = FCentralThemes.front();
    return FMainCentralTheme;
}

void TMindMap::SetMainCentralTheme(TMindMapNode* topic) {
    if (!topic || topic == FMainCentralTheme || topic->Parent())
        return;
    if (std::find(FCentralThemes.begin(), FCentralThemes.end(), topic) == FCentralThemes.end())
        return;
    FMainCentralTheme = topic;
    Notify(mcDocumentProperties);
}

TMindMapNode* TMindMap::NewTopic(TFloatPoint position, bool loading) {
    FTopics.push_back(std::make_unique<TMindMapNode>(*this, position, loading));
    FLevelsValid = false;
    FNumberingValid = false;
    FLayoutNeeded = true;
    return FTopics.back().get();
}

void TMindMap::RebuildCentralThemes() {
    FCentralThemes.clear();
    for (const auto& topic : FTopics)
        if (!topic->Parent())
            FCentralThemes.push_back(topic.get());
    if (FMainCentralTheme && FMainCentralTheme->Parent())
        FMainCentralTheme = nullptr;
    FLevelsValid = false;
    FNumberingValid = false;
}

void TMindMap::EnsureLevels() const {
    // while a document is read, topics and their styles are filled in file order; levels follow once it is read
    if (!FLevelsValid && FReadState == 0)
        UpdateLevels();
}

TCrossLink* TMindMap::NewCrossLink(TMindMapNode* source, TMindMapNode* target) {
    FLevelsValid = false;
    FRelations.push_back(std::make_unique<TCrossLink>(*this, source, target));
    FLayoutNeeded = true;
    return FRelations.back().get();
}

void TMindMap::DeleteDanglingCrossLinks() {
    std::unordered_set<const TMindMapNode*> topics;
    topics.reserve(FTopics.size());
    for (const auto& topic : FTopics)
        topics.insert(topic.get());
    std::erase_if(FRelations, [&](const std::unique_ptr<TCrossLink>& link) {
        const bool keep = link->Source() && link->Target() && link->Source() != link->Target() &&
                          topics.count(link->Source()) && topics.count(link->Target());
        if (!keep)
            std::erase(FSelection, link.get());
        return !keep;
    });
}

TNodeGroup* TMindMap::NewGroup(const std::vector<TMindMapNode*>& members) {
    if (members.empty())
        return nullptr;
    FGroups.push_back(std::make_unique<TNodeGroup>(*this));
    for (TMindMapNode* topic : members)
        FGroups.back()->AddMember(topic);
    return FGroups.back().get();
}

TMindMapElement* TMindMap::FindElementByGuid(const std::string& guid) const {
    if (guid.empty())
        return nullptr;
    const auto inComposite = [&](TCompositeElement& composite) -> TMindMapElement* {
        if (composite.StoredGuid() == guid)
            return &composite;
        for (int i = 0; i < composite.ContainedCount(); ++i)
            if (composite.ContainedAt(i)->StoredGuid() == guid)
                return composite.ContainedAt(i);
        return nullptr;
    };
    for (const auto& topic : FTopics) {
        if (TMindMapElement* found = inComposite(*topic))
            return found;
        if (TMindMapElement* found = inComposite(topic->ParentRelation()))
            return found;
    }
    for (const auto& link : FRelations)
        if (TMindMapElement* found = inComposite(*link))
            return found;
    for (const auto& group : FGroups)
        if (group->StoredGuid() == guid)
            return group.get();
    return nullptr;
}

TMindMapNode* TMindMap::SelectedTopic() const {
    TMindMapElement* element = SelectedElement();
    return element && element->ElementKind() == ekTopic ? static_cast<TMindMapNode*>(element) : nullptr;
}

TElementKind TMindMap::SelectionKind() const {
    const TMindMapElement* element = SelectedElement();
    return element ? element->ElementKind() : ekNone;
}

std::string TMindMap::SelectedGuid() const {
    const TMindMapElement* element = SelectedElement();
    return element ? element->StoredGuid() : std::string();
}

std::vector<TMindMapNode*> TMindMap::GetSelectedRootNodes() const {
    std::vector<TMindMapNode*> roots;
    std::unordered_set<const TMindMapNode*> selected;
    for (TMindMapElement* element : FSelection) {
        if (element->ElementKind() != ekTopic)
            return {};
        selected.insert(static_cast<TMindMapNode*>(element));
    }
    for (TMindMapElement* element : FSelection) {
        auto* topic = static_cast<TMindMapNode*>(element);
        bool covered = false;
        for (const TMindMapNode* p = topic->Parent(); p && !covered; p = p->Parent())
            covered = selected.count(p) > 0;
        if (!covered)
            roots.push_back(topic);
    }
    // siblings keep their order among their siblings; other pairs keep the selection order
    std::stable_sort(roots.begin(), roots.end(), [](const TMindMapNode* a, const TMindMapNode* b) {
        return a->Parent() == b->Parent() && a->IndexInParent() < b->IndexInParent();
    });
    return roots;
}

void TMindMap::ChangeSelection(std::vector<TMindMapElement*> selection) {
    TMindMapElement* previous = SelectedElement();
    if (FNoteEditor)
        FNoteEditor->CommitEdits(previous);
    for (TCustomHierarchyListener* listener : FHierarchyListeners)
        listener->CommitEdits(previous);
    for (TMindMapElement* element : FSelection)
        element->FSelected = false;
    FSelection = std::move(selection);
    for (TMindMapElement* element : FSelection)
        element->FSelected = true;
    Notify(mcSelection);
}

void TMindMap::Select(TMindMapElement* element) {
    if (element ? (FSelection.size() == 1 && FSelection.front() == element) : FSelection.empty())
        return;
    std::vector<TMindMapElement*> selection;
    if (element)
        selection.push_back(element);
    ChangeSelection(std::move(selection));
}

void TMindMap::ToggleSelection(TMindMapElement* element, bool insertFirst) {
    if (!element)
        return;
    std::vector<TMindMapElement*> selection = FSelection;
    if (element->Selected()) {
        std::erase(selection, element);
    } else {
        const auto isContained = [](const TMindMapElement* e) {
            return e->ElementKind() == ekImage || e->ElementKind() == ekText;
        };
        if (!selection.empty() && selection.front()->ElementKind() != element->ElementKind() &&
            !(isContained(selection.front()) && isContained(element)))
            selection.clear();
        if (insertFirst)
            selection.insert(selection.begin(), element);
        else
            selection.push_back(element);
    }
    ChangeSelection(std::move(selection));
}

void TMindMap::SetStyleSheet(TStyleSheet* sheet) {
    FStyleSheet = sheet;
    // the document's own sheet goes once another one is the map's
    std::unique_ptr<TStyleSheet> previous;
    if (FOwnedStyleSheet && FOwnedStyleSheet.get() != sheet)
        previous = std::move(FOwnedStyleSheet);
    if (sheet)
        sheet->ApplyToMap(*this);
    for (const auto& topic : FTopics)
        topic->FDerivedDirty = true;
    FLayoutNeeded = true;
    Notify(mcStyleSheet | mcContents);
}

void TMindMap::SetOwnedStyleSheet(std::unique_ptr<TStyleSheet> sheet) {
    TStyleSheet* own = sheet.get();
    std::unique_ptr<TStyleSheet> previous = std::move(FOwnedStyleSheet);
    FOwnedStyleSheet = std::move(sheet);
    SetStyleSheet(own);
}

void TMindMap::SetSearchData(const TMindMapSearchData& data) {
    if (data == FSearchData)
        return;
    FSearchData = data;
    UpdateSearchMatches();
}

void TMindMap::UpdateSearchMatches() {
    FSearchMatches = FindSearchMatches(*this, FSearchData, FSearchTextCache);
    // the outline switches between the tree and the list of matches; the map only repaints its marks
    for (TCustomHierarchyListener* listener : FHierarchyListeners)
        listener->HierarchyChanged();
    Notify(mcContents);
}

void TMindMap::SetTitle(const std::string& title) {
    const std::string flat = Trim(ReplaceLineBreaks(title, " "));
    FTitle.clear();
    if (flat != DocumentTitle())
        FTitle = flat;
    Notify(mcDocumentProperties);
}

std::string TMindMap::DocumentTitle() {
    if (!FHasDocument && FTopics.empty())
        return {};
    if (!FTitle.empty())
        return FTitle;
    if (TMindMapNode* main = MainCentralTheme()) {
        std::string text = Trim(main->PlainText());
        return text.empty() ? "Unnamed Mind Map" : text;
    }
    return "Empty Mind Map";
}

void TMindMap::SetAutoNumbering(TAutoNumbering value) {
    if (value > anBelow)
        value = anDisabled;
    if (value == FAutoNumbering)
        return;
    FAutoNumbering = value;
    if (FReadState != 0)
        return;
    FNumberingValid = false;
    for (const auto& topic : FTopics)
        topic->FDerivedDirty = true;
    FLayoutNeeded = true;
    Notify(mcContents);
}

void TMindMap::SetAutoRollUp(bool value) {
    if (value == FAutoRollUp)
        return;
    FAutoRollUp = value;
    if (FReadState != 0)
        return;
    FRollUpNeeded = true;
    FLayoutNeeded = true;
    Notify(mcContents);
}

TViewState TMindMap::GetViewState() {
    if (FEditor)
        FViewState = FEditor->GetViewState();
    return FViewState;
}

void TMindMap::SetViewState(const TViewState& state) {
    FViewState = state;
    Notify(mcViewState);
}

void TMindMap::AddHierarchyListener(TCustomHierarchyListener* listener) {
    if (listener &&
        std::find(FHierarchyListeners.begin(), FHierarchyListeners.end(), listener) == FHierarchyListeners.end())
        FHierarchyListeners.push_back(listener);
}

void TMindMap::RemoveHierarchyListener(TCustomHierarchyListener* listener) {
    std::erase(FHierarchyListeners, listener);
}

void TMindMap::Clear() {
    if (FEditor)
        FEditor->FinishInPlaceEdit();
    for (TMindMapElement* element : FSelection)
        element->FSelected = false;
    FSelection.clear();
    if (FNoteEditor)
        FNoteEditor->Clear();
    for (TCustomHierarchyListener* listener : FHierarchyListeners)
        listener->Clear();
    FMainCentralTheme = nullptr;
    FTitle.clear();
    FRelations.clear();
    FGroups.clear();
    FCentralThemes.clear();
    FSearchMatches.clear();
    FSearchTextCache.Clear();
    // topics refer to each other only through plain pointers, so the flat list frees them without recursion
    FTopics.clear();
    FLayoutNeeded = true;
    FRollUpNeeded = false;
    FLevelsValid = false;
    FNumberingValid = false;
    FInfo.DocVersion = -1;
    FInfo.Guid.clear();
    FMapStyle.SetOverride(msoConnectionStyle | msoBackgroundColor | msoBackgroundPattern | msoCheckboxColor |
                              msoNoteIndicatorColor,
                          false);
    FBackgroundPatternName.clear();
    FMapStyle.SetBackgroundPattern(nullptr); // frees a pattern made from the document's pictures
    // a sheet of the document's own never outlives its document
    if (FOwnedStyleSheet) {
        if (FStyleSheet == FOwnedStyleSheet.get())
            FStyleSheet = nullptr;
        FOwnedStyleSheet.reset();
    }
    FAutoNumbering = anDisabled;
    FAutoRollUp = false;
    FViewState = TViewState();
    Notify(mcSelection | mcContents);
}

void TMindMap::CloseDocument() {
    BeginUpdate();
    Clear();
    FInfo.StorageName.clear();
    FHasDocument = false;
    FModified = false;
    FChangeFlags |= mcSelection | mcStyleSheet | mcDocumentProperties;
    EndUpdate();
    FImageStore->PurgeUnused();
}

void TMindMap::LoadFromText(const std::string& text, const std::string& storageName, bool rethrow, int kind) {
    BeginUpdate();
    try {
        FInfo.StorageName = storageName;
        Clear();
        FInfo.StorageName = storageName;
        FReadAborted = false;
        std::unique_ptr<TCVMindMapReaderBase> reader = CreateMindMapReader(*this, text, kind);
        FReadState = 1;
        BeginUpdate();
        try {
            reader->Read();
        } catch (...) {
            FinishReading();
            throw;
        }
        FinishReading();
        FReadAborted = reader->Aborted();
        if (FInfo.StorageName.empty())
            FInfo.StorageName = FInfo.Guid;
        FHasDocument = true;
        FModified = false;
    } catch (const std::exception& error) {
        CloseDocument();
        EndUpdate();
        if (rethrow)
            throw;
        HandleApplicationException(error);
        return;
    }
    EndUpdate();
}

void TMindMap::FinishReading() {
    // runs after every read, also a failed one, inside the read's own update
    RebuildCentralThemes();
    FNumberingValid = false;
    DeleteDanglingCrossLinks();
    UpdateLevels();
    if (!FStyleSheet)
        FStyleSheet = StyleManager().DefaultSheet();
    if (FStyleSheet)
        FStyleSheet->ApplyToMap(*this);
    // widths stored with wrapped topics are applied once, in the fonts the sheet gives
    for (const auto& topic : FTopics)
        if (topic->FWrapWidth > 0) {
            TTopicTextMeasurer measurer(*topic);
            ApplyStoredWrapWidth(*topic, measurer);
        }
    if (FSelection.empty())
        Select(MainCentralTheme());
    for (TMindMapNode* theme : FCentralThemes) {
        theme->FVisible = !theme->FHidden;
        theme->UpdateChildVisibility();
    }
    NormalizeLayoutModes(*this);
    RequestLayout();
    Refresh();
    FReadState = 0;
    FChangeFlags |= mcAll;
    EndUpdate();
}

void TMindMap::BeginUpdate() {
    if (FUpdateCount++ == 0)
        FChangeFlags = 0;
}

void TMindMap::EndUpdate() {
    if (FUpdateCount <= 0)
        return;
    if (--FUpdateCount > 0)
        return;
    const std::uint16_t changes = FChangeFlags;
    FChangeFlags = 0;
    if (changes)
        RunPendingNotifications(changes);
}

void TMindMap::Notify(std::uint16_t changes) {
    BeginUpdate();
    FChangeFlags |= changes;
    EndUpdate();
}

void TMindMap::NotifyElementChanged(TMindMapElement* element) {
    if (FUpdateCount > 0) {
        FChangeFlags |= mcElement;
        return;
    }
    if (FEditor)
        FEditor->ElementChanged(element);
}

void TMindMap::RunPendingNotifications(std::uint16_t changes) {
    // The model's own work runs with or without a view; the calls to observers need one.
    if (changes & mcRelayout) {
        FRollUpNeeded = true;
        for (TCustomHierarchyListener* listener : FHierarchyListeners)
            listener->HierarchyChanged();
        NormalizeLayoutModes(*this);
    }
    if (!FEditor) {
        if ((changes & mcSearch) && SearchActive())
            UpdateSearchMatches();
        return;
    }
    if (changes & mcViewState)
        FEditor->ApplyViewState(FViewState);
    if (changes & mcStyleSheet)
        FEditor->StyleSheetChanged();
    if (changes & mcDocumentProperties)
        FEditor->DocumentPropertiesChanged();
    if (changes & mcSelection) {
        FEditor->SelectionChanged();
        if (FNoteEditor)
            FNoteEditor->SelectionChanged(SelectedElement());
        for (TCustomHierarchyListener* listener : FHierarchyListeners)
            listener->SelectionChanged(SelectedElement());
    }
    if (changes & mcElement)
        FEditor->ElementChanged(nullptr);
    if (changes & mcContents)
        FEditor->ContentsChanged();
    if ((changes & mcMakeVisible) && SelectedElement()) {
        if (FDecorationsDirty)
            Refresh();
        FEditor->MakeElementVisible(SelectedElement());
    }
    if ((changes & mcSearch) && SearchActive())
        UpdateSearchMatches();
}

void TMindMap::Refresh() {
    BeginUpdate();
    if (FRollUpNeeded) {
        RollUpProgress();
        FRollUpNeeded = false;
    }
    const bool decorationsDirty = FDecorationsDirty;
    FDecorationsDirty = false;
    for (const auto& topic : FTopics)
        if (topic->FDerivedDirty || decorationsDirty) {
            topic->RefreshDerivedData();
            FLayoutNeeded = true;
        }
    if (FLayoutNeeded) {
        for (const auto& topic : FTopics) {
            topic->ParentRelation().UpdatePathWidth();
            RefreshContainedTexts(topic->ParentRelation());
        }
        for (const auto& link : FRelations) {
            link->UpdatePathWidth();
            RefreshContainedTexts(*link);
        }
        LayoutPass(*this);
        RouteCrossLinks(*this);
        UpdateGroupBounds(*this);
        FLayoutNeeded = false;
        FChangeFlags |= mcContents;
    }
    EndUpdate();
}

void TMindMap::RollUpProgress() {
    // post-order without recursion: children before their parent
    std::vector<TMindMapNode*> order;
    order.reserve(FTopics.size());
    for (TMindMapNode* root : FCentralThemes)
        root->CollectBranch(order);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        TMindMapNode* topic = *it;
        int count = 0;
        long sum = 0;
        for (const TMindMapNode* child : topic->FChildren)
            if (child->FCheckboxMode != cbmNone) {
                ++count;
                sum += child->FProgress;
            }
        if (FAutoRollUp && topic->FCheckboxMode != cbmRollUpProgress && count > 1)
            topic->FCheckboxMode = cbmRollUpProgress;
        if (topic->FCheckboxMode == cbmRollUpProgress)
            topic->FProgress = count == 0 ? 0 : std::clamp(static_cast<int>(sum / count), 0, 100);
    }
}

void TMindMap::UpdateLevels() const {
    // top-down from every topic without parent; topics outside any tree keep level 0
    std::vector<TMindMapNode*> stack;
    for (const auto& topic : FTopics)
        if (!topic->Parent()) {
            topic->FLevel = 0;
            stack.push_back(topic.get());
        }
    while (!stack.empty()) {
        TMindMapNode* topic = stack.back();
        stack.pop_back();
        for (TMindMapNode* child : topic->FChildren) {
            child->FLevel = topic->FLevel + 1;
            stack.push_back(child);
        }
    }
    // styles resolve by level: a topic's style at its depth, its connection one level up
    FLevelsValid = true;
    for (const auto& topic : FTopics) {
        topic->FStyle->SetLevel(topic->FLevel);
        topic->ParentRelation().FStyle->SetLevel(std::max(topic->FLevel - 1, 0));
    }
    for (const auto& link : FRelations)
        if (const TMindMapNode* topic = link->StyleTopic())
            link->FStyle->SetLevel(std::max(topic->FLevel - 1, 0));
}

void TMindMap::UpdateNumbering() const {
    // One pass stores every topic's place among its siblings; labels are then built on demand, so numbering a
    // wide map stays linear and a deep one costs only for the labels that are shown.
    for (std::size_t i = 0; i < FCentralThemes.size(); ++i)
        FCentralThemes[i]->FSiblingIndex = static_cast<int>(i);
    for (const auto& topic : FTopics)
        for (std::size_t i = 0; i < topic->FChildren.size(); ++i)
            topic->FChildren[i]->FSiblingIndex = static_cast<int>(i);
    FNumberingValid = true;
}

// ---------------------------------------------------------------------------------------------------------------
// Content bounds, visibility and branch commands

TFloatRect TMindMap::GetContentBounds(bool all) const {
    TFloatRect bounds{};
    bool first = true;
    const auto unite = [&](const TFloatRect& rect) {
        bounds = first ? rect : FloatRectUnion(bounds, rect);
        first = false;
    };
    const auto uniteContained = [&](const TCompositeElement& element) {
        for (int i = 0; i < element.ContainedCount(); ++i)
            unite(element.ContainedAt(i)->GetBounds());
    };
    const auto uniteHandle = [&](const TMindMapRelation& relation) {
        if (relation.HasHandle() && !first)
            relation.Path().IncludeHandleBounds(bounds);
    };
    for (const auto& topic : FTopics) {
        if (!all && !topic->IsVisible())
            continue;
        unite(topic->GetBounds());
        uniteContained(*topic);
        uniteContained(topic->ParentRelation());
        uniteHandle(topic->ParentRelation());
    }
    for (const auto& link : FRelations) {
        if (!all && !link->IsVisible())
            continue;
        uniteContained(*link);
        uniteHandle(*link);
    }
    for (const auto& group : FGroups)
        if (all || group->IsVisible())
            unite(group->GetBounds());
    return bounds;
}

namespace {

enum class TCommandFilter { Topics, TopicsAndConnections };

// The topics a command works on: empty when any selected element is of a kind the command does not take. A
// selected parent connection stands for its topic.
std::vector<TMindMapNode*> FilteredSelection(const TMindMap& map, TCommandFilter filter) {
    std::vector<TMindMapNode*> topics;
    for (TMindMapElement* element : map.Selection()) {
        if (element->ElementKind() == ekTopic)
            topics.push_back(static_cast<TMindMapNode*>(element));
        else if (filter == TCommandFilter::TopicsAndConnections && element->ElementKind() == ekParentRelation)
            topics.push_back(&static_cast<TParentRelation*>(element)->Topic());
        else
            return {};
    }
    return topics;
}

bool IsHideOrShow(TBranchCommand command) {
    return command >= bcHide;
}

} // namespace

void TMindMap::Reveal(TMindMapNode* topic) {
    if (!topic)
        return;
    BeginUpdate();
    topic->SetHidden(false);
    for (TMindMapNode* ancestor = topic->Parent(); ancestor; ancestor = ancestor->Parent()) {
        ancestor->SetCollapsed(false);
        ancestor->SetHidden(false);
    }
    EndUpdate();
}

void TMindMap::RevealElement(TMindMapElement* element) {
    if (!element)
        return;
    if (auto* contained = dynamic_cast<TContainedElement*>(element)) {
        TCompositeElement& owner = contained->Owner();
        if (owner.ElementKind() == ekTopic) {
            Reveal(static_cast<TMindMapNode*>(&owner));
        } else if (auto* relation = dynamic_cast<TMindMapRelation*>(&owner)) {
            BeginUpdate();
            Reveal(relation->Source());
            Reveal(relation->Target());
            EndUpdate();
        }
        return;
    }
    if (element->ElementKind() == ekTopic)
        Reveal(static_cast<TMindMapNode*>(element));
}

namespace {

void FinishEditing(TMindMap& map) {
    if (map.Editor())
        map.Editor()->FinishInPlaceEdit();
}

} // namespace

void TMindMap::HideTopic(TMindMapNode* topic) {
    FinishEditing(*this);
    BeginUpdate();
    if (FSelection.size() > 1)
        ChangeSelection({FSelection.front()});
    if (topic && !topic->Hidden() && topic->Parent()) {
        topic->SetHidden(true);
        Select(topic->Parent());
    }
    EndUpdate();
}

void TMindMap::ShowTopic(TMindMapNode* topic) {
    FinishEditing(*this);
    BeginUpdate();
    if (FSelection.size() > 1)
        ChangeSelection({FSelection.front()});
    if (topic && topic->Hidden())
        topic->SetHidden(false);
    EndUpdate();
}

void TMindMap::ToggleCollapse() {
    FinishEditing(*this);
    BeginUpdate();
    if (FSelection.size() > 1)
        ChangeSelection({FSelection.front()});
    if (TMindMapNode* topic = SelectedTopic())
        RunBranchCommand(topic->Collapsed() ? bcExpand : bcCollapse);
    EndUpdate();
}

bool TMindMap::SelectByGuid(const std::string& guid) {
    TMindMapElement* element = FindElementByGuid(guid);
    if (!element)
        return false;
    BeginUpdate();
    Select(element);
    if (element->ElementKind() == ekTopic)
        Reveal(static_cast<TMindMapNode*>(element));
    Notify(mcMakeVisible);
    EndUpdate();
    return true;
}

TFloatPoint TMindMap::ExpandToolCentre(const TMindMapNode& topic, bool topicsHaveHideTool) const {
    const TFloatPoint centre = topic.GetPosition();
    double side;
    if (topic.SideFlags & sfRight)
        side = 1;
    else if (topic.SideFlags & sfLeft)
        side = -1;
    else
        side = topic.Parent() && topic.Parent()->GetPosition().X > centre.X ? -1 : 1;
    if (topicsHaveHideTool)
        side = -side;
    return {centre.X - side * (topic.Size().X + 16) / 2, centre.Y};
}

TFloatPoint TMindMap::ShowToolCentre(const TMindMapNode& topic) const {
    return topic.ParentRelation().Path().P3;
}

TMindMapNode* TMindMap::TopicToolAt(TFloatPoint point, bool topicsHaveHideTool) const {
    const auto hits = [&](TFloatPoint centre) {
        return FloatRectContains({centre.X - 8, centre.Y - 8, 16, 16}, point);
    };
    // depth first, last child first: the first hit wins
    std::vector<TMindMapNode*> stack(FCentralThemes.begin(), FCentralThemes.end());
    while (!stack.empty()) {
        TMindMapNode* topic = stack.back();
        stack.pop_back();
        if (!topic->IsVisible()) {
            if (topic->Parent() && hits(ShowToolCentre(*topic)) && !topic->ParentRelation().Selected())
                return topic;
        } else if (topic->Collapsed()) {
            if (!topic->Selected() && hits(ExpandToolCentre(*topic, topicsHaveHideTool)))
                return topic;
        } else {
            stack.insert(stack.end(), topic->Children().begin(), topic->Children().end());
        }
    }
    return nullptr;
}

void TMindMap::RunBranchCommand(TBranchCommand command) {
    FinishEditing(*this);
    const bool hideOrShow = IsHideOrShow(command);
    const std::vector<TMindMapNode*> topics =
        FilteredSelection(*this, hideOrShow ? TCommandFilter::TopicsAndConnections : TCommandFilter::Topics);
    if (topics.empty() || (!hideOrShow && !SelectedTopic()))
        return;
    const TMindMapElement* lastItem = FSelection.back();
    BeginUpdate();
    for (TMindMapNode* topic : topics) {
        const bool hasChildren = !topic->Children().empty();
        switch (command) {
        case bcCollapse:
            if (!topic->Collapsed() && hasChildren) {
                Reveal(topic);
                topic->SetCollapsed(true);
            }
            break;
        case bcCollapseChildren:
            if (hasChildren) {
                Reveal(topic);
                for (TMindMapNode* child : topic->Children())
                    child->SetCollapsed(true);
            }
            break;
        case bcFullCollapse:
            topic->CollapseBranch();
            break;
        case bcExpand:
            if (topic->Collapsed()) {
                Reveal(topic);
                topic->SetCollapsed(false);
            }
            break;
        case bcExpandChildren:
            if (hasChildren) {
                Reveal(topic);
                topic->SetCollapsed(false);
                for (TMindMapNode* child : topic->Children())
                    child->SetCollapsed(false);
            }
            break;
        case bcFullExpand:
            topic->ExpandBranch();
            break;
        case bcHide:
            if (topic->Parent())
                topic->SetHidden(true);
            break;
        case bcHideChildren:
            for (TMindMapNode* child : topic->Children())
                child->SetHidden(true);
            break;
        case bcFullHide:
            topic->HideDescendants();
            if (topic->Parent())
                topic->SetHidden(true);
            break;
        case bcShow:
            topic->SetHidden(false);
            break;
        case bcShowChildren:
            for (TMindMapNode* child : topic->Children())
                child->SetHidden(false);
            break;
        case bcFullShow:
            topic->ShowBranch();
            break;
        }
    }
    switch (command) {
    case bcHide:
        if (lastItem->ElementKind() == ekTopic) {
            if (TMindMapNode* parent = topics.back()->Parent())
                Select(parent);
        } else {
            Select(const_cast<TMindMapElement*>(lastItem));
        }
        break;
    case bcHideChildren:
    case bcFullHide:
        if (FSelection.size() == 1) {
            if (!FSelection.front()->IsVisible())
                Select(nullptr);
        } else {
            std::vector<TMindMapElement*> selection = FSelection;
            for (auto it = selection.end(); it != selection.begin();) {
                --it;
                if (!(*it)->IsVisible())
                    it = selection.erase(it);
            }
            if (selection.size() != FSelection.size())
                ChangeSelection(std::move(selection));
        }
        break;
    case bcShow:
        Select(topics.back());
        break;
    default:
        break;
    }
    EndUpdate();
}
