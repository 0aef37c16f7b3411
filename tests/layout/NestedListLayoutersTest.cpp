#include "layout/NestedListLayouters.h"

#include "LayoutTestSupport.h"

#include <string>
#include <vector>

namespace {

constexpr double kInset = TLayoutTestMap::kInset;

// A central theme 100 x 30 at the origin heading a region of the mode, with children of the given sizes.
struct TRegion {
    TLayoutTestMap M;
    TMindMapNode* Head = nullptr;
    std::vector<TMindMapNode*> Children;

    TRegion(TNestedLayoutMode mode, TLayoutDirection direction, TLayoutFlow flow,
            std::initializer_list<TFloatPoint> sizes) {
        Head = M.Add(nullptr, {100, 30});
        TLayoutTestMap::SetMode(Head, mode, direction, flow);
        for (const TFloatPoint& size : sizes)
            Children.push_back(M.Add(Head, size));
    }
};

} // namespace

TEST(TNestedListLayouter, HangsItsItemsBelowTheHeadOnASpine) {
    struct TCase {
        TLayoutFlow Flow;
        TLayoutDirection Direction;
        double Sx;
        double Sy;
        TFloatPoint Origin;
    };
    const TCase cases[] = {
        {lfLtr, ldBottom, 1, 1, {50, 15}},
        {lfRtl, ldBottom, -1, 1, {50, 15}},
        {lfLtr, ldTop, 1, -1, {50, 96}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Flow) + " " + std::to_string(c.Direction));
        TRegion r(nlmList, c.Direction, c.Flow, {{60, 20}, {60, 20}, {60, 20}});
        r.M.Layout();
        EXPECT_EQ((TFloatPoint{100, 111}), r.Head->BranchSize);
        EXPECT_EQ(c.Origin, r.Head->BranchOrigin);
        const int flags = (c.Sx > 0 ? sfRight : sfLeft) | (c.Sy > 0 ? sfBelow : sfAbove);
        EXPECT_EQ(flags, r.Head->SideFlags);
        ExpectPoint({c.Sx * -40, 0}, r.Head->ChildConnectionStart);
        const double ys[] = {34, 60, 86};
        double spine = 0;
        for (std::size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            const TMindMapNode& child = *r.Children[i];
            const TFloatPoint centre{c.Sx * 10, c.Sy * ys[i]};
            ExpectPoint(centre, child.GetPosition());
            EXPECT_EQ(flags, child.SideFlags);
            EXPECT_EQ(c.Sx > 0 ? salLeft : salRight, child.AutoAlignment);
            // the spine runs 10 inside the head's near edge, from the head's centre line from item to item
            const TRelationPath& path = child.ParentRelation().Path();
            EXPECT_TRUE(path.HasLeadIn);
            EXPECT_FALSE(path.UnderlineEnd);
            EXPECT_EQ(rpkStraight, path.Kind);
            EXPECT_EQ(c.Sx > 0 ? psRight : psLeft, path.ExitSide);
            ExpectPoint({c.Sx * -40, spine}, path.LeadInStart);
            ExpectPoint({c.Sx * -40, centre.Y}, path.P0);
            ExpectPoint(centre, path.P3);
            ExpectPoint(centre, child.ChildConnectionStart);
            spine = centre.Y;
        }
    }
}

TEST(TNestedListLayouter, ItemsWithChildrenContinueTheOutline) {
    TRegion r(nlmList, ldBottom, lfLtr, {{60, 20}, {60, 20}});
    TMindMapNode* a = r.Children[0];
    TMindMapNode* b = r.Children[1];
    TMindMapNode* a0 = r.M.Add(a, {40, 20});
    TMindMapNode* a1 = r.M.Add(a, {40, 20});
    r.M.Layout();
    EXPECT_EQ((TFloatPoint{70, 72}), a->BranchSize);
    EXPECT_EQ((TFloatPoint{100, 137}), r.Head->BranchSize);
    ExpectPoint({10, 34}, a->GetPosition());
    ExpectPoint({30, 60}, a0->GetPosition());
    ExpectPoint({30, 86}, a1->GetPosition());
    ExpectPoint({10, 112}, b->GetPosition());
    // A's own spine starts at its centre line, 10 inside its near edge
    ExpectPoint({-10, 34}, a0->ParentRelation().Path().LeadInStart);
    ExpectPoint({-10, 60}, a1->ParentRelation().Path().LeadInStart);
    // the head's spine goes on past A's list
    ExpectPoint({-40, 34}, b->ParentRelation().Path().LeadInStart);
    EXPECT_TRUE(RectWithin(PlacedBounds(*r.Head), BranchRect(*r.Head)));
    EXPECT_NEAR(BranchRect(*r.Head).Bottom(), b->GetBounds().Bottom(), 1e-9);
}

TEST(TNestedListLayouter, UnderlinedItemsAreConnectedAlongTheirUnderline) {
    TLayoutTestMap m;
    m.UseBaselineConnections();
    TMindMapNode* head = m.Add(nullptr, {100, 30});
    TLayoutTestMap::SetMode(head, nlmList, ldBottom, lfLtr);
    TMindMapNode* a = m.Add(head, {60, 20}, sbsNone);
    TMindMapNode* b = m.Add(head, {60, 20}, sbsNone);
    m.Layout();
    const double w = a->ParentRelation().Path().Width;
    ASSERT_GT(w, 0);
    EXPECT_EQ((TFloatPoint{60, 20 + w}), a->BranchSize);
    ExpectPoint({10, 34}, a->GetPosition());
    const TRelationPath& path = a->ParentRelation().Path();
    const double underline = 44 + w / 2;
    EXPECT_TRUE(path.UnderlineEnd);
    ExpectPoint({-20, underline}, path.P3);
    ExpectPoint({-40, underline}, path.P0);
    ExpectPoint({40, underline}, path.ChildAttachPoint);
    ExpectPoint({-20, underline}, a->ChildConnectionStart);
    // the next item's lead-in starts where A's connection ended
    ExpectPoint({-40, underline}, b->ParentRelation().Path().LeadInStart);
}

TEST(TNestedTopDownLayouter, RowOfChildrenBelowOrAboveTheHead) {
    for (const TLayoutDirection direction : {ldBottom, ldTop}) {
        const double s = direction == ldBottom ? 1 : -1;
        SCOPED_TRACE(s > 0 ? "bottom" : "top");
        TRegion r(nlmTopDown, direction, lfLtr, {{80, 20}, {80, 20}});
        r.M.Layout();
        EXPECT_EQ((TFloatPoint{180, 110}), r.Head->BranchSize);
        ExpectPoint({90, s > 0 ? 15.0 : 95.0}, r.Head->BranchOrigin);
        ExpectPoint({0, s * 15}, r.Head->ChildConnectionStart);
        const double xs[] = {-50, 50};
        for (std::size_t i = 0; i < 2; ++i) {
            SCOPED_TRACE(i);
            const TMindMapNode& child = *r.Children[i];
            ExpectPoint({xs[i], s * 85}, child.GetPosition());
            const TRelationPath& path = child.ParentRelation().Path();
            EXPECT_FALSE(path.HasLeadIn);
            EXPECT_TRUE(path.UnderlineEnd);
            EXPECT_EQ(s > 0 ? psDown : psUp, path.ExitSide);
            // both drops start on the bus 15 beyond the head's box and end at the middle of the near edge
            ExpectPoint({0, s * 30}, path.P0);
            ExpectPoint({xs[i], s * 75}, path.P3);
            ExpectPoint(child.GetPosition(), path.ChildAttachPoint);
            ExpectPoint(path.P3, child.ChildConnectionStart);
        }
    }
}

TEST(TNestedTopDownLayouter, EachChildHangsItsOwnList) {
    TRegion r(nlmTopDown, ldBottom, lfLtr, {{80, 20}});
    TMindMapNode* a = r.Children[0];
    TMindMapNode* g = r.M.Add(a, {40, 20});
    r.M.Layout();
    EXPECT_EQ((TFloatPoint{80, 46}), a->BranchSize);
    EXPECT_EQ((TFloatPoint{100, 136}), r.Head->BranchSize);
    ExpectPoint({0, 85}, a->GetPosition());
    ExpectPoint({10, 111}, g->GetPosition());
    ExpectPoint({-30, 85}, g->ParentRelation().Path().LeadInStart);
    ExpectPoint({0, 30}, a->ParentRelation().Path().P0);
    ExpectPoint({0, 75}, a->ParentRelation().Path().P3);
}

TEST(TNestedLinearLayouter, ChildrenStandAlongTheLine) {
    struct TCase {
        TLayoutDirection Direction;
        TFloatPoint BranchSize;
        TFloatPoint Origin;
        TFloatPoint Centres[2];
    };
    const TCase cases[] = {
        {ldAlternating, {300, 88}, {50, 44}, {{110, -34}, {210, 34}}},
        // the second child starts 40 beyond the first one's centre instead of 20 beyond its end
        {ldAlternatingCompact, {240, 88}, {50, 44}, {{110, -34}, {150, 34}}},
        {ldBottom, {300, 59}, {50, 15}, {{110, 34}, {210, 34}}},
        {ldTop, {300, 59}, {50, 44}, {{110, -34}, {210, -34}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Direction));
        TRegion r(nlmHLinear, c.Direction, lfDefault, {{80, 20}, {80, 20}});
        r.M.Layout();
        EXPECT_EQ(c.BranchSize, r.Head->BranchSize);
        EXPECT_EQ(c.Origin, r.Head->BranchOrigin);
        ExpectPoint({0, 0}, r.Head->ChildConnectionStart);
        double previous = 0;
        for (std::size_t i = 0; i < 2; ++i) {
            SCOPED_TRACE(i);
            const TMindMapNode& child = *r.Children[i];
            ExpectPoint(c.Centres[i], child.GetPosition());
            EXPECT_EQ((c.Centres[i].Y > 0 ? sfBelow : sfAbove) | sfRight, child.SideFlags);
            // the lead-ins draw the line from the head's centre through each child's foot
            const TRelationPath& path = child.ParentRelation().Path();
            EXPECT_TRUE(path.HasLeadIn);
            ExpectPoint({previous, 0}, path.LeadInStart);
            ExpectPoint({c.Centres[i].X, 0}, path.P0);
            ExpectPoint(c.Centres[i], path.P3);
            previous = c.Centres[i].X;
        }
        EXPECT_TRUE(RectWithin(PlacedBounds(*r.Head), BranchRect(*r.Head)));
    }
}

TEST(TNestedLinearLayouter, CompactLineReachesAsFarAsItsLongestBranch) {
    TRegion r(nlmHLinear, ldAlternatingCompact, lfDefault, {{60, 20}, {60, 20}});
    TMindMapNode* wide = r.M.Add(r.Children[0], {300, 20});
    r.M.Layout();
    EXPECT_EQ((TFloatPoint{330, 46}), r.Children[0]->BranchSize);
    // the first child's list reaches beyond the second child
    EXPECT_EQ((TFloatPoint{450, 114}), r.Head->BranchSize);
    ExpectPoint({250, -60}, wide->GetPosition());
    EXPECT_NEAR(wide->GetBounds().Right(), BranchRect(*r.Head).Right(), 1e-9);
    EXPECT_TRUE(RectWithin(PlacedBounds(*r.Head), BranchRect(*r.Head)));
}

TEST(TNestedBaseListLayouter, HiddenItemTakesAListItemBox) {
    struct TCase {
        TNestedLayoutMode Mode;
        TLayoutDirection Direction;
        TFloatPoint BranchSize;
        TFloatPoint Hidden;
        TFloatPoint After;
    };
    const TCase cases[] = {
        {nlmList, ldBottom, {100, 113}, {-4, 61}, {10, 88}},
        {nlmTopDown, ldBottom, {132, 112}, {50, 86}, {}},
        {nlmHLinear, ldAlternating, {252, 90}, {186, 35}, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Mode));
        const TFloatPoint itemSize = c.Mode == nlmList ? TFloatPoint{60, 20} : TFloatPoint{80, 20};
        TRegion r(c.Mode, c.Direction, lfLtr, {itemSize, itemSize});
        if (c.Mode == nlmList)
            r.Children.push_back(r.M.Add(r.Head, itemSize));
        r.Children[1]->SetHidden(true);
        r.M.Layout();
        EXPECT_EQ((TFloatPoint{32, 22}), r.Children[1]->BranchSize);
        EXPECT_EQ(c.BranchSize, r.Head->BranchSize);
        ExpectPoint(c.Hidden, r.Children[1]->GetPosition());
        if (c.Mode == nlmList)
            ExpectPoint(c.After, r.Children[2]->GetPosition());
        // the hidden item's connection still ends at it: its show tool sits there
        ExpectPoint(c.Hidden, r.Children[1]->ParentRelation().Path().P3);
    }
}

TEST(TNestedBaseListLayouter, HiddenHeadInsideAnotherRegionTakesASmallBox) {
    struct TCase {
        TNestedLayoutMode Mode;
        TFloatPoint BranchSize;
    };
    const TCase cases[] = {{nlmList, {32, 22}}, {nlmTopDown, {32, 16}}, {nlmHLinear, {32, 16}}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Mode));
        TLayoutTestMap m;
        TMindMapNode* theme = m.Add(nullptr, {100, 30});
        TLayoutTestMap::SetMode(theme, nlmStrictHorizontal, ldRight);
        TMindMapNode* head = m.Add(theme, {80, 30});
        TLayoutTestMap::SetMode(head, c.Mode, DefaultLayoutOptions(c.Mode).Direction);
        m.Add(head, {60, 20});
        m.Add(theme, {60, 20});
        head->SetHidden(true);
        m.Layout();
        EXPECT_EQ(c.BranchSize, head->BranchSize);
        // centred on the slot the column keeps for it
        ExpectPoint({116, -23}, head->GetPosition());
        ExpectPoint({100 + kInset + 8, -23}, head->ParentRelation().Path().P3);
    }
}

TEST(TNestedBaseListLayouter, RegionWithoutChildrenIsItsHead) {
    for (const TNestedLayoutMode mode : {nlmList, nlmTopDown, nlmHLinear}) {
        SCOPED_TRACE(std::to_string(mode));
        TRegion r(mode, DefaultLayoutOptions(mode).Direction, lfLtr, {});
        r.M.Layout();
        ExpectPoint({0, 0}, r.Head->GetPosition());
        EXPECT_EQ((TFloatPoint{100, 30}), r.Head->BranchSize);
        EXPECT_EQ((TFloatPoint{50, 15}), r.Head->BranchOrigin);
    }
}

TEST(TNestedBaseListLayouter, NestedRegionTakesTheItemsPlace) {
    TRegion r(nlmList, ldBottom, lfLtr, {{80, 20}, {60, 20}});
    TMindMapNode* chart = r.Children[0];
    TLayoutTestMap::SetMode(chart, nlmTopDown, ldBottom, lfLtr);
    TMindMapNode* c0 = r.M.Add(chart, {40, 20});
    TMindMapNode* c1 = r.M.Add(chart, {40, 20});
    r.M.Layout();
    EXPECT_EQ((TFloatPoint{100, 100}), chart->BranchSize);
    EXPECT_EQ((TFloatPoint{130, 165}), r.Head->BranchSize);
    ExpectRect({-20, 24, 100, 100}, BranchRect(*chart));
    ExpectPoint({30, 34}, chart->GetPosition());
    ExpectPoint({0, 114}, c0->GetPosition());
    ExpectPoint({60, 114}, c1->GetPosition());
    ExpectPoint({10, 140}, r.Children[1]->GetPosition());
    // the list connects the chart's head; the chart keeps the start of its own bus
    ExpectPoint({30, 34}, chart->ParentRelation().Path().P3);
    ExpectPoint({-40, 0}, chart->ParentRelation().Path().LeadInStart);
    ExpectPoint({30, 44}, chart->ChildConnectionStart);
    ExpectPoint({30, 59}, c0->ParentRelation().Path().P0);
    ExpectPoint({-40, 34}, r.Children[1]->ParentRelation().Path().LeadInStart);
}

TEST(TNestedLinearLayouter, TimeLineResolvedAfterMeasuringStillCoversItsChildren) {
    // a time line without a direction of its own, in a list that grows upwards: it learns its side only when
    // placed, and the first pass measured it for the other one
    TTestMap t;
    TMindMapNode* head = t.Add();
    TLayoutOptions list = TLayoutOptions::ForMode(nlmList);
    list.Direction = ldTop;
    head->SetLayoutOptions(&list);
    TMindMapNode* line = t.Add(head);
    TLayoutOptions linear = TLayoutOptions::ForMode(nlmHLinear);
    linear.Direction = ldAuto;
    line->SetLayoutOptions(&linear);
    for (int i = 0; i < 3; ++i)
        t.Add(line)->SetText("event " + std::to_string(i), tfPlain);
    t.Map.RequestLayout();
    t.Map.Refresh();
    EXPECT_EQ(sfRight | sfAbove, line->SideFlags);
    for (const TMindMapNode* child : line->Children())
        EXPECT_LT(child->GetPosition().Y, line->GetPosition().Y);
    EXPECT_TRUE(RectWithin(PlacedBounds(*line), BranchRect(*line)));
}
