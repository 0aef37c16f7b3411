#pragma once

// Small maps for the layout tests. Topics get fixed sizes, so that expected positions follow from the rules by
// hand: Layout() lets the map refresh (visibility, styles, a first pass), then gives every topic its size and runs
// the layout pass again on those sizes.

#include "TestSupport.h"
#include "layout/NestedNodeLayouters.h"
#include "model/CVMindMaps.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

class TLayoutTestMap {
public:
    // A topic of the given size and border; a central theme when parent is null. Borders are 2 wide, so that
    // connections end kInset inside a bordered topic.
    static constexpr double kInset = 4;
    TMindMapNode* Add(TMindMapNode* parent, TFloatPoint size, TNodeBorderStyle border = sbsRectangle) {
        TMindMapNode* topic = T.Add(parent);
        topic->Style().SetBorderStyle(border);
        topic->Style().SetBorderWidth(2);
        topic->Style().SetOverride(nsoBorderStyle | nsoBorderWidth, true);
        FSizes.emplace_back(topic, size);
        return topic;
    }

    // Options of the mode with another direction (and flow, unless default).
    static void SetMode(TMindMapNode* topic, TNestedLayoutMode mode, TLayoutDirection direction,
                        TLayoutFlow flow = lfDefault) {
        TLayoutOptions options = TLayoutOptions::ForMode(mode);
        options.Direction = direction;
        if (flow != lfDefault)
            options.Flow = flow;
        topic->SetLayoutOptions(&options);
    }

    void UseBaselineConnections() {
        T.Map.MapStyle().SetConnectionStyle(csBaseline);
        T.Map.MapStyle().SetOverride(msoConnectionStyle, true);
    }

    void Layout() {
        T.Map.RequestLayout();
        T.Map.Refresh();
        for (auto& [topic, size] : FSizes)
            topic->SetSize(size);
        T.Map.BeginUpdate();
        TNestedNodeLayouter(T.Map).Run();
        T.Map.EndUpdate();
    }

    TTestMap T;

private:
    std::vector<std::pair<TMindMapNode*, TFloatPoint>> FSizes;
};

inline void ExpectPoint(const TFloatPoint& expected, const TFloatPoint& actual, double tolerance = 1e-9) {
    EXPECT_NEAR(expected.X, actual.X, tolerance);
    EXPECT_NEAR(expected.Y, actual.Y, tolerance);
}

inline void ExpectRect(const TFloatRect& expected, const TFloatRect& actual, double tolerance = 1e-9) {
    EXPECT_NEAR(expected.Left, actual.Left, tolerance);
    EXPECT_NEAR(expected.Top, actual.Top, tolerance);
    EXPECT_NEAR(expected.Width, actual.Width, tolerance);
    EXPECT_NEAR(expected.Height, actual.Height, tolerance);
}

// The smallest rectangle around the topic and every laid-out descendant.
inline TFloatRect PlacedBounds(TMindMapNode& topic) {
    std::vector<TMindMapNode*> branch;
    topic.CollectBranch(branch);
    TFloatRect box = topic.GetBounds();
    for (const TMindMapNode* t : branch)
        if (t->IsVisible())
            box = FloatRectUnion(box, t->GetBounds());
    return box;
}

// True when the first rectangle lies within the second (edges may touch).
inline bool RectWithin(const TFloatRect& inner, const TFloatRect& outer, double tolerance = 1e-6) {
    return inner.Left >= outer.Left - tolerance && inner.Top >= outer.Top - tolerance &&
           inner.Right() <= outer.Right() + tolerance && inner.Bottom() <= outer.Bottom() + tolerance;
}

inline std::string PointText(const TFloatPoint& p) {
    return "(" + std::to_string(p.X) + ", " + std::to_string(p.Y) + ")";
}
