#include "model/CVMindMaps.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records what the map tells its view, in order.
class TRecordingEditor : public IMindMapEditor {
public:
    std::vector<std::string> Calls;

    void FinishInPlaceEdit() override { Calls.push_back("finish"); }
    TViewState GetViewState() override { return State; }
    void ApplyViewState(const TViewState&) override { Calls.push_back("viewstate"); }
    void ContentsChanged() override { Calls.push_back("contents"); }
    void DocumentPropertiesChanged() override { Calls.push_back("properties"); }
    void ElementChanged(TMindMapElement* element) override { Calls.push_back(element ? "element" : "element(null)"); }
    void SelectionChanged() override { Calls.push_back("selection"); }
    void StyleSheetChanged() override { Calls.push_back("stylesheet"); }
    void MakeElementVisible(TMindMapElement*) override { Calls.push_back("reveal"); }
    bool IsBusy() override { return false; }

    TViewState State;
};

// A map built in code: topics out of the loading state, with the given parent of each (-1 for none).
class TMapFixture : public testing::Test {
protected:
    TMindMapNode* Add(const std::string& text, TMindMapNode* parent = nullptr) {
        TMindMapNode* topic = Map.NewTopic({0, 0}, true);
        topic->SetText(text, tfPlain);
        topic->FinishLoading();
        topic->SetParent(parent);
        Map.RebuildCentralThemes();
        return topic;
    }

    TMindMap Map;
};

} // namespace

TEST_F(TMapFixture, NumberLabelsCountThemesOnlyWhenThereAreSeveral) {
    TMindMapNode* theme = Add("theme");
    TMindMapNode* first = Add("first", theme);
    TMindMapNode* second = Add("second", theme);
    TMindMapNode* grandchild = Add("grandchild", second);
    Map.SetAutoNumbering(anInside);
    EXPECT_EQ(theme->NumberLabel(), "");
    EXPECT_EQ(first->NumberLabel(), "1");
    EXPECT_EQ(second->NumberLabel(), "2");
    EXPECT_EQ(grandchild->NumberLabel(), "2.1");

    TMindMapNode* otherTheme = Add("other theme");
    TMindMapNode* otherChild = Add("other child", otherTheme);
    EXPECT_EQ(theme->NumberLabel(), "1");
    EXPECT_EQ(grandchild->NumberLabel(), "1.2.1");
    EXPECT_EQ(otherTheme->NumberLabel(), "2");
    EXPECT_EQ(otherChild->NumberLabel(), "2.1");

    Map.SetAutoNumbering(anDisabled);
    EXPECT_EQ(otherChild->NumberLabel(), "");
}

TEST_F(TMapFixture, DeepNumberLabelsShowTheInnermostLevels) {
    Map.SetAutoNumbering(anInside);
    TMindMapNode* topic = Add("theme");
    std::vector<TMindMapNode*> chain;
    for (std::size_t i = 0; i < TMindMapNode::kMaxNumberLabelLevels + 1; ++i) {
        Add("earlier", topic);
        topic = Add("topic", topic);
        chain.push_back(topic);
    }
    std::string full;
    for (std::size_t i = 0; i < TMindMapNode::kMaxNumberLabelLevels; ++i)
        full += full.empty() ? "2" : ".2";
    EXPECT_EQ(full, chain[TMindMapNode::kMaxNumberLabelLevels - 1]->NumberLabel());
    EXPECT_EQ("\u2026." + full, chain.back()->NumberLabel());
}

TEST_F(TMapFixture, CollapsingNeedsChildrenAndLosingTheLastChildExpands) {
    TMindMapNode* theme = Add("theme");
    TMindMapNode* leaf = Add("leaf", theme);
    leaf->SetCollapsed(true);
    EXPECT_FALSE(leaf->Collapsed());
    theme->SetCollapsed(true);
    theme->SetOutlineCollapsed(true);
    EXPECT_TRUE(theme->Collapsed());
    leaf->SetParent(nullptr);
    EXPECT_FALSE(theme->Collapsed());
    EXPECT_FALSE(theme->OutlineCollapsed());
}

TEST_F(TMapFixture, VisibilityFollowsCollapsedAndHiddenAncestors) {
    TMindMapNode* theme = Add("theme");
    TMindMapNode* a = Add("a", theme);
    TMindMapNode* a1 = Add("a1", a);
    TMindMapNode* a11 = Add("a11", a1);
    a->SetCollapsed(true);
    EXPECT_TRUE(a->IsVisible()); // a collapsed topic stays visible; only its descendants go
    EXPECT_FALSE(a1->IsVisible());
    EXPECT_FALSE(a11->IsVisible());
    a->SetCollapsed(false);
    a1->SetHidden(true);
    EXPECT_FALSE(a1->IsVisible());
    EXPECT_FALSE(a11->IsVisible());
    EXPECT_FALSE(a1->ParentRelation().IsVisible() && a11->ParentRelation().IsVisible());
    a1->SetHidden(false);
    EXPECT_TRUE(a11->IsVisible());
    TMindMapNode* late = Add("late");
    a->SetCollapsed(true);
    late->SetParent(a1); // joins a collapsed branch
    EXPECT_FALSE(late->IsVisible());
}

TEST_F(TMapFixture, ProgressRollsUpAsTheTruncatedAverage) {
    struct TCase {
        std::vector<int> Progress;
        int Expected;
    };
    const TCase cases[] = {{{50, 0}, 25}, {{33, 33, 34}, 33}, {{100}, 100}, {{}, 0}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Expected);
        TMindMap map;
        TMindMapNode* parent = map.NewTopic({0, 0}, false);
        parent->SetCheckboxMode(cbmRollUpProgress);
        for (int progress : c.Progress) {
            TMindMapNode* child = map.NewTopic({0, 0}, false);
            child->SetParent(parent);
            child->SetCheckboxMode(cbmProgress);
            child->SetProgress(progress);
        }
        map.RebuildCentralThemes();
        map.RollUpProgress();
        EXPECT_EQ(parent->Progress(), c.Expected);
    }
}

TEST_F(TMapFixture, AutoRollUpTurnsTopicsWithSeveralCheckedChildrenIntoRollUps) {
    TMindMapNode* theme = Add("theme");
    for (int progress : {100, 0}) {
        TMindMapNode* child = Add("child", theme);
        child->SetCheckboxMode(cbmCheckbox);
        child->SetProgress(progress);
    }
    Map.SetAutoRollUp(true);
    Map.Refresh();
    EXPECT_EQ(theme->CheckboxMode(), cbmRollUpProgress);
    EXPECT_EQ(theme->Progress(), 50);
}

TEST_F(TMapFixture, CheckBoxModesResetProgress) {
    TMindMapNode* topic = Add("topic");
    topic->SetCheckboxMode(cbmProgress);
    topic->SetProgress(250);
    EXPECT_EQ(topic->Progress(), 100);
    EXPECT_TRUE(topic->Checked());
    topic->SetProgress(60);
    topic->SetCheckboxMode(cbmCheckbox); // below 100 a plain check box starts unchecked
    EXPECT_EQ(topic->Progress(), 0);
    topic->SetChecked(true);
    topic->SetCheckboxMode(cbmNone);
    EXPECT_EQ(topic->Progress(), 0);
}

TEST_F(TMapFixture, DocumentTitleFallsBackToTheMainCentralTheme) {
    EXPECT_EQ(Map.DocumentTitle(), "");
    TMindMapNode* theme = Add("   ");
    EXPECT_EQ(Map.DocumentTitle(), "Unnamed Mind Map");
    theme->SetText("  Plans  ", tfPlain);
    EXPECT_EQ(Map.DocumentTitle(), "Plans");
    Map.SetTitle("Plans"); // equal to the automatic title: nothing custom is kept
    EXPECT_EQ(Map.Title(), "");
    Map.SetTitle(" Two\r\nlines\u2028and more \n");
    EXPECT_EQ(Map.Title(), "Two lines and more");
    EXPECT_EQ(Map.DocumentTitle(), "Two lines and more");
}

TEST_F(TMapFixture, GuidsAreMadeOnDemandAndMarkTheMapModified) {
    TMindMapNode* topic = Add("topic");
    Map.SetModified(false);
    EXPECT_EQ(topic->StoredGuid(), "");
    EXPECT_EQ(Map.SelectedGuid(), "");
    const std::string guid = topic->Guid();
    EXPECT_EQ(guid.size(), 22u);
    EXPECT_TRUE(Map.Modified());
    EXPECT_EQ(topic->Guid(), guid);
    EXPECT_EQ(Map.FindElementByGuid(guid), topic);
    topic->ParentRelation().SetGuid("relation");
    EXPECT_EQ(Map.FindElementByGuid("relation"), &topic->ParentRelation());
    EXPECT_EQ(Map.FindElementByGuid(""), nullptr);
}

TEST_F(TMapFixture, TextsAreNormalisedBeforeTheyAreStored) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\r\nb", "a\rb"},
        {"a\nb", "a\rb"},
        {"a\rb", "a\rb"},
        {"a\n\rb", "a\r\rb"},
        {"a\xE2\x80\xA8"
         "b",
         "a\rb"},
        {"a\tb\x01", "a b "},
    };
    TMindMapNode* topic = Add("");
    for (const auto& [text, stored] : cases) {
        SCOPED_TRACE(text);
        topic->SetText(text, tfPlain);
        EXPECT_EQ(topic->Text(), stored);
    }
    topic->SetNote("  \t note \r\n", tfPlain);
    EXPECT_EQ(topic->Note(), "note");
    EXPECT_TRUE(topic->HasNote());
    topic->SetNote(" \x01 ", tfPlain);
    EXPECT_FALSE(topic->HasNote());
}

TEST_F(TMapFixture, ReparentingRefusesCyclesAndKeepsLevelsCurrent) {
    TMindMapNode* a = Add("a");
    TMindMapNode* b = Add("b", a);
    TMindMapNode* c = Add("c", b);
    EXPECT_FALSE(a->SetParent(c));
    EXPECT_FALSE(a->SetParent(a));
    EXPECT_EQ(c->Level(), 2);
    TMindMapNode* d = Add("d");
    EXPECT_TRUE(b->SetParent(d));
    EXPECT_EQ(c->Level(), 2);
    EXPECT_TRUE(c->SetParent(nullptr));
    EXPECT_EQ(c->Level(), 0);
    EXPECT_EQ(Map.CentralThemeCount(), 3);
    std::vector<TMindMapNode*> branch;
    d->CollectBranch(branch);
    EXPECT_EQ(branch, (std::vector<TMindMapNode*>{d, b}));
}

TEST_F(TMapFixture, NotificationsAreBatchedAndRunInAFixedOrder) {
    TRecordingEditor editor;
    Map.SetEditor(&editor);
    TMindMapNode* topic = Add("topic");
    editor.Calls.clear();
    Map.BeginUpdate();
    Map.BeginUpdate();
    Map.Select(topic);
    topic->SetText("changed", tfPlain);
    Map.SetViewState({120, 1, 2, true});
    Map.Notify(mcStyleSheet);
    Map.EndUpdate();
    EXPECT_TRUE(editor.Calls.empty());
    Map.EndUpdate();
    EXPECT_EQ(editor.Calls,
              (std::vector<std::string>{"viewstate", "stylesheet", "properties", "selection", "element(null)"}));
    editor.Calls.clear();
    Map.Select(topic); // already the only selected element
    EXPECT_TRUE(editor.Calls.empty());
    topic->SetProgress(10); // outside an update the element is named at once
    EXPECT_EQ(editor.Calls, std::vector<std::string>{"element"});
}

TEST_F(TMapFixture, SelectionKindsAndRootsOfTheSelectedBranches) {
    TMindMapNode* theme = Add("theme");
    TMindMapNode* a = Add("a", theme);
    TMindMapNode* b = Add("b", theme);
    TMindMapNode* a1 = Add("a1", a);
    TMindMapNode* other = Add("other");
    Map.Select(b);
    Map.ToggleSelection(a1, false);
    Map.ToggleSelection(a, false);
    Map.ToggleSelection(other, false);
    EXPECT_TRUE(Map.HasMultiSelection());
    // a1 lies inside the selected a; a and b keep their sibling order; other keeps its place in the selection
    EXPECT_EQ(Map.GetSelectedRootNodes(), (std::vector<TMindMapNode*>{a, b, other}));
    Map.ToggleSelection(&a->ParentRelation(), true); // another kind replaces the selection
    EXPECT_EQ(Map.Selection().size(), 1u);
    EXPECT_EQ(Map.SelectionKind(), ekParentRelation);
    EXPECT_FALSE(b->Selected());
    EXPECT_TRUE(Map.GetSelectedRootNodes().empty());
    Map.ToggleSelection(&a->ParentRelation(), false);
    EXPECT_EQ(Map.SelectedElement(), nullptr);
}

TEST_F(TMapFixture, CrossLinksWithoutTwoDifferentEndsAreDropped) {
    TMindMapNode* a = Add("a");
    TMindMapNode* b = Add("b", a);
    Map.NewCrossLink(a, b);
    Map.NewCrossLink(a, a);
    Map.NewCrossLink(nullptr, b);
    Map.DeleteDanglingCrossLinks();
    ASSERT_EQ(Map.RelationCount(), 1);
    EXPECT_TRUE(Map.RelationAt(0)->Connects(b, a));
    EXPECT_EQ(Map.NewGroup({}), nullptr);
    EXPECT_EQ(Map.NewGroup({a, a, b})->MemberCount(), 2);
}

TEST_F(TMapFixture, AGroupShowsWhileAnyMemberIsShown) {
    TMindMapNode* theme = Add("theme");
    TMindMapNode* a = Add("a", theme);
    TMindMapNode* a1 = Add("a1", a);
    TNodeGroup* group = Map.NewGroup({a1});
    a1->SetHidden(true); // hidden under a visible, expanded parent: its connection stands for it
    group->UpdateVisibility();
    EXPECT_TRUE(group->IsVisible());
    a->SetCollapsed(true);
    group->UpdateVisibility();
    EXPECT_FALSE(group->IsVisible());
    group->AddMember(a);
    group->UpdateVisibility();
    EXPECT_TRUE(group->IsVisible());
}

TEST_F(TMapFixture, ContainedElementsAreHitFromTheLastOne) {
    TMindMapNode* theme = Add("theme");
    TMindMapImage* first = theme->AddImage("one", "");
    TMindMapImage* second = theme->AddImage("two", "");
    const TFloatPoint centre = second->GetPosition();
    EXPECT_EQ(first->GetPosition(), centre); // both sit centred above the topic
    EXPECT_EQ(theme->ContainedAtPoint(centre), second);
    EXPECT_EQ(theme->ContainedAtPoint(centre, second), first);
    EXPECT_EQ(theme->ContainedAtPoint({centre.X + 17, centre.Y}), nullptr);
    TMindMapText* label = theme->ParentRelation().AddText("label", tfPlain);
    label->SetNested(true); // only texts of topics nest
    EXPECT_FALSE(label->Nested());
    EXPECT_EQ(label->Style().ParentStyle(), &Map.MapStyle().TextStyle());
}

TEST_F(TMapFixture, TopicsAndConnectionsResolveTheirStylesByLevel) {
    TLeveledNodeStyle& sheetTopics = Map.SheetStyle().NodeStyle();
    sheetTopics.SetLevelCount(3);
    const TNodeBorderStyle shapes[] = {sbsEllipse, sbsRectangle, sbsCloud};
    for (int level = 0; level < 3; ++level) {
        sheetTopics.LevelStyle(level).SetBorderStyle(shapes[level]);
        sheetTopics.LevelStyle(level).SetOverride(nsoBorderStyle, true);
    }
    TMindMapNode* theme = Add("theme");
    TMindMapNode* branch = Add("branch", theme);
    TMindMapNode* sub = Add("sub", branch);
    TMindMapNode* deeper = Add("deeper", sub);
    EXPECT_EQ(theme->Style().BorderStyle(), sbsEllipse);
    EXPECT_EQ(branch->Style().BorderStyle(), sbsRectangle);
    EXPECT_EQ(deeper->Style().BorderStyle(), sbsCloud); // levels past the sheet's take its last entry
    // the document's overrides sit between the topic and the sheet
    Map.MapStyle().NodeStyle().SetFillColor(RGBColor(1, 2, 3));
    Map.MapStyle().NodeStyle().SetOverride(nsoFillColor, true);
    EXPECT_EQ(sub->Style().FillColor(), RGBColor(1, 2, 3));
    sub->Style().SetFillColor(RGBColor(9, 9, 9));
    sub->Style().SetOverride(nsoFillColor, true);
    EXPECT_EQ(sub->Style().FillColor(), RGBColor(9, 9, 9));
    sub->ClearStyleOverrides(nsoFillColor);
    EXPECT_EQ(sub->Style().FillColor(), RGBColor(1, 2, 3));
    // moving a branch changes the level its styles resolve at
    sub->SetParent(theme);
    EXPECT_EQ(sub->Style().BorderStyle(), sbsRectangle);
    EXPECT_EQ(deeper->Style().BorderStyle(), sbsCloud);
}

TEST_F(TMapFixture, TaperedConnectionsGetTheirWidthFromTheLevel) {
    TLeveledRelationStyle& sheetLines = Map.SheetStyle().RelationStyle();
    sheetLines.LevelStyle(0).SetLineStyle(penAutoTapered);
    sheetLines.LevelStyle(0).SetLineWidth(1);
    sheetLines.LevelStyle(0).SetOverride(rsoLineStyle | rsoLineWidth, true);
    TMindMapNode* theme = Add("theme");
    std::vector<TMindMapNode*> chain{theme};
    for (int i = 0; i < 5; ++i)
        chain.push_back(Add("level", chain.back()));
    struct TCase {
        int Level;
        double Width;
        int Taper;
    };
    const TCase cases[] = {{1, 7, 3}, {2, 5, 1}, {4, 1, 1}, {5, 1, 0}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Level);
        TParentRelation& relation = chain[static_cast<std::size_t>(c.Level)]->ParentRelation();
        ASSERT_TRUE(relation.IsTapered());
        relation.UpdatePathWidth();
        EXPECT_DOUBLE_EQ(relation.Path().Width, c.Width);
        EXPECT_EQ(relation.Path().Taper, c.Taper);
    }
    // a cross link shown as hierarchy takes the connection styles and the deeper of its two ends
    TCrossLink* link = Map.NewCrossLink(chain[3], chain[1]);
    EXPECT_FALSE(link->IsTapered());
    link->SetAsHierarchy(true);
    ASSERT_TRUE(link->IsTapered());
    link->UpdatePathWidth();
    EXPECT_DOUBLE_EQ(link->Path().Width, 1); // depth max(1, 3 + 1) = 4
    EXPECT_EQ(link->Path().Taper, 1);

    // an inherited tapered line from a central theme laid out as a list is drawn plain
    sheetLines.LevelStyle(0).SetLineStyle(penTapered);
    const TLayoutOptions list = TLayoutOptions::ForMode(nlmList);
    theme->SetLayoutOptions(&list);
    EXPECT_FALSE(chain[1]->ParentRelation().IsTapered());
    chain[1]->ParentRelation().Style().SetLineStyle(penReverseTapered);
    chain[1]->ParentRelation().Style().SetOverride(rsoLineStyle, true);
    ASSERT_TRUE(chain[1]->ParentRelation().IsTapered());
    chain[1]->ParentRelation().UpdatePathWidth();
    EXPECT_DOUBLE_EQ(chain[1]->ParentRelation().Path().Width, 9); // 1 + 2 * max(4, round(3.5))
    EXPECT_EQ(chain[1]->ParentRelation().Path().Taper, -4);
}

TEST_F(TMapFixture, SearchingMarksMatchesAndRepaintsWithoutLayingOut) {
    TRecordingEditor editor;
    Map.SetEditor(&editor);
    TMindMapNode* theme = Add("Plans");
    TMindMapNode* child = Add("other plans", theme);
    Map.Refresh();
    ASSERT_FALSE(Map.LayoutNeeded());
    editor.Calls.clear();
    TMindMapSearchData criteria;
    criteria.SetFilters(sfText);
    criteria.SetText("PLANS");
    Map.SetSearchData(criteria);
    Map.SetSearchData(criteria); // the same criteria again change nothing
    EXPECT_EQ(editor.Calls, std::vector<std::string>{"contents"});
    EXPECT_FALSE(Map.LayoutNeeded());
    EXPECT_EQ(Map.SearchMatches(), (std::vector<TMindMapElement*>{theme, child}));
    EXPECT_TRUE(child->SearchMatched());
    // a change of the document runs the search again once the update ends
    child->SetText("nothing", tfPlain);
    Map.Notify(mcSearch);
    EXPECT_EQ(Map.SearchMatches(), std::vector<TMindMapElement*>{theme});
    EXPECT_FALSE(child->SearchMatched());
}
