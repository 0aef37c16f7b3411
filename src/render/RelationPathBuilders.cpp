#include "render/RelationPathBuilders.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// Half the stroke width of a path, as far as it moves an underline; a width that is not a positive number moves
// nothing.
double HalfWidth(const TRelationPath& path) {
    return std::isfinite(path.Width) && path.Width > 0 ? path.Width / 2 : 0;
}

// value limited in magnitude to |limit|, keeping the sign of value.
double ClampMagnitude(double value, double limit) {
    const double l = std::fabs(limit);
    return std::clamp(value, -l, l);
}

void ClearEndDecorations(TRelationPath& path) {
    path.HasLeadIn = false;
    path.LeadInRadius = 0;
    path.UnderlineEnd = false;
}

// The shared last step of the baseline and left-right builders: the path from p0 to p3 in the child's path style.
void FinishSideConnection(const TFloatPoint& p0, const TFloatPoint& p3, bool leftBranch, double sideOffset,
                          TConnectionTopic& child) {
    TRelationPath& path = child.Path;
    switch (child.PathStyle) {
    case rpsOrtho:
    case rpsRounded: {
        double x;
        if (child.HasHandle)
            x = (p0.X + p3.X) / 2 + path.HandleOffset.X;
        else if (sideOffset != 0)
            x = p0.X + sideOffset;
        else
            x = leftBranch ? p0.X - 20 : p0.X + 20;
        path.SetOrthogonalPoints(p0, {x, p0.Y}, {x, p3.Y}, p3, child.PathStyle == rpsRounded);
        break;
    }
    case rpsStraight:
        child.HasHandle = false;
        path.SetStraight(p0, p3);
        break;
    case rpsBezier:
    default:
        if (child.HasHandle) {
            path.SetHandleCurve(p0, p3);
            break;
        }
        const double m = (p0.X + p3.X) / 2;
        // offsets between 0 and 1 count as positive: they still lean the curve to their side
        double x1 = m;
        if (sideOffset > 0)
            x1 = std::max(m, p0.X + sideOffset);
        else if (sideOffset < 0)
            x1 = std::min(m, p0.X + sideOffset);
        const TFloatPoint c2 =
            leftBranch ? TFloatPoint{std::max(m, p3.X + 20), p3.Y} : TFloatPoint{std::min(m, p3.X - 20), p3.Y};
        path.SetCurve(p0, {x1, p0.Y}, c2, p3);
        break;
    }
}

// Sum and count of the centre x of the topic and all its descendants, for every topic of the branch, in one
// post-order walk without recursion. (A branch can be a chain of many thousand topics, and asking each level for
// its subtree again would cost the depth times the size.)
struct TSubtreeSums {
    double SumX = 0;
    double Count = 0;
};

std::unordered_map<const TConnectionTopic*, TSubtreeSums> SubtreeSums(const TConnectionTopic& root) {
    std::unordered_map<const TConnectionTopic*, TSubtreeSums> sums;
    std::vector<std::pair<const TConnectionTopic*, bool>> stack{{&root, false}};
    while (!stack.empty()) {
        auto [topic, childrenDone] = stack.back();
        stack.pop_back();
        if (!childrenDone) {
            stack.emplace_back(topic, true);
            for (const TConnectionTopic* child : topic->Children)
                if (child)
                    stack.emplace_back(child, false);
            continue;
        }
        TSubtreeSums own{topic->Bounds.Center().X, 1};
        for (const TConnectionTopic* child : topic->Children)
            if (child) {
                const TSubtreeSums& sub = sums[child];
                own.SumX += sub.SumX;
                own.Count += sub.Count;
            }
        sums[topic] = own;
    }
    return sums;
}

bool IsLeft(const TSubtreeSums& sums, double parentX) {
    return sums.SumX - sums.Count * parentX < 0;
}

using TSideBuilder = void (*)(const TConnectionTopic&, bool, TConnectionTopic&, bool, double);

void BuildSideConnections(TConnectionTopic& root, double rootSideOffset, bool rootIsCentralTheme, double levelSpacing,
                          TSideBuilder build) {
    if (root.Collapsed || root.LayoutMode > 1)
        return;
    if (rootIsCentralTheme)
        root.ChildConnectionStart = root.Bounds.Center();
    const auto sums = SubtreeSums(root);
    struct TFrame {
        TConnectionTopic* Topic;
        double SideOffset;
        bool IsCentralTheme;
    };
    std::vector<TFrame> stack{{&root, rootSideOffset, rootIsCentralTheme}};
    while (!stack.empty()) {
        const TFrame frame = stack.back();
        stack.pop_back();
        TConnectionTopic& topic = *frame.Topic;
        if (topic.Collapsed || topic.LayoutMode > 1)
            continue;
        const double parentX = topic.Bounds.Center().X;
        // children are built in order; their own children after them, as a depth-first walk would
        const std::size_t firstPushed = stack.size();
        for (TConnectionTopic* child : topic.Children) {
            if (!child)
                continue;
            const bool left = IsLeft(sums.at(child), parentX);
            build(topic, frame.IsCentralTheme, *child, left, frame.SideOffset);
            stack.push_back({child, left ? -levelSpacing : levelSpacing, false});
        }
        std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(firstPushed), stack.end());
    }
}

// The outside point of a boundary crossing lies below the rectangle, within its horizontal span, exactly when the
// path crosses the bottom edge.
bool CrossesBottomEdge(const TFloatPoint& p, const TFloatRect& r) {
    return p.Y > r.Bottom() && p.X >= r.Left && p.X <= r.Right();
}

// A borderless topic with a parent is underlined: a cross link leaving through the bottom of its text starts at the
// underline instead. Answers whether the end moved.
bool ClipToUnderline(const TRelationPath& path, const TCrossLinkEnd& end, bool atStart, TFloatPoint& point) {
    if (end.BorderStyle != sbsNone || !end.ParentPath)
        return false;
    const TPathBoundary first = atStart ? path.StartBoundary(end.Bounds) : path.EndBoundary(end.Bounds);
    if (!CrossesBottomEdge(first.Point, end.Bounds))
        return false;
    const double underline = end.ParentPath->ChildAttachPoint.Y + HalfWidth(*end.ParentPath);
    const TFloatRect text{end.Bounds.Left, end.Bounds.Top, end.Bounds.Width, std::max(0.0, underline - end.Bounds.Top)};
    point = (atStart ? path.StartBoundary(text) : path.EndBoundary(text)).Point;
    return true;
}

} // namespace

double ConnectionInset(const TFloatRect& bounds, TNodeBorderStyle borderStyle, double borderWidth) {
    if (borderStyle == sbsNone)
        return 0;
    const double inset = 5 - (std::isfinite(borderWidth) ? borderWidth : 0) / 2;
    return std::clamp(inset, 0.0, std::max(0.0, bounds.Width / 2));
}

TFloatPoint BuildCentredConnection(const TConnectionTopic& parent, TConnectionTopic& child, TPathSide inheritedSide,
                                   const TFloatPoint& inheritedOffset) {
    TRelationPath& path = child.Path;
    const TFloatPoint p0 = parent.Bounds.Center();
    const TFloatPoint p3 = child.Bounds.Center();
    const double dx = p3.X - p0.X;
    const double dy = p3.Y - p0.Y;
    TPathSide side = inheritedSide;
    if (side == psNone) {
        if (std::fabs(dy) > std::fabs(dx))
            side = dy >= 0 ? psDown : psUp;
        else
            side = dx >= 0 ? psRight : psLeft;
    }
    ClearEndDecorations(path);
    path.ExitSide = side;

    TFloatPoint c1 = p0;
    TFloatPoint c2 = p3;
    TFloatPoint offset;
    if (side == psRight || side == psLeft) {
        c1.X = c2.X = (p0.X + p3.X) / 2;
        c1.Y = p0.Y + dy / 4;
        const double f = ClampMagnitude(inheritedOffset.X, dx / 2);
        if ((f > 0 && dx > 0) || (f < 0 && dx < 0))
            c1.X = dx > 0 ? std::min(p0.X + f, p3.X) : std::max(p0.X + f, p3.X);
        offset = {dx / 2, 0};
    } else {
        c1.Y = c2.Y = (p0.Y + p3.Y) / 2;
        c1.X = p0.X + dx / 4;
        const double f = ClampMagnitude(inheritedOffset.Y, dy / 2);
        if ((f > 0 && dy > 0) || (f < 0 && dy < 0))
            c1.Y = dy > 0 ? std::min(p0.Y + f, p3.Y) : std::max(p0.Y + f, p3.Y);
        offset = {0, dy / 2};
    }

    switch (child.PathStyle) {
    case rpsOrtho:
    case rpsRounded:
        if (child.HasHandle)
            path.SetOrthogonalThrough(parent.Bounds, child.Bounds, child.PathStyle == rpsRounded);
        else
            path.SetOrthogonal(parent.Bounds, child.Bounds, child.PathStyle == rpsRounded);
        break;
    case rpsStraight:
        child.HasHandle = false;
        path.SetStraight(p0, p3);
        break;
    case rpsBezier:
    default:
        if (child.HasHandle)
            path.SetHandleCurve(p0, p3);
        else
            path.SetCurve(p0, c1, c2, p3);
        break;
    }
    return offset;
}

void BuildCentredConnections(TConnectionTopic& topic, const TFloatPoint& inheritedOffset, bool topLevel) {
    struct TFrame {
        TConnectionTopic* Topic;
        TFloatPoint Offset;
        bool TopLevel;
    };
    std::vector<TFrame> stack{{&topic, inheritedOffset, topLevel}};
    while (!stack.empty()) {
        const TFrame frame = stack.back();
        stack.pop_back();
        TConnectionTopic& parent = *frame.Topic;
        if (parent.Collapsed || (frame.TopLevel && parent.LayoutMode > 1))
            continue;
        const TPathSide side = frame.TopLevel ? psNone : parent.Path.ExitSide;
        const std::size_t firstPushed = stack.size();
        for (TConnectionTopic* child : parent.Children) {
            if (!child)
                continue;
            const TFloatPoint offset = BuildCentredConnection(parent, *child, side, frame.Offset);
            stack.push_back({child, offset, false});
        }
        std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(firstPushed), stack.end());
    }
}

bool IsLeftBranch(const TConnectionTopic& parent, const TConnectionTopic& child) {
    return IsLeft(SubtreeSums(child).at(&child), parent.Bounds.Center().X);
}

void BuildBaselineConnection(const TConnectionTopic& parent, bool parentIsCentralTheme, TConnectionTopic& child,
                             bool leftBranch, double sideOffset) {
    TRelationPath& path = child.Path;
    ClearEndDecorations(path);
    const TFloatRect& c = child.Bounds;
    TFloatPoint p3 = c.Center();
    child.ChildConnectionStart = p3;
    if (child.BorderStyle == sbsNone) {
        const double y = c.Bottom() + HalfWidth(path);
        p3 = {leftBranch ? c.Right() : c.Left, y};
        child.ChildConnectionStart = {leftBranch ? c.Left : c.Right(), y};
        path.UnderlineEnd = true;
        path.ChildAttachPoint = child.ChildConnectionStart;
    }
    path.ExitSide = leftBranch ? psLeft : psRight;

    TFloatPoint p0 = parent.ChildConnectionStart;
    if (parentIsCentralTheme && parent.BorderStyle == sbsNone)
        p0.X = leftBranch ? parent.Bounds.Left : parent.Bounds.Right();
    FinishSideConnection(p0, p3, leftBranch, sideOffset, child);
}

void BuildLeftRightConnection(const TConnectionTopic& parent, bool parentIsCentralTheme, TConnectionTopic& child,
                              bool leftBranch, double sideOffset) {
    TRelationPath& path = child.Path;
    ClearEndDecorations(path);
    const TFloatRect& c = child.Bounds;
    const double i = ConnectionInset(c, child.BorderStyle, child.BorderWidth);
    const double cy = c.Center().Y;
    const TFloatPoint p3{leftBranch ? c.Right() - i : c.Left + i, cy};
    if (child.HasVisibleChildren && !child.Collapsed && !child.Children.empty())
        child.ChildConnectionStart = {leftBranch ? c.Left + i : c.Right() - i, cy};
    else
        child.ChildConnectionStart = c.Center();
    // The connection ends at the side of the topic; the continuation to the attach point has no length, so that
    // nothing is drawn across the topic's text.
    path.UnderlineEnd = true;
    path.ChildAttachPoint = p3;
    path.ExitSide = leftBranch ? psLeft : psRight;

    TFloatPoint p0 = parent.ChildConnectionStart;
    if (parentIsCentralTheme) {
        const TFloatRect& t = parent.Bounds;
        const double ip = ConnectionInset(t, parent.BorderStyle, parent.BorderWidth);
        if (p3.X > t.Right() - ip + 20)
            p0.X = t.Right() - ip;
        else if (p3.X < t.Left + ip - 20)
            p0.X = t.Left + ip;
    }
    FinishSideConnection(p0, p3, leftBranch, sideOffset, child);
}

void BuildBaselineConnections(TConnectionTopic& topic, double sideOffset, bool isCentralTheme, double levelSpacing) {
    BuildSideConnections(topic, sideOffset, isCentralTheme, levelSpacing, &BuildBaselineConnection);
}

void BuildLeftRightConnections(TConnectionTopic& topic, double sideOffset, bool isCentralTheme, double levelSpacing) {
    BuildSideConnections(topic, sideOffset, isCentralTheme, levelSpacing, &BuildLeftRightConnection);
}

int CrossLinkStyleLevel(int sourceLevel, int targetLevel) {
    return std::max(sourceLevel, targetLevel) + 1;
}

bool UpdateCrossLinkPath(const TCrossLinkRoute& route, TRelationPath& path) {
    bool hasHandle = route.HasHandle;
    const TCrossLinkEnd& s = route.Source;
    const TCrossLinkEnd& t = route.Target;
    TFloatPoint r0 = s.Bounds.Center();
    TFloatPoint r3 = t.Bounds.Center();
    bool clipped0 = false;
    bool clipped3 = false;
    TPathSide s0 = psNone;
    TPathSide s3 = psNone;
    ClearEndDecorations(path);
    path.ExitSide = psNone;

    const bool underlineClipping = !route.AsHierarchy && route.ConnectionStyle == csBaseline;
    if (underlineClipping && (route.PathStyle == rpsBezier || route.PathStyle == rpsStraight)) {
        if (hasHandle && route.PathStyle == rpsBezier)
            path.SetHandleCurve(r0, r3);
        else
            path.SetStraight(r0, r3);
        clipped0 = ClipToUnderline(path, s, true, r0);
        clipped3 = ClipToUnderline(path, t, false, r3);
    }
    if (route.AsHierarchy) {
        if (s.ParentPath) {
            r0 = s.ParentPath->UnderlineEnd ? s.ParentPath->ChildAttachPoint : s.ParentPath->P3;
            s0 = s.ParentPath->ExitSide;
        }
        if (t.ParentPath) {
            r3 = t.ParentPath->P3;
            s3 = t.ParentPath->ExitSide;
        }
    }

    switch (route.PathStyle) {
    case rpsOrtho:
    case rpsRounded: {
        if (hasHandle)
            path.SetOrthogonalThrough(s.Bounds, t.Bounds, route.PathStyle == rpsRounded);
        else
            path.SetOrthogonal(s.Bounds, t.Bounds, route.PathStyle == rpsRounded);
        if (underlineClipping) {
            TFloatPoint p0 = path.P0;
            TFloatPoint p3 = path.P3;
            if (ClipToUnderline(path, s, true, p0))
                path.P0 = p0;
            if (ClipToUnderline(path, t, false, p3))
                path.P3 = p3;
        }
        return hasHandle;
    }
    case rpsStraight:
        path.SetStraight(r0, r3);
        return false;
    case rpsBezier:
    default:
        break;
    }
    if (hasHandle) {
        path.SetHandleCurve(r0, r3);
        return true;
    }

    const double dx = r3.X - r0.X;
    const double dy = r3.Y - r0.Y;
    const double l = (std::fabs(dy) / 100 + 1) * 20;
    const bool leftRight = route.ConnectionStyle == csLeftRight;
    const double inset0 = ConnectionInset(s.Bounds, s.BorderStyle, s.BorderWidth);
    const double inset3 = ConnectionInset(t.Bounds, t.BorderStyle, t.BorderWidth);

    switch (s0) {
    case psRight:
        if (leftRight)
            r0.X = std::max(s.Bounds.Right() - inset0, r0.X);
        break;
    case psLeft:
        if (leftRight)
            r0.X = std::min(s.Bounds.Left + inset0, r0.X);
        break;
    default:
        break;
    }
    switch (s3) {
    case psRight:
        if (leftRight)
            r3.X = std::min(r3.X, t.Bounds.Left + inset3);
        break;
    case psLeft:
        if (leftRight)
            r3.X = std::max(r3.X, t.Bounds.Right() - inset3);
        break;
    default:
        break;
    }

    TFloatPoint c1 = r0;
    switch (s0) {
    case psNone:
        if (std::fabs(dy) >= std::fabs(dx)) {
            c1.Y = r0.Y + 0.4 * dy;
            if (clipped0)
                c1.X = r0.X + 0.2 * dx;
        } else {
            c1.X = r0.X + 0.4 * dx;
            if (clipped0)
                c1.Y = r0.Y + 0.2 * dy;
        }
        break;
    case psRight:
        c1.X = std::max(r0.X + 0.4 * dx, r0.X + l);
        break;
    case psLeft:
        c1.X = std::min(r0.X + 0.4 * dx, r0.X - l);
        break;
    case psDown:
        c1.Y = std::max(r0.Y + 0.4 * dy, r0.Y + l);
        break;
    case psUp:
        c1.Y = std::min(r0.Y + 0.4 * dy, r0.Y - l);
        break;
    }
    TFloatPoint c2 = r3;
    switch (s3) {
    case psNone:
        if (std::fabs(dy) >= std::fabs(dx)) {
            c2.Y = r3.Y - 0.4 * dy;
            if (clipped3)
                c2.X = r3.X - 0.2 * dx;
        } else {
            c2.X = r3.X - 0.4 * dx;
            if (clipped3)
                c2.Y = r3.Y - 0.2 * dy;
        }
        break;
    case psRight:
        c2.X = std::min(r3.X - 0.4 * dx, r3.X - l);
        break;
    case psLeft:
        c2.X = std::max(r3.X - 0.4 * dx, r3.X + l);
        break;
    case psDown:
        c2.Y = std::min(r3.Y - 0.4 * dy, r3.Y - l);
        break;
    case psUp:
        c2.Y = std::max(r3.Y - 0.4 * dy, r3.Y + l);
        break;
    }
    path.SetCurve(r0, c1, c2, r3);
    return false;
}

TFloatRect RelationBounds(const TRelationPath& path, const TFloatRect& sourceBounds, const TFloatRect& targetBounds) {
    TFloatPoint p0 = path.P0;
    TFloatPoint p3 = path.P3;
    if (path.IsUnset()) {
        p0 = sourceBounds.Center();
        p3 = targetBounds.Center();
    }
    return FloatRectInflate(FloatRectFromPoints(p0, p3), 1, 1);
}
