#include "layout/NestedMatrixLayouters.h"

#include "LayoutTestSupport.h"

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double kDegree = std::numbers::pi / 180;

TFloatPoint Polar(TFloatPoint centre, double radius, double degrees) {
    return {centre.X + radius * std::cos(degrees * kDegree), centre.Y + radius * std::sin(degrees * kDegree)};
}

double Distance(const TMindMapNode& a, TFloatPoint b) {
    return VectorLength(a.GetPosition() - b);
}

// Lays the map out again with a sub-layouter of our own for the head, to read what it keeps.
template <typename TLayouter> struct TOwnPass {
    explicit TOwnPass(TMindMap& map, TMindMapNode& head) : Pass(map) {
        Layouter = dynamic_cast<TLayouter*>(Pass.SubLayouterFor(head));
        if (Layouter) {
            Layouter->Measure(head, 0);
            Layouter->Place(head, false, 0, {0, 0});
        }
    }
    TNestedNodeLayouter Pass;
    TLayouter* Layouter = nullptr;
};

} // namespace

TEST(TNestedMatrixLayouter, TableAsWideAsItsHeadWidensItsLastColumn) {
    TLayoutTestMap m;
    TMindMapNode* head = m.Add(nullptr, {100, 30});
    TLayoutTestMap::SetMode(head, nlmMatrix, ldBottom, lfLtr);
    TMindMapNode* c0 = m.Add(head, {60, 20});
    TMindMapNode* c1 = m.Add(head, {60, 20});
    m.Layout();
    // each child measures 72 x 23; the only column widens to the head's 100
    EXPECT_EQ((TFloatPoint{120, 101}), head->BranchSize);
    EXPECT_EQ((TFloatPoint{60, 25}), head->BranchOrigin);
    EXPECT_EQ((TFloatPoint{100, 30}), head->Size());
    EXPECT_EQ((TFloatPoint{100, 23}), c0->BranchSize);
    EXPECT_EQ((TFloatPoint{100, 23}), c0->Size());
    ExpectPoint({0, 31.5}, c0->GetPosition());
    ExpectPoint({0, 54.5}, c1->GetPosition());
    EXPECT_EQ(salCenter, head->AutoAlignment);
    for (const TMindMapNode* child : {c0, c1}) {
        EXPECT_EQ(sfRight | sfBelow, child->SideFlags);
        EXPECT_EQ(salLeft, child->AutoAlignment);
        // the cells touch: their connections have no length
        const TRelationPath& path = child->ParentRelation().Path();
        EXPECT_EQ(rpkStraight, path.Kind);
        EXPECT_EQ(psNone, path.ExitSide);
        EXPECT_FALSE(path.HasLeadIn);
        EXPECT_FALSE(path.UnderlineEnd);
        ExpectPoint(child->GetPosition(), path.P0);
        ExpectPoint(child->GetPosition(), path.P3);
    }
}

TEST(TNestedMatrixLayouter, EachDepthIsAColumnAndEachCellSpansItsDescendants) {
    for (const TLayoutFlow flow : {lfLtr, lfRtl}) {
        const double s = flow == lfLtr ? 1 : -1;
        SCOPED_TRACE(s > 0 ? "ltr" : "rtl");
        TLayoutTestMap m;
        TMindMapNode* head = m.Add(nullptr, {100, 30});
        TLayoutTestMap::SetMode(head, nlmMatrix, ldBottom, flow);
        TMindMapNode* a = m.Add(head, {60, 20});
        TMindMapNode* a0 = m.Add(a, {50, 20});
        TMindMapNode* a1 = m.Add(a, {50, 20});
        TMindMapNode* b = m.Add(head, {60, 20});
        m.Layout();
        // columns of 72 and 62: wider than the head, which now spans them
        EXPECT_EQ((TFloatPoint{134, 30}), head->Size());
        EXPECT_EQ((TFloatPoint{154, 124}), head->BranchSize);
        EXPECT_EQ((TFloatPoint{77, 25}), head->BranchOrigin);
        EXPECT_EQ(s > 0 ? sfRight | sfBelow : sfLeft | sfBelow, head->SideFlags);
        struct TCell {
            const TMindMapNode* Topic;
            TFloatPoint Centre;
            TFloatPoint Size;
        };
        const TCell cells[] = {
            {a, {s * -31, 43}, {72, 46}},
            {a0, {s * 36, 31.5}, {62, 23}},
            {a1, {s * 36, 54.5}, {62, 23}},
            {b, {s * -31, 77.5}, {72, 23}},
        };
        for (const TCell& cell : cells) {
            SCOPED_TRACE(PointText(cell.Centre));
            ExpectPoint(cell.Centre, cell.Topic->GetPosition());
            EXPECT_EQ(cell.Size, cell.Topic->Size());
            EXPECT_EQ(s > 0 ? salLeft : salRight, cell.Topic->AutoAlignment);
        }
    }
}

TEST(TNestedMatrixLayouter, HiddenCellKeepsItsSizeInASmallCell) {
    TLayoutTestMap m;
    TMindMapNode* head = m.Add(nullptr, {100, 30});
    TLayoutTestMap::SetMode(head, nlmMatrix, ldBottom, lfLtr);
    TMindMapNode* c0 = m.Add(head, {60, 20});
    TMindMapNode* hidden = m.Add(head, {60, 20});
    TMindMapNode* c2 = m.Add(head, {60, 20});
    hidden->SetHidden(true);
    m.Layout();
    EXPECT_EQ((TFloatPoint{44, 19}), hidden->BranchSize);
    EXPECT_EQ((TFloatPoint{60, 20}), hidden->Size());
    ExpectPoint({-28, 52.5}, hidden->GetPosition());
    ExpectPoint({0, 31.5}, c0->GetPosition());
    ExpectPoint({0, 73.5}, c2->GetPosition());
    EXPECT_EQ((TFloatPoint{120, 120}), head->BranchSize);
}

TEST(TNestedMatrixLayouter, TableWithoutRowsAndTableInAColumn) {
    TLayoutTestMap m;
    TMindMapNode* theme = m.Add(nullptr, {100, 30});
    TLayoutTestMap::SetMode(theme, nlmStrictHorizontal, ldRight);
    TMindMapNode* table = m.Add(theme, {100, 30});
    TLayoutTestMap::SetMode(table, nlmMatrix, ldBottom, lfLtr);
    TMindMapNode* cell = m.Add(table, {60, 20});
    TMindMapNode* empty = m.Add(nullptr, {100, 30});
    TLayoutTestMap::SetMode(empty, nlmMatrix, ldBottom, lfLtr);
    empty->SetPosition({0, 500});
    m.Layout();
    // just the head with its margins
    EXPECT_EQ((TFloatPoint{120, 50}), empty->BranchSize);
    EXPECT_EQ((TFloatPoint{60, 25}), empty->BranchOrigin);
    ExpectPoint({0, 500}, empty->GetPosition());
    // placed by the column: the table's box is centred on its slot, the head 10 below the box's top
    EXPECT_EQ((TFloatPoint{120, 78}), table->BranchSize);
    ExpectPoint({160, -14}, table->GetPosition());
    ExpectRect({100, -39, 120, 78}, BranchRect(*table));
    ExpectPoint({160, 17.5}, cell->GetPosition());
    ExpectPoint({100 + TLayoutTestMap::kInset, -14}, table->ParentRelation().Path().P3);
}

TEST(TNestedRadialLayouter, ChildrenStandOnARingAroundTheHead) {
    TLayoutTestMap m;
    TMindMapNode* head = m.Add(nullptr, {100, 100}, sbsCircle);
    TLayoutTestMap::SetMode(head, nlmRadial, ldAuto);
    std::vector<TMindMapNode*> children;
    for (int i = 0; i < 4; ++i)
        children.push_back(m.Add(head, {50, 50}, sbsCircle));
    m.Layout();
    TOwnPass<TNestedRadialLayouter> pass(m.T.Map, *head);
    ASSERT_NE(nullptr, pass.Layouter);
    // (50 + 100) / 2 + 24; neighbours are 140 apart, so the ring does not grow
    ASSERT_LE(2u, pass.Layouter->RingRadii().size());
    EXPECT_EQ(99, pass.Layouter->RingRadii()[1]);
    ExpectPoint({70.0, -70.0}, children[0]->GetPosition(), 0.01);
    const double angles[] = {-45, 45, 135, 225};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        ExpectPoint(Polar({0, 0}, 99, angles[i]), children[i]->GetPosition());
        EXPECT_EQ(0, children[i]->SideFlags);
        // weight and diameter
        EXPECT_EQ((TFloatPoint{50, 50}), children[i]->BranchSize);
        const TRelationPath& path = children[i]->ParentRelation().Path();
        ExpectPoint({0, 0}, path.P0);
        ExpectPoint(children[i]->GetPosition(), path.P3);
    }
    // the head reports the box of its whole region
    EXPECT_TRUE(RectWithin(PlacedBounds(*head), BranchRect(*head)));
    ExpectRect(PlacedBounds(*head), BranchRect(*head), 1e-6);
}

TEST(TNestedRadialLayouter, CrowdedRingGrows) {
    TLayoutTestMap m;
    TMindMapNode* head = m.Add(nullptr, {100, 100}, sbsCircle);
    TLayoutTestMap::SetMode(head, nlmRadial, ldAuto);
    std::vector<TMindMapNode*> children;
    for (int i = 0; i < 12; ++i)
        children.push_back(m.Add(head, {50, 50}, sbsCircle));
    m.Layout();
    // on a ring of 99 neighbours stand 51.2 apart but need 62: the ring grows by round(99 x 0.2098) = 21
    for (std::size_t i = 0; i < children.size(); ++i) {
        SCOPED_TRACE(i);
        ExpectPoint(Polar({0, 0}, 120, -75 + 30 * static_cast<double>(i)), children[i]->GetPosition());
    }
}

TEST(TNestedRadialLayouter, WeightsOrEqualAnglesShareTheCircle) {
    struct TCase {
        TLayoutDirection Direction;
        double Angles[3];
    };
    const TCase cases[] = {
        // weights 50, 80 and 50 of 180 share the full circle from the top
        {ldAuto, {-40, 90, 220}},
        {ldEqualAngles, {-30, 90, 210}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Direction));
        TLayoutTestMap m;
        TMindMapNode* head = m.Add(nullptr, {100, 100}, sbsCircle);
        TLayoutTestMap::SetMode(head, nlmRadial, c.Direction);
        std::vector<TMindMapNode*> children{m.Add(head, {50, 50}, sbsCircle), m.Add(head, {80, 80}, sbsCircle),
                                            m.Add(head, {50, 50}, sbsCircle)};
        m.Layout();
        // (80 + 100) / 2 + 24
        for (std::size_t i = 0; i < 3; ++i)
            ExpectPoint(Polar({0, 0}, 114, c.Angles[i]), children[i]->GetPosition());
    }
}

TEST(TNestedRadialLayouter, CompactFlowGivesEachSubtreeItsOwnRadius) {
    struct TCase {
        TLayoutFlow Flow;
        double SmallGrandchildren;
    };
    // rings: the second ring is as wide as the large grandchild needs, for everyone on it
    const TCase cases[] = {{lfDefault, 223}, {lfCompact, 173}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Flow));
        TLayoutTestMap m;
        TMindMapNode* head = m.Add(nullptr, {100, 100}, sbsCircle);
        TLayoutTestMap::SetMode(head, nlmRadial, ldAuto, c.Flow);
        TMindMapNode* a = m.Add(head, {50, 50}, sbsCircle);
        TMindMapNode* b = m.Add(head, {50, 50}, sbsCircle);
        TMindMapNode* a0 = m.Add(a, {50, 50}, sbsCircle);
        TMindMapNode* a1 = m.Add(a, {50, 50}, sbsCircle);
        TMindMapNode* large = m.Add(b, {150, 150}, sbsCircle);
        m.Layout();
        const TFloatPoint centre = head->GetPosition();
        EXPECT_NEAR(99, Distance(*a, centre), 1e-9);
        EXPECT_NEAR(99, Distance(*b, centre), 1e-9);
        EXPECT_NEAR(c.SmallGrandchildren, Distance(*a0, centre), 1e-9);
        EXPECT_NEAR(c.SmallGrandchildren, Distance(*a1, centre), 1e-9);
        EXPECT_NEAR(223, Distance(*large, centre), 1e-9);
        // A weighs 100 and B 150 of 250: A's sector ends at 54 degrees, and A sits in its middle
        ExpectPoint(Polar(centre, 99, -18), a->GetPosition());
        ExpectPoint(Polar(centre, 99, 162), b->GetPosition());
    }
}

TEST(TNestedRadialLayouter, RegionUnderAFreeBranchFacesAwayFromItsParent) {
    TLayoutTestMap m;
    TMindMapNode* theme = m.Add(nullptr, {100, 30});
    TMindMapNode* head = m.Add(theme, {100, 100}, sbsCircle);
    head->SetPosition({300, 0});
    TLayoutTestMap::SetMode(head, nlmRadial, ldAuto);
    std::vector<TMindMapNode*> children;
    for (int i = 0; i < 3; ++i)
        children.push_back(m.Add(head, {50, 50}, sbsCircle));
    m.Layout();
    ExpectPoint({300, 0}, head->GetPosition());
    EXPECT_EQ(0, head->SideFlags);
    const double angles[] = {-60, 0, 60};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ExpectPoint(Polar({300, 0}, 99, angles[i]), children[i]->GetPosition());
        // the head's own connection leaves its parent to the right, and its children follow that side
        EXPECT_EQ(psRight, children[i]->ParentRelation().Path().ExitSide);
    }
    // the free parent takes in the whole radial region
    EXPECT_TRUE(RectWithin(PlacedBounds(*theme), BranchRect(*theme)));
    EXPECT_TRUE(RectWithin(PlacedBounds(*head), BranchRect(*head)));
}

TEST(TNestedRadialLayouter, RegionWithoutChildrenWithAHiddenChildOrOfEmptyTopics) {
    {
        TLayoutTestMap m;
        TMindMapNode* head = m.Add(nullptr, {100, 100}, sbsCircle);
        TLayoutTestMap::SetMode(head, nlmRadial, ldAuto);
        m.Layout();
        ExpectPoint({0, 0}, head->GetPosition());
        EXPECT_EQ((TFloatPoint{100, 100}), head->BranchSize);
        EXPECT_EQ((TFloatPoint{50, 50}), head->BranchOrigin);
    }
    {
        TLayoutTestMap m;
        TMindMapNode* head = m.Add(nullptr, {100, 100}, sbsCircle);
        TLayoutTestMap::SetMode(head, nlmRadial, ldAuto);
        m.Add(head, {50, 50}, sbsCircle);
        TMindMapNode* hidden = m.Add(head, {50, 50}, sbsCircle);
        m.Add(head, {50, 50}, sbsCircle);
        hidden->SetHidden(true);
        m.Layout();
        // weight and diameter 24; it still stands on the ring, where its show tool goes
        EXPECT_EQ((TFloatPoint{24, 24}), hidden->BranchSize);
        EXPECT_NEAR(99, Distance(*hidden, {0, 0}), 1e-9);
    }
    // topics without extent weigh nothing and would stand on one point: nothing divides by their distance
    for (const TLayoutFlow flow : {lfDefault, lfCompact}) {
        SCOPED_TRACE(std::to_string(flow));
        TLayoutTestMap m;
        TMindMapNode* head = m.Add(nullptr, {0, 0});
        TLayoutTestMap::SetMode(head, nlmRadial, ldAuto, flow);
        std::vector<TMindMapNode*> children;
        for (int i = 0; i < 3; ++i)
            children.push_back(m.Add(head, {0, 0}));
        m.Layout();
        for (const TMindMapNode* child : children)
            ExpectPoint({0, -24}, child->GetPosition());
    }
}
