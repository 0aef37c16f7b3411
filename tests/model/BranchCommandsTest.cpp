#include "TestSupport.h"
#include "model/CVMindMaps.h"

#include <gtest/gtest.h>

namespace {

// theme - a - a1, a2 (a1 has a leaf a11); theme - b (a leaf)
class BranchCommands : public ::testing::Test {
protected:
    void SetUp() override {
        Theme = T.Add();
        A = T.Add(Theme);
        A1 = T.Add(A);
        A11 = T.Add(A1);
        A2 = T.Add(A);
        B = T.Add(Theme);
    }

    TMindMap& Map() { return T.Map; }
    void Run(TBranchCommand command, std::initializer_list<TMindMapElement*> selection) {
        Map().Select(nullptr);
        for (TMindMapElement* element : selection)
            Map().ToggleSelection(element, false);
        Map().RunBranchCommand(command);
    }

    TTestMap T;
    TMindMapNode* Theme = nullptr;
    TMindMapNode* A = nullptr;
    TMindMapNode* A1 = nullptr;
    TMindMapNode* A11 = nullptr;
    TMindMapNode* A2 = nullptr;
    TMindMapNode* B = nullptr;
};

} // namespace

TEST_F(BranchCommands, CollapseHidesOnlyTheDescendants) {
    Run(bcCollapse, {A});
    EXPECT_TRUE(A->Collapsed());
    EXPECT_TRUE(A->IsVisible());
    EXPECT_FALSE(A1->IsVisible());
    EXPECT_FALSE(A11->IsVisible());
    EXPECT_FALSE(A1->Collapsed());
    Run(bcExpand, {A});
    EXPECT_TRUE(A11->IsVisible());
}

TEST_F(BranchCommands, CommandsThatChangeNothing) {
    // a free text in the selection: collapse sees an empty list
    TMindMapText* text = A->AddText("note", tfPlain);
    Run(bcCollapse, {A, text});
    EXPECT_FALSE(A->Collapsed());
    Run(bcCollapse, {B});
    EXPECT_FALSE(B->Collapsed());
    Run(bcCollapseChildren, {A1}); // its only child is a leaf
    EXPECT_FALSE(A11->Collapsed());
    EXPECT_TRUE(A11->IsVisible());
    Run(bcHide, {Theme});
    EXPECT_FALSE(Theme->Hidden());
    EXPECT_TRUE(Theme->Selected());
}

TEST_F(BranchCommands, ExpandRevealsCollapsedAndHiddenAncestors) {
    A1->SetCollapsed(true);
    A->SetCollapsed(true);
    A->SetHidden(true);
    A1->SetHidden(true);
    ASSERT_FALSE(A1->IsVisible());
    Run(bcExpand, {A1});
    EXPECT_FALSE(A1->Collapsed());
    EXPECT_FALSE(A->Collapsed());
    EXPECT_FALSE(A->Hidden());
    EXPECT_FALSE(A1->Hidden());
    EXPECT_TRUE(A11->IsVisible());
}

TEST_F(BranchCommands, FullCommandsWalkTheWholeBranch) {
    Run(bcFullCollapse, {Theme});
    EXPECT_TRUE(Theme->Collapsed());
    EXPECT_TRUE(A->Collapsed());
    EXPECT_TRUE(A1->Collapsed());
    EXPECT_FALSE(A11->Collapsed()); // a leaf refuses
    EXPECT_FALSE(A->IsVisible());
    Run(bcFullExpand, {Theme});
    EXPECT_TRUE(A11->IsVisible());

    Run(bcFullHide, {Theme});
    EXPECT_FALSE(Theme->Hidden());
    for (TMindMapNode* topic : {A, A1, A11, A2, B})
        EXPECT_TRUE(topic->Hidden());
    // Full hide with one selected topic that stays visible keeps the selection
    EXPECT_TRUE(Theme->Selected());
}

TEST_F(BranchCommands, HideSelectsTheParentOrKeepsTheConnection) {
    Run(bcHide, {A1});
    EXPECT_TRUE(A1->Hidden());
    EXPECT_FALSE(A11->IsVisible());
    EXPECT_EQ(A, Map().SelectedElement());

    Run(bcHide, {&A2->ParentRelation()});
    EXPECT_TRUE(A2->Hidden());
    EXPECT_EQ(&A2->ParentRelation(), Map().SelectedElement());
    // collapse does not take connections
    Run(bcCollapse, {&A->ParentRelation()});
    EXPECT_FALSE(A->Collapsed());

    Run(bcShow, {A1});
    EXPECT_FALSE(A1->Hidden());
    EXPECT_TRUE(A11->IsVisible());
    EXPECT_EQ(A1, Map().SelectedElement());
}

TEST_F(BranchCommands, HideChildrenDeselectsWhatDisappears) {
    Run(bcHideChildren, {A, A1});
    EXPECT_TRUE(A1->Hidden());
    EXPECT_TRUE(A2->Hidden());
    ASSERT_EQ(1u, Map().Selection().size());
    EXPECT_EQ(A, Map().SelectedElement());

    Run(bcFullHide, {A11});
    EXPECT_EQ(nullptr, Map().SelectedElement());
}

TEST_F(BranchCommands, FullShowUnderAHiddenParentStaysInvisible) {
    A->SetHidden(true);
    A1->SetHidden(true);
    Run(bcFullShow, {A1});
    EXPECT_FALSE(A1->Hidden());
    EXPECT_FALSE(A1->IsVisible());
    EXPECT_TRUE(A->Hidden());
    Run(bcShowChildren, {Theme});
    EXPECT_TRUE(A11->IsVisible());
}

TEST_F(BranchCommands, RevealElementStandsForTheOwner) {
    A->SetCollapsed(true);
    TCrossLink* link = Map().NewCrossLink(A11, B);
    TMindMapText* label = link->AddText("label", tfPlain);
    B->SetHidden(true);
    Map().RevealElement(label);
    EXPECT_TRUE(A11->IsVisible());
    EXPECT_TRUE(B->IsVisible());
}

TEST_F(BranchCommands, ToolsSitBesideTheTopic) {
    // a collapsed topic right of its parent, 100 wide, centred at (300, 50)
    A->SetCollapsed(true);
    A->SetPosition({300, 50});
    Map().RequestLayout();
    Map().Refresh();
    A->SetSize({100, 30});
    A->SideFlags = sfRight;
    EXPECT_EQ((TFloatPoint{242, 50}), Map().ExpandToolCentre(*A, false));
    EXPECT_EQ((TFloatPoint{358, 50}), Map().ExpandToolCentre(*A, true));
    Map().Select(B);
    struct TCase {
        TFloatPoint Point;
        bool Option;
        bool Hit;
    };
    const TCase cases[] = {
        {{234, 42}, false, true},    {{250, 58}, false, true}, {{233.9, 50}, false, false},
        {{242, 58.1}, false, false}, {{366, 58}, true, true},  {{242, 50}, true, false},
    };
    for (const TCase& test : cases)
        EXPECT_EQ(test.Hit ? A : nullptr, Map().TopicToolAt(test.Point, test.Option))
            << test.Point.X << "," << test.Point.Y;
    // a selected topic shows no tool
    Map().Select(A);
    EXPECT_EQ(nullptr, Map().TopicToolAt({242, 50}));
    // a hidden child of an open parent answers at the end of its connection
    A2->SetHidden(true);
    A->SetCollapsed(false);
    Map().RequestLayout();
    Map().Refresh();
    const TFloatPoint end = A2->ParentRelation().Path().P3;
    EXPECT_EQ(A2, Map().TopicToolAt({end.X + 8, end.Y - 8}));
}

TEST_F(BranchCommands, SelectByGuidRevealsTheTopic) {
    A->SetCollapsed(true);
    const std::string guid = A11->Guid();
    EXPECT_TRUE(Map().SelectByGuid(guid));
    EXPECT_EQ(A11, Map().SelectedElement());
    EXPECT_TRUE(A11->IsVisible());
    EXPECT_FALSE(Map().SelectByGuid("no such guid"));
}
