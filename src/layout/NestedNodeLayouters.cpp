#include "layout/NestedNodeLayouters.h"

#include "layout/NestedColumnLayouters.h"
#include "layout/NestedListLayouters.h"
#include "layout/NestedMatrixLayouters.h"
#include "model/CVMindMaps.h"
#include "render/RelationPathBuilders.h"
#include "styling/CVStyleManager.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace {

// Regions nested deeper than this are laid out free-form: each nesting costs stack, and no real map comes near it.
constexpr int kMaxRegionNesting = 200;

constexpr TFloatPoint kHiddenBranchSize{32, 16};
constexpr double kImportSpacing = 60;

bool HeadsOwnRegion(const TMindMapNode& topic) {
    const TNestedLayoutMode mode = topic.LayoutMode();
    return mode != nlmParent && mode != nlmFree;
}

double BorderWidthOf(const TMindMapNode& topic) {
    return topic.Style().EffectiveBorderWidth(StyleManager().TopicDataForLevel(topic.Level()).BorderWidth());
}

// The head's branch as the connection builders see it: every topic down to collapsed and hidden topics and, unless
// the branch is flattened, to the heads of nested regions, whose own layouts connect their children and decide
// where those connections start.
void BuildBranchConnections(TMindMapNode& head, TConnectionStyle style, bool flatten) {
    const auto nestedHead = [flatten](const TMindMapNode& topic) { return !flatten && HeadsOwnRegion(topic); };
    std::vector<TMindMapNode*> topics{&head};
    std::vector<std::ptrdiff_t> parents{-1};
    for (std::size_t i = 0; i < topics.size(); ++i) {
        const TMindMapNode* topic = topics[i];
        if (!topic->IsVisible() || topic->Collapsed() || (i > 0 && nestedHead(*topic)))
            continue;
        for (TMindMapNode* child : topic->Children()) {
            topics.push_back(child);
            parents.push_back(static_cast<std::ptrdiff_t>(i));
        }
    }
    std::vector<TConnectionTopic> records(topics.size());
    for (std::size_t i = 0; i < topics.size(); ++i) {
        const TMindMapNode& topic = *topics[i];
        TConnectionTopic& record = records[i];
        record.Bounds = topic.GetBounds();
        record.BorderStyle = topic.Style().BorderStyle();
        record.BorderWidth = BorderWidthOf(topic);
        record.LayoutMode = i > 0 && nestedHead(topic) ? topic.LayoutMode() : nlmParent;
        record.Collapsed = topic.Collapsed();
        record.HasVisibleChildren = std::any_of(topic.Children().begin(), topic.Children().end(),
                                                [](const TMindMapNode* child) { return child->IsVisible(); });
        const TParentRelation& relation = topic.ParentRelation();
        record.PathStyle = relation.Style().PathStyle();
        record.HasHandle = relation.HasHandle();
        record.Path = relation.Path();
        // the head's start is set already; the builders move the others' where underlines need it
        record.ChildConnectionStart = i == 0 ? topic.ChildConnectionStart : topic.GetPosition();
        if (parents[i] >= 0)
            records[static_cast<std::size_t>(parents[i])].Children.push_back(&record);
    }
    TConnectionTopic& root = records.front();
    const bool centralTheme = head.Parent() == nullptr;
    switch (style) {
    case csBaseline:
        BuildBaselineConnections(root, 0, centralTheme, 0);
        break;
    case csLeftRight:
        BuildLeftRightConnections(root, 0, centralTheme, 0);
        break;
    default:
        BuildCentredConnections(root, {0, 0}, true);
        break;
    }
    head.ChildConnectionStart = root.ChildConnectionStart;
    for (std::size_t i = 1; i < topics.size(); ++i) {
        TMindMapNode& topic = *topics[i];
        topic.ParentRelation().Path() = records[i].Path;
        topic.ParentRelation().SetHasHandle(records[i].HasHandle);
        if (!nestedHead(topic))
            topic.ChildConnectionStart = records[i].ChildConnectionStart;
    }
}

} // namespace

const TLayoutOptions& EffectiveLayoutOptions(const TMindMapNode& topic) {
    if (const TLayoutOptions* options = topic.LayoutOptions())
        return *options;
    return DefaultLayoutOptions(topic.LayoutMode());
}

TFloatRect BranchRect(const TMindMapNode& topic) {
    const TFloatPoint position = topic.GetPosition();
    return {position.X - topic.BranchOrigin.X, position.Y - topic.BranchOrigin.Y, topic.BranchSize.X,
            topic.BranchSize.Y};
}

// TSubLayouter

TSubLayouter::TSubLayouter(TNestedNodeLayouter& owner, TMindMapNode& head)
    : FOwner(&owner), FHead(&head), FMode(head.LayoutMode()) {
    const TLayoutOptions& options = EffectiveLayoutOptions(head);
    FDirection = options.Direction;
    FFlow = options.Flow;
}

void TSubLayouter::Finish(TMindMapNode&) {}

bool TSubLayouter::BaselineConnections() const {
    return FOwner->BaselineConnections();
}

TSubLayouter::TTopicBox TSubLayouter::TopicBox(const TMindMapNode& topic) const {
    const TFloatPoint centre = topic.GetPosition();
    TFloatRect box = topic.GetBounds();
    for (int i = 0; i < topic.ContainedCount(); ++i)
        box = FloatRectUnion(box, topic.ContainedAt(i)->GetBounds());
    if (IsUnderlined(topic)) {
        const double width = topic.ParentRelation().Path().Width;
        if (std::isfinite(width) && width > 0)
            box.Height += width;
    }
    return {{box.Width, box.Height}, box.Center() - centre};
}

bool TSubLayouter::IsUnderlined(const TMindMapNode& topic) const {
    return BaselineConnections() && topic.Parent() && topic.Style().BorderStyle() == sbsNone;
}

bool TSubLayouter::HeadsOtherRegion(const TMindMapNode& child) const {
    const TNestedLayoutMode mode = child.LayoutMode();
    return mode != nlmParent && mode != FMode;
}

double TSubLayouter::TopicConnectionInset(const TMindMapNode& topic) {
    return ConnectionInset(topic.GetBounds(), topic.Style().BorderStyle(), TopicBorderWidth(topic));
}

double TSubLayouter::TopicBorderWidth(const TMindMapNode& topic) {
    return BorderWidthOf(topic);
}

bool TSubLayouter::HasVisibleChildren(const TMindMapNode& topic) {
    return !topic.Collapsed() && std::any_of(topic.Children().begin(), topic.Children().end(),
                                             [](const TMindMapNode* child) { return child->IsVisible(); });
}

double TSubLayouter::HullAllowance(const TMindMapNode& topic) {
    return topic.Hull() ? 10 : 0;
}

// TNestedNodeLayouter

TNestedNodeLayouter::TNestedNodeLayouter(TMindMap& map)
    : FMap(&map), FBaselineConnections(map.MapStyle().ConnectionStyle() == csBaseline) {}

TNestedNodeLayouter::~TNestedNodeLayouter() = default;

TSubLayouter* TNestedNodeLayouter::SubLayouterFor(TMindMapNode& head) {
    if (const auto it = FLayouters.find(&head); it != FLayouters.end())
        return it->second.get();
    std::unique_ptr<TSubLayouter> layouter;
    switch (head.LayoutMode()) {
    case nlmParent:
    case nlmFree:
        layouter = std::make_unique<TNestedFreeFormLayouter>(*this, head);
        break;
    case nlmStrictHorizontal:
        layouter = std::make_unique<TNestedHorizontalLayouter>(*this, head);
        break;
    case nlmStrictVertical:
        layouter = std::make_unique<TNestedVerticalLayouter>(*this, head);
        break;
    case nlmList:
        layouter = std::make_unique<TNestedListLayouter>(*this, head);
        break;
    case nlmTopDown:
        layouter = std::make_unique<TNestedTopDownLayouter>(*this, head);
        break;
    case nlmHLinear:
        layouter = std::make_unique<TNestedLinearLayouter>(*this, head);
        break;
    case nlmRadial:
        layouter = std::make_unique<TNestedRadialLayouter>(*this, head);
        break;
    case nlmMatrix:
        layouter = std::make_unique<TNestedMatrixLayouter>(*this, head);
        break;
    default:
        break; // a mode this program does not know: the region stays as it is
    }
    // every level of nesting costs stack; beyond the limit the region and all inside it are placed free-form
    if (layouter && FRegionDepth > kMaxRegionNesting)
        layouter = std::make_unique<TNestedFreeFormLayouter>(*this, head, true);
    TSubLayouter* result = layouter.get();
    FLayouters.emplace(&head, std::move(layouter));
    return result;
}

void TNestedNodeLayouter::MeasureRegion(TMindMapNode& head, int depth) {
    ++FRegionDepth;
    FActiveHeads.push_back(&head);
    if (TSubLayouter* layouter = SubLayouterFor(head)) {
        layouter->Measure(head, depth);
    } else {
        head.BranchSize = head.IsVisible() ? head.Size() : kHiddenBranchSize;
        head.BranchOrigin = head.BranchSize * 0.5;
    }
    FActiveHeads.pop_back();
    --FRegionDepth;
}

void TNestedNodeLayouter::PlaceRegion(TMindMapNode& head, bool positionedByParent, int depth, TFloatPoint anchor) {
    ++FRegionDepth;
    FActiveHeads.push_back(&head);
    if (TSubLayouter* layouter = SubLayouterFor(head))
        layouter->Place(head, positionedByParent, depth, anchor);
    else if (positionedByParent)
        head.MoveSubtree(anchor - head.BranchSize * 0.5 + head.BranchOrigin - head.GetPosition());
    FActiveHeads.pop_back();
    --FRegionDepth;
}

TNestedLayoutMode TNestedNodeLayouter::EnclosingMode(const TMindMapNode& head) const {
    const TMindMapNode* enclosing = nullptr;
    if (!FActiveHeads.empty() && FActiveHeads.back() == &head) {
        if (FActiveHeads.size() > 1)
            enclosing = FActiveHeads[FActiveHeads.size() - 2];
    } else {
        // a sub-layouter driven from outside a pass: the nearest ancestor with a mode of its own
        for (const TMindMapNode* t = head.Parent(); t && !enclosing; t = t->Parent())
            if (t->LayoutMode() != nlmParent)
                enclosing = t;
    }
    if (!enclosing || enclosing->LayoutMode() == nlmParent)
        return nlmFree;
    return enclosing->LayoutMode();
}

void TNestedNodeLayouter::Run() {
    for (TMindMapNode* theme : FMap->CentralThemes()) {
        theme->ParentRelation().Path().ExitSide = psNone;
        theme->SideFlags = 0;
        TSubLayouter* layouter = SubLayouterFor(*theme);
        if (!layouter)
            continue;
        FActiveHeads.assign(1, theme);
        layouter->Measure(*theme, 0);
        layouter->Place(*theme, false, 0, {0, 0});
        FActiveHeads.clear();
    }
}

// TNestedFreeFormLayouter

TNestedFreeFormLayouter::TNestedFreeFormLayouter(TNestedNodeLayouter& owner, TMindMapNode& head, bool flatten)
    : TSubLayouter(owner, head), FFlatten(flatten) {}

bool TNestedFreeFormLayouter::HeadsRegion(const TMindMapNode& child) const {
    return !FFlatten && HeadsOwnRegion(child);
}

void TNestedFreeFormLayouter::Measure(TMindMapNode& topic, int depth) {
    // children before their parent, without recursion: a free branch can be a chain of many thousand topics
    struct TItem {
        TMindMapNode* Topic;
        int Depth;
        bool ChildrenMeasured;
    };
    std::vector<TItem> stack{{&topic, depth, false}};
    while (!stack.empty()) {
        const TItem item = stack.back();
        stack.pop_back();
        TMindMapNode& t = *item.Topic;
        if (!t.IsVisible()) {
            t.BranchSize = kHiddenBranchSize;
            t.BranchOrigin = kHiddenBranchSize * 0.5;
            continue;
        }
        const bool open = !t.Collapsed();
        if (open && !item.ChildrenMeasured && !t.Children().empty()) {
            stack.push_back({&t, item.Depth, true});
            for (TMindMapNode* child : t.Children()) {
                if (HeadsRegion(*child)) {
                    // placed free, without a side: the nested region measures for that
                    child->SideFlags = 0;
                    Owner().MeasureRegion(*child, item.Depth + 1);
                } else
                    stack.push_back({child, item.Depth + 1, false});
            }
            continue;
        }
        TFloatRect box = t.GetBounds();
        if (open)
            for (const TMindMapNode* child : t.Children())
                box = FloatRectUnion(box, BranchRect(*child));
        t.BranchSize = {box.Width, box.Height};
        t.BranchOrigin = t.GetPosition() - TFloatPoint{box.Left, box.Top};
    }
}

void TNestedFreeFormLayouter::Place(TMindMapNode& topic, bool positionedByParent, int depth, TFloatPoint anchor) {
    topic.SideFlags = 0;
    if (positionedByParent && &topic == &Head())
        topic.MoveSubtree(anchor - topic.BranchSize * 0.5 + topic.BranchOrigin - topic.GetPosition());
    std::vector<std::pair<TMindMapNode*, int>> stack{{&topic, depth}};
    while (!stack.empty()) {
        const auto [t, d] = stack.back();
        stack.pop_back();
        if (!t->IsVisible() || t->Collapsed())
            continue;
        for (TMindMapNode* child : t->Children()) {
            child->SideFlags = 0;
            if (HeadsRegion(*child))
                Owner().PlaceRegion(*child, false, d + 1, child->GetPosition());
            else
                stack.emplace_back(child, d + 1);
        }
    }
    if (&topic == &Head())
        Finish(topic);
}

void TNestedFreeFormLayouter::Finish(TMindMapNode& head) {
    const TFloatPoint centre = head.GetPosition();
    head.ChildConnectionStart = centre;
    const TMindMapNode* parent = head.Parent();
    if (BaselineConnections() && parent && head.Style().BorderStyle() == sbsNone) {
        // an underlined head: its children start at the far end of the underline
        const TFloatPoint size = head.Size();
        const bool leftOfParent = centre.X < parent->GetPosition().X;
        head.ChildConnectionStart = {leftOfParent ? centre.X - size.X / 2 : centre.X + size.X / 2,
                                     centre.Y + size.Y / 2 + head.ParentRelation().Path().Width / 2};
    }
    BuildBranchConnections(head, Owner().Map().MapStyle().ConnectionStyle(), FFlatten);
}

// The pass

void LayoutPass(TMindMap& map) {
    if (map.ElementMoveActive()) {
        TNestedNodeLayouter layouter(map);
        for (int i = 0; i < map.TopicCount(); ++i) {
            TMindMapNode& topic = *map.TopicAt(i);
            const TNestedLayoutMode mode = topic.LayoutMode();
            if (mode == nlmFree || (mode == nlmParent && !topic.Parent()))
                if (TSubLayouter* sub = layouter.SubLayouterFor(topic))
                    sub->Finish(topic);
        }
        return;
    }
    for (int i = 0; i < map.TopicCount(); ++i) {
        TMindMapNode& topic = *map.TopicAt(i);
        topic.UpdateSizeFromContent();
        topic.AutoAlignment = salCenter;
    }
    map.BeginUpdate();
    TNestedNodeLayouter(map).Run();
    map.EndUpdate();
}

void NormalizeLayoutModes(TMindMap& map) {
    std::vector<std::pair<TMindMapNode*, TNestedLayoutMode>> stack;
    for (TMindMapNode* theme : map.CentralThemes())
        stack.emplace_back(theme, theme->LayoutMode() == nlmParent ? nlmFree : theme->LayoutMode());
    while (!stack.empty()) {
        const auto [topic, inherited] = stack.back();
        stack.pop_back();
        for (TMindMapNode* child : topic->Children()) {
            const TNestedLayoutMode mode = child->LayoutMode();
            TNestedLayoutMode normal = mode;
            if (mode == inherited)
                normal = nlmParent;
            else if (mode != nlmParent && (inherited == nlmMatrix || inherited == nlmRadial))
                normal = nlmParent;
            else if (mode == nlmRadial && inherited != nlmFree)
                normal = nlmParent;
            if (normal != mode)
                SetLayoutMode(*child, normal);
            stack.emplace_back(child, normal != nlmParent ? normal : inherited);
        }
    }
}

void SetLayoutMode(TMindMapNode& topic, TNestedLayoutMode mode) {
    if (mode == nlmParent)
        topic.SetLayoutOptions(nullptr);
    else
        topic.SetLayoutOptions(&DefaultLayoutOptions(mode));
}

void ImportArrangement(TMindMap& map) {
    for (TMindMapNode* theme : map.CentralThemes())
        SetLayoutMode(*theme, nlmStrictHorizontal);
    map.RequestLayout();
    map.Refresh();
    // Collapsed and hidden topics are not placed, so only the laid-out topics count for a tree's height.
    double y = 0;
    for (TMindMapNode* theme : map.CentralThemes()) {
        std::vector<TMindMapNode*> branch;
        theme->CollectBranch(branch);
        TFloatRect box = theme->GetBounds();
        for (const TMindMapNode* topic : branch)
            if (topic->IsVisible())
                box = FloatRectUnion(box, topic->GetBounds());
        theme->MoveSubtree({0, y - box.Top});
        y += box.Height + kImportSpacing;
    }
    // the connections follow the moved trees
    map.RequestLayout();
    map.Refresh();
}

void RouteCrossLinks(TMindMap& map) {
    const TConnectionStyle connectionStyle = map.MapStyle().ConnectionStyle();
    const auto end = [](const TMindMapNode& topic) {
        TCrossLinkEnd result;
        result.Bounds = topic.GetBounds();
        result.BorderStyle = topic.Style().BorderStyle();
        result.BorderWidth = BorderWidthOf(topic);
        result.ParentPath = topic.Parent() ? &topic.ParentRelation().Path() : nullptr;
        return result;
    };
    for (int i = 0; i < map.RelationCount(); ++i) {
        TCrossLink& link = *map.RelationAt(i);
        if (!link.HasBothEnds())
            continue;
        TCrossLinkRoute route;
        route.Source = end(*link.Source());
        route.Target = end(*link.Target());
        route.AsHierarchy = link.AsHierarchy();
        route.ConnectionStyle = connectionStyle;
        route.PathStyle = link.Style().PathStyle();
        route.HasHandle = link.HasHandle();
        link.SetHasHandle(UpdateCrossLinkPath(route, link.Path()));
    }
}
