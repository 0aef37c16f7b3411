#pragma once

// The layout pass. Every topic either follows its parent's layout or heads a region with its own layout mode; the
// pass walks each central theme's tree, hands each region to the sub-layouter of its mode, and writes positions,
// branch boxes, side flags, suggested alignments and connection starts into the topics. Free-placed topics keep the
// positions the document stores; their connections are built from those positions.

#include "layout/LayoutOpts.h"
#include "render/Float2D.h"

#include <memory>
#include <unordered_map>
#include <vector>

class TMindMap;
class TMindMapNode;
class TNestedNodeLayouter;

// The layout options a topic is laid out with: its own, else the defaults of its mode.
const TLayoutOptions& EffectiveLayoutOptions(const TMindMapNode& topic);

// The box around a topic and its laid-out descendants, in map coordinates.
TFloatRect BranchRect(const TMindMapNode& topic);

// Lays out one region. Measure runs bottom-up and sets BranchSize and BranchOrigin; Place runs top-down: when the
// enclosing region positions the head, the head's branch box is centred on the anchor, otherwise the head keeps its
// position and the region is arranged around it.
class TSubLayouter {
public:
    TSubLayouter(TNestedNodeLayouter& owner, TMindMapNode& head);
    TSubLayouter(const TSubLayouter&) = delete;
    TSubLayouter& operator=(const TSubLayouter&) = delete;
    virtual ~TSubLayouter() = default;

    virtual void Measure(TMindMapNode& topic, int depth) = 0;
    virtual void Place(TMindMapNode& topic, bool positionedByParent, int depth, TFloatPoint anchor) = 0;
    virtual void Finish(TMindMapNode& head);

    TMindMapNode& Head() const { return *FHead; }
    TNestedLayoutMode Mode() const { return FMode; }
    TLayoutDirection Direction() const { return FDirection; }
    TLayoutFlow Flow() const { return FFlow; }
    TNestedNodeLayouter& Owner() const { return *FOwner; }
    bool BaselineConnections() const;

protected:
    // The box a rule reserves for a topic: its bounds with its contained elements, taller by the width of its
    // parent connection when that connection underlines it. Offset is the box centre minus the topic's centre.
    struct TTopicBox {
        TFloatPoint Size;
        TFloatPoint Offset;
    };
    TTopicBox TopicBox(const TMindMapNode& topic) const;
    // The map uses baseline connections and the topic, which has a parent, has no border: its text is underlined.
    bool IsUnderlined(const TMindMapNode& topic) const;
    // A child with a mode of its own other than this region's: its own sub-layouter lays it out.
    bool HeadsOtherRegion(const TMindMapNode& child) const;
    // How far connections end inside the topic's outline.
    static double TopicConnectionInset(const TMindMapNode& topic);
    static double TopicBorderWidth(const TMindMapNode& topic);
    static bool HasVisibleChildren(const TMindMapNode& topic);
    // 10 for a topic that draws a hull around its branch.
    static double HullAllowance(const TMindMapNode& topic);

private:
    TNestedNodeLayouter* FOwner; // not owned
    TMindMapNode* FHead;         // not owned
    TNestedLayoutMode FMode;
    TLayoutDirection FDirection;
    TLayoutFlow FFlow;
};

// One layout pass over a map.
class TNestedNodeLayouter {
public:
    explicit TNestedNodeLayouter(TMindMap& map);
    TNestedNodeLayouter(const TNestedNodeLayouter&) = delete;
    TNestedNodeLayouter& operator=(const TNestedNodeLayouter&) = delete;
    ~TNestedNodeLayouter();

    TMindMap& Map() const { return *FMap; }
    // The map's connection style is "baseline".
    bool BaselineConnections() const { return FBaselineConnections; }

    // The sub-layouter of the region the topic heads, made once per pass: free-form for modes 0 and 1, null for a
    // mode that has none. Regions nested deeper than a fixed limit are laid out free-form, together with every
    // region inside them.
    TSubLayouter* SubLayouterFor(TMindMapNode& head);
    // A child that heads its own region, measured and placed by that region's sub-layouter. A region without one
    // is left as it is (its stored positions, its own size as branch box).
    void MeasureRegion(TMindMapNode& head, int depth);
    void PlaceRegion(TMindMapNode& head, bool positionedByParent, int depth, TFloatPoint anchor);

    // The mode of the region that encloses the one the head heads: "free" for a central theme.
    TNestedLayoutMode EnclosingMode(const TMindMapNode& head) const;

    // Measures and places every central theme.
    void Run();

private:
    TMindMap* FMap; // not owned
    std::unordered_map<const TMindMapNode*, std::unique_ptr<TSubLayouter>> FLayouters;
    // the heads of the regions being laid out, outermost first
    std::vector<const TMindMapNode*> FActiveHeads; // not owned
    int FRegionDepth = 0;
    bool FBaselineConnections = false;
};

// Free placement: topics keep their positions; the branch box unites the topic with its children's branch boxes.
class TNestedFreeFormLayouter : public TSubLayouter {
public:
    // flatten: the topics of nested regions are laid out free-form too (regions nested too deeply).
    TNestedFreeFormLayouter(TNestedNodeLayouter& owner, TMindMapNode& head, bool flatten = false);

    void Measure(TMindMapNode& topic, int depth) override;
    void Place(TMindMapNode& topic, bool positionedByParent, int depth, TFloatPoint anchor) override;
    // Sets the head's connection start and builds the parent connections of its branch.
    void Finish(TMindMapNode& head) override;

private:
    bool HeadsRegion(const TMindMapNode& child) const;

    bool FFlatten;
};

// The whole layout pass of a map: sizes from content, then every region. While elements are being moved
// interactively only the free-form connections are rebuilt.
void LayoutPass(TMindMap& map);

// Stores a mode only where it changes the layout: a child whose mode equals the one it inherits goes back to
// following its parent; matrix and radial regions hold no nested regions, and radial regions only hang off
// free-form branches.
void NormalizeLayoutModes(TMindMap& map);

// Mode 0 clears the topic's own options; another mode gives it that mode's default options.
void SetLayoutMode(TMindMapNode& topic, TNestedLayoutMode mode);

// After an outline import: every central theme becomes a strict-horizontal column, the map is laid out, and the
// central themes are stacked from top to bottom, 60 apart.
void ImportArrangement(TMindMap& map);

// The routing of every cross link between its laid-out topics.
void RouteCrossLinks(TMindMap& map);
