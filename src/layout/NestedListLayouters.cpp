#include "layout/NestedListLayouters.h"

#include "model/CVMindMaps.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

constexpr TFloatPoint kHiddenItemSize{32, 22};
constexpr TFloatPoint kHiddenHeadSize{32, 16};
constexpr double kListIndent = 30;     // the children's column from the parent's near edge
constexpr double kLeadInDistance = 20; // the spine from the children's column
constexpr double kItemGap = 6;         // between stacked items
constexpr double kHeadGap = 3;         // more under the head
constexpr double kRowGap = 60;         // top-down: between the head and its row of children
constexpr double kRowSpacing = 20;     // top-down: between the children of the row
constexpr double kBusDrop = 0.25 * 60; // top-down: where the connections start below the head
constexpr double kLineDistance = 24;   // h-linear: the children's boxes from the line
constexpr double kLineSpacing = 20;    // h-linear: between the head and the first child, and between children
constexpr double kCompactSpacing = 40; // h-linear compact: the least horizontal spacing

double PathWidth(const TMindMapNode& topic) {
    const double width = topic.ParentRelation().Path().Width;
    return std::isfinite(width) && width > 0 ? width : 0;
}

} // namespace

bool ListFlowIsLtr(const TMindMapNode& head, TLayoutFlow flow) {
    if (flow != lfAuto)
        return flow != lfRtl;
    if ((head.SideFlags & (sfRight | sfLeft)) != 0)
        return (head.SideFlags & sfRight) != 0;
    if (const TMindMapNode* parent = head.Parent())
        return head.GetPosition().X >= parent->GetPosition().X;
    return true;
}

// TNestedBaseListLayouter

TLayoutDirection TNestedBaseListLayouter::ResolveListSides(TMindMapNode& head, bool apply) {
    FLtr = ListFlowIsLtr(head, Flow());
    TLayoutDirection direction = Direction();
    if (direction == ldAuto) {
        if ((head.SideFlags & (sfBelow | sfAbove)) != 0)
            direction = (head.SideFlags & sfBelow) != 0 ? ldBottom : ldTop;
        else if (const TMindMapNode* parent = head.Parent())
            direction = head.GetPosition().Y >= parent->GetPosition().Y ? ldBottom : ldTop;
        else
            direction = ldBottom;
    }
    FDown = direction != ldTop;
    FChildFlags = (FLtr ? sfRight : sfLeft) | (FDown ? sfBelow : sfAbove);
    if (apply)
        head.SideFlags = FChildFlags;
    return direction;
}

TSubLayouter::TTopicBox TNestedBaseListLayouter::ListBox(const TMindMapNode& topic) const {
    if (!topic.IsVisible())
        return {topic.BranchSize, {0, 0}};
    return TopicBox(topic);
}

void TNestedBaseListLayouter::ListBranchOrigin(TMindMapNode& topic, TFloatPoint box, TFloatPoint offset, int sy) const {
    topic.BranchOrigin = {(FLtr ? box.X / 2 : topic.BranchSize.X - box.X / 2) - offset.X,
                          (sy > 0 ? box.Y / 2 : topic.BranchSize.Y - box.Y / 2) - offset.Y};
}

void TNestedBaseListLayouter::ListMeasure(TMindMapNode& topic, int depth) {
    // children before their parent, without recursion: a list can be a chain of many thousand items
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
        if (item.ChildrenMeasured || !t.IsVisible() || t.Collapsed() || t.Children().empty()) {
            MeasureListItem(t);
            continue;
        }
        stack.push_back({&t, item.Depth, true});
        for (TMindMapNode* child : t.Children()) {
            if (HeadsOtherRegion(*child))
                Owner().MeasureRegion(*child, item.Depth + 1);
            else
                stack.push_back({child, item.Depth + 1, false});
        }
    }
}

void TNestedBaseListLayouter::MeasureListItem(TMindMapNode& topic) {
    if (!topic.IsVisible()) {
        topic.BranchSize = kHiddenItemSize;
        topic.BranchOrigin = kHiddenItemSize * 0.5;
        return;
    }
    double widest = 0;
    double height = 0;
    std::size_t count = 0;
    if (!topic.Collapsed())
        for (const TMindMapNode* child : topic.Children()) {
            ++count;
            widest = std::max(widest, child->BranchSize.X);
            height += child->BranchSize.Y;
        }
    if (count > 0) {
        height += kItemGap * static_cast<double>(count) + (&topic == &Head() ? kHeadGap : 0);
        widest += kListIndent;
    }
    TTopicBox box = TopicBox(topic);
    // a list hanging free takes its head's own width: what the head's pictures add is left to the free layout
    if (Mode() == nlmList && &topic == &Head() && Owner().EnclosingMode(topic) == nlmFree)
        box.Size.X = topic.Size().X;
    topic.BranchSize = {std::max(widest, box.Size.X), box.Size.Y + height + HullAllowance(topic)};
    ListBranchOrigin(topic, box.Size, box.Offset, Sy());
}

void TNestedBaseListLayouter::ListPlaceNode(TMindMapNode& topic, TFloatPoint corner, int depth, double leadInY, int sy,
                                            int flags, std::vector<TListJob>& pending) {
    if (&topic != &Head())
        topic.AutoAlignment = ItemAlignment();
    const TTopicBox box = ListBox(topic);
    const TFloatPoint size = topic.IsVisible() ? topic.Size() : topic.BranchSize;
    topic.SetLayoutPosition(
        {corner.X + Sx() * box.Size.X / 2 - box.Offset.X, corner.Y + sy * box.Size.Y / 2 - box.Offset.Y});
    ConnectListItem(topic, size, leadInY, corner.X, false);
    ListBranchOrigin(topic, box.Size, box.Offset, sy);
    pending.push_back({&topic,
                       {corner.X, corner.Y + sy * (box.Size.Y + kItemGap)},
                       topic.ParentRelation().Path().P3.Y,
                       sy,
                       flags,
                       depth});
}

void TNestedBaseListLayouter::RunListJobs(std::vector<TListJob>& pending) {
    while (!pending.empty()) {
        const TListJob job = pending.back();
        pending.pop_back();
        const std::size_t firstPushed = pending.size();
        ListPlaceChildren(job, pending);
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(firstPushed), pending.end());
    }
}

void TNestedBaseListLayouter::ListPlaceChildren(const TListJob& job, std::vector<TListJob>& pending) {
    TMindMapNode& topic = *job.Topic;
    if (topic.Children().empty() || !topic.IsVisible() || topic.Collapsed())
        return;
    const double column = job.Corner.X + Sx() * kListIndent;
    double y = job.Corner.Y;
    double leadInY = job.LeadInY;
    // the spine of a list growing upwards starts above an underlined parent's text
    if (&topic != &Head() && IsUnderlined(topic) && job.Sy < 0)
        leadInY -= topic.Size().Y;
    for (TMindMapNode* child : topic.Children()) {
        child->SideFlags = job.Flags;
        child->AutoAlignment = ItemAlignment();
        if (HeadsOtherRegion(*child)) {
            Owner().PlaceRegion(*child, true, job.Depth + 1,
                                {column + Sx() * child->BranchSize.X / 2, y + job.Sy * child->BranchSize.Y / 2});
            ConnectListItem(*child, child->Size(), leadInY, column, true);
        } else {
            ListPlaceNode(*child, {column, y}, job.Depth + 1, leadInY, job.Sy, job.Flags, pending);
        }
        y += job.Sy * (child->BranchSize.Y + kItemGap);
        leadInY = child->ParentRelation().Path().P3.Y;
    }
}

void TNestedBaseListLayouter::ConnectListItem(TMindMapNode& topic, TFloatPoint size, double leadInY, double columnX,
                                              bool headsRegion) {
    TParentRelation& relation = topic.ParentRelation();
    TRelationPath& path = relation.Path();
    relation.SetHasHandle(false);
    path.HasLeadIn = true;
    path.LeadInRadius = 0;
    path.UnderlineEnd = false;
    path.LeadInStart = {columnX - Sx() * kLeadInDistance, leadInY};
    path.ExitSide = FLtr ? psRight : psLeft;
    const TFloatPoint centre = topic.GetPosition();
    TFloatPoint p3 = centre;
    path.ChildAttachPoint = p3;
    if (IsUnderlined(topic)) {
        // the connection runs along the underline, from its near end; the children start at its far end
        p3.Y += (size.Y + PathWidth(topic)) / 2;
        if (!topic.IsVisible())
            p3.Y = (p3.Y + centre.Y) / 2;
        p3.X -= Sx() * size.X / 2;
        path.UnderlineEnd = true;
        path.ChildAttachPoint = {p3.X + Sx() * size.X, p3.Y};
    }
    path.SetStraight({path.LeadInStart.X, p3.Y}, p3);
    if (!headsRegion)
        topic.ChildConnectionStart = p3;
}

// TNestedListLayouter

void TNestedListLayouter::Measure(TMindMapNode& topic, int depth) {
    const bool isHead = &topic == &Head();
    if (isHead) {
        FMeasureDepth = depth;
        ResolveListSides(topic, false);
    }
    ListMeasure(topic, depth);
    if (isHead && topic.IsVisible()) {
        // as placed where it stands: the branch box starts at the head's own near edge
        const TTopicBox box = TopicBox(topic);
        ListBranchOrigin(topic, {topic.Size().X, box.Size.Y}, {0, box.Offset.Y}, Sy());
    }
}

void TNestedListLayouter::Place(TMindMapNode& topic, bool positionedByParent, int depth, TFloatPoint anchor) {
    ResolveListSides(topic, true);
    const TTopicBox box = ListBox(topic);
    const TFloatPoint size = box.Size;
    const TFloatPoint o = box.Offset;
    double x0;
    if (positionedByParent) {
        if (topic.IsVisible())
            topic.SetLayoutPosition(anchor + TFloatPoint{Sx() * (size.X - topic.BranchSize.X) / 2 - o.X,
                                                         Sy() * (size.Y - topic.BranchSize.Y) / 2 - o.Y});
        else
            topic.SetLayoutPosition(anchor);
        ListBranchOrigin(topic, size, o, Sy());
        x0 = anchor.X - Sx() * topic.BranchSize.X / 2;
    } else {
        if (topic.IsVisible())
            ListBranchOrigin(topic, {topic.Size().X, size.Y}, {0, o.Y}, Sy());
        else
            topic.BranchOrigin = topic.BranchSize * 0.5;
        x0 = topic.GetPosition().X - Sx() * topic.Size().X / 2;
    }
    const TFloatPoint centre = topic.GetPosition();
    const double y0 = centre.Y + o.Y + Sy() * (size.Y / 2 + kItemGap + kHeadGap);
    if (topic.Parent())
        topic.AutoAlignment = ItemAlignment();
    // the spine starts on the head's centre line, 10 inside its near edge
    topic.ChildConnectionStart = {x0 + Sx() * (kListIndent - kLeadInDistance), centre.Y};
    std::vector<TListJob> pending{{&topic, {x0, y0}, centre.Y, Sy(), FChildFlags, depth}};
    RunListJobs(pending);
}

// TNestedTopDownLayouter

void TNestedTopDownLayouter::Measure(TMindMapNode& topic, int depth) {
    FMeasureDepth = depth;
    ResolveListSides(topic, false);
    if (!topic.IsVisible()) {
        topic.BranchSize = kHiddenHeadSize;
        topic.BranchOrigin = kHiddenHeadSize * 0.5;
        return;
    }
    double width = 0;
    double tallest = 0;
    std::size_t count = 0;
    if (!topic.Collapsed())
        for (TMindMapNode* child : topic.Children()) {
            if (HeadsOtherRegion(*child))
                Owner().MeasureRegion(*child, depth + 1);
            else
                ListMeasure(*child, depth + 1);
            ++count;
            width += child->BranchSize.X;
            tallest = std::max(tallest, child->BranchSize.Y);
        }
    if (count > 0) {
        width += kRowSpacing * static_cast<double>(count - 1);
        tallest += kRowGap;
    }
    const TTopicBox box = TopicBox(topic);
    topic.BranchSize = {std::max(box.Size.X, width) + HullAllowance(topic), box.Size.Y + tallest};
    SetHeadOrigin(topic, box);
}

void TNestedTopDownLayouter::SetHeadOrigin(TMindMapNode& head, const TTopicBox& box) const {
    if (!head.IsVisible()) {
        head.BranchOrigin = head.BranchSize * 0.5;
        return;
    }
    head.BranchOrigin = {head.BranchSize.X / 2 - box.Offset.X,
                         (FDown ? box.Size.Y / 2 : head.BranchSize.Y - box.Size.Y / 2) - box.Offset.Y};
}

void TNestedTopDownLayouter::Place(TMindMapNode& topic, bool positionedByParent, int depth, TFloatPoint anchor) {
    ResolveListSides(topic, true);
    const TTopicBox box = ListBox(topic);
    const TFloatPoint o = box.Offset;
    const double h = box.Size.Y;
    if (positionedByParent) {
        if (topic.IsVisible())
            topic.SetLayoutPosition({anchor.X - o.X, anchor.Y + Sy() * (h - topic.BranchSize.Y) / 2 - o.Y});
        else
            topic.SetLayoutPosition(anchor);
    }
    SetHeadOrigin(topic, box);
    if (!topic.IsVisible() || topic.Collapsed())
        return;
    const std::vector<TMindMapNode*>& children = topic.Children();
    double rowWidth = 0;
    for (const TMindMapNode* child : children)
        rowWidth += child->BranchSize.X;
    if (children.size() > 1)
        rowWidth += kRowSpacing * static_cast<double>(children.size() - 1);
    const TFloatPoint centre = topic.GetPosition();
    double x = centre.X + o.X - Sx() * rowWidth / 2;
    const double rowY = centre.Y + o.Y + Sy() * (h / 2 + kRowGap);
    // the middle of the box's near edge: the stem of the bus starts there
    const TFloatPoint start{centre.X, rowY - Sy() * kRowGap};
    topic.ChildConnectionStart = start;
    if (topic.Parent())
        topic.ParentRelation().Path().ChildAttachPoint = start;
    std::vector<TListJob> pending;
    for (TMindMapNode* child : children) {
        child->SideFlags = FChildFlags;
        const bool headsRegion = HeadsOtherRegion(*child);
        if (headsRegion)
            Owner().PlaceRegion(*child, true, depth + 1,
                                {x + Sx() * child->BranchSize.X / 2, rowY + Sy() * child->BranchSize.Y / 2});
        else
            ListPlaceNode(*child, {x, rowY}, depth + 1, centre.Y, Sy(), FChildFlags, pending);
        // each child hangs from the bus on a straight drop to the middle of its near edge
        TParentRelation& relation = child->ParentRelation();
        TRelationPath& path = relation.Path();
        relation.SetHasHandle(false);
        path.HasLeadIn = false;
        path.LeadInRadius = 0;
        path.UnderlineEnd = true;
        path.ExitSide = FDown ? psDown : psUp;
        const TFloatPoint childCentre = child->GetPosition();
        path.ChildAttachPoint = childCentre;
        TFloatPoint p3 = childCentre;
        if (child->IsVisible())
            p3.Y -= Sy() * child->Size().Y / 2;
        path.SetStraight({start.X, start.Y + Sy() * kBusDrop}, p3);
        if (!headsRegion)
            child->ChildConnectionStart = p3;
        x += Sx() * (child->BranchSize.X + kRowSpacing);
    }
    RunListJobs(pending);
}

// TNestedLinearLayouter

bool TNestedLinearLayouter::ChildBelow(TLayoutDirection direction, std::size_t index) {
    if (direction == ldBottom)
        return true;
    if (direction == ldTop)
        return false;
    return index % 2 == 1;
}

void TNestedLinearLayouter::Measure(TMindMapNode& topic, int depth) {
    FMeasureDepth = depth;
    FAbove = 0;
    FBelow = 0;
    FCompactOffsets.clear();
    // the sides are resolved before measuring, so that the branch box fits the children's sides as placed
    FMeasuredDirection = ResolveListSides(topic, false);
    if (!topic.IsVisible()) {
        topic.BranchSize = kHiddenHeadSize;
        topic.BranchOrigin = kHiddenHeadSize * 0.5;
        return;
    }
    if (!topic.Collapsed())
        for (TMindMapNode* child : topic.Children()) {
            if (HeadsOtherRegion(*child))
                Owner().MeasureRegion(*child, depth + 1);
            else
                ListMeasure(*child, depth + 1);
        }
    MeasureHead(topic, FMeasuredDirection);
    const TTopicBox box = TopicBox(topic);
    SetHeadOrigin(topic, box.Size.X, box.Offset.X);
}

void TNestedLinearLayouter::MeasureHead(TMindMapNode& head, TLayoutDirection direction) {
    FAbove = 0;
    FBelow = 0;
    FCompactOffsets.clear();
    const std::vector<TMindMapNode*>& children = head.Children();
    const std::size_t n = head.Collapsed() ? 0 : children.size();
    double length = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const TMindMapNode& child = *children[i];
        length += child.BranchSize.X;
        double& side = ChildBelow(direction, i) ? FBelow : FAbove;
        side = std::max(side, child.BranchSize.Y);
    }
    if (FAbove > 0)
        FAbove += kLineDistance;
    if (FBelow > 0)
        FBelow += kLineDistance;
    if (n > 0) {
        if (direction == ldAlternatingCompact) {
            // left edges from the start of the line; s is a child's own width, b its branch width
            const auto s = [&](std::size_t i) {
                return children[i]->IsVisible() ? children[i]->Size().X : children[i]->BranchSize.X;
            };
            const auto b = [&](std::size_t i) { return children[i]->BranchSize.X; };
            FCompactOffsets.resize(n);
            FCompactOffsets[0] = 0;
            double reach = b(0);
            for (std::size_t i = 1; i < n; ++i) {
                if (i == 1)
                    FCompactOffsets[1] = std::max(0.0, (s(0) - s(1)) / 2 + kCompactSpacing);
                else
                    FCompactOffsets[i] = std::max(FCompactOffsets[i - 2] + b(i - 2) + kCompactSpacing,
                                                  FCompactOffsets[i - 1] + s(i - 1) / 2 + kCompactSpacing);
                reach = std::max(reach, FCompactOffsets[i] + b(i));
            }
            // an earlier child with a long branch can reach further than the last one
            length = reach + kLineSpacing;
        } else {
            length += kLineSpacing * static_cast<double>(n);
        }
    }
    const TTopicBox box = TopicBox(head);
    const double halfHeight = head.Size().Y / 2;
    head.BranchSize = {box.Size.X + length + HullAllowance(head),
                       std::max(FAbove, halfHeight) + std::max(FBelow, halfHeight)};
}

void TNestedLinearLayouter::SetHeadOrigin(TMindMapNode& head, double boxWidth, double offsetX) const {
    if (!head.IsVisible()) {
        head.BranchOrigin = head.BranchSize * 0.5;
        return;
    }
    head.BranchOrigin = {(FLtr ? boxWidth / 2 : head.BranchSize.X - boxWidth / 2) - offsetX,
                         std::max(FAbove, head.Size().Y / 2)};
}

void TNestedLinearLayouter::Place(TMindMapNode& topic, bool positionedByParent, int depth, TFloatPoint anchor) {
    const TLayoutDirection direction = ResolveListSides(topic, true);
    const bool visible = topic.IsVisible();
    // the enclosing region gave the head another side than it had when measured
    if (visible && direction != FMeasuredDirection) {
        MeasureHead(topic, direction);
        FMeasuredDirection = direction;
    }
    const TTopicBox box = ListBox(topic);
    const double w = box.Size.X;
    const double ox = visible ? box.Offset.X : 0;
    if (positionedByParent) {
        if (visible)
            topic.SetLayoutPosition({anchor.X - Sx() * (topic.BranchSize.X - w) / 2 - ox,
                                     anchor.Y + std::max(FAbove, topic.Size().Y / 2) - topic.BranchSize.Y / 2});
        else
            topic.SetLayoutPosition(anchor);
    }
    SetHeadOrigin(topic, w, ox);
    const TFloatPoint centre = topic.GetPosition();
    // the line starts at the head's centre
    topic.ChildConnectionStart = centre;
    if (!visible || topic.Collapsed())
        return;
    const bool compact = direction == ldAlternatingCompact;
    const double x0 = centre.X + ox + Sx() * (w / 2 + kLineSpacing);
    double x = x0;
    double previousX = centre.X;
    std::vector<TListJob> pending;
    const std::vector<TMindMapNode*>& children = topic.Children();
    for (std::size_t i = 0; i < children.size(); ++i) {
        TMindMapNode& child = *children[i];
        if (compact && i < FCompactOffsets.size())
            x = x0 + Sx() * FCompactOffsets[i];
        const bool below = ChildBelow(direction, i);
        // the descendants of a child share its side of the line
        const int flags = (below ? sfBelow : sfAbove) | (FLtr ? sfRight : sfLeft);
        const int v = below ? 1 : -1;
        child.SideFlags = flags;
        const double y = centre.Y + v * kLineDistance;
        if (HeadsOtherRegion(child)) {
            Owner().PlaceRegion(child, true, depth + 1,
                                {x + Sx() * child.BranchSize.X / 2, y + v * child.BranchSize.Y / 2});
            ConnectListItem(child, child.Size(), centre.Y, x, true);
        } else {
            ListPlaceNode(child, {x, y}, depth + 1, centre.Y, v, flags, pending);
        }
        // the lead-ins draw the line itself; every child hangs on its own stub
        TRelationPath& path = child.ParentRelation().Path();
        const TFloatPoint childCentre = child.GetPosition();
        path.HasLeadIn = true;
        path.LeadInStart = {previousX, centre.Y};
        path.LeadInRadius = 0;
        path.UnderlineEnd = false;
        path.SetStraight({childCentre.X, centre.Y}, childCentre);
        previousX = childCentre.X;
        if (!compact)
            x += Sx() * (child.BranchSize.X + kLineSpacing);
    }
    RunListJobs(pending);
}
