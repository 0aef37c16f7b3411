#pragma once

// List layouts: a region hangs its topics as an indented outline under its head (list), as an organisation chart
// with the children in a row below the head and a list under each (top-down), or as a time line with the children
// alternately above and below a line through the head (h-linear). The three share the list machinery of the base.

#include "layout/NestedNodeLayouters.h"
#include "styling/MindMapStyling.h"

#include <vector>

// Flow "auto" of a region head: right to left when its side flags or its place left of its parent say so.
bool ListFlowIsLtr(const TMindMapNode& head, TLayoutFlow flow);

class TNestedBaseListLayouter : public TSubLayouter {
protected:
    using TSubLayouter::TSubLayouter;

    // The list of a topic's descendants that still waits for its place: the corner where the children's column
    // starts, where their lead-in starts (y), and the direction they stack in.
    struct TListJob {
        TMindMapNode* Topic;
        TFloatPoint Corner;
        double LeadInY;
        int Sy;
        int Flags;
        int Depth;
    };

    int Sx() const { return FLtr ? 1 : -1; }
    int Sy() const { return FDown ? 1 : -1; }
    TStyleAlignment ItemAlignment() const { return FLtr ? salLeft : salRight; }

    // Sets Ltr, Down and ChildFlags from the head's options, side flags and place; apply also gives the head its
    // flags. Answers the direction the head's children are laid out in ("auto" resolved).
    TLayoutDirection ResolveListSides(TMindMapNode& head, bool apply);
    // Measures the topic and its list below it, children before their parents.
    void ListMeasure(TMindMapNode& topic, int depth);
    // Places a list item with its corner at the point, builds its connection and queues its children.
    void ListPlaceNode(TMindMapNode& topic, TFloatPoint corner, int depth, double leadInY, int sy, int flags,
                       std::vector<TListJob>& pending);
    // Places the queued lists, parents before children.
    void RunListJobs(std::vector<TListJob>& pending);
    // The connection of a list item: a lead-in along the list's spine, then straight into the item.
    void ConnectListItem(TMindMapNode& topic, TFloatPoint size, double leadInY, double columnX, bool headsRegion);
    void ListBranchOrigin(TMindMapNode& topic, TFloatPoint box, TFloatPoint offset, int sy) const;
    // The box of a list item: a hidden item takes its branch size and has no offset.
    TTopicBox ListBox(const TMindMapNode& topic) const;

    bool FLtr = true;
    bool FDown = true;
    int FChildFlags = 0;
    int FMeasureDepth = 0;

private:
    void MeasureListItem(TMindMapNode& topic);
    void ListPlaceChildren(const TListJob& job, std::vector<TListJob>& pending);
};

// An indented outline under the head.
class TNestedListLayouter : public TNestedBaseListLayouter {
public:
    using TNestedBaseListLayouter::TNestedBaseListLayouter;

    void Measure(TMindMapNode& topic, int depth) override;
    void Place(TMindMapNode& topic, bool positionedByParent, int depth, TFloatPoint anchor) override;
};

// The children in a row below (or above) the head, each with its own list.
class TNestedTopDownLayouter : public TNestedBaseListLayouter {
public:
    using TNestedBaseListLayouter::TNestedBaseListLayouter;

    void Measure(TMindMapNode& topic, int depth) override;
    void Place(TMindMapNode& topic, bool positionedByParent, int depth, TFloatPoint anchor) override;

private:
    void SetHeadOrigin(TMindMapNode& head, const TTopicBox& box) const;
};

// A time line: the children along a horizontal line through the head, above and below it, each with its own list
// growing away from the line.
class TNestedLinearLayouter : public TNestedBaseListLayouter {
public:
    using TNestedBaseListLayouter::TNestedBaseListLayouter;

    void Measure(TMindMapNode& topic, int depth) override;
    void Place(TMindMapNode& topic, bool positionedByParent, int depth, TFloatPoint anchor) override;

private:
    // Sums the measured children into the head's branch size for the resolved direction.
    void MeasureHead(TMindMapNode& head, TLayoutDirection direction);
    static bool ChildBelow(TLayoutDirection direction, std::size_t index);
    void SetHeadOrigin(TMindMapNode& head, double boxWidth, double offsetX) const;

    double FAbove = 0;
    double FBelow = 0;
    std::vector<double> FCompactOffsets;
    TLayoutDirection FMeasuredDirection = ldAuto;
};
