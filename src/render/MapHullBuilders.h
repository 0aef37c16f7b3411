#pragma once

// Branch hulls around topics that ask for one, and the bounds, hulls and hit test of group borders.

#include "render/MapHulls.h"

#include <vector>

class TMindMap;
class TMindMapNode;
class TNodeGroup;

// The fill of a hull nested depth deep: the base colour's hue and saturation with a luminance that follows the
// background's: hulls darken with nesting on light backgrounds and lighten on dark ones.
TColor HullColor(TColor base, int depth, TColor background);

class TMapHullBuilder {
public:
    explicit TMapHullBuilder(TColor background);

    // The hulls of every branch whose head has a hull, inner ones after the outer ones they sit in. Writes each
    // visible topic's HullFill.
    std::vector<TMapHull> Build(TMindMap& map);

private:
    TColor FBackground;
};

// Recomputes the group's bounds (and its hull for the hull styles) from its shown members, and its visibility.
void UpdateGroupBounds(TNodeGroup& group);
void UpdateGroupBounds(TMindMap& map);
// Inside the group's border: the bounds grown by half the border width, then the style's own shape.
bool GroupHitTest(const TNodeGroup& group, const TFloatPoint& point);
