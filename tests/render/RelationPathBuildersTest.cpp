#include "render/RelationPathBuilders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

void ExpectPoint(const TFloatPoint& actual, const TFloatPoint& expected) {
    EXPECT_DOUBLE_EQ(actual.X, expected.X);
    EXPECT_DOUBLE_EQ(actual.Y, expected.Y);
}

void ExpectFinite(const TRelationPath& path) {
    for (const TFloatPoint& p : {path.P0, path.P1, path.P2, path.P3, path.ExtraCorner, path.ChildAttachPoint}) {
        EXPECT_TRUE(std::isfinite(p.X));
        EXPECT_TRUE(std::isfinite(p.Y));
    }
    const TFloatPoint mid = path.MidPoint();
    EXPECT_TRUE(std::isfinite(mid.X) && std::isfinite(mid.Y));
    const TFloatRect bounds = path.Bounds();
    EXPECT_TRUE(std::isfinite(bounds.Left) && std::isfinite(bounds.Top) && std::isfinite(bounds.Width) &&
                std::isfinite(bounds.Height));
}

TConnectionTopic Topic(const TFloatRect& bounds, TRelationPathStyle pathStyle = rpsBezier,
                       TNodeBorderStyle border = sbsRoundRect) {
    TConnectionTopic topic;
    topic.Bounds = bounds;
    topic.PathStyle = pathStyle;
    topic.BorderStyle = border;
    return topic;
}

std::string SideName(TPathSide side) {
    const char* names[] = {"psNone", "psRight", "psLeft", "psDown", "psUp"};
    return names[side];
}

const TFloatRect kParent{0, 0, 100, 40}; // centre (50, 20)

} // namespace

TEST(TRelationPathBuilders, CentredExitSideOfAFirstLevelConnectionFollowsTheLongerAxis) {
    struct TCase {
        TFloatPoint ChildCentre;
        TPathSide Side;
    };
    const TCase cases[] = {
        {{250, 20}, psRight}, {{-150, 60}, psLeft},  {{50, 220}, psDown},
        {{60, -180}, psUp},   {{150, 120}, psRight}, // |dx| = |dy| counts as horizontal
        {{-50, 120}, psLeft}, {{50, 20}, psRight},   // same centre
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(SideName(c.Side) + " " + std::to_string(c.ChildCentre.X) + "," + std::to_string(c.ChildCentre.Y));
        const TConnectionTopic parent = Topic(kParent);
        TConnectionTopic child = Topic({c.ChildCentre.X - 10, c.ChildCentre.Y - 5, 20, 10});
        BuildCentredConnection(parent, child, psNone, {});
        EXPECT_EQ(child.Path.ExitSide, c.Side);
        EXPECT_EQ(child.Path.Kind, rpkCurve);
        ExpectPoint(child.Path.P0, {50, 20});
        ExpectPoint(child.Path.P3, c.ChildCentre);
        ExpectFinite(child.Path);
    }
}

TEST(TRelationPathBuilders, CentredCurveControlPointsAndHandedOnOffset) {
    // child centre (250, 120): dx = 200, dy = 100
    struct TCase {
        const char* Name;
        TPathSide Inherited;
        TFloatPoint Offset;
        TFloatPoint C1;
        TFloatPoint C2;
        TFloatPoint HandedOn;
    };
    const TCase cases[] = {
        {"first level", psNone, {0, 0}, {150, 45}, {150, 120}, {100, 0}},
        {"offset along dx", psRight, {30, 0}, {80, 45}, {150, 120}, {100, 0}},
        {"offset against dx is ignored", psRight, {-30, 0}, {150, 45}, {150, 120}, {100, 0}},
        {"offset is limited to half of dx", psRight, {500, 0}, {150, 45}, {150, 120}, {100, 0}},
        {"inherited left side, same formulas", psLeft, {30, 0}, {80, 45}, {150, 120}, {100, 0}},
        {"inherited down side", psDown, {0, 0}, {100, 70}, {250, 70}, {0, 50}},
        {"down with offset", psDown, {0, 20}, {100, 40}, {250, 70}, {0, 50}},
        {"down with offset beyond half dy", psDown, {0, 80}, {100, 70}, {250, 70}, {0, 50}},
        {"up side with offset against dy", psUp, {0, -20}, {100, 70}, {250, 70}, {0, 50}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TConnectionTopic parent = Topic(kParent);
        TConnectionTopic child = Topic({200, 100, 100, 40});
        const TFloatPoint handedOn = BuildCentredConnection(parent, child, c.Inherited, c.Offset);
        EXPECT_EQ(child.Path.Kind, rpkCurve);
        ExpectPoint(child.Path.P0, {50, 20});
        ExpectPoint(child.Path.P1, c.C1);
        ExpectPoint(child.Path.P2, c.C2);
        ExpectPoint(child.Path.P3, {250, 120});
        ExpectPoint(handedOn, c.HandedOn);
    }
}

TEST(TRelationPathBuilders, CentredPathKindFollowsPathStyleAndHandle) {
    struct TCase {
        TRelationPathStyle Style;
        bool Handle;
        TRelationPathKind Kind;
        bool HandleAfter;
    };
    const TCase cases[] = {
        {rpsBezier, false, rpkCurve, false},
        {rpsBezier, true, rpkHandleCurve, true},
        {rpsOrtho, false, rpkOrthogonal, false},
        {rpsOrtho, true, rpkOrthogonal, true},
        {rpsRounded, false, rpkRoundedOrthogonal, false},
        {rpsRounded, true, rpkRoundedOrthogonal, true},
        {rpsStraight, false, rpkStraight, false},
        {rpsStraight, true, rpkStraight, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Style) + (c.Handle ? " with handle" : " without handle"));
        const TConnectionTopic parent = Topic(kParent);
        TConnectionTopic child = Topic({200, 100, 100, 40}, c.Style);
        child.HasHandle = c.Handle;
        child.Path.HandleOffset = {0, 200};
        BuildCentredConnection(parent, child, psNone, {});
        EXPECT_EQ(child.Path.Kind, c.Kind);
        EXPECT_EQ(child.HasHandle, c.HandleAfter);
        ExpectPoint(child.Path.P0, {50, 20});
        ExpectPoint(child.Path.P3, {250, 120});
        ExpectFinite(child.Path);
    }
}

TEST(TRelationPathBuilders, CentredOrthogonalRoutingRunsBetweenTheTopicRectangles) {
    // u = 200 - 100 - 16 = 84, v = 100 - 40 - 16 = 44: a vertical middle segment at 100 + 84 / 2 + 8
    const TConnectionTopic parent = Topic(kParent);
    TConnectionTopic child = Topic({200, 100, 100, 40}, rpsOrtho);
    BuildCentredConnection(parent, child, psNone, {});
    EXPECT_EQ(child.Path.SegmentCount, 3);
    ExpectPoint(child.Path.P1, {150, 20});
    ExpectPoint(child.Path.P2, {150, 120});
}

TEST(TRelationPathBuilders, OrthogonalConnectionsOfNearlyAlignedCentresAreOneSegment) {
    for (const TRelationPathStyle style : {rpsOrtho, rpsRounded}) {
        for (const TFloatPoint& centre : {TFloatPoint{250, 20.5}, TFloatPoint{50.9, 220}}) {
            SCOPED_TRACE(std::to_string(style) + " " + std::to_string(centre.X));
            const TConnectionTopic parent = Topic(kParent);
            TConnectionTopic child = Topic({centre.X - 20, centre.Y - 10, 40, 20}, style);
            BuildCentredConnection(parent, child, psNone, {});
            EXPECT_EQ(child.Path.SegmentCount, 1);
            EXPECT_TRUE(child.Path.IsOrthogonal());
        }
    }
}

TEST(TRelationPathBuilders, CentredRecursionInheritsTheExitSideAndTheOffset) {
    TConnectionTopic root = Topic(kParent);
    TConnectionTopic child = Topic({200, 100, 100, 40});      // centre (250, 120), psRight, hands on (100, 0)
    TConnectionTopic grandchild = Topic({600, 300, 100, 40}); // centre (650, 320)
    root.Children = {&child};
    child.Children = {&grandchild};
    BuildCentredConnections(root, {}, true);
    EXPECT_EQ(child.Path.ExitSide, psRight);
    EXPECT_EQ(grandchild.Path.ExitSide, psRight);
    // dx = 400, dy = 200: the grandchild keeps its parent's side although it lies mostly below
    ExpectPoint(grandchild.Path.P0, {250, 120});
    ExpectPoint(grandchild.Path.P1, {350, 170});
    ExpectPoint(grandchild.Path.P2, {450, 320});
    ExpectPoint(grandchild.Path.P3, {650, 320});
}

TEST(TRelationPathBuilders, CentredRecursionSkipsCollapsedAndNestedBranches) {
    struct TCase {
        const char* Name;
        bool RootNested;
        bool ChildCollapsed;
        bool ChildNested;
        bool ChildBuilt;
        bool GrandchildBuilt;
    };
    const TCase cases[] = {
        {"plain", false, false, false, true, true},
        {"nested central theme", true, false, false, false, false},
        {"collapsed child", false, true, false, true, false},
        {"nested child below the top level", false, false, true, true, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TConnectionTopic root = Topic(kParent);
        TConnectionTopic child = Topic({200, 100, 100, 40});
        TConnectionTopic grandchild = Topic({400, 300, 100, 40});
        root.Children = {&child};
        child.Children = {&grandchild};
        root.LayoutMode = c.RootNested ? 2 : 0;
        child.Collapsed = c.ChildCollapsed;
        child.LayoutMode = c.ChildNested ? 3 : 0;
        BuildCentredConnections(root, {}, true);
        EXPECT_EQ(!child.Path.IsUnset(), c.ChildBuilt);
        EXPECT_EQ(!grandchild.Path.IsUnset(), c.GrandchildBuilt);
    }
}

TEST(TRelationPathBuilders, BranchSideIsTheSignOfTheSubtreeOffsets) {
    TConnectionTopic parent = Topic(kParent);                // centre X 50
    TConnectionTopic child = Topic({50, 100, 20, 10});       // centre X 60: +10
    TConnectionTopic grandchild = Topic({-60, 200, 20, 10}); // centre X -50: -100
    EXPECT_FALSE(IsLeftBranch(parent, child));
    child.Children = {&grandchild};
    EXPECT_TRUE(IsLeftBranch(parent, child));
    TConnectionTopic level = Topic({40, 100, 20, 10}); // centre X 50: a sum of 0 is the right side
    EXPECT_FALSE(IsLeftBranch(parent, level));
}

TEST(TRelationPathBuilders, BaselineEndPointsAndCurveControlPoints) {
    struct TCase {
        const char* Name;
        TFloatRect Child;
        TNodeBorderStyle ChildBorder;
        TNodeBorderStyle ParentBorder;
        bool ParentIsCentral;
        bool Left;
        double SideOffset;
        TFloatPoint P0;
        TFloatPoint C1;
        TFloatPoint C2;
        TFloatPoint P3;
        TFloatPoint ChildStart;
        bool Underlined;
    };
    // the parent's connections start at its centre (50, 20); the child's path is 2 wide
    const TCase cases[] = {
        {"underlined right child",
         {200, 100, 80, 20},
         sbsNone,
         sbsRoundRect,
         true,
         false,
         0,
         {50, 20},
         {125, 20},
         {125, 121},
         {200, 121},
         {280, 121},
         true},
        {"underlined left child",
         {-200, 100, 80, 20},
         sbsNone,
         sbsRoundRect,
         true,
         true,
         0,
         {50, 20},
         {-35, 20},
         {-35, 121},
         {-120, 121},
         {-200, 121},
         true},
        {"near right child pulls its end control point back",
         {70, 60, 80, 20},
         sbsNone,
         sbsRoundRect,
         true,
         false,
         0,
         {50, 20},
         {60, 20},
         {50, 81},
         {70, 81},
         {150, 81},
         true},
        {"near left child",
         {-50, 60, 80, 20},
         sbsNone,
         sbsRoundRect,
         false,
         true,
         0,
         {50, 20},
         {40, 20},
         {50, 81},
         {30, 81},
         {-50, 81},
         true},
        {"bordered child ends at its centre",
         {200, 100, 80, 20},
         sbsRectangle,
         sbsRoundRect,
         true,
         false,
         0,
         {50, 20},
         {145, 20},
         {145, 110},
         {240, 110},
         {240, 110},
         false},
        {"positive side offset beyond the middle",
         {200, 100, 80, 20},
         sbsNone,
         sbsRoundRect,
         false,
         false,
         100,
         {50, 20},
         {150, 20},
         {125, 121},
         {200, 121},
         {280, 121},
         true},
        {"positive side offset before the middle",
         {200, 100, 80, 20},
         sbsNone,
         sbsRoundRect,
         false,
         false,
         30,
         {50, 20},
         {125, 20},
         {125, 121},
         {200, 121},
         {280, 121},
         true},
        {"negative side offset",
         {-200, 100, 80, 20},
         sbsNone,
         sbsRoundRect,
         false,
         true,
         -100,
         {50, 20},
         {-50, 20},
         {-35, 121},
         {-120, 121},
         {-200, 121},
         true},
        {"small positive side offset",
         {200, 100, 80, 20},
         sbsNone,
         sbsRoundRect,
         false,
         false,
         0.5,
         {50, 20},
         {125, 20},
         {125, 121},
         {200, 121},
         {280, 121},
         true},
        {"borderless central theme starts at its right edge",
         {200, 100, 80, 20},
         sbsNone,
         sbsNone,
         true,
         false,
         0,
         {100, 20},
         {150, 20},
         {150, 121},
         {200, 121},
         {280, 121},
         true},
        {"borderless central theme starts at its left edge",
         {-200, 100, 80, 20},
         sbsNone,
         sbsNone,
         true,
         true,
         0,
         {0, 20},
         {-60, 20},
         {-60, 121},
         {-120, 121},
         {-200, 121},
         true},
        {"borderless topic below the top level keeps its start",
         {200, 100, 80, 20},
         sbsNone,
         sbsNone,
         false,
         false,
         0,
         {50, 20},
         {125, 20},
         {125, 121},
         {200, 121},
         {280, 121},
         true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TConnectionTopic parent = Topic(kParent, rpsBezier, c.ParentBorder);
        parent.ChildConnectionStart = {50, 20};
        TConnectionTopic child = Topic(c.Child, rpsBezier, c.ChildBorder);
        child.Path.Width = 2;
        child.Path.HasLeadIn = true;
        BuildBaselineConnection(parent, c.ParentIsCentral, child, c.Left, c.SideOffset);
        EXPECT_EQ(child.Path.Kind, rpkCurve);
        ExpectPoint(child.Path.P0, c.P0);
        ExpectPoint(child.Path.P1, c.C1);
        ExpectPoint(child.Path.P2, c.C2);
        ExpectPoint(child.Path.P3, c.P3);
        ExpectPoint(child.ChildConnectionStart, c.ChildStart);
        EXPECT_EQ(child.Path.UnderlineEnd, c.Underlined);
        if (c.Underlined)
            ExpectPoint(child.Path.ChildAttachPoint, c.ChildStart);
        EXPECT_EQ(child.Path.ExitSide, c.Left ? psLeft : psRight);
        EXPECT_FALSE(child.Path.HasLeadIn);
    }
}

TEST(TRelationPathBuilders, BaselineOrthogonalAndStraightPaths) {
    struct TCase {
        const char* Name;
        TRelationPathStyle Style;
        bool Handle;
        bool Left;
        double SideOffset;
        TRelationPathKind Kind;
        double CornerX; // of both corners; unused for straight paths
        bool HandleAfter;
    };
    const TCase cases[] = {
        {"ortho to the right", rpsOrtho, false, false, 0, rpkOrthogonal, 70, false},
        {"ortho to the left", rpsOrtho, false, true, 0, rpkOrthogonal, 30, false},
        {"rounded with a side offset", rpsRounded, false, false, 40, rpkRoundedOrthogonal, 90, false},
        {"rounded with a negative side offset", rpsRounded, false, true, -40, rpkRoundedOrthogonal, 10, false},
        {"ortho through the handle", rpsOrtho, true, false, 40, rpkOrthogonal, 125 + 7, true},
        {"straight clears the handle", rpsStraight, true, false, 40, rpkStraight, 0, false},
        {"bezier with handle", rpsBezier, true, false, 40, rpkHandleCurve, 0, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TConnectionTopic parent = Topic(kParent);
        parent.ChildConnectionStart = {50, 20};
        // P3 = (200, 121) on either side; the side only picks the corner offset here
        TConnectionTopic child = Topic({200, 100, 80, 20}, c.Style, sbsNone);
        child.Path.Width = 2;
        child.HasHandle = c.Handle;
        child.Path.HandleOffset = {7, 300};
        BuildBaselineConnection(parent, false, child, c.Left, c.SideOffset);
        EXPECT_EQ(child.Path.Kind, c.Kind);
        EXPECT_EQ(child.HasHandle, c.HandleAfter);
        ExpectPoint(child.Path.P0, {50, 20});
        ExpectPoint(child.Path.P3, {c.Left ? 280.0 : 200.0, 121});
        if (child.Path.IsOrthogonal()) {
            EXPECT_EQ(child.Path.SegmentCount, 3);
            ExpectPoint(child.Path.P1, {c.CornerX, 20});
            ExpectPoint(child.Path.P2, {c.CornerX, 121});
        }
        ExpectFinite(child.Path);
    }
}

TEST(TRelationPathBuilders, BaselineChildrenStartAtTheFarEndOfTheUnderline) {
    for (const bool left : {false, true}) {
        SCOPED_TRACE(left ? "left" : "right");
        const double s = left ? -1 : 1;
        TConnectionTopic root = Topic(kParent); // centre (50, 20)
        TConnectionTopic child = Topic({left ? -230.0 : 250.0, 100, 80, 20}, rpsBezier, sbsNone);
        child.Path.Width = 2;
        TConnectionTopic grandchild = Topic({left ? -420.0 : 460.0, 200, 60, 20}, rpsOrtho);
        root.Children = {&child};
        child.Children = {&grandchild};
        BuildBaselineConnections(root, 0, true, 40);
        const double farEnd = left ? -230 : 330;
        ExpectPoint(child.ChildConnectionStart, {farEnd, 121});
        ExpectPoint(grandchild.Path.P0, {farEnd, 121});
        // the level spacing is the side offset of the next level, negated on the left
        ExpectPoint(grandchild.Path.P1, {farEnd + s * 40, 121});
        ExpectPoint(grandchild.Path.P3, grandchild.Bounds.Center());
        EXPECT_EQ(grandchild.Path.ExitSide, left ? psLeft : psRight);
    }
}

TEST(TRelationPathBuilders, ConnectionInsetStaysInsideTheTopic) {
    struct TCase {
        const char* Name;
        double Width;
        TNodeBorderStyle Border;
        double BorderWidth;
        double Inset;
    };
    const TCase cases[] = {
        {"thin border", 100, sbsRoundRect, 2, 4},
        {"no border", 100, sbsNone, 2, 0},
        {"border of 10", 100, sbsRectangle, 10, 0},
        {"very thick border", 100, sbsRectangle, 30, 0},
        {"narrow topic", 4, sbsRectangle, 1, 2},
        {"zero-size topic", 0, sbsRectangle, 1, 0},
        {"border width not a number", 100, sbsRectangle, std::nan(""), 5},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_DOUBLE_EQ(ConnectionInset({0, 0, c.Width, 20}, c.Border, c.BorderWidth), c.Inset);
    }
}

TEST(TRelationPathBuilders, LeftRightConnectionsRunBetweenTheSides) {
    struct TCase {
        const char* Name;
        TFloatRect Child;
        bool Left;
        bool ChildHasChildren;
        TFloatPoint P0;
        TFloatPoint P3;
        TFloatPoint ChildStart;
    };
    // borders 2 wide: inset 4 on both topics; the central theme spans 0 to 100
    const TCase cases[] = {
        {"right child with children", {200, 100, 80, 20}, false, true, {96, 20}, {204, 110}, {276, 110}},
        {"right child without children", {200, 100, 80, 20}, false, false, {96, 20}, {204, 110}, {240, 110}},
        {"left child with children", {-200, 100, 80, 20}, true, true, {4, 20}, {-124, 110}, {-196, 110}},
        {"child above the theme keeps the centre start",
         {60, -100, 80, 20},
         false,
         true,
         {50, 20},
         {64, -90},
         {136, -90}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TConnectionTopic parent = Topic(kParent);
        parent.BorderWidth = 2;
        parent.ChildConnectionStart = {50, 20};
        TConnectionTopic child = Topic(c.Child, rpsStraight);
        child.BorderWidth = 2;
        TConnectionTopic grandchild = Topic({500, 500, 10, 10});
        if (c.ChildHasChildren)
            child.Children = {&grandchild};
        BuildLeftRightConnection(parent, true, child, c.Left, 0);
        EXPECT_EQ(child.Path.Kind, rpkStraight);
        ExpectPoint(child.Path.P0, c.P0);
        ExpectPoint(child.Path.P3, c.P3);
        ExpectPoint(child.ChildConnectionStart, c.ChildStart);
        EXPECT_TRUE(child.Path.UnderlineEnd);
        // the continuation to the attach point has no length: nothing is drawn across the topic
        ExpectPoint(child.Path.ChildAttachPoint, c.P3);
    }
}

TEST(TRelationPathBuilders, LeftRightRecursionStartsAtTheChildsFarSide) {
    TConnectionTopic root = Topic(kParent);
    root.BorderWidth = 2;
    TConnectionTopic child = Topic({200, 100, 80, 20}, rpsOrtho);
    child.BorderWidth = 2;
    TConnectionTopic grandchild = Topic({400, 200, 80, 20}, rpsOrtho, sbsNone);
    TConnectionTopic collapsedChild = Topic({600, 200, 80, 20});
    root.Children = {&child};
    child.Children = {&grandchild};
    BuildLeftRightConnections(root, 0, true, 30);
    ExpectPoint(child.Path.P0, {96, 20});
    ExpectPoint(child.Path.P1, {116, 20}); // no side offset on the first level: 20 beyond the start
    ExpectPoint(grandchild.Path.P0, {276, 110});
    ExpectPoint(grandchild.Path.P1, {306, 110});
    ExpectPoint(grandchild.Path.P3, {400, 210});
    ExpectPoint(grandchild.ChildConnectionStart, {440, 210});
    grandchild.Collapsed = true;
    grandchild.Children = {&collapsedChild};
    BuildLeftRightConnections(root, 0, true, 30);
    EXPECT_TRUE(collapsedChild.Path.IsUnset());
    ExpectPoint(grandchild.ChildConnectionStart, {440, 210});
}

TEST(TRelationPathBuilders, DegenerateTopicsGiveFinitePaths) {
    const TFloatRect rects[] = {{0, 0, 0, 0}, {50, 20, 0, 0}, {0, 0, 100, 40}, {10, 10, 0, 30}};
    for (const TFloatRect& parentRect : rects) {
        for (const TFloatRect& childRect : rects) {
            for (const TRelationPathStyle style : {rpsBezier, rpsOrtho, rpsRounded, rpsStraight}) {
                for (const bool handle : {false, true}) {
                    for (const TNodeBorderStyle border : {sbsNone, sbsRectangle}) {
                        SCOPED_TRACE(std::to_string(parentRect.Left) + " " + std::to_string(childRect.Width) + " " +
                                     std::to_string(style) + " " + std::to_string(handle) + " " +
                                     std::to_string(border));
                        TConnectionTopic root = Topic(parentRect, rpsBezier, border);
                        TConnectionTopic child = Topic(childRect, style, border);
                        TConnectionTopic grandchild = Topic(childRect, style, border);
                        root.Children = {&child};
                        child.Children = {&grandchild};
                        for (TConnectionTopic* t : {&child, &grandchild}) {
                            t->HasHandle = handle;
                            t->Path.HandleOffset = {0, 0};
                            t->Path.Width = std::nan("");
                        }
                        BuildCentredConnections(root, {}, true);
                        ExpectFinite(child.Path);
                        ExpectFinite(grandchild.Path);
                        BuildBaselineConnections(root, 0, true, 40);
                        ExpectFinite(child.Path);
                        ExpectFinite(grandchild.Path);
                        BuildLeftRightConnections(root, 0, true, 40);
                        ExpectFinite(child.Path);
                        ExpectFinite(grandchild.Path);
                    }
                }
            }
        }
    }
}

TEST(TRelationPathBuilders, RelationBoundsSpanTheEndsGrownByOne) {
    TRelationPath path;
    const TFloatRect source{0, 0, 100, 40};
    const TFloatRect target{200, 100, 100, 40};
    EXPECT_EQ(RelationBounds(path, source, target), (TFloatRect{49, 19, 202, 102}));
    path.SetStraight({300, 10}, {100, 30});
    EXPECT_EQ(RelationBounds(path, source, target), (TFloatRect{99, 9, 202, 22}));
}

TEST(TCrossLinkRoute, StyleLevelIsOneBelowTheDeeperTopic) {
    EXPECT_EQ(CrossLinkStyleLevel(2, 5), 6);
    EXPECT_EQ(CrossLinkStyleLevel(3, 0), 4);
    EXPECT_EQ(CrossLinkStyleLevel(0, 0), 1);
}

TEST(TCrossLinkRoute, NaturalCurveByTheSidesOfTheEnds) {
    // 300 apart vertically: L = (300 / 100 + 1) x 20 = 80, 0.4 dy = 120
    struct TCase {
        TPathSide Side; // of both ends' parent connections; psNone: the topics have no parents
        TFloatPoint C1;
        TFloatPoint C2;
    };
    const TCase cases[] = {
        {psNone, {50, 140}, {50, 200}}, {psRight, {130, 20}, {-30, 320}}, {psLeft, {-30, 20}, {130, 320}},
        {psDown, {50, 140}, {50, 200}}, {psUp, {50, -60}, {50, 400}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(SideName(c.Side));
        TRelationPath sourceParent;
        sourceParent.SetStraight({-100, 20}, {50, 20});
        sourceParent.ExitSide = c.Side;
        TRelationPath targetParent;
        targetParent.SetStraight({-100, 320}, {50, 320});
        targetParent.ExitSide = c.Side;
        TCrossLinkRoute route;
        route.AsHierarchy = true;
        route.Source.Bounds = {0, 0, 100, 40};
        route.Target.Bounds = {0, 300, 100, 40};
        if (c.Side != psNone) {
            route.Source.ParentPath = &sourceParent;
            route.Target.ParentPath = &targetParent;
        }
        TRelationPath path;
        EXPECT_FALSE(UpdateCrossLinkPath(route, path));
        EXPECT_EQ(path.Kind, rpkCurve);
        ExpectPoint(path.P0, {50, 20});
        ExpectPoint(path.P1, c.C1);
        ExpectPoint(path.P2, c.C2);
        ExpectPoint(path.P3, {50, 320});
    }
}

TEST(TCrossLinkRoute, NaturalCurveOfAHorizontalLink) {
    TCrossLinkRoute route;
    route.Source.Bounds = {0, 0, 100, 40};
    route.Target.Bounds = {400, 0, 100, 40};
    TRelationPath path;
    UpdateCrossLinkPath(route, path);
    ExpectPoint(path.P1, {210, 20});
    ExpectPoint(path.P2, {290, 20});
}

TEST(TCrossLinkRoute, HierarchyLinksStartAtTheUnderlineEnd) {
    TRelationPath sourceParent;
    sourceParent.SetStraight({-100, 20}, {0, 41});
    sourceParent.UnderlineEnd = true;
    sourceParent.ChildAttachPoint = {100, 41};
    sourceParent.ExitSide = psRight;
    TCrossLinkRoute route;
    route.AsHierarchy = true;
    route.Source.Bounds = {0, 0, 100, 40};
    route.Source.ParentPath = &sourceParent;
    route.Target.Bounds = {300, 0, 100, 40};
    TRelationPath path;
    UpdateCrossLinkPath(route, path);
    ExpectPoint(path.P0, {100, 41});
    ExpectPoint(path.P3, {350, 20});
    // dx = 250, dy = -21: L = 24.2, 0.4 dx = 100
    ExpectPoint(path.P1, {200, 41});
    ExpectPoint(path.P2, {250, 20});
}

TEST(TCrossLinkRoute, LeftRightStyleMovesHierarchyEndsToTheSides) {
    TRelationPath sourceParent;
    sourceParent.SetStraight({-100, 20}, {4, 20});
    sourceParent.ExitSide = psRight;
    TRelationPath targetParent;
    targetParent.SetStraight({200, 20}, {304, 20});
    targetParent.ExitSide = psRight;
    TCrossLinkRoute route;
    route.AsHierarchy = true;
    route.ConnectionStyle = csLeftRight;
    route.Source = {{0, 0, 100, 40}, sbsRectangle, 2, &sourceParent};
    route.Target = {{300, 0, 100, 40}, sbsRectangle, 2, &targetParent};
    TRelationPath path;
    UpdateCrossLinkPath(route, path);
    // r0 = (4, 20) moves to the right side 96; r3 = (304, 20) stays left of 304. dx = 300, L = 20
    ExpectPoint(path.P0, {96, 20});
    ExpectPoint(path.P1, {216, 20});
    ExpectPoint(path.P2, {184, 20});
    ExpectPoint(path.P3, {304, 20});
}

TEST(TCrossLinkRoute, PathKindFollowsPathStyleAndHandle) {
    struct TCase {
        TRelationPathStyle Style;
        bool Handle;
        TRelationPathKind Kind;
        bool HandleAfter;
    };
    const TCase cases[] = {
        {rpsBezier, false, rpkCurve, false},
        {rpsBezier, true, rpkHandleCurve, true},
        {rpsOrtho, false, rpkOrthogonal, false},
        {rpsOrtho, true, rpkOrthogonal, true},
        {rpsRounded, false, rpkRoundedOrthogonal, false},
        {rpsRounded, true, rpkRoundedOrthogonal, true},
        {rpsStraight, false, rpkStraight, false},
        {rpsStraight, true, rpkStraight, false},
    };
    for (const TConnectionStyle connection : {csCentered, csBaseline, csLeftRight}) {
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::to_string(connection) + " " + std::to_string(c.Style) + " " + std::to_string(c.Handle));
            TCrossLinkRoute route;
            route.ConnectionStyle = connection;
            route.PathStyle = c.Style;
            route.HasHandle = c.Handle;
            route.Source.Bounds = {0, 0, 100, 40};
            route.Target.Bounds = {300, 200, 100, 40};
            TRelationPath path;
            path.HandleOffset = {0, -200};
            EXPECT_EQ(UpdateCrossLinkPath(route, path), c.HandleAfter);
            EXPECT_EQ(path.Kind, c.Kind);
            ExpectPoint(path.P0, {50, 20});
            ExpectPoint(path.P3, {350, 220});
            ExpectFinite(path);
        }
    }
}

TEST(TCrossLinkRoute, BaselineLinksLeaveAnUnderlinedTopicAtTheUnderline) {
    // the source's underline: attach point Y 21 plus half the parent path's width 2
    TRelationPath sourceParent;
    sourceParent.SetStraight({-100, 10}, {0, 21});
    sourceParent.UnderlineEnd = true;
    sourceParent.ChildAttachPoint = {100, 21};
    sourceParent.Width = 2;
    struct TCase {
        const char* Name;
        TRelationPathStyle Style;
        TFloatRect Target;
        TNodeBorderStyle SourceBorder;
        bool AsHierarchy;
        bool Clipped;
    };
    const TCase cases[] = {
        {"straight down", rpsStraight, {100, 200, 100, 20}, sbsNone, false, true},
        {"curve down", rpsBezier, {100, 200, 100, 20}, sbsNone, false, true},
        {"orthogonal down", rpsOrtho, {0, 200, 100, 20}, sbsNone, false, true},
        {"leaving through the side", rpsStraight, {400, 0, 100, 20}, sbsNone, false, false},
        {"leaving through the top", rpsStraight, {0, -200, 100, 20}, sbsNone, false, false},
        {"bordered source", rpsStraight, {100, 200, 100, 20}, sbsRectangle, false, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TCrossLinkRoute route;
        route.ConnectionStyle = csBaseline;
        route.PathStyle = c.Style;
        route.AsHierarchy = c.AsHierarchy;
        route.Source = {{0, 0, 100, 20}, c.SourceBorder, 1, &sourceParent};
        route.Target.Bounds = c.Target;
        TRelationPath path;
        UpdateCrossLinkPath(route, path);
        ExpectFinite(path);
        const TFloatPoint r3 = c.Target.Center();
        ExpectPoint(path.P3, r3);
        if (!c.Clipped) {
            ExpectPoint(path.P0, {50, 10});
            continue;
        }
        // the crossing is found by halving to within 1.5 units, just outside the text above the underline
        EXPECT_GT(path.P0.Y, 22);
        EXPECT_LE(path.P0.Y, 23.5);
        const double expectedX = 50 + (path.P0.Y - 10) * (r3.X - 50) / (r3.Y - 10);
        EXPECT_NEAR(path.P0.X, expectedX, 1e-9);
        if (c.Style == rpsBezier) {
            // a clipped start pulls its control point along the link
            const TFloatPoint d = path.P3 - path.P0;
            ExpectPoint(path.P1, {path.P0.X + 0.2 * d.X, path.P0.Y + 0.4 * d.Y});
        }
    }
}

TEST(TCrossLinkRoute, HierarchyLinksAreNotClippedToTheUnderline) {
    TRelationPath sourceParent;
    sourceParent.SetStraight({-100, 10}, {0, 21});
    sourceParent.Width = 2;
    sourceParent.ChildAttachPoint = {100, 21};
    TCrossLinkRoute route;
    route.ConnectionStyle = csBaseline;
    route.PathStyle = rpsStraight;
    route.AsHierarchy = true;
    route.Source = {{0, 0, 100, 20}, sbsNone, 1, &sourceParent};
    route.Target.Bounds = {0, 200, 100, 20};
    TRelationPath path;
    UpdateCrossLinkPath(route, path);
    ExpectPoint(path.P0, {0, 21}); // the end of the source's own connection
    ExpectPoint(path.P3, {50, 210});
}

TEST(TCrossLinkRoute, LinkToTheTopicsOwnDescendant) {
    // the target hangs below the source: its parent connection starts at the source's centre
    TRelationPath targetParent;
    targetParent.SetCurve({50, 20}, {150, 20}, {150, 120}, {250, 120});
    targetParent.ExitSide = psRight;
    for (const bool asHierarchy : {false, true}) {
        for (const TRelationPathStyle style : {rpsBezier, rpsOrtho, rpsRounded, rpsStraight}) {
            SCOPED_TRACE(std::to_string(asHierarchy) + " " + std::to_string(style));
            TCrossLinkRoute route;
            route.AsHierarchy = asHierarchy;
            route.ConnectionStyle = csBaseline;
            route.PathStyle = style;
            route.Source.Bounds = kParent;
            route.Target = {{200, 100, 100, 40}, sbsNone, 1, &targetParent};
            TRelationPath path;
            UpdateCrossLinkPath(route, path);
            ExpectFinite(path);
            if (style == rpsBezier || style == rpsStraight) {
                ExpectPoint(path.P0, {50, 20});
                ExpectPoint(path.P3, {250, 120});
            }
        }
    }
}

TEST(TCrossLinkRoute, DegenerateTopicsGiveFinitePaths) {
    TRelationPath parentPath; // never built: all zero, and a width that is not a number
    parentPath.Width = std::nan("");
    const TFloatRect rects[] = {{0, 0, 0, 0}, {0, 0, 100, 40}, {50, 20, 0, 0}};
    for (const TFloatRect& a : rects) {
        for (const TFloatRect& b : rects) {
            for (const TConnectionStyle connection : {csCentered, csBaseline, csLeftRight}) {
                for (const TRelationPathStyle style : {rpsBezier, rpsOrtho, rpsRounded, rpsStraight}) {
                    for (const bool handle : {false, true}) {
                        for (const bool asHierarchy : {false, true}) {
                            SCOPED_TRACE(std::to_string(a.Width) + " " + std::to_string(b.Width) + " " +
                                         std::to_string(connection) + " " + std::to_string(style) + " " +
                                         std::to_string(handle) + " " + std::to_string(asHierarchy));
                            TCrossLinkRoute route;
                            route.ConnectionStyle = connection;
                            route.PathStyle = style;
                            route.HasHandle = handle;
                            route.AsHierarchy = asHierarchy;
                            route.Source = {a, sbsNone, 1, &parentPath};
                            route.Target = {b, sbsNone, 1, &parentPath};
                            TRelationPath path;
                            UpdateCrossLinkPath(route, path);
                            ExpectFinite(path);
                        }
                    }
                }
            }
        }
    }
}
