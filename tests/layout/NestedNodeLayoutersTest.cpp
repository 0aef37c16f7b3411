#include "layout/NestedNodeLayouters.h"

#include "TestSupport.h"
#include "model/CVMindMaps.h"

#include <gtest/gtest.h>

namespace {

// A free-form map: a central theme at the origin with two children on the right and one on the left, which has
// a child of its own.
class FreeFormLayout : public ::testing::Test {
protected:
    void SetUp() override {
        Theme = T.Add();
        Right1 = Add(Theme, {220, -60}, "right one");
        Right2 = Add(Theme, {240, 70}, "right two");
        Left = Add(Theme, {-230, 20}, "left");
        LeftChild = Add(Left, {-420, 90}, "left child");
        Refresh();
    }

    TMindMapNode* Add(TMindMapNode* parent, TFloatPoint position, const char* text) {
        TMindMapNode* topic = T.Add(parent);
        topic->SetPosition(position);
        topic->SetText(text, tfPlain);
        return topic;
    }

    void Refresh() {
        T.Map.RequestLayout();
        T.Map.Refresh();
    }

    static TFloatRect Union(std::initializer_list<TFloatRect> rects) {
        TFloatRect result = *rects.begin();
        for (const TFloatRect& r : rects)
            result = FloatRectUnion(result, r);
        return result;
    }

    static void ExpectPoint(const TFloatPoint& expected, const TFloatPoint& actual) {
        EXPECT_NEAR(expected.X, actual.X, 1e-9);
        EXPECT_NEAR(expected.Y, actual.Y, 1e-9);
    }

    static void ExpectRect(const TFloatRect& expected, const TFloatRect& actual) {
        EXPECT_NEAR(expected.Left, actual.Left, 1e-9);
        EXPECT_NEAR(expected.Top, actual.Top, 1e-9);
        EXPECT_NEAR(expected.Width, actual.Width, 1e-9);
        EXPECT_NEAR(expected.Height, actual.Height, 1e-9);
    }

    TTestMap T;
    TMindMapNode* Theme = nullptr;
    TMindMapNode* Right1 = nullptr;
    TMindMapNode* Right2 = nullptr;
    TMindMapNode* Left = nullptr;
    TMindMapNode* LeftChild = nullptr;
};

} // namespace

TEST_F(FreeFormLayout, KeepsPositionsAndUnitesBranchBoxes) {
    EXPECT_EQ((TFloatPoint{220, -60}), Right1->GetPosition());
    EXPECT_EQ((TFloatPoint{-420, 90}), LeftChild->GetPosition());
    // sizes come from the measured text: a longer text makes a wider topic of the same height
    EXPECT_GT(Right1->Size().X, Left->Size().X);
    EXPECT_DOUBLE_EQ(Right1->Size().Y, Left->Size().Y);

    ExpectRect(LeftChild->GetBounds(), BranchRect(*LeftChild));
    ExpectRect(Union({Left->GetBounds(), LeftChild->GetBounds()}), BranchRect(*Left));
    ExpectRect(Union({Theme->GetBounds(), Right1->GetBounds(), Right2->GetBounds(), Left->GetBounds(),
                      LeftChild->GetBounds()}),
               BranchRect(*Theme));
    const TFloatRect leftBox = BranchRect(*Left);
    EXPECT_EQ((TFloatPoint{-230 - leftBox.Left, 20 - leftBox.Top}), Left->BranchOrigin);
    for (const TMindMapNode* topic : {Theme, Right1, Right2, Left, LeftChild}) {
        EXPECT_EQ(0, topic->SideFlags);
        EXPECT_EQ(salCenter, topic->AutoAlignment);
    }
}

TEST_F(FreeFormLayout, BuildsCentredConnectionsFromTheParentsCentre) {
    EXPECT_EQ(Theme->GetPosition(), Theme->ChildConnectionStart);
    const TRelationPath& right = Right1->ParentRelation().Path();
    EXPECT_EQ(Theme->GetPosition(), right.P0);
    EXPECT_EQ(Right1->GetPosition(), right.P3);
    EXPECT_EQ(psRight, right.ExitSide);
    EXPECT_EQ(psLeft, Left->ParentRelation().Path().ExitSide);
    // the grandchild inherits its parent's exit side
    EXPECT_EQ(psLeft, LeftChild->ParentRelation().Path().ExitSide);
    EXPECT_NEAR(-230, LeftChild->ParentRelation().Path().P0.X, 1e-9);
    EXPECT_NEAR(20, LeftChild->ParentRelation().Path().P0.Y, 1e-9);
    // without underlines every topic's children start at its centre
    EXPECT_EQ(Left->GetPosition(), Left->ChildConnectionStart);
}

TEST_F(FreeFormLayout, CollapsedBranchCountsOnlyItsHead) {
    Left->SetCollapsed(true);
    Refresh();
    EXPECT_TRUE(Left->IsVisible());
    EXPECT_FALSE(LeftChild->IsVisible());
    ExpectRect(Left->GetBounds(), BranchRect(*Left));
    ExpectRect(Union({Theme->GetBounds(), Right1->GetBounds(), Right2->GetBounds(), Left->GetBounds()}),
               BranchRect(*Theme));
}

TEST_F(FreeFormLayout, HiddenTopicTakesASmallBoxOnItsPosition) {
    Right2->SetHidden(true);
    Right2->SetPosition({400, 300});
    Refresh();
    EXPECT_EQ((TFloatPoint{32, 16}), Right2->BranchSize);
    EXPECT_EQ((TFloatPoint{16, 8}), Right2->BranchOrigin);
    const TFloatRect box = BranchRect(*Theme);
    EXPECT_DOUBLE_EQ(416, box.Right());
    EXPECT_DOUBLE_EQ(308, box.Bottom());
    // its connection is still built: the show tool sits at its end
    EXPECT_EQ((TFloatPoint{400, 300}), Right2->ParentRelation().Path().P3);
}

TEST_F(FreeFormLayout, PositionedByParentCentresTheBranchBoxOnTheAnchor) {
    TNestedNodeLayouter layouter(T.Map);
    TSubLayouter* sub = layouter.SubLayouterFor(*Left);
    ASSERT_NE(nullptr, sub);
    sub->Measure(*Left, 0);
    const TFloatPoint offset = LeftChild->GetPosition() - Left->GetPosition();
    sub->Place(*Left, true, 0, {1000, 500});
    const TFloatRect box = BranchRect(*Left);
    EXPECT_NEAR(1000, box.Center().X, 1e-9);
    EXPECT_NEAR(500, box.Center().Y, 1e-9);
    // the whole branch moves with its head
    EXPECT_EQ(offset, LeftChild->GetPosition() - Left->GetPosition());
}

TEST_F(FreeFormLayout, UnderlinedTopicsStartTheirChildrenAtTheFarEndOfTheUnderline) {
    T.Map.MapStyle().SetConnectionStyle(csBaseline);
    T.Map.MapStyle().SetOverride(msoConnectionStyle, true);
    Left->Style().SetBorderStyle(sbsNone);
    Left->Style().SetOverride(nsoBorderStyle, true);
    Refresh();
    const TFloatRect left = Left->GetBounds();
    const double halfWidth = Left->ParentRelation().Path().Width / 2;
    // a left branch: the underline runs from the right end (nearer the parent) to the left end
    ExpectPoint({left.Left, left.Bottom() + halfWidth}, Left->ChildConnectionStart);
    ExpectPoint(Left->ChildConnectionStart, LeftChild->ParentRelation().Path().P0);
    EXPECT_TRUE(Left->ParentRelation().Path().UnderlineEnd);

    // the same point when the underlined topic heads its own free region
    SetLayoutMode(*Left, nlmFree);
    Refresh();
    ExpectPoint({left.Left, left.Bottom() + halfWidth}, Left->ChildConnectionStart);
    ExpectPoint(Left->ChildConnectionStart, LeftChild->ParentRelation().Path().P0);
}

TEST_F(FreeFormLayout, RegionOfAnUnknownModeIsLeftAsItIs) {
    TLayoutOptions unknown;
    unknown.Mode = static_cast<TNestedLayoutMode>(12);
    Left->SetLayoutOptions(&unknown);
    LeftChild->SetPosition({-700, 400});
    Refresh();
    EXPECT_EQ((TFloatPoint{-230, 20}), Left->GetPosition());
    EXPECT_EQ((TFloatPoint{-700, 400}), LeftChild->GetPosition());
    EXPECT_EQ(Left->Size(), Left->BranchSize);
}

TEST_F(FreeFormLayout, ContentBoundsCoverWhatIsShown) {
    const TFloatRect all = T.Map.GetContentBounds(true);
    ExpectRect(BranchRect(*Theme), all);
    LeftChild->SetHidden(true);
    Refresh();
    ExpectRect(Union({Theme->GetBounds(), Right1->GetBounds(), Right2->GetBounds(), Left->GetBounds()}),
               T.Map.GetContentBounds(false));
    ExpectRect(all, T.Map.GetContentBounds(true));
    TMindMap empty;
    EXPECT_EQ((TFloatRect{0, 0, 0, 0}), empty.GetContentBounds(true));
}

TEST(NormalizeLayoutModes, StoresAModeOnlyWhereItChangesTheLayout) {
    struct TCase {
        TNestedLayoutMode Parent;
        TNestedLayoutMode Child;
        TNestedLayoutMode Expected;
    };
    const TCase cases[] = {
        {nlmList, nlmList, nlmParent},   // the same as inherited
        {nlmList, nlmRadial, nlmParent}, // radial only under free-form
        {nlmMatrix, nlmList, nlmParent}, // no regions inside a matrix
        {nlmRadial, nlmStrictVertical, nlmParent},
        {nlmFree, nlmRadial, nlmRadial},
        {nlmList, nlmTopDown, nlmTopDown},
        {nlmParent, nlmFree, nlmParent}, // a central theme without mode is free-form
    };
    for (const TCase& test : cases) {
        TTestMap t;
        TMindMapNode* theme = t.Add();
        TMindMapNode* child = t.Add(theme);
        TMindMapNode* grandchild = t.Add(child);
        SetLayoutMode(*theme, test.Parent);
        SetLayoutMode(*child, test.Child);
        SetLayoutMode(*grandchild, nlmFree);
        NormalizeLayoutModes(t.Map);
        EXPECT_EQ(test.Expected, child->LayoutMode()) << int(test.Parent) << " " << int(test.Child);
        if (test.Expected != nlmParent) {
            ASSERT_NE(nullptr, child->LayoutOptions());
            EXPECT_EQ(DefaultLayoutOptions(test.Expected), *child->LayoutOptions());
        }
    }
}

TEST(ImportArrangement, StacksTheCentralThemesSixtyApart) {
    TTestMap t;
    std::vector<TMindMapNode*> themes;
    for (int i = 0; i < 3; ++i) {
        TMindMapNode* theme = t.Add();
        theme->SetText("Theme " + std::to_string(i), tfPlain);
        for (int j = 0; j < 2 + 3 * i; ++j)
            t.Add(theme)->SetText("child " + std::to_string(j), tfPlain);
        themes.push_back(theme);
    }
    ImportArrangement(t.Map);
    double top = 0;
    for (TMindMapNode* theme : themes) {
        EXPECT_EQ(nlmStrictHorizontal, theme->LayoutMode());
        std::vector<TMindMapNode*> branch;
        theme->CollectBranch(branch);
        TFloatRect box = theme->GetBounds();
        for (const TMindMapNode* topic : branch)
            box = FloatRectUnion(box, topic->GetBounds());
        EXPECT_NEAR(top, box.Top, 1e-9);
        top = box.Bottom() + 60;
    }
}

TEST(LayoutPass, DeepChainIsLaidOutWithoutRecursion) {
    // built as a reader builds it: linked from the bottom up, so that no link walks the chain
    TMindMap map;
    std::vector<TMindMapNode*> chain;
    for (int i = 0; i < 50000; ++i)
        chain.push_back(map.NewTopic({i * 10.0, 0}, true));
    for (std::size_t i = chain.size() - 1; i > 0; --i)
        chain[i]->SetParent(chain[i - 1]);
    for (TMindMapNode* topic : chain)
        topic->FinishLoading();
    map.RebuildCentralThemes();
    map.RequestLayout();
    map.Refresh();
    const TMindMapNode* theme = map.CentralThemeAt(0);
    const TMindMapNode* topic = chain.back();
    EXPECT_NEAR(499990 + topic->Size().X / 2 + theme->Size().X / 2, theme->BranchSize.X, 1e-6);
    EXPECT_EQ((TFloatPoint{499980, 0}), topic->ParentRelation().Path().P0);
}
