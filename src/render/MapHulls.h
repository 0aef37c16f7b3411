#pragma once

// A hull: a polygon around several topics, with its fill and outline.

#include "render/Float2D.h"
#include "render/GrahamScan.h"
#include "styling/Colors.h"
#include "styling/MindMapStyling.h"

#include <vector>

struct TMapHull {
    TColor Fill = clNone;
    std::vector<TFloatPoint> Points;
    TColor StrokeColor = clNone;
    TStrokeStyle StrokeStyle = stsSolid;
    double StrokeWidth = 0.5;

    TMapHull() = default;
    explicit TMapHull(const std::vector<TGrahamPoint>& points);

    // Hulls of fewer than three points are not drawn.
    bool Drawable() const { return Points.size() >= 3; }
    // Even-odd crossing rule over the polygon.
    bool Contains(const TFloatPoint& p) const;
};
