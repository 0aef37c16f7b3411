#include "layout/NestedMatrixLayouters.h"

#include "layout/NestedListLayouters.h"
#include "model/CVMindMaps.h"
#include "render/RelationPathBuilders.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// matrix
constexpr TFloatPoint kCellAllowance{12, 3};
constexpr TFloatPoint kHiddenCellSize{44, 19};
constexpr double kTableMargin = 10; // above the head, left and right of the table, below it
constexpr double kUnderHeadGap = 5; // between the head and the first row

// radial
constexpr TFloatPoint kHiddenBoxSize{32, 16};
constexpr double kRingSpacing = 24;
constexpr double kRingClearance = 12;
constexpr double kSectorGapShare = 0.05;
constexpr double kMaxSectorGap = 0.0698131700797732; // 4 degrees
constexpr double kRingGrowthThreshold = 1.05;
constexpr double kHiddenWeight = 24;
constexpr double kHiddenRingGap = 12;
// Neighbours closer than this stand on the same point: growing the ring cannot part them.
constexpr double kCoincident = 1e-9;

double Diameter(const TMindMapNode& topic) {
    const TFloatPoint size = topic.Size();
    switch (topic.Style().BorderStyle()) {
    case sbsEllipse:
    case sbsCircle:
    case sbsDiamond:
        return std::max(size.X, size.Y);
    default:
        return std::hypot(size.X, size.Y);
    }
}

// How much a ring must grow for two neighbours on it to keep their clearance: the ratio of the distance they need
// to the distance they have, or 0 when they have enough.
double GrowthFor(const TFloatPoint& a, double diameterA, const TFloatPoint& b, double diameterB) {
    const double need = (diameterA + diameterB) / 2 + kRingClearance;
    const double distance = VectorLength(b - a);
    if (!(distance > kCoincident) || distance >= need)
        return 0;
    return need / distance;
}

TFloatRect CentredRect(const TFloatPoint& centre, const TFloatPoint& size) {
    return {centre.X - size.X / 2, centre.Y - size.Y / 2, size.X, size.Y};
}

} // namespace

// TNestedMatrixLayouter

void TNestedMatrixLayouter::Measure(TMindMapNode& topic, int) {
    // children before their parent, without recursion; every topic below the head is a cell of this table
    std::vector<std::pair<TMindMapNode*, bool>> stack{{&topic, false}};
    while (!stack.empty()) {
        const auto [t, childrenMeasured] = stack.back();
        stack.pop_back();
        if (!t->IsVisible()) {
            t->BranchSize = kHiddenCellSize;
            t->BranchOrigin = kHiddenCellSize * 0.5;
            continue;
        }
        if (!childrenMeasured && !t->Collapsed() && !t->Children().empty()) {
            stack.emplace_back(t, true);
            for (TMindMapNode* child : t->Children())
                stack.emplace_back(child, false);
            continue;
        }
        TFloatPoint size = t->Size() + kCellAllowance;
        if (!t->Collapsed()) {
            double rows = 0;
            for (const TMindMapNode* child : t->Children())
                rows += child->BranchSize.Y;
            size.Y = std::max(size.Y, rows);
        }
        t->BranchSize = size;
        t->BranchOrigin = size * 0.5;
    }
    if (&topic == &Head() && topic.IsVisible()) {
        SizeTable(topic);
        topic.BranchSize = {FTableWidth, FTableHeight};
        topic.BranchOrigin = {FTableWidth / 2, topic.Size().Y / 2 + kTableMargin};
    }
}

void TNestedMatrixLayouter::SizeTable(TMindMapNode& head) {
    const TFloatPoint natural = head.Size();
    FTableHeight = natural.Y + 2 * kTableMargin;
    FTableWidth = 0;
    // the visible topics of the deepest column that holds any
    std::vector<TMindMapNode*> deepest;
    if (!head.Collapsed()) {
        if (!head.Children().empty())
            FTableHeight += kUnderHeadGap;
        std::vector<TMindMapNode*> level(head.Children().begin(), head.Children().end());
        std::vector<TMindMapNode*> next;
        while (!level.empty()) {
            double column = 0;
            bool counted = false;
            bool anyVisible = false;
            for (const TMindMapNode* t : level) {
                const TMindMapNode* parent = t->Parent();
                const bool shown = t->IsVisible();
                // a hidden cell counts while its parent's cell shows it
                if (shown || (parent && parent->IsVisible() && !parent->Collapsed())) {
                    column = std::max(column, t->BranchSize.X);
                    counted = true;
                    anyVisible = anyVisible || shown;
                }
            }
            if (!counted)
                break;
            next.clear();
            if (anyVisible)
                deepest.clear();
            for (TMindMapNode* t : level) {
                if (!t->IsVisible())
                    continue;
                t->BranchSize.X = column;
                deepest.push_back(t);
                if (!t->Collapsed())
                    next.insert(next.end(), t->Children().begin(), t->Children().end());
            }
            FTableWidth += column;
            level.swap(next);
        }
        for (const TMindMapNode* child : head.Children())
            FTableHeight += child->BranchSize.Y;
    }
    const double d = FTableWidth - natural.X;
    if (d >= 0) {
        // the head spans the table
        head.SetSize({std::max(natural.X, FTableWidth), natural.Y});
    } else {
        // the table is narrower than its head: the last column widens
        for (TMindMapNode* t : deepest)
            t->BranchSize.X -= d;
        FTableWidth = natural.X;
    }
    FTableWidth += 2 * kTableMargin;
}

void TNestedMatrixLayouter::Place(TMindMapNode& topic, bool positionedByParent, int, TFloatPoint anchor) {
    const bool visible = topic.IsVisible();
    if (positionedByParent) {
        if (visible)
            topic.SetLayoutPosition({anchor.X, anchor.Y + (topic.Size().Y - topic.BranchSize.Y) / 2 + kTableMargin});
        else
            topic.SetLayoutPosition(anchor);
    }
    FLtr = ListFlowIsLtr(topic, Flow());
    FChildFlags = FLtr ? sfRight | sfBelow : sfLeft | sfBelow;
    topic.SideFlags = FChildFlags;
    topic.AutoAlignment = salCenter;
    const TFloatPoint centre = topic.GetPosition();
    topic.ChildConnectionStart = centre;
    if (!visible) {
        topic.BranchOrigin = topic.BranchSize * 0.5;
        return;
    }
    topic.BranchOrigin = {topic.BranchSize.X / 2, topic.Size().Y / 2 + kTableMargin};
    if (topic.Children().empty() || topic.Collapsed())
        return;
    const double sx = FLtr ? 1 : -1;
    const double x0 = centre.X - sx * topic.Size().X / 2;
    double y = centre.Y + topic.Size().Y / 2 + kUnderHeadGap;
    FWork.clear();
    for (TMindMapNode* child : topic.Children()) {
        child->SideFlags = FChildFlags;
        FWork.push_back({child, {x0, y}});
        y += child->BranchSize.Y;
    }
    std::reverse(FWork.begin(), FWork.end());
    PlaceCells();
}

void TNestedMatrixLayouter::PlaceCells() {
    const double sx = FLtr ? 1 : -1;
    while (!FWork.empty()) {
        const TCell cell = FWork.back();
        FWork.pop_back();
        TMindMapNode& topic = *cell.Topic;
        const bool visible = topic.IsVisible();
        topic.AutoAlignment = FLtr ? salLeft : salRight;
        // a hidden topic keeps its own size and takes its small cell; the others fill their cells
        TFloatPoint extent = topic.BranchSize;
        if (visible) {
            const TFloatPoint natural = topic.Size();
            topic.SetSize({std::max(natural.X, topic.BranchSize.X), std::max(natural.Y, topic.BranchSize.Y)});
            extent = topic.Size();
        }
        const TFloatPoint centre{cell.Corner.X + sx * extent.X / 2, cell.Corner.Y + extent.Y / 2};
        topic.SetLayoutPosition(centre);
        topic.BranchOrigin = topic.Size() * 0.5;
        topic.ChildConnectionStart = centre;
        // the cells touch: their connections are not drawn
        TParentRelation& relation = topic.ParentRelation();
        TRelationPath& path = relation.Path();
        path.HasLeadIn = false;
        path.LeadInRadius = 0;
        path.UnderlineEnd = false;
        path.ExitSide = psNone;
        path.SetStraight(centre, centre);
        relation.SetHasHandle(false);
        if (!visible || topic.Collapsed() || topic.Children().empty())
            continue;
        const double x = cell.Corner.X + sx * topic.Size().X;
        double y = cell.Corner.Y;
        const std::size_t firstPushed = FWork.size();
        for (TMindMapNode* child : topic.Children()) {
            child->SideFlags = FChildFlags;
            FWork.push_back({child, {x, y}});
            y += child->BranchSize.Y;
        }
        std::reverse(FWork.begin() + static_cast<std::ptrdiff_t>(firstPushed), FWork.end());
    }
}

// TNestedRadialLayouter

void TNestedRadialLayouter::Measure(TMindMapNode& topic, int) {
    if (!topic.IsVisible()) {
        topic.BranchSize = kHiddenBoxSize;
        topic.BranchOrigin = kHiddenBoxSize * 0.5;
        return;
    }
    Arrange(topic);
    const TFloatRect box = ArrangedBox();
    topic.BranchSize = {box.Width, box.Height};
    topic.BranchOrigin = FCentre - TFloatPoint{box.Left, box.Top};
}

void TNestedRadialLayouter::Place(TMindMapNode& topic, bool positionedByParent, int, TFloatPoint anchor) {
    topic.SideFlags = 0;
    // radial regions hang off free branches and stay where they are; placed inside another region, the measured
    // box goes where that region wants it
    if (positionedByParent)
        topic.MoveSubtree(anchor - topic.BranchSize * 0.5 + topic.BranchOrigin - topic.GetPosition());
    topic.ChildConnectionStart = topic.GetPosition();
    if (!topic.IsVisible()) {
        topic.BranchSize = kHiddenBoxSize;
        topic.BranchOrigin = kHiddenBoxSize * 0.5;
        return;
    }
    Arrange(topic);
    for (std::size_t i = 1; i < FWork.size(); ++i) {
        TMindMapNode& t = *FWork[i].Topic;
        t.SetLayoutPosition(FWork[i].Position);
        t.SideFlags = 0;
        t.ChildConnectionStart = FWork[i].Position;
        t.BranchSize = {FWork[i].Weight, FWork[i].Diameter};
        t.BranchOrigin = t.BranchSize * 0.5;
    }

    // the centred connections, whatever the map's connection style
    std::vector<TConnectionTopic> records(FWork.size());
    for (std::size_t i = 0; i < FWork.size(); ++i) {
        const TMindMapNode& t = *FWork[i].Topic;
        TConnectionTopic& record = records[i];
        record.Bounds = t.GetBounds();
        record.BorderStyle = t.Style().BorderStyle();
        record.BorderWidth = TopicBorderWidth(t);
        record.LayoutMode = nlmParent;
        record.Collapsed = t.Collapsed();
        record.HasVisibleChildren = HasVisibleChildren(t);
        const TParentRelation& relation = t.ParentRelation();
        record.PathStyle = relation.Style().PathStyle();
        record.HasHandle = relation.HasHandle();
        record.Path = relation.Path();
        record.ChildConnectionStart = t.GetPosition();
        for (std::size_t c = 0; c < FWork[i].ChildCount; ++c)
            record.Children.push_back(&records[FWork[i].FirstChild + c]);
    }
    // the head's children inherit the side its own connection leaves from, as the centred builder gives it
    TPathSide side = psNone;
    if (const TMindMapNode* parent = topic.Parent()) {
        const TFloatPoint d = topic.GetPosition() - parent->GetPosition();
        if (std::fabs(d.Y) > std::fabs(d.X))
            side = d.Y >= 0 ? psDown : psUp;
        else
            side = d.X >= 0 ? psRight : psLeft;
    }
    records.front().Path.ExitSide = side;
    BuildCentredConnections(records.front(), {0, 0}, false);
    for (std::size_t i = 1; i < FWork.size(); ++i) {
        TParentRelation& relation = FWork[i].Topic->ParentRelation();
        relation.Path() = records[i].Path;
        relation.SetHasHandle(records[i].HasHandle);
    }

    const TFloatRect box = ArrangedBox();
    topic.BranchSize = {box.Width, box.Height};
    topic.BranchOrigin = FCentre - TFloatPoint{box.Left, box.Top};
}

void TNestedRadialLayouter::Arrange(TMindMapNode& head) {
    FCentre = head.GetPosition();
    // the region level by level, without recursion; collapsed and hidden topics end their branch
    FWork.clear();
    FWork.push_back({&head, -1, 0, 0, 0, 0, 0, 0, 0, 0, FCentre});
    for (std::size_t i = 0; i < FWork.size(); ++i) {
        const TMindMapNode& t = *FWork[i].Topic;
        const std::size_t first = FWork.size();
        if (t.IsVisible() && !t.Collapsed())
            for (TMindMapNode* child : t.Children())
                FWork.push_back(
                    {child, static_cast<std::ptrdiff_t>(i), FWork[i].Level + 1, 0, 0, 0, 0, 0, 0, 0, FCentre});
        FWork[i].FirstChild = first;
        FWork[i].ChildCount = FWork.size() - first;
    }
    FLevelStarts.clear();
    for (std::size_t i = 0; i < FWork.size(); ++i)
        if (static_cast<std::size_t>(FWork[i].Level) == FLevelStarts.size())
            FLevelStarts.push_back(i);
    FLevelStarts.push_back(FWork.size());

    Weigh(head);
    double start;
    double end;
    const TMindMapNode* parent = head.Parent();
    if (parent || head.Children().size() < 2) {
        // the half plane facing away from the parent
        const double phi = parent ? VectorAngle(parent->GetPosition(), FCentre) : 0;
        start = phi - std::numbers::pi / 2;
        end = phi + std::numbers::pi / 2;
    } else {
        // the full circle, beginning at the top
        start = -std::numbers::pi / 2;
        end = 3 * std::numbers::pi / 2;
    }
    AssignSectors(start, end);
    FRingRadii.assign(1, 0);
    if (Flow() == lfCompact) {
        PlaceCompact();
    } else {
        PlaceOnRings();
        SpreadRings();
    }
}

void TNestedRadialLayouter::Weigh(const TMindMapNode& head) {
    for (std::size_t i = FWork.size(); i-- > 0;) {
        TRingTopic& t = FWork[i];
        if (!t.Topic->IsVisible()) {
            t.Weight = kHiddenWeight;
            t.Diameter = kHiddenWeight;
            continue;
        }
        t.Diameter = Diameter(*t.Topic);
        double children = 0;
        for (std::size_t c = 0; c < t.ChildCount; ++c)
            children += FWork[t.FirstChild + c].Weight;
        t.Weight = std::max(children, t.Diameter);
    }
    if (Direction() == ldEqualAngles && &head == FWork.front().Topic)
        for (std::size_t c = 0; c < FWork.front().ChildCount; ++c)
            FWork[FWork.front().FirstChild + c].Weight = 1;
}

void TNestedRadialLayouter::AssignSectors(double start, double end) {
    FWork.front().SectorStart = start;
    FWork.front().SectorEnd = end;
    for (TRingTopic& t : FWork) {
        if (t.ChildCount == 0)
            continue;
        double total = 0;
        for (std::size_t c = 0; c < t.ChildCount; ++c)
            total += FWork[t.FirstChild + c].Weight;
        if (!(total >= 1))
            total = 1;
        double from = t.SectorStart;
        double to = t.SectorEnd;
        // a gap at both ends keeps the sectors of neighbouring branches apart
        const TMindMapNode* parent = t.Topic->Parent();
        if (t.Level > 0 && parent && parent->Children().size() >= 2) {
            const double gap = std::min(kSectorGapShare * (to - from), kMaxSectorGap);
            from += gap;
            to -= gap;
        }
        double u = from;
        for (std::size_t c = 0; c < t.ChildCount; ++c) {
            TRingTopic& child = FWork[t.FirstChild + c];
            const double width = (to - from) * child.Weight / total;
            child.SectorStart = u;
            child.SectorEnd = u + width;
            u += width;
        }
    }
}

void TNestedRadialLayouter::PlaceOnRing(TRingTopic& topic, double radius) const {
    topic.Radius = radius;
    topic.Position = PolarOffset(FCentre, radius, (topic.SectorStart + topic.SectorEnd) / 2);
}

void TNestedRadialLayouter::PlaceOnRings() {
    // each ring as wide as the topics on it and the largest of their children need
    for (const TRingTopic& t : FWork) {
        double a = kHiddenRingGap;
        if (t.Topic->IsVisible()) {
            double largest = 0;
            for (std::size_t c = 0; c < t.ChildCount; ++c)
                largest = std::max(largest, FWork[t.FirstChild + c].Diameter);
            a = (largest + t.Diameter) / 2 + kRingSpacing;
        }
        const std::size_t ring = static_cast<std::size_t>(t.Level) + 1;
        if (FRingRadii.size() <= ring)
            FRingRadii.resize(ring + 1, 0);
        FRingRadii[ring] = std::max(FRingRadii[ring], std::nearbyint(a));
    }
    for (std::size_t k = 1; k < FRingRadii.size(); ++k)
        FRingRadii[k] += FRingRadii[k - 1];
    for (std::size_t i = 1; i < FWork.size(); ++i)
        PlaceOnRing(FWork[i], FRingRadii[static_cast<std::size_t>(FWork[i].Level)]);
}

void TNestedRadialLayouter::SpreadRings() {
    // Only the radii change when a ring grows, never the angles: each ring is examined once, with the radius the
    // rings inside it have left it, which places every topic as a fresh pass over all rings would.
    for (std::size_t k = 1; k + 1 < FLevelStarts.size(); ++k) {
        const std::size_t begin = FLevelStarts[k];
        const std::size_t end = FLevelStarts[k + 1];
        for (std::size_t i = begin; i < end; ++i)
            PlaceOnRing(FWork[i], FRingRadii[k]);
        if (end - begin < 2)
            continue;
        double q = 0;
        for (std::size_t i = begin; i + 1 < end; ++i)
            q = std::max(q,
                         GrowthFor(FWork[i].Position, FWork[i].Diameter, FWork[i + 1].Position, FWork[i + 1].Diameter));
        if (k == 1)
            q = std::max(q, GrowthFor(FWork[end - 1].Position, FWork[end - 1].Diameter, FWork[begin].Position,
                                      FWork[begin].Diameter));
        if (q <= kRingGrowthThreshold)
            continue;
        const double growth = std::nearbyint(FRingRadii[k] * (q - 1));
        for (std::size_t r = k; r < FRingRadii.size(); ++r)
            FRingRadii[r] += growth;
        for (std::size_t i = begin; i < end; ++i)
            PlaceOnRing(FWork[i], FRingRadii[k]);
    }
}

void TNestedRadialLayouter::PlaceCompact() {
    // each subtree gets its own radius, measured from the head; parents come before their children in the list
    for (TRingTopic& t : FWork) {
        if (t.ChildCount == 0)
            continue;
        const std::size_t first = t.FirstChild;
        const std::size_t count = t.ChildCount;
        double needed = 0;
        double largest = 0;
        for (std::size_t c = 0; c < count; ++c) {
            needed += FWork[first + c].Diameter + kRingClearance;
            largest = std::max(largest, FWork[first + c].Diameter);
        }
        const double own = t.Level == 0 ? 0 : t.Radius;
        double radius = own + (t.Diameter + largest) / 2 + kRingSpacing;
        const double span = std::fabs(t.SectorEnd - t.SectorStart);
        if (span > 0 && needed / span > radius)
            radius = needed / span;
        for (std::size_t c = 0; c < count; ++c)
            PlaceOnRing(FWork[first + c], radius);
        double q = 0;
        for (std::size_t c = 0; c + 1 < count; ++c)
            q = std::max(q, GrowthFor(FWork[first + c].Position, FWork[first + c].Diameter,
                                      FWork[first + c + 1].Position, FWork[first + c + 1].Diameter));
        if (t.Level == 0 && count > 2)
            q = std::max(q, GrowthFor(FWork[first + count - 1].Position, FWork[first + count - 1].Diameter,
                                      FWork[first].Position, FWork[first].Diameter));
        if (q > kRingGrowthThreshold)
            radius *= q;
        const std::size_t ring = static_cast<std::size_t>(t.Level) + 1;
        if (FRingRadii.size() <= ring)
            FRingRadii.resize(ring + 1, 0);
        FRingRadii[ring] = std::nearbyint(radius);
        for (std::size_t c = 0; c < count; ++c)
            PlaceOnRing(FWork[first + c], radius);
    }
}

TFloatRect TNestedRadialLayouter::ArrangedBox() const {
    TFloatRect box = CentredRect(FCentre, FWork.front().Topic->Size());
    for (std::size_t i = 1; i < FWork.size(); ++i) {
        const TMindMapNode& t = *FWork[i].Topic;
        box = FloatRectUnion(box, CentredRect(FWork[i].Position, t.IsVisible() ? t.Size() : kHiddenBoxSize));
    }
    return box;
}
