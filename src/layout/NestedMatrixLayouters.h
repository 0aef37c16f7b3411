#pragma once

// Two region shapes that stand apart from columns and lists: a matrix (a table whose columns are the depths below
// the head, each topic's cell stretched over the rows of its descendants) and radial rings (the topics on rings
// around the head, each subtree in its own angular sector). Neither holds nested regions: every topic below the
// head belongs to the region, whatever mode it stores.

#include "layout/NestedNodeLayouters.h"
#include "styling/MindMapStyling.h"

#include <cstddef>
#include <vector>

class TNestedMatrixLayouter : public TSubLayouter {
public:
    using TSubLayouter::TSubLayouter;

    void Measure(TMindMapNode& topic, int depth) override;
    void Place(TMindMapNode& topic, bool positionedByParent, int depth, TFloatPoint anchor) override;

    double TableWidth() const { return FTableWidth; }
    double TableHeight() const { return FTableHeight; }

private:
    void SizeTable(TMindMapNode& head);
    // Places the cells of the topics on the work list and of all their descendants.
    void PlaceCells();

    struct TCell {
        TMindMapNode* Topic;
        TFloatPoint Corner; // the near top corner of the cell
    };

    bool FLtr = true;
    int FChildFlags = 0;
    std::vector<TCell> FWork;
    double FTableWidth = 0;
    double FTableHeight = 0;
};

// In a radial region BranchSize holds the weight and the diameter of each topic below the head; the head itself
// reports the box around its whole region, so that an enclosing free layout can take it in.
class TNestedRadialLayouter : public TSubLayouter {
public:
    using TSubLayouter::TSubLayouter;

    void Measure(TMindMapNode& topic, int depth) override;
    void Place(TMindMapNode& topic, bool positionedByParent, int depth, TFloatPoint anchor) override;

    // The radius of each ring of the last arrangement; entry 0 is the head's.
    const std::vector<double>& RingRadii() const { return FRingRadii; }

private:
    struct TRingTopic {
        TMindMapNode* Topic;
        std::ptrdiff_t Parent; // index in the work list, -1 for the head
        int Level;
        std::size_t FirstChild;
        std::size_t ChildCount;
        double Weight;
        double Diameter;
        double SectorStart;
        double SectorEnd;
        double Radius; // distance from the head
        TFloatPoint Position;
    };

    // Works out where every topic of the region goes, around the head's current position.
    void Arrange(TMindMapNode& head);
    void Weigh(const TMindMapNode& head);
    // Gives each topic its sector; a topic sits in the middle of its sector.
    void AssignSectors(double start, double end);
    void PlaceOnRing(TRingTopic& topic, double radius) const;
    void PlaceOnRings();
    void SpreadRings();
    void PlaceCompact();
    // The box of the region as arranged.
    TFloatRect ArrangedBox() const;

    TFloatPoint FCentre;
    std::vector<TRingTopic> FWork;
    std::vector<double> FRingRadii;
    std::vector<std::size_t> FLevelStarts; // where each level begins in the work list, and its end
};
