#include "layout/NestedColumnLayouters.h"

#include "model/CVMindMaps.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr TFloatPoint kHiddenBranchSize{32, 16};
// A hidden topic's connection ends this far inside its small box.
constexpr double kHiddenEndShift = 8;
// The first-level curves of a central theme leave it this far out before they bend.
constexpr double kFirstLevelReach = 35;

double HalfPathWidth(const TMindMapNode& topic) {
    const double width = topic.ParentRelation().Path().Width;
    return std::isfinite(width) && width > 0 ? width / 2 : 0;
}

} // namespace

TNestedColumnLayouter::TNestedColumnLayouter(TNestedNodeLayouter& owner, TMindMapNode& head, const TColumnRules& rules)
    : TSubLayouter(owner, head), FRules(rules) {}

TNestedHorizontalLayouter::TNestedHorizontalLayouter(TNestedNodeLayouter& owner, TMindMapNode& head)
    : TNestedColumnLayouter(owner, head, {false, 50, {26, 9, 6}, 6, 0.6 * 50, 0.5 * 50}) {}

TNestedVerticalLayouter::TNestedVerticalLayouter(TNestedNodeLayouter& owner, TMindMapNode& head)
    : TNestedColumnLayouter(owner, head, {true, 60, {32, 15, 12}, 4, 0.6 * 60, 0.5 * 60}) {}

// Measuring

void TNestedColumnLayouter::Measure(TMindMapNode& topic, int depth) {
    const bool isHead = &topic == &Head();
    if (isHead) {
        FHeadDepth = depth;
        FFirstLevelCurve = !FRules.Vertical && !topic.Parent() && topic.Style().BorderStyle() != sbsNone;
        int sign = 1;
        ResolveSide(topic, sign);
        SetSide(sign);
    }
    // children before their parent, without recursion: a column can hold a chain of many thousand topics
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
            MeasureTopic(t, item.Depth - FHeadDepth);
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
    if (isHead) {
        FTwoSided = IsTwoSided(topic);
        if (FTwoSided)
            MeasureTwoSided(topic);
    }
}

void TNestedColumnLayouter::MeasureTopic(TMindMapNode& topic, int level) {
    if (!topic.IsVisible()) {
        topic.BranchSize = kHiddenBranchSize;
        topic.BranchOrigin = kHiddenBranchSize * 0.5;
        return;
    }
    std::size_t count = 0;
    double widest = 0;
    double stacked = 0;
    if (!topic.Collapsed())
        for (const TMindMapNode* child : topic.Children()) {
            ++count;
            widest = std::max(widest, Main(child->BranchSize));
            stacked += Cross(child->BranchSize);
        }
    if (count > 0) {
        stacked += static_cast<double>(count - 1) * Spacing(level);
        widest += FRules.Gap;
    }
    const TTopicBox box = TopicBox(topic);
    const double extra = (count >= 2 ? FRules.MultiChildExtra : 0) + HullAllowance(topic);
    topic.BranchSize = Pt(Main(box.Size) + widest, std::max(Cross(box.Size), stacked) + extra);
    SetBranchOrigin(topic, box);
}

bool TNestedColumnLayouter::IsTwoSided(const TMindMapNode& head) const {
    if (!head.IsVisible())
        return false;
    switch (Direction()) {
    case ldManual:
        return true;
    case ldAuto:
        return !head.Parent();
    case ldAutoCW:
        return !head.Parent() && !FRules.Vertical;
    default:
        return false;
    }
}

void TNestedColumnLayouter::MeasureTwoSided(TMindMapNode& head) {
    const std::vector<TMindMapNode*>& children = head.Children();
    const std::size_t n = head.Collapsed() ? 0 : children.size();
    const double s = Spacing(0);
    // the first side is right for columns and above for rows
    const int first = FRules.Vertical ? -1 : 1;
    std::size_t r = n;
    if (Direction() == ldManual) {
        const double headMain = Main(head.GetPosition());
        for (std::size_t i = 0; i < n; ++i)
            if (first * (Main(children[i]->GetPosition()) - headMain) < 0) {
                r = i;
                break;
            }
    } else if (n > 1) {
        // stacked(k): the first k children stacked with their spacing, for k >= 1
        std::vector<double> prefix(n + 1, 0);
        for (std::size_t i = 0; i < n; ++i)
            prefix[i + 1] = prefix[i] + Cross(children[i]->BranchSize) + s;
        const auto stacked = [&](std::size_t k) { return prefix[k] - s; };
        const double total = stacked(n);
        r = n;
        for (std::size_t k = 2; k <= n; ++k)
            if (stacked(k) >= total / 2) {
                r = k;
                break;
            }
        if (std::fabs(2 * stacked(r) - total) > std::fabs(2 * stacked(r - 1) - total))
            --r;
    }
    const auto sideHeight = [&](std::size_t begin, std::size_t end) {
        double height = 0;
        for (std::size_t i = begin; i < end; ++i)
            height += Cross(children[i]->BranchSize) + s;
        return begin < end ? height - s : 0.0;
    };
    const auto sideWidth = [&](std::size_t begin, std::size_t end) {
        double width = 0;
        for (std::size_t i = begin; i < end; ++i)
            width = std::max(width, Main(children[i]->BranchSize));
        return begin < end ? width + FRules.Gap : 0.0;
    };
    FSplit = r;
    FFirstHeight = sideHeight(0, r);
    FSecondHeight = sideHeight(r, n);
    FFirstWidth = sideWidth(0, r);
    FSecondWidth = sideWidth(r, n);
    const TTopicBox box = TopicBox(head);
    const double extra = (n >= 2 ? FRules.MultiChildExtra : 0) + HullAllowance(head);
    head.BranchSize = Pt(Main(box.Size) + FFirstWidth + FSecondWidth,
                         std::max({Cross(box.Size), FFirstHeight, FSecondHeight}) + extra);
    const double before = first > 0 ? FSecondWidth : FFirstWidth;
    head.BranchOrigin =
        Pt(Main(box.Size) / 2 + before - Main(box.Offset), Cross(head.BranchSize) / 2 - Cross(box.Offset));
}

// Sides

bool TNestedColumnLayouter::ResolveSide(const TMindMapNode& head, int& sign) const {
    const int flags = head.SideFlags;
    const TMindMapNode* parent = head.Parent();
    sign = 1;
    if (!FRules.Vertical) {
        if (Direction() == ldRight || Direction() == ldLeft) {
            sign = Direction() == ldRight ? 1 : -1;
            return true;
        }
        if ((flags & (sfRight | sfLeft)) != 0) {
            sign = (flags & sfRight) != 0 ? 1 : -1;
            return true;
        }
        if (parent) {
            sign = head.GetPosition().X >= parent->GetPosition().X ? 1 : -1;
            return true;
        }
        return false;
    }
    if (Direction() == ldBottom || Direction() == ldTop || Direction() == ldAutoCW) {
        sign = Direction() == ldTop ? -1 : 1;
        return true;
    }
    if ((flags & (sfBelow | sfAbove)) != 0) {
        sign = (flags & sfBelow) != 0 ? 1 : -1;
        return true;
    }
    if (parent) {
        sign = head.GetPosition().Y >= parent->GetPosition().Y ? 1 : -1;
        return true;
    }
    return false;
}

int TNestedColumnLayouter::ChildFlags(int sign) const {
    if (FRules.Vertical)
        return sign > 0 ? sfRight | sfBelow : sfRight | sfAbove;
    return sign > 0 ? sfRight | sfBelow : sfLeft | sfBelow;
}

void TNestedColumnLayouter::SetSide(int sign) {
    FSign = sign;
    FFlags = ChildFlags(sign);
}

TStyleAlignment TNestedColumnLayouter::ChildAlignment() const {
    return FSign > 0 ? salLeft : salRight;
}

TSubLayouter::TTopicBox TNestedColumnLayouter::ColumnBox(const TMindMapNode& topic) const {
    if (!topic.IsVisible())
        return {topic.BranchSize, {0, 0}};
    return TopicBox(topic);
}

void TNestedColumnLayouter::SetBranchOrigin(TMindMapNode& topic, const TTopicBox& box) const {
    if (!topic.IsVisible()) {
        topic.BranchOrigin = topic.BranchSize * 0.5;
        return;
    }
    const double main = FSign > 0 ? Main(box.Size) / 2 - Main(box.Offset)
                                  : Main(topic.BranchSize) - Main(box.Size) / 2 - Main(box.Offset);
    topic.BranchOrigin = Pt(main, Cross(topic.BranchSize) / 2 - Cross(box.Offset));
}

// Placing

void TNestedColumnLayouter::Place(TMindMapNode& topic, bool positionedByParent, int depth, TFloatPoint anchor) {
    int sign = 1;
    const bool resolved = ResolveSide(topic, sign);
    SetSide(sign);
    if (resolved)
        topic.SideFlags = FFlags;
    if (topic.Parent() && !FRules.Vertical)
        topic.AutoAlignment = ChildAlignment();
    FFirstLevelCurve = !FRules.Vertical && !topic.Parent() && topic.Style().BorderStyle() != sbsNone;
    if (FTwoSided && &topic == &Head() && IsTwoSided(topic)) {
        PlaceTwoSided(topic, positionedByParent, depth, anchor);
        return;
    }
    const TTopicBox box = ColumnBox(topic);
    TFloatPoint column;
    if (positionedByParent) {
        column = Pt(Main(anchor) - FSign * Main(topic.BranchSize) / 2, Cross(anchor));
    } else {
        // the head keeps its place: its column point follows from its centre
        const TFloatPoint centre = topic.GetPosition() + box.Offset;
        column = Pt(Main(centre) - FSign * Main(box.Size) / 2, Cross(centre));
    }
    std::vector<TPlaceJob> stack{{&topic, column, 0, depth}};
    PlaceJobs(stack);
}

void TNestedColumnLayouter::PlaceTwoSided(TMindMapNode& head, bool positionedByParent, int depth, TFloatPoint anchor) {
    const TTopicBox box = ColumnBox(head);
    const int first = FRules.Vertical ? -1 : 1;
    const double before = first > 0 ? FSecondWidth : FFirstWidth;
    const double after = first > 0 ? FFirstWidth : FSecondWidth;
    const TFloatPoint centre =
        positionedByParent ? anchor + Pt((before - after) / 2, 0) : head.GetPosition() + box.Offset;
    head.SetLayoutPosition(centre - box.Offset);
    head.AutoAlignment = salCenter;
    head.BranchOrigin =
        Pt(Main(box.Size) / 2 + before - Main(box.Offset), Cross(head.BranchSize) / 2 - Cross(box.Offset));
    if (head.Collapsed())
        return;
    const std::vector<TMindMapNode*>& children = head.Children();
    const std::size_t split = std::min(FSplit, children.size());
    const double s = Spacing(0);
    for (int side = 0; side < 2; ++side) {
        SetSide(side == 0 ? first : -first);
        HeadConnectionStart(head);
        const std::size_t begin = side == 0 ? 0 : split;
        const std::size_t end = side == 0 ? split : children.size();
        const double height = side == 0 ? FFirstHeight : FSecondHeight;
        // "auto-cw" fills the left column from the bottom up, so that the branches read clockwise
        const double v = !FRules.Vertical && side == 1 && Direction() == ldAutoCW ? -1 : 1;
        const double columnMain = Main(centre) + FSign * (Main(box.Size) / 2 + FRules.Gap);
        double y = Cross(centre) - v * (height + s) / 2;
        std::vector<TPlaceJob> stack;
        for (std::size_t i = begin; i < end; ++i) {
            TMindMapNode& child = *children[i];
            child.SideFlags = FFlags;
            if (!FRules.Vertical)
                child.AutoAlignment = ChildAlignment();
            const double slot = Cross(child.BranchSize) + s;
            PlaceChild(child, Pt(columnMain, y + v * slot / 2), 1, depth + 1, stack);
            y += v * slot;
        }
        std::reverse(stack.begin(), stack.end());
        PlaceJobs(stack);
    }
}

void TNestedColumnLayouter::PlaceJobs(std::vector<TPlaceJob>& stack) {
    while (!stack.empty()) {
        const TPlaceJob job = stack.back();
        stack.pop_back();
        TMindMapNode& topic = *job.Topic;
        const TTopicBox box = ColumnBox(topic);
        topic.SetLayoutPosition(Pt(Main(job.Column) + FSign * Main(box.Size) / 2 - Main(box.Offset),
                                   Cross(job.Column) - Cross(box.Offset)));
        if (&topic == &Head()) {
            HeadConnectionStart(topic);
        } else {
            if (!FRules.Vertical)
                topic.AutoAlignment = ChildAlignment();
            ConnectEdge(topic, Main(job.Column), false);
        }
        if (topic.IsVisible() && !topic.Collapsed() && !topic.Children().empty()) {
            const double columnMain = Main(job.Column) + FSign * (Main(box.Size) + FRules.Gap);
            const double s = Spacing(job.Level);
            double total = 0;
            for (const TMindMapNode* child : topic.Children())
                total += Cross(child->BranchSize) + s;
            double y = Cross(job.Column) - total / 2;
            const std::size_t firstPushed = stack.size();
            for (TMindMapNode* child : topic.Children()) {
                child->SideFlags = FFlags;
                if (!FRules.Vertical)
                    child->AutoAlignment = ChildAlignment();
                const double slot = Cross(child->BranchSize) + s;
                PlaceChild(*child, Pt(columnMain, y + slot / 2), job.Level + 1, job.Depth + 1, stack);
                y += slot;
            }
            // the children are placed in their order
            std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(firstPushed), stack.end());
        }
        SetBranchOrigin(topic, box);
    }
}

void TNestedColumnLayouter::PlaceChild(TMindMapNode& child, TFloatPoint column, int level, int depth,
                                       std::vector<TPlaceJob>& stack) {
    if (HeadsOtherRegion(child)) {
        Owner().PlaceRegion(child, true, depth, Pt(Main(column) + FSign * Main(child.BranchSize) / 2, Cross(column)));
        ConnectEdge(child, Main(column), true);
    } else {
        stack.push_back({&child, column, level, depth});
    }
}

// Connections

void TNestedColumnLayouter::HeadConnectionStart(TMindMapNode& head) const {
    const TFloatPoint centre = head.GetPosition();
    TFloatPoint start = centre;
    if (!FFirstLevelCurve)
        start = start + Pt(FSign * (Main(head.Size()) / 2 - TopicConnectionInset(head)), 0);
    if (!FRules.Vertical && IsUnderlined(head))
        start.Y = centre.Y + head.Size().Y / 2 + HalfPathWidth(head);
    head.ChildConnectionStart = start;
    if (head.Parent())
        head.ParentRelation().Path().ChildAttachPoint = start;
}

void TNestedColumnLayouter::ConnectEdge(TMindMapNode& topic, double columnMain, bool headsRegion) const {
    TMindMapNode* parent = topic.Parent();
    if (!parent)
        return;
    TParentRelation& relation = topic.ParentRelation();
    TRelationPath& path = relation.Path();
    const bool visible = topic.IsVisible();
    const bool underlined = IsUnderlined(topic);
    const double inset = TopicConnectionInset(topic);
    const TFloatPoint centre = topic.GetPosition();
    const TFloatPoint p0 = parent->ChildConnectionStart;
    TFloatPoint p3 = Pt(columnMain + FSign * inset, Cross(centre));
    if (!FRules.Vertical && underlined && visible)
        p3.Y = centre.Y + topic.Size().Y / 2 + HalfPathWidth(topic);
    relation.SetHasHandle(false);
    const double cornerMain = Main(p3) - FSign * FRules.CornerDistance;
    if (!visible)
        p3 = p3 + Pt(FSign * kHiddenEndShift, 0);
    path.HasLeadIn = false;
    path.LeadInRadius = 0;
    const TRelationPathStyle pathStyle = relation.Style().PathStyle();
    switch (pathStyle) {
    case rpsOrtho:
    case rpsRounded:
        path.SetOrthogonalPoints(p0, Pt(cornerMain, Cross(p0)), Pt(cornerMain, Cross(p3)), p3, pathStyle == rpsRounded);
        break;
    case rpsStraight:
        path.SetStraight(p0, p3);
        break;
    case rpsBezier:
    default: {
        TFloatPoint c1 = p0;
        TFloatPoint c2 = p3;
        if (FFirstLevelCurve && parent == &Head()) {
            // the main branches leave the central theme almost level and bend late
            c1.X = p0.X + FSign * kFirstLevelReach;
            c1.Y = 0.975 * p0.Y + 0.025 * p3.Y;
            const double u = 0.7 * c1.X + 0.3 * c2.X;
            c2.X = u;
            c1.X = 0.3 * c1.X + 0.7 * u;
        } else {
            c1 = c1 + Pt(FSign * FRules.BezierOffset, 0);
            c2 = c2 - Pt(FSign * FRules.BezierOffset, 0);
        }
        path.SetCurve(p0, c1, c2, p3);
        break;
    }
    }
    // a nested region's head keeps the start its own layout gave it
    if (!headsRegion) {
        TFloatPoint start = centre;
        if (!visible)
            start = p3;
        else if (underlined || (HasVisibleChildren(topic) && topic.LayoutMode() != nlmMatrix))
            start = Pt(Main(centre) + FSign * (Main(topic.Size()) / 2 - inset), Cross(p3));
        topic.ChildConnectionStart = start;
    }
    path.UnderlineEnd = visible;
    path.ChildAttachPoint = topic.ChildConnectionStart;
    if (FRules.Vertical)
        path.ExitSide = FSign > 0 ? psDown : psUp;
    else
        path.ExitSide = FSign > 0 ? psRight : psLeft;
    if (underlined || !relation.IsTapered())
        return;
    if (relation.Style().LineStyle() == penReverseTapered) {
        path.ChildAttachPoint = centre;
    } else if (relation.Style().LineStyle() == penTapered && &topic != &Head() &&
               parent->Style().BorderStyle() != sbsNone) {
        parent->ParentRelation().Path().ChildAttachPoint = parent->GetPosition();
    }
}
