#pragma once

// The geometric path of a relation: straight, curved or axis-parallel between two topics, with the maths that the
// painter, the hit tester and the relation builders need. All geometry is in map units.

#include "render/Float2D.h"

#include <cstdint>

typedef struct _cairo cairo_t;

enum TRelationPathKind : std::uint8_t {
    rpkCurve,             // cubic Bezier P0, P1, P2, P3 (P1 and P2 are control points)
    rpkStraight,          // segment P0 to P3 (P1 = P0 and P2 = P3 are stored too)
    rpkOrthogonal,        // axis-parallel segments with sharp corners
    rpkRoundedOrthogonal, // axis-parallel segments whose corners are quarter circles
    rpkHandleCurve,       // cubic Bezier through the handle, derived from P0, P3 and HandleOffset
};

// The side of its topic that a parent connection leaves from.
enum TPathSide : std::uint8_t { psNone, psRight, psLeft, psDown, psUp };

// How far from a path a point may lie and still hit it, in map units, with its square.
struct THitTolerance {
    double Tol = 4;
    double Tol2 = 16;
};

const THitTolerance& HitTolerance();
// Tol = 4 x scale, where scale is screen pixels per inch / 96. A scale that is not a positive finite number counts
// as 1, so that the hit test never runs with a tolerance of zero.
void SetHitToleranceScale(double scale);

// Where a path crosses the boundary of a topic's rectangle, and the direction an arrow head there points in. The
// direction is not normalised and may be the zero vector for a path without extent.
struct TPathBoundary {
    TFloatPoint Point;
    TFloatPoint Direction;
};

// A value type: the relation builders set the fields directly and the operations below derive everything else.
class TRelationPath {
public:
    void SetCurve(const TFloatPoint& p0, const TFloatPoint& p1, const TFloatPoint& p2, const TFloatPoint& p3);
    void SetStraight(const TFloatPoint& p0, const TFloatPoint& p3);
    // The curve passes through (p0 + p3) / 2 + HandleOffset at t = 0.5.
    void SetHandleCurve(const TFloatPoint& p0, const TFloatPoint& p3);
    // Automatic routing from the centre of the source rectangle to the centre of the target rectangle.
    void SetOrthogonal(const TFloatRect& sourceRect, const TFloatRect& targetRect, bool rounded);
    // Routing through the handle point (P0 + P3) / 2 + HandleOffset.
    void SetOrthogonalThrough(const TFloatRect& sourceRect, const TFloatRect& targetRect, bool rounded);
    // Three segments P0, corner1, corner2, P3.
    void SetOrthogonalPoints(const TFloatPoint& p0, const TFloatPoint& corner1, const TFloatPoint& corner2,
                             const TFloatPoint& p3, bool rounded);

    bool IsOrthogonal() const { return Kind == rpkOrthogonal || Kind == rpkRoundedOrthogonal; }
    // True for a path that was never built: P0 and P3 are both exactly (0, 0).
    bool IsUnset() const;
    // Radius of the rounded corners: half the shortest segment of the corner chain, measured along its longer
    // axis; 0 for every kind but rpkRoundedOrthogonal.
    double CornerRadius() const;

    // Adds the path to the context's path as new sub-paths (what the context holds already stays) and sets Filled:
    // a tapered curve or line becomes a closed outline to fill, everything else a line to stroke. The current point
    // ends at P3 either way.
    void AppendToContext(cairo_t* cr);

    // Position and derivative at t in [0, 1]: linear for rpkStraight, the cubic of P0..P3 for every other kind.
    TFloatPoint PointAt(double t) const;
    TFloatPoint TangentAt(double t) const;
    // Where a label or handle of the path sits.
    TFloatPoint MidPoint() const;
    // Hit test within HitTolerance().
    bool ContainsPoint(const TFloatPoint& p) const;

    // Where the path leaves the source topic's rectangle; the direction points back out of the path (start arrow).
    TPathBoundary StartBoundary(const TFloatRect& rect) const;
    // Where the path enters the target topic's rectangle; the direction points along the path (end arrow).
    TPathBoundary EndBoundary(const TFloatRect& rect) const;

    // Grows rect to cover the handle point (orthogonal kinds) or the extremes of a handle curve.
    void IncludeHandleBounds(TFloatRect& rect) const;
    // The box of the centre line as emitted, curve extremes and lead-in included; the stroke width and the outline
    // of a taper are not.
    TFloatRect Bounds() const;

    TRelationPathKind Kind = rpkCurve;
    TFloatPoint HandleOffset;  // the user's handle, relative to the midpoint of P0 and P3
    bool Filled = false;       // output of AppendToContext: fill instead of stroke
    bool HasLeadIn = false;    // the path starts with a segment from LeadInStart to P0
    bool UnderlineEnd = false; // the target is underlined: the path ends exactly at P3
    TFloatPoint LeadInStart;
    double LeadInRadius = 0;       // corner between the lead-in and the path; below 1 the corner is sharp
    TFloatPoint ChildAttachPoint;  // where the target's child connections start when UnderlineEnd is set
    std::int32_t SegmentCount = 1; // orthogonal kinds: 1 to 4 segments; other values count as the nearest of these
    TFloatPoint ExtraCorner;       // middle corner of a four-segment orthogonal path
    TPathSide ExitSide = psNone;
    double Width = 1; // stroke width for the painter
    TFloatPoint P0;
    TFloatPoint P1; // orthogonal kinds: first corner
    TFloatPoint P2; // orthogonal kinds: second corner
    TFloatPoint P3;
    // 0: no taper; w > 0: 2w wide at P0 and a point at P3; w < 0: 2|w| wide at P3 and a point at P0.
    std::int32_t Taper = 0;

private:
    void AppendLeadInCorner(cairo_t* cr) const;
    bool AppendTaperedCurve(cairo_t* cr) const;
    bool AppendTaperedStraight(cairo_t* cr) const;
    // The outside end of a boundary crossing on the curve, found by bisecting the parameter.
    double BisectParameter(const TFloatRect& rect, double insideT, double outsideT) const;
};
