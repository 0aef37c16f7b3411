#include "layout/NestedColumnLayouters.h"

#include "LayoutTestSupport.h"

#include <string>
#include <vector>

namespace {

constexpr double kInset = TLayoutTestMap::kInset;

} // namespace

// A central theme 100 x 30 with one child A (80 x 30) whose three children have branch heights 20, 40 and 20.
TEST(TNestedHorizontalLayouter, StacksChildrenInAColumnBesideTheirParent) {
    for (const TLayoutDirection direction : {ldRight, ldLeft}) {
        const double s = direction == ldRight ? 1 : -1;
        SCOPED_TRACE(s > 0 ? "right" : "left");
        TLayoutTestMap m;
        TMindMapNode* theme = m.Add(nullptr, {100, 30});
        TLayoutTestMap::SetMode(theme, nlmStrictHorizontal, direction);
        TMindMapNode* a = m.Add(theme, {80, 30});
        std::vector<TMindMapNode*> leaves;
        for (const double height : {20.0, 40.0, 20.0})
            leaves.push_back(m.Add(a, {60, height}));
        m.Layout();

        // the column of A's children totals 20 + 40 + 20 + 3 x 9 = 107; its centres lie 39 apart
        EXPECT_EQ((TFloatPoint{190, 104}), a->BranchSize);
        EXPECT_EQ((TFloatPoint{340, 104}), theme->BranchSize);
        ExpectPoint({0, 0}, theme->GetPosition());
        ExpectPoint({s * 140, 0}, a->GetPosition());
        const double ys[] = {-39, 0, 39};
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            // the column starts 50 beyond A's far edge
            ExpectPoint({s * 260, ys[i]}, leaves[static_cast<std::size_t>(i)]->GetPosition());
            EXPECT_EQ(s > 0 ? sfRight | sfBelow : sfLeft | sfBelow, leaves[static_cast<std::size_t>(i)]->SideFlags);
            EXPECT_EQ(s > 0 ? salLeft : salRight, leaves[static_cast<std::size_t>(i)]->AutoAlignment);
        }
        ExpectPoint(s > 0 ? TFloatPoint{50, 52} : TFloatPoint{290, 52}, theme->BranchOrigin);
        ExpectPoint(s > 0 ? TFloatPoint{40, 52} : TFloatPoint{150, 52}, a->BranchOrigin);
        EXPECT_EQ(s > 0 ? salLeft : salRight, a->AutoAlignment);

        // a first-level curve leaves the bordered central theme from its centre, almost level
        const TRelationPath& first = a->ParentRelation().Path();
        EXPECT_EQ(rpkCurve, first.Kind);
        EXPECT_EQ(s > 0 ? psRight : psLeft, first.ExitSide);
        ExpectPoint({0, 0}, first.P0);
        ExpectPoint({s * (100 + kInset), 0}, first.P3);
        ExpectPoint({s * 55.7, 0}, first.P2);
        ExpectPoint({s * (0.3 * 35 + 0.7 * 55.7), 0}, first.P1);
        // A has children: they start at its far edge
        ExpectPoint({s * (180 - kInset), 0}, a->ChildConnectionStart);
        EXPECT_TRUE(first.UnderlineEnd);
        ExpectPoint(a->ChildConnectionStart, first.ChildAttachPoint);
        const TRelationPath& last = leaves[2]->ParentRelation().Path();
        ExpectPoint(a->ChildConnectionStart, last.P0);
        ExpectPoint({s * (230 + kInset), 39}, last.P3);
        ExpectPoint({s * (180 - kInset + 30), 0}, last.P1);
        ExpectPoint({s * (230 + kInset - 30), 39}, last.P2);
        ExpectPoint(leaves[2]->GetPosition(), leaves[2]->ChildConnectionStart);
    }
}

TEST(TNestedHorizontalLayouter, CentralThemeSpreadsItsChildrenOverBothSides) {
    struct TCase {
        TLayoutDirection Direction;
        TFloatPoint Centres[4];
    };
    const TCase cases[] = {
        {ldAuto, {{130, -23}, {130, 23}, {-130, -23}, {-130, 23}}},
        // the left column is filled from the bottom up, so that the branches read clockwise
        {ldAutoCW, {{130, -23}, {130, 23}, {-130, 23}, {-130, -23}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Direction);
        TLayoutTestMap m;
        TMindMapNode* theme = m.Add(nullptr, {100, 30});
        TLayoutTestMap::SetMode(theme, nlmStrictHorizontal, c.Direction);
        std::vector<TMindMapNode*> children;
        for (int i = 0; i < 4; ++i)
            children.push_back(m.Add(theme, {60, 20}));
        m.Layout();
        EXPECT_EQ((TFloatPoint{320, 72}), theme->BranchSize);
        EXPECT_EQ((TFloatPoint{160, 36}), theme->BranchOrigin);
        EXPECT_EQ(salCenter, theme->AutoAlignment);
        for (std::size_t i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            ExpectPoint(c.Centres[i], children[i]->GetPosition());
            const bool right = i < 2;
            EXPECT_EQ(right ? sfRight | sfBelow : sfLeft | sfBelow, children[i]->SideFlags);
            EXPECT_EQ(right ? salLeft : salRight, children[i]->AutoAlignment);
            EXPECT_EQ(right ? psRight : psLeft, children[i]->ParentRelation().Path().ExitSide);
            ExpectPoint({right ? 100 + kInset : -100 - kInset, c.Centres[i].Y},
                        children[i]->ParentRelation().Path().P3);
        }
    }
}

TEST(TNestedHorizontalLayouter, ManualCentralThemeKeepsTheSidesTheUserDraggedTo) {
    TLayoutTestMap m;
    TMindMapNode* theme = m.Add(nullptr, {100, 30});
    TLayoutTestMap::SetMode(theme, nlmStrictHorizontal, ldManual);
    TMindMapNode* c0 = m.Add(theme, {60, 20});
    TMindMapNode* c1 = m.Add(theme, {60, 20});
    TMindMapNode* c2 = m.Add(theme, {60, 20});
    c0->SetPosition({200, -50});
    c1->SetPosition({-200, -40});
    c2->SetPosition({-220, 40});
    m.Layout();
    // the first child left of the theme splits the children: one on the right, two on the left
    ExpectPoint({130, 0}, c0->GetPosition());
    ExpectPoint({-130, -23}, c1->GetPosition());
    ExpectPoint({-130, 23}, c2->GetPosition());
    EXPECT_EQ((TFloatPoint{320, 72}), theme->BranchSize);
    // laid out again, they stay where they are
    m.Layout();
    ExpectPoint({130, 0}, c0->GetPosition());
    ExpectPoint({-130, 23}, c2->GetPosition());
}

TEST(TNestedHorizontalLayouter, HiddenTopicTakesASmallBoxAndItsConnectionEndsInsideIt) {
    TLayoutTestMap m;
    TMindMapNode* theme = m.Add(nullptr, {100, 30});
    TLayoutTestMap::SetMode(theme, nlmStrictHorizontal, ldRight);
    TMindMapNode* c0 = m.Add(theme, {60, 20});
    TMindMapNode* hidden = m.Add(theme, {60, 20}, sbsNone);
    TMindMapNode* below = m.Add(hidden, {60, 20});
    TMindMapNode* c2 = m.Add(theme, {60, 20});
    below->SetPosition({900, 900});
    hidden->SetHidden(true);
    m.Layout();
    ASSERT_FALSE(hidden->IsVisible());
    EXPECT_EQ((TFloatPoint{32, 16}), hidden->BranchSize);
    EXPECT_EQ((TFloatPoint{16, 8}), hidden->BranchOrigin);
    // 20 + 16 + 20 and two spacings of 26, with 6 for the expanded theme
    EXPECT_EQ((TFloatPoint{210, 114}), theme->BranchSize);
    ExpectPoint({130, -44}, c0->GetPosition());
    ExpectPoint({116, 0}, hidden->GetPosition());
    ExpectPoint({130, 44}, c2->GetPosition());
    const TRelationPath& path = hidden->ParentRelation().Path();
    ExpectPoint({108, 0}, path.P3);
    EXPECT_FALSE(path.UnderlineEnd);
    ExpectPoint(path.P3, hidden->ChildConnectionStart);
    // what lies below a hidden topic is not placed
    ExpectPoint({900, 900}, below->GetPosition());
}

TEST(TNestedHorizontalLayouter, CollapsedTopicCountsOnlyItself) {
    TLayoutTestMap m;
    TMindMapNode* theme = m.Add(nullptr, {100, 30});
    TLayoutTestMap::SetMode(theme, nlmStrictHorizontal, ldRight);
    TMindMapNode* a = m.Add(theme, {80, 30});
    m.Add(a, {60, 20});
    m.Add(a, {60, 20});
    a->SetCollapsed(true);
    m.Layout();
    EXPECT_EQ((TFloatPoint{80, 30}), a->BranchSize);
    ExpectPoint({140, 0}, a->GetPosition());
    ExpectPoint(a->GetPosition(), a->ChildConnectionStart);
    EXPECT_EQ((TFloatPoint{230, 30}), theme->BranchSize);
}

TEST(TNestedHorizontalLayouter, UnderlinedTopicsChildrenStartAtTheFarEndOfTheUnderline) {
    TLayoutTestMap m;
    m.UseBaselineConnections();
    TMindMapNode* theme = m.Add(nullptr, {100, 30});
    TLayoutTestMap::SetMode(theme, nlmStrictHorizontal, ldRight);
    TMindMapNode* a = m.Add(theme, {80, 30}, sbsNone);
    TMindMapNode* c = m.Add(a, {60, 20});
    m.Layout();
    const double w = a->ParentRelation().Path().Width;
    ASSERT_GT(w, 0);
    // the underline makes A's box taller; the box, not the text, is centred on the column's line
    EXPECT_EQ((TFloatPoint{190, 30 + w}), a->BranchSize);
    ExpectPoint({140, -w / 2}, a->GetPosition());
    const TRelationPath& path = a->ParentRelation().Path();
    ExpectPoint({100, 15}, path.P3);
    EXPECT_TRUE(path.UnderlineEnd);
    ExpectPoint({180, 15}, a->ChildConnectionStart);
    ExpectPoint({180, 15}, path.ChildAttachPoint);
    ExpectPoint({180, 15}, c->ParentRelation().Path().P0);
    ExpectPoint({260, 0}, c->GetPosition());
}

TEST(TNestedHorizontalLayouter, NestedRegionTakesTheBoxItsColumnReserves) {
    TLayoutTestMap m;
    TMindMapNode* theme = m.Add(nullptr, {100, 30});
    TLayoutTestMap::SetMode(theme, nlmStrictHorizontal, ldRight);
    TMindMapNode* list = m.Add(theme, {80, 30});
    TLayoutTestMap::SetMode(list, nlmList, ldAuto);
    TMindMapNode* item0 = m.Add(list, {60, 20});
    TMindMapNode* item1 = m.Add(list, {60, 20});
    TMindMapNode* sibling = m.Add(theme, {60, 20});
    m.Layout();
    EXPECT_EQ((TFloatPoint{90, 85}), list->BranchSize);
    EXPECT_EQ((TFloatPoint{240, 137}), theme->BranchSize);
    // the list's branch box starts at the column and is centred on its slot
    ExpectRect({100, -65.5, 90, 85}, BranchRect(*list));
    ExpectPoint({140, -50.5}, list->GetPosition());
    ExpectPoint({160, -16.5}, item0->GetPosition());
    ExpectPoint({160, 9.5}, item1->GetPosition());
    ExpectPoint({130, 55.5}, sibling->GetPosition());
    EXPECT_EQ(sfRight | sfBelow, list->SideFlags);
    // the column connects the list's head; the list connects its items along its spine
    ExpectPoint({100 + kInset, -50.5}, list->ParentRelation().Path().P3);
    EXPECT_TRUE(item0->ParentRelation().Path().HasLeadIn);
    ExpectPoint({110, -50.5}, item0->ParentRelation().Path().LeadInStart);
}

TEST(TNestedVerticalLayouter, StacksChildrenInARowBelowOrAboveTheirParent) {
    for (const TLayoutDirection direction : {ldBottom, ldTop}) {
        const double s = direction == ldBottom ? 1 : -1;
        SCOPED_TRACE(s > 0 ? "bottom" : "top");
        TLayoutTestMap m;
        TMindMapNode* theme = m.Add(nullptr, {100, 30});
        TLayoutTestMap::SetMode(theme, nlmStrictVertical, direction);
        std::vector<TMindMapNode*> children;
        for (int i = 0; i < 3; ++i)
            children.push_back(m.Add(theme, {60, 20}));
        m.Layout();
        EXPECT_EQ((TFloatPoint{248, 110}), theme->BranchSize);
        ExpectPoint({124, s > 0 ? 15.0 : 95.0}, theme->BranchOrigin);
        ExpectPoint({0, s * 11}, theme->ChildConnectionStart);
        const double xs[] = {-92, 0, 92};
        for (std::size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            ExpectPoint({xs[i], s * 85}, children[i]->GetPosition());
            EXPECT_EQ(s > 0 ? sfRight | sfBelow : sfRight | sfAbove, children[i]->SideFlags);
            EXPECT_EQ(salCenter, children[i]->AutoAlignment);
            const TRelationPath& path = children[i]->ParentRelation().Path();
            EXPECT_EQ(s > 0 ? psDown : psUp, path.ExitSide);
            ExpectPoint({0, s * 11}, path.P0);
            ExpectPoint({0, s * 47}, path.P1);
            ExpectPoint({xs[i], s * 43}, path.P2);
            ExpectPoint({xs[i], s * 79}, path.P3);
        }
    }
}

TEST(TNestedVerticalLayouter, CentralThemeSpreadsItsChildrenAboveAndBelow) {
    TLayoutTestMap m;
    TMindMapNode* theme = m.Add(nullptr, {100, 30});
    TLayoutTestMap::SetMode(theme, nlmStrictVertical, ldAuto);
    std::vector<TMindMapNode*> children;
    for (int i = 0; i < 4; ++i)
        children.push_back(m.Add(theme, {60, 20}));
    m.Layout();
    EXPECT_EQ((TFloatPoint{156, 190}), theme->BranchSize);
    EXPECT_EQ((TFloatPoint{78, 95}), theme->BranchOrigin);
    const TFloatPoint centres[] = {{-46, -85}, {46, -85}, {-46, 85}, {46, 85}};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        ExpectPoint(centres[i], children[i]->GetPosition());
        EXPECT_EQ(i < 2 ? sfRight | sfAbove : sfRight | sfBelow, children[i]->SideFlags);
        ExpectPoint({0, i < 2 ? -11.0 : 11.0}, children[i]->ParentRelation().Path().P0);
    }
}

TEST(TNestedColumnLayouters, RegionWithoutChildrenOrWithOneChild) {
    struct TCase {
        TNestedLayoutMode Mode;
        TLayoutDirection Direction;
        int Children;
        TFloatPoint BranchSize;
        TFloatPoint BranchOrigin;
        TFloatPoint Child;
    };
    const TCase cases[] = {
        {nlmStrictHorizontal, ldAuto, 0, {100, 30}, {50, 15}, {}},
        {nlmStrictVertical, ldAuto, 0, {100, 30}, {50, 15}, {}},
        {nlmStrictHorizontal, ldRight, 1, {210, 30}, {50, 15}, {130, 0}},
        {nlmStrictHorizontal, ldAuto, 1, {210, 30}, {50, 15}, {130, 0}},
        {nlmStrictVertical, ldTop, 1, {100, 110}, {50, 95}, {0, -85}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Mode) + " " + std::to_string(c.Direction));
        TLayoutTestMap m;
        TMindMapNode* theme = m.Add(nullptr, {100, 30});
        TLayoutTestMap::SetMode(theme, c.Mode, c.Direction);
        TMindMapNode* child = c.Children > 0 ? m.Add(theme, {60, 20}) : nullptr;
        m.Layout();
        ExpectPoint({0, 0}, theme->GetPosition());
        EXPECT_EQ(c.BranchSize, theme->BranchSize);
        EXPECT_EQ(c.BranchOrigin, theme->BranchOrigin);
        if (child)
            ExpectPoint(c.Child, child->GetPosition());
    }
}

TEST(TNestedColumnLayouters, RegionUnderAFreeBranchKeepsItsPlace) {
    TLayoutTestMap m;
    TMindMapNode* theme = m.Add(nullptr, {100, 30});
    TMindMapNode* head = m.Add(theme, {80, 30});
    head->SetPosition({-300, 100});
    TLayoutTestMap::SetMode(head, nlmStrictHorizontal, ldAuto);
    TMindMapNode* child = m.Add(head, {60, 20});
    m.Layout();
    // left of its free parent, so its column goes left
    ExpectPoint({-300, 100}, head->GetPosition());
    ExpectPoint({-300 - 40 - 50 - 30, 100}, child->GetPosition());
    EXPECT_EQ(sfLeft | sfBelow, head->SideFlags);
    EXPECT_EQ(salRight, head->AutoAlignment);
    // the free parent's branch box takes in the whole column
    EXPECT_TRUE(RectWithin(child->GetBounds(), BranchRect(*theme)));
    ExpectRect({-300 + 40 - 190, 100 - 15, 190, 30}, BranchRect(*head));
}

TEST(TNestedColumnLayouters, LongChainInOneRegionIsLaidOutWithoutRecursion) {
    // built as a reader builds it: linked from the bottom up
    TMindMap map;
    std::vector<TMindMapNode*> chain;
    for (int i = 0; i < 50000; ++i)
        chain.push_back(map.NewTopic({0, 0}, true));
    for (std::size_t i = chain.size() - 1; i > 0; --i)
        chain[i]->SetParent(chain[i - 1]);
    for (TMindMapNode* topic : chain)
        topic->FinishLoading();
    map.RebuildCentralThemes();
    SetLayoutMode(*chain.front(), nlmStrictHorizontal);
    TLayoutOptions right = TLayoutOptions::ForMode(nlmStrictHorizontal);
    right.Direction = ldRight;
    chain.front()->SetLayoutOptions(&right);
    map.RequestLayout();
    map.Refresh();
    // each link stands 50 beyond the far edge of the one before
    double x = chain.front()->GetPosition().X - chain.front()->Size().X / 2;
    for (std::size_t i = 0; i + 1 < chain.size(); ++i)
        x += chain[i]->Size().X + 50;
    const TMindMapNode& last = *chain.back();
    EXPECT_NEAR(x + last.Size().X / 2, last.GetPosition().X, 1e-6);
    EXPECT_NEAR(0, last.GetPosition().Y, 1e-9);
    EXPECT_NEAR(x + last.Size().X - (chain.front()->GetPosition().X - chain.front()->Size().X / 2),
                chain.front()->BranchSize.X, 1e-6);
}

TEST(TNestedColumnLayouters, RegionsNestedBeyondTheLimitAreLaidOutFree) {
    // a chain whose every topic heads a region of its own: lists in columns in lists ...
    TMindMap map;
    std::vector<TMindMapNode*> chain;
    for (int i = 0; i < 3000; ++i)
        chain.push_back(map.NewTopic({i * 7.0, i * 3.0}, true));
    for (std::size_t i = chain.size() - 1; i > 0; --i)
        chain[i]->SetParent(chain[i - 1]);
    for (std::size_t i = 1; i < chain.size(); ++i) {
        TLayoutOptions options = TLayoutOptions::ForMode(i % 2 == 1 ? nlmList : nlmStrictHorizontal);
        options.Direction = i % 2 == 1 ? ldBottom : ldRight;
        options.Flow = lfLtr;
        chain[i]->SetLayoutOptions(&options);
    }
    for (TMindMapNode* topic : chain)
        topic->FinishLoading();
    map.RebuildCentralThemes();
    map.RequestLayout();
    map.Refresh();
    // near the top the rules hold: a list hangs with its near edge at its column, its item below it
    const TMindMapNode& column = *chain[10];
    const TMindMapNode& list = *chain[11];
    const TMindMapNode& item = *chain[12];
    EXPECT_NEAR(column.GetPosition().X + column.Size().X / 2 + 50, BranchRect(list).Left, 1e-6);
    EXPECT_NEAR(list.GetPosition().X - list.Size().X / 2 + 30, BranchRect(item).Left, 1e-6);
    // deep down the topics keep their places relative to each other
    const TFloatPoint offset = chain[2500]->GetPosition() - chain[2400]->GetPosition();
    EXPECT_NEAR(700, offset.X, 1e-6);
    EXPECT_NEAR(300, offset.Y, 1e-6);
}
