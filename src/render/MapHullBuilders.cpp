#include "render/MapHullBuilders.h"

#include "model/CVMindMaps.h"
#include "styling/ColorSchemes.h"

#include <algorithm>
#include <cmath>

namespace {

double Luminance(TColor color) {
    return ColorRGBToHLS(color).Luminance / static_cast<double>(HLSMax);
}

bool IsColumnLike(TNestedLayoutMode mode) {
    return mode == nlmList || mode == nlmTopDown || mode == nlmHLinear;
}

void AddContained(TGrahamScan& scan, const TCompositeElement& element) {
    for (int i = 0; i < element.ContainedCount(); ++i)
        scan.AddRect(element.ContainedAt(i)->GetBounds());
}

// A member counts as shown when it is visible, or hidden under a visible, open parent: the end of its connection
// then stands for it.
bool IsShown(const TMindMapNode& member) {
    const TMindMapNode* parent = member.Parent();
    return member.IsVisible() || (member.Hidden() && parent && parent->IsVisible() && !parent->Collapsed());
}

TFloatRect Scaled(const TFloatRect& r, double fx, double fy) {
    const TFloatPoint c = r.Center();
    const double w = r.Width * fx;
    const double h = r.Height * fy;
    return {c.X - w / 2, c.Y - h / 2, w, h};
}

} // namespace

TColor HullColor(TColor base, int depth, TColor background) {
    const THLSColor hls = ColorRGBToHLS(base);
    const double l = Luminance(background);
    const int steps = std::max(depth - 1, 0);
    double luminance;
    if (l >= 0.2) {
        luminance = HLSMax * l * std::pow(0.95, steps);
    } else {
        const double e = std::pow(0.9, steps);
        const double f = 1 - l;
        luminance = HLSMax * ((1 - e) * 0.9 * f + 0.1 * f + l);
    }
    return ColorHLSToRGB(hls.Hue, static_cast<int>(std::trunc(luminance)), hls.Saturation);
}

TMapHullBuilder::TMapHullBuilder(TColor background) : FBackground(background) {}

std::vector<TMapHull> TMapHullBuilder::Build(TMindMap& map) {
    std::vector<TMapHull> hulls;
    std::vector<TGrahamScan> scans;
    struct TFrame {
        TMindMapNode* Topic;
        TColor Fill;
        int HullDepth;
        TNestedLayoutMode Inherited; // the mode the topic is laid out by
        bool Leaving;
        std::size_t Slot;
    };
    std::vector<TFrame> stack;
    for (auto it = map.CentralThemes().rbegin(); it != map.CentralThemes().rend(); ++it)
        stack.push_back({*it, clNone, 0, nlmFree, false, 0});
    while (!stack.empty()) {
        const TFrame frame = stack.back();
        stack.pop_back();
        TMindMapNode& topic = *frame.Topic;
        if (frame.Leaving) {
            TGrahamScan& scan = scans.back();
            const TNestedLayoutMode own = topic.LayoutMode();
            const TNestedLayoutMode inherited = frame.Inherited;
            if (IsColumnLike(inherited) || inherited == nlmMatrix || own == nlmList || own == nlmMatrix)
                scan.UseBoundingBox();
            TMapHull& hull = hulls[frame.Slot];
            hull = TMapHull(scan.CalcHull());
            hull.Fill = frame.Fill;
            hull.StrokeColor = Darken(frame.Fill);
            scans.pop_back();
            // outer hulls enclose the inner ones, also where these bulge
            if (!scans.empty())
                for (const TFloatPoint& p : hull.Points)
                    scans.back().AddPoint(p);
            continue;
        }
        if (!topic.IsVisible())
            continue;
        TColor fill = frame.Fill;
        int depth = frame.HullDepth;
        std::size_t slot = 0;
        if (const TNodeHullStyle* style = topic.Hull()) {
            ++depth;
            scans.emplace_back();
            TColor base = style->HasFill && style->FillColor != clDefault ? style->FillColor : clNone;
            if (base == clNone) {
                const TColor own = topic.Style().FillColor();
                base = own == clDefault ? topic.ResolvedFill : own;
            }
            if (base == clNone || base == clDefault)
                base = FBackground;
            fill = HullColor(base, depth, FBackground);
            slot = hulls.size();
            hulls.emplace_back();
            stack.push_back({&topic, fill, depth, frame.Inherited, true, slot});
        }
        topic.HullFill = fill;
        if (!scans.empty()) {
            scans.back().AddRect(topic.GetBounds());
            AddContained(scans.back(), topic);
        }
        if (topic.Collapsed())
            continue;
        const TNestedLayoutMode childInherited = topic.LayoutMode() != nlmParent ? topic.LayoutMode() : frame.Inherited;
        for (TMindMapNode* child : topic.Children())
            if (!scans.empty()) {
                const TParentRelation& connection = child->ParentRelation();
                if (child->IsVisible())
                    AddContained(scans.back(), connection);
                if (child->Hidden())
                    scans.back().AddPoint(connection.Path().P3);
                if (IsColumnLike(childInherited))
                    scans.back().AddPoint(connection.Path().P0);
            }
        for (auto it = topic.Children().rbegin(); it != topic.Children().rend(); ++it)
            stack.push_back({*it, fill, depth, childInherited, false, 0});
    }
    return hulls;
}

void UpdateGroupBounds(TNodeGroup& group) {
    group.UpdateVisibility();
    group.HullPoints.clear();
    TFloatRect bounds{};
    bool first = true;
    const auto unite = [&](const TFloatRect& r) {
        bounds = first ? r : FloatRectUnion(bounds, r);
        first = false;
    };
    const auto isMember = [&group](const TMindMapNode* topic) {
        for (int i = 0; i < group.MemberCount(); ++i)
            if (group.MemberAt(i) == topic)
                return true;
        return false;
    };
    const TNodeGroupStyle& style = group.Style();
    const bool hullStyle = style.BorderStyle() == gbsHull || style.BorderStyle() == gbsCloudHull;
    TGrahamScan scan;
    scan.Padding = style.Padding();
    for (int i = 0; i < group.MemberCount(); ++i) {
        const TMindMapNode& member = *group.MemberAt(i);
        if (!IsShown(member))
            continue;
        if (member.IsVisible()) {
            unite(member.GetBounds());
            for (int j = 0; j < member.ContainedCount(); ++j)
                unite(member.ContainedAt(j)->GetBounds());
            scan.AddRect(member.GetBounds());
            AddContained(scan, member);
        } else {
            const TFloatPoint end = member.ParentRelation().Path().P3;
            unite({end.X, end.Y, 0, 0});
            scan.AddPoint(end);
        }
        if (member.Parent() && isMember(member.Parent())) {
            const TParentRelation& connection = member.ParentRelation();
            for (int j = 0; j < connection.ContainedCount(); ++j)
                unite(connection.ContainedAt(j)->GetBounds());
            AddContained(scan, connection);
        }
    }
    if (first) {
        group.SetBounds({});
        return;
    }
    const double padding = style.Padding();
    bounds = FloatRectInflate(bounds, padding, padding);
    switch (style.BorderStyle()) {
    case gbsRoundRect:
        bounds = FloatRectInflate(bounds, 7, 7);
        break;
    case gbsEllipse:
        bounds = Scaled(bounds, 1.3, 1.41);
        break;
    case gbsCircle: {
        const double d = std::hypot(bounds.Width / 2, bounds.Height / 2);
        const TFloatPoint c = bounds.Center();
        bounds = {c.X - d, c.Y - d, 2 * d, 2 * d};
        break;
    }
    case gbsDiamond: {
        constexpr double k = 0.5773502691896258;
        const double w = bounds.Width + bounds.Height / k;
        const double h = w * k;
        const TFloatPoint c = bounds.Center();
        bounds = {c.X - w / 2, c.Y - h / 2, w, h};
        break;
    }
    case gbsCloud:
        bounds = Scaled(bounds, 1.3357664233576642, 1.4857142857142857);
        break;
    default:
        break;
    }
    if (hullStyle) {
        const TMapHull hull(scan.CalcHull());
        if (hull.Drawable()) {
            group.HullPoints = hull.Points;
            TFloatRect box{hull.Points.front().X, hull.Points.front().Y, 0, 0};
            for (const TFloatPoint& p : hull.Points)
                box = FloatRectIncludePoint(box, p);
            bounds = box;
        }
    }
    group.SetBounds(bounds);
}

void UpdateGroupBounds(TMindMap& map) {
    for (int i = 0; i < map.GroupCount(); ++i)
        UpdateGroupBounds(*map.GroupAt(i));
}

bool GroupHitTest(const TNodeGroup& group, const TFloatPoint& p) {
    const TNodeGroupStyle& style = group.Style();
    TFloatRect r = group.GetBounds();
    if (style.HasBorder())
        r = FloatRectInflate(r, style.BorderWidth() / 2, style.BorderWidth() / 2);
    if (!FloatRectContains(r, p))
        return false;
    const TFloatPoint c = r.Center();
    const double rx = r.Width / 2;
    const double ry = r.Height / 2;
    switch (style.BorderStyle()) {
    case gbsEllipse:
    case gbsCircle: {
        if (rx <= 0 || ry <= 0)
            return false;
        const double dx = (p.X - c.X) / rx;
        const double dy = (p.Y - c.Y) / ry;
        return dx * dx + dy * dy <= 1;
    }
    case gbsDiamond:
        if (rx <= 0 || ry <= 0)
            return false;
        return std::fabs(p.X - c.X) / rx + std::fabs(p.Y - c.Y) / ry <= 1;
    case gbsHull:
    case gbsCloudHull: {
        if (group.HullPoints.size() < 3)
            return true;
        TMapHull hull;
        hull.Points = group.HullPoints;
        return hull.Contains(p);
    }
    default:
        return true;
    }
}
