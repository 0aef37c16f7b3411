#include "render/GrahamScan.h"
#include "render/MapHullBuilders.h"

#include "TestSupport.h"
#include "layout/NestedNodeLayouters.h"
#include "styling/ColorSchemes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

std::vector<TGrahamPoint> Hull(std::initializer_list<TGrahamPoint> points) {
    TGrahamScan scan;
    for (const TGrahamPoint& p : points) {
        // AddPoint with no padding adds the point itself (four times)
        scan.Padding = 0;
        scan.AddPoint({static_cast<double>(p.X), static_cast<double>(p.Y)});
    }
    return scan.CalcHull();
}

bool SameCycle(std::vector<TGrahamPoint> actual, std::vector<TGrahamPoint> expected) {
    if (actual.size() != expected.size())
        return false;
    const auto start = std::find(actual.begin(), actual.end(), expected.front());
    if (start == actual.end())
        return false;
    std::rotate(actual.begin(), start, actual.end());
    return actual == expected;
}

} // namespace

TEST(GrahamScan, HullsOfSmallAndDegenerateInputs) {
    // counter-clockwise in map coordinates (y down), from the lowest y, then lowest x
    EXPECT_TRUE(SameCycle(Hull({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {5, 5}}), {{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
    EXPECT_TRUE(SameCycle(Hull({{0, 0}, {5, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 5}}),
                          {{0, 0}, {10, 0}, {10, 10}, {0, 10}})); // points on edges drop out
    EXPECT_TRUE(SameCycle(Hull({{3, 3}, {3, 3}, {9, 3}, {6, 8}, {9, 3}}), {{3, 3}, {9, 3}, {6, 8}})); // duplicates
    EXPECT_EQ(1u, Hull({{0, 0}, {5, 5}, {10, 10}, {20, 20}}).size()); // collinear: only the pivot
    EXPECT_EQ(1u, Hull({{4, 4}, {4, 4}, {4, 4}}).size());             // one point, many times
    TGrahamScan two;
    two.Padding = 0;
    two.AddPoint({0, 0});
    EXPECT_LE(two.CalcHull().size(), 1u);
    TGrahamScan empty;
    EXPECT_TRUE(empty.CalcHull().empty());
}

TEST(GrahamScan, PaddedRectangleAndBoundingBox) {
    TGrahamScan scan;
    scan.AddRect({0, 0, 100, 40});
    const TMapHull hull(scan.CalcHull());
    ASSERT_EQ(4u, hull.Points.size());
    EXPECT_EQ((TFloatPoint{-4, -4}), hull.Points[0]);
    EXPECT_TRUE(hull.Contains({50, 20}));
    EXPECT_FALSE(hull.Contains({105, 20}));
    scan.AddRect({0, 0, 0, 10}); // no area: nothing
    EXPECT_EQ(4u, scan.Points().size());

    TGrahamScan triangle;
    triangle.Padding = 0;
    for (const TFloatPoint p : {TFloatPoint{0, 0}, TFloatPoint{100, 0}, TFloatPoint{50, 80}})
        triangle.AddPoint(p);
    triangle.UseBoundingBox();
    EXPECT_EQ(4u, triangle.CalcHull().size());
    // huge and NaN coordinates stay within 64-bit arithmetic
    TGrahamScan wild;
    wild.AddPoint({1e300, -1e300});
    wild.AddPoint({std::nan(""), 0});
    wild.AddPoint({-1e300, 1e300});
    EXPECT_LE(wild.CalcHull().size(), 12u);
}

TEST(HullColor, NestingDarkensOnLightAndLightensOnDark) {
    const TColor base = RGBColor(100, 150, 220);
    const int light1 = ColorRGBToHLS(HullColor(base, 1, clWhite)).Luminance;
    const int light3 = ColorRGBToHLS(HullColor(base, 3, clWhite)).Luminance;
    EXPECT_EQ(240, light1);
    EXPECT_EQ(static_cast<int>(240 * 0.95 * 0.95), light3);
    const int dark1 = ColorRGBToHLS(HullColor(base, 1, clBlack)).Luminance;
    const int dark3 = ColorRGBToHLS(HullColor(base, 3, clBlack)).Luminance;
    EXPECT_EQ(24, dark1);
    EXPECT_GT(dark3, dark1);
    EXPECT_EQ(ColorRGBToHLS(base).Hue, ColorRGBToHLS(HullColor(base, 2, RGBColor(200, 200, 200))).Hue);
}

namespace {

class HullMap : public ::testing::Test {
protected:
    TMindMapNode* Add(TMindMapNode* parent, TFloatPoint position) {
        TMindMapNode* topic = T.Add(parent);
        topic->SetPosition(position);
        topic->SetText("topic", tfPlain);
        return topic;
    }
    void Refresh() {
        T.Map.RequestLayout();
        T.Map.Refresh();
    }
    TTestMap T;
};

bool Encloses(const TMapHull& outer, const TMapHull& inner) {
    return std::all_of(inner.Points.begin(), inner.Points.end(),
                       [&](const TFloatPoint& p) { return outer.Contains(p); });
}

} // namespace

TEST_F(HullMap, OuterHullsEncloseInnerOnesAndListBranchesAreBoxes) {
    TMindMapNode* theme = Add(nullptr, {0, 0});
    TMindMapNode* a = Add(theme, {200, 0});
    TMindMapNode* a1 = Add(a, {400, -80});
    TMindMapNode* a2 = Add(a, {420, 160}); // the inner hull bulges down to here
    Add(a1, {520, -100});
    a->EnsureHull();
    a1->EnsureHull();
    Refresh();
    std::vector<TMapHull> hulls = TMapHullBuilder(clWhite).Build(T.Map);
    ASSERT_EQ(2u, hulls.size());
    // outer first, so that inner hulls are drawn on top
    EXPECT_TRUE(hulls[0].Contains(a2->GetPosition()));
    EXPECT_FALSE(hulls[1].Contains(a2->GetPosition()));
    EXPECT_TRUE(Encloses(hulls[0], hulls[1]));
    EXPECT_EQ(hulls[1].Fill, a1->HullFill);
    EXPECT_EQ(hulls[0].Fill, a2->HullFill);
    EXPECT_EQ(clNone, theme->HullFill);
    EXPECT_EQ(Darken(hulls[0].Fill), hulls[0].StrokeColor);

    // a list branch gets its bounding box, not a slanted polygon
    SetLayoutMode(*a, nlmList);
    Refresh();
    hulls = TMapHullBuilder(clWhite).Build(T.Map);
    ASSERT_FALSE(hulls.empty());
    ASSERT_EQ(4u, hulls[0].Points.size());
    EXPECT_EQ(hulls[0].Points[0].Y, hulls[0].Points[1].Y);
    EXPECT_EQ(hulls[0].Points[1].X, hulls[0].Points[2].X);
}

TEST_F(HullMap, GroupBoundsByBorderStyle) {
    TMindMapNode* theme = Add(nullptr, {0, 0});
    TMindMapNode* left = Add(theme, {-100, 200});
    TMindMapNode* right = Add(theme, {100, 200});
    TNodeGroup* group = T.Map.NewGroup({left, right});
    group->Style().SetPadding(10);
    Refresh();
    const TFloatRect members = FloatRectUnion(left->GetBounds(), right->GetBounds());
    const TFloatRect padded = FloatRectInflate(members, 10, 10);
    const TFloatPoint c = padded.Center();
    struct TCase {
        TGroupBorderStyle Style;
        double Width;
        double Height;
    };
    const double diagonal = 2 * std::hypot(padded.Width / 2, padded.Height / 2);
    const double diamondWidth = padded.Width + padded.Height / 0.5773502691896258;
    const TCase cases[] = {
        {gbsRoundRect, padded.Width + 14, padded.Height + 14},
        {gbsRectangle, padded.Width, padded.Height},
        {gbsEllipse, padded.Width * 1.3, padded.Height * 1.41},
        {gbsCircle, diagonal, diagonal},
        {gbsDiamond, diamondWidth, diamondWidth * 0.5773502691896258},
        {gbsCloud, padded.Width * 1.3357664233576642, padded.Height * 1.4857142857142857},
    };
    for (const TCase& test : cases) {
        group->Style().SetBorderStyle(test.Style);
        UpdateGroupBounds(*group);
        const TFloatRect b = group->GetBounds();
        EXPECT_NEAR(test.Width, b.Width, 1e-9) << int(test.Style);
        EXPECT_NEAR(test.Height, b.Height, 1e-9) << int(test.Style);
        EXPECT_NEAR(c.X, b.Center().X, 1e-9);
        EXPECT_NEAR(c.Y, b.Center().Y, 1e-9);
    }
    group->Style().SetBorderStyle(gbsHull);
    UpdateGroupBounds(*group);
    EXPECT_GE(group->HullPoints.size(), 4u);
    EXPECT_TRUE(group->IsVisible());
    left->SetHidden(true);
    right->SetHidden(true);
    theme->SetCollapsed(true);
    Refresh();
    EXPECT_FALSE(group->IsVisible());
}

TEST_F(HullMap, GroupHitTestFollowsTheOutline) {
    TMindMapNode* theme = Add(nullptr, {0, 0});
    TMindMapNode* member = Add(theme, {0, 200});
    TNodeGroup* group = T.Map.NewGroup({member});
    group->Style().SetBorderWidth(0);
    Refresh();
    for (const TGroupBorderStyle style : {gbsRectangle, gbsEllipse, gbsCircle, gbsDiamond}) {
        group->Style().SetBorderStyle(style);
        UpdateGroupBounds(*group);
        const TFloatRect b = group->GetBounds();
        const TFloatPoint c = b.Center();
        // just inside and just outside the right end of the middle line: every style passes through it
        EXPECT_TRUE(GroupHitTest(*group, {b.Right() - 0.01, c.Y})) << int(style);
        EXPECT_FALSE(GroupHitTest(*group, {b.Right() + 0.01, c.Y})) << int(style);
        // the corner of the bounds is inside only for the rectangle
        const bool cornerInside = GroupHitTest(*group, {b.Right() - 0.5, b.Top + 0.5});
        EXPECT_EQ(style == gbsRectangle, cornerInside) << int(style);
    }
    // a drawn border widens the target by half its width
    group->Style().SetBorderStyle(gbsRectangle);
    group->Style().SetBorderWidth(4);
    group->Style().SetStrokeColor(clBlack);
    UpdateGroupBounds(*group);
    const TFloatRect b = group->GetBounds();
    EXPECT_TRUE(GroupHitTest(*group, {b.Right() + 1.9, b.Center().Y}));
    EXPECT_FALSE(GroupHitTest(*group, {b.Right() + 2.1, b.Center().Y}));
}
