#pragma once

// Column layouts: a topic's children stand in a column beside it (strict-horizontal) or in a row below or above it
// (strict-vertical), each child's branch again laid out the same way. A central theme, or a head whose direction is
// "manual", spreads its children over both sides. The layouters build the parent connections of what they place.
//
// The rules are written once along two axes: the main axis leads from a topic to its children's column (x for
// horizontal, y for vertical) and the cross axis is the one the children are stacked along.

#include "layout/NestedNodeLayouters.h"
#include "styling/MindMapStyling.h"

#include <cstddef>
#include <vector>

class TNestedColumnLayouter : public TSubLayouter {
public:
    void Measure(TMindMapNode& topic, int depth) override;
    void Place(TMindMapNode& topic, bool positionedByParent, int depth, TFloatPoint anchor) override;

protected:
    struct TColumnRules {
        bool Vertical;
        double Gap;             // between a topic and its children's column
        double LevelSpacing[3]; // between stacked children, by the parent's depth below the head: 0, 1, deeper
        double MultiChildExtra; // added across the branch of an expanded topic with two or more children
        double BezierOffset;    // how far the control points of a curved connection reach along the main axis
        double CornerDistance;  // where the corners of an orthogonal connection lie, before the child
    };

    TNestedColumnLayouter(TNestedNodeLayouter& owner, TMindMapNode& head, const TColumnRules& rules);

private:
    // A topic waiting for its place: its column point (near edge on the main axis, centre on the cross axis).
    struct TPlaceJob {
        TMindMapNode* Topic;
        TFloatPoint Column;
        int Level; // depth below the head
        int Depth; // depth handed to nested regions
    };

    double Main(const TFloatPoint& p) const { return FRules.Vertical ? p.Y : p.X; }
    double Cross(const TFloatPoint& p) const { return FRules.Vertical ? p.X : p.Y; }
    TFloatPoint Pt(double main, double cross) const {
        return FRules.Vertical ? TFloatPoint{cross, main} : TFloatPoint{main, cross};
    }
    double Spacing(int level) const { return FRules.LevelSpacing[level < 0 ? 0 : level > 2 ? 2 : level]; }

    void MeasureTopic(TMindMapNode& topic, int level);
    void MeasureTwoSided(TMindMapNode& head);
    bool IsTwoSided(const TMindMapNode& head) const;
    // +1 right or below, -1 left or above; false for a central theme that keeps "auto".
    bool ResolveSide(const TMindMapNode& head, int& sign) const;
    int ChildFlags(int sign) const;
    void SetSide(int sign);
    TStyleAlignment ChildAlignment() const;
    // The box a topic takes in a column: a hidden topic has no offset and takes its branch size.
    TTopicBox ColumnBox(const TMindMapNode& topic) const;
    void SetBranchOrigin(TMindMapNode& topic, const TTopicBox& box) const;

    void PlaceTwoSided(TMindMapNode& head, bool positionedByParent, int depth, TFloatPoint anchor);
    // Places the topics of the stack and their descendants, parents before children.
    void PlaceJobs(std::vector<TPlaceJob>& stack);
    void PlaceChild(TMindMapNode& child, TFloatPoint column, int level, int depth, std::vector<TPlaceJob>& stack);
    void HeadConnectionStart(TMindMapNode& head) const;
    // Builds the parent connection of a topic whose column starts at columnMain.
    void ConnectEdge(TMindMapNode& topic, double columnMain, bool headsRegion) const;

    TColumnRules FRules;
    int FSign = 1;
    int FFlags = 0;
    bool FFirstLevelCurve = false;
    int FHeadDepth = 0;
    // the two-sided split: the first FSplit children go to the first side
    bool FTwoSided = false;
    std::size_t FSplit = 0;
    double FFirstWidth = 0;
    double FSecondWidth = 0;
    double FFirstHeight = 0;
    double FSecondHeight = 0;
};

// Children in a column to the right or the left of their parent.
class TNestedHorizontalLayouter : public TNestedColumnLayouter {
public:
    TNestedHorizontalLayouter(TNestedNodeLayouter& owner, TMindMapNode& head);
};

// Children in a row below or above their parent.
class TNestedVerticalLayouter : public TNestedColumnLayouter {
public:
    TNestedVerticalLayouter(TNestedNodeLayouter& owner, TMindMapNode& head);
};
