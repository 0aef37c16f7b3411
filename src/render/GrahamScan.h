#pragma once

// The convex hull of a set of points (Graham's scan on integer coordinates), with the padding the hull builders
// put around topics and points.

#include "render/Float2D.h"

#include <cstdint>
#include <vector>

struct TGrahamPoint {
    std::int64_t X = 0;
    std::int64_t Y = 0;
    friend bool operator==(const TGrahamPoint&, const TGrahamPoint&) = default;
};

// Rounds to the nearest integer, halves to even; coordinates beyond a billion are clamped and NaN counts as 0, so
// that every cross product fits in 64 bits.
TGrahamPoint ToGrahamPoint(const TFloatPoint& p);

class TGrahamScan {
public:
    double Padding = 4;

    // The four corners of the square of side 2 Padding centred on p.
    void AddPoint(const TFloatPoint& p);
    // The four corners of r grown by Padding on each side; rectangles without a positive size add nothing.
    void AddRect(const TFloatRect& r);
    // Replaces the points by the corners of their bounding box (when there are at least two).
    void UseBoundingBox();
    // The hull in counter-clockwise order from the lowest point (smallest y, then smallest x). Two points or fewer,
    // or points all on one line, give no drawable hull (at most the pivot).
    std::vector<TGrahamPoint> CalcHull();

    const std::vector<TGrahamPoint>& Points() const { return FPoints; }
    bool Empty() const { return FPoints.empty(); }

private:
    std::vector<TGrahamPoint> FPoints;
};
