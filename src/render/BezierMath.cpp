#include "render/BezierMath.h"

#include <algorithm>
#include <array>
#include <cairo.h>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace {

THitTolerance GHitTolerance;

// Boundary crossings halve their interval at most this often.
constexpr int kBoundaryHalvings = 12;
// Bound of the curve bisection of the hit test: beyond it the parameter interval is below double resolution, so
// only a degenerate tolerance or overflowing coordinates could ask for more.
constexpr int kMaxCurveBisections = 64;
// Depth limit of the recursive hit test: at most 2^5 pieces.
constexpr int kMaxSubdivisionDepth = 4;

double Sign(double v) {
    return v < 0 ? -1.0 : 1.0;
}

double Dot(const TFloatPoint& a, const TFloatPoint& b) {
    return a.X * b.X + a.Y * b.Y;
}

double Cross(const TFloatPoint& a, const TFloatPoint& b) {
    return a.X * b.Y - a.Y * b.X;
}

double LengthSquared(const TFloatPoint& v) {
    return Dot(v, v);
}

TFloatPoint MidPointOf(const TFloatPoint& a, const TFloatPoint& b) {
    return (a + b) * 0.5;
}

TFloatPoint RoundPoint(const TFloatPoint& p) {
    return {std::nearbyint(p.X), std::nearbyint(p.Y)};
}

void MoveTo(cairo_t* cr, const TFloatPoint& p) {
    cairo_move_to(cr, p.X, p.Y);
}

void LineTo(cairo_t* cr, const TFloatPoint& p) {
    cairo_line_to(cr, p.X, p.Y);
}

void CurveTo(cairo_t* cr, const TFloatPoint& c1, const TFloatPoint& c2, const TFloatPoint& p) {
    cairo_curve_to(cr, c1.X, c1.Y, c2.X, c2.Y, p.X, p.Y);
}

TFloatPoint CubicPoint(const TFloatPoint& p0, const TFloatPoint& p1, const TFloatPoint& p2, const TFloatPoint& p3,
                       double t) {
    const double s = 1 - t;
    return s * s * s * p0 + 3 * t * s * s * p1 + 3 * t * t * s * p2 + t * t * t * p3;
}

TFloatPoint CubicTangent(const TFloatPoint& p0, const TFloatPoint& p1, const TFloatPoint& p2, const TFloatPoint& p3,
                         double t) {
    const double s = 1 - t;
    return 3 * s * s * (p1 - p0) + 6 * s * t * (p2 - p1) + 3 * t * t * (p3 - p2);
}

// p lies within tol of q on both axes.
bool NearPoint(const TFloatPoint& p, const TFloatPoint& q, double tol) {
    return std::fabs(p.X - q.X) <= tol && std::fabs(p.Y - q.Y) <= tol;
}

// p lies in the box spanned by a and b grown by tol on every side.
bool InGrownBox(const TFloatPoint& p, const TFloatPoint& a, const TFloatPoint& b, double tol) {
    return std::min(a.X, b.X) - tol <= p.X && p.X <= std::max(a.X, b.X) + tol && std::min(a.Y, b.Y) - tol <= p.Y &&
           p.Y <= std::max(a.Y, b.Y) + tol;
}

bool InControlBounds(const TFloatPoint& p, const TFloatPoint& p0, const TFloatPoint& p1, const TFloatPoint& p2,
                     const TFloatPoint& p3, double tol) {
    return std::min({p0.X, p1.X, p2.X, p3.X}) - tol <= p.X && p.X <= std::max({p0.X, p1.X, p2.X, p3.X}) + tol &&
           std::min({p0.Y, p1.Y, p2.Y, p3.Y}) - tol <= p.Y && p.Y <= std::max({p0.Y, p1.Y, p2.Y, p3.Y}) + tol;
}

// The squared distance must be strictly below tol2; a segment of zero length is never hit.
bool SegmentHit(const TFloatPoint& a, const TFloatPoint& b, const TFloatPoint& p, const THitTolerance& tolerance) {
    if (!InGrownBox(p, a, b, tolerance.Tol))
        return false;
    const TFloatPoint d = b - a;
    const double length2 = LengthSquared(d);
    if (!(length2 > 0))
        return false;
    const double u = Dot(d, p - a) / length2;
    if (!(u >= 0 && u <= 1))
        return false;
    return LengthSquared(p - (a + u * d)) < tolerance.Tol2;
}

// Squared distance from p to the line through a and b, for points that project near the chord only.
double ChordLineDistance2(const TFloatPoint& a, const TFloatPoint& b, const TFloatPoint& p) {
    const TFloatPoint d = b - a;
    const double length2 = LengthSquared(d);
    if (!(length2 > 0))
        return LengthSquared(p - a);
    const double u = Dot(d, p - a) / length2;
    if (!(u >= -0.25 && u <= 1.25))
        return 1e8;
    return LengthSquared(p - (a + u * d));
}

bool IsFlatEnough(const TFloatPoint& p0, const TFloatPoint& p1, const TFloatPoint& p2, const TFloatPoint& p3,
                  const THitTolerance& tolerance, int depth) {
    if (depth > kMaxSubdivisionDepth)
        return true;
    const TFloatPoint chord = p3 - p0;
    const double length2 = LengthSquared(chord);
    if (length2 <= tolerance.Tol2)
        return true;
    const double length = std::sqrt(length2);
    // Inner control points near the chord line...
    if (std::fabs(Cross(chord, p1 - p0)) > 6 * length || std::fabs(Cross(chord, p2 - p0)) > 6 * length)
        return false;
    // ...not far behind their end points...
    if (Dot(p1 - p0, chord) < -6 * length || Dot(p2 - p3, chord) > 6 * length)
        return false;
    // ...and arms that reach at most half way along the chord.
    return length2 >= 2 * Dot(p1 - p0, chord) && length2 >= 2 * Dot(p3 - p2, chord);
}

bool SubdivisionHit(const TFloatPoint& p0, const TFloatPoint& p1, const TFloatPoint& p2, const TFloatPoint& p3,
                    const TFloatPoint& p, const THitTolerance& tolerance, int depth) {
    if (NearPoint(p, p0, tolerance.Tol) || NearPoint(p, p3, tolerance.Tol))
        return true;
    if (!InControlBounds(p, p0, p1, p2, p3, tolerance.Tol))
        return false;
    if (IsFlatEnough(p0, p1, p2, p3, tolerance, depth))
        return SegmentHit(p0, p3, p, tolerance);
    // de Casteljau at t = 0.5; the new points on whole map units.
    const TFloatPoint q0 = MidPointOf(p0, p1);
    const TFloatPoint q1 = MidPointOf(p1, p2);
    const TFloatPoint q2 = MidPointOf(p2, p3);
    const TFloatPoint r0 = MidPointOf(q0, q1);
    const TFloatPoint r1 = MidPointOf(q1, q2);
    const TFloatPoint s = RoundPoint(MidPointOf(r0, r1));
    return SubdivisionHit(p0, RoundPoint(q0), RoundPoint(r0), s, p, tolerance, depth + 1) ||
           SubdivisionHit(s, RoundPoint(r1), RoundPoint(q2), p3, p, tolerance, depth + 1);
}

bool CurveHit(const TFloatPoint& p0, const TFloatPoint& p1, const TFloatPoint& p2, const TFloatPoint& p3,
              const TFloatPoint& p, const THitTolerance& tolerance) {
    const double tol = tolerance.Tol;
    if (NearPoint(p, p0, tol) || NearPoint(p, p3, tol))
        return true;
    if (!InGrownBox(p, p0, p3, tol))
        return SubdivisionHit(p0, p1, p2, p3, p, tolerance, 0);
    // Bisection towards p, keeping the half whose chord box holds it.
    TFloatPoint a = p0;
    TFloatPoint b = p3;
    double ta = 0;
    double tb = 1;
    for (int i = 0; i < kMaxCurveBisections && LengthSquared(a - b) >= tolerance.Tol2 / 2; ++i) {
        const double tc = (ta + tb) / 2;
        const TFloatPoint c = CubicPoint(p0, p1, p2, p3, tc);
        if (NearPoint(p, c, tol))
            return true;
        bool inFirst = InGrownBox(p, a, c, tol);
        const bool inSecond = InGrownBox(p, c, b, tol);
        if (inFirst && inSecond)
            inFirst = ChordLineDistance2(a, c, p) <= ChordLineDistance2(c, b, p);
        else if (!inFirst && !inSecond)
            return false;
        if (inFirst) {
            b = c;
            tb = tc;
        } else {
            a = c;
            ta = tc;
        }
    }
    return SegmentHit(a, b, p, tolerance);
}

// A corner of an orthogonal chain, or of a lead-in, from the previous point A over the corner K to the next point
// B. A rounded corner replaces K by a quarter circle from Start to End around Centre; a sharp one has
// Start = End = K.
struct TCorner {
    TFloatPoint Corner;
    bool Rounded = false;
    double Radius = 0;
    TFloatPoint Start;
    TFloatPoint End;
    TFloatPoint Centre;
};

// How far the path runs into the corner (along the incoming axis) and how far the next point lies to the side of
// it (across the incoming axis).
void CornerRunAndOffset(const TFloatPoint& a, const TFloatPoint& k, const TFloatPoint& b, double& run, double& offset) {
    if (std::fabs(k.Y - a.Y) >= std::fabs(k.X - a.X)) {
        run = std::fabs(k.Y - a.Y);
        offset = std::fabs(b.X - k.X);
    } else {
        run = std::fabs(k.X - a.X);
        offset = std::fabs(b.Y - k.Y);
    }
}

// The radius is limited to the incoming run and the outgoing offset, so that an arc never starts behind A nor
// overshoots B sideways; a corner that does not turn stays sharp.
TCorner MakeCorner(const TFloatPoint& a, const TFloatPoint& k, const TFloatPoint& b, double radius) {
    TCorner corner;
    corner.Corner = k;
    corner.Start = k;
    corner.End = k;
    double run = 0;
    double offset = 0;
    CornerRunAndOffset(a, k, b, run, offset);
    const double r = std::min({radius, run, offset});
    if (!(r >= 0.5))
        return corner;
    corner.Rounded = true;
    corner.Radius = r;
    if (std::fabs(k.Y - a.Y) >= std::fabs(k.X - a.X)) {
        const double sx = Sign(b.X - k.X);
        const double sy = Sign(k.Y - a.Y);
        corner.Start = {k.X, k.Y - sy * r};
        corner.Centre = {k.X + sx * r, k.Y - sy * r};
        corner.End = {k.X + sx * r, k.Y};
    } else {
        const double sx = Sign(k.X - a.X);
        const double sy = Sign(b.Y - k.Y);
        corner.Start = {k.X - sx * r, k.Y};
        corner.Centre = {k.X - sx * r, k.Y + sy * r};
        corner.End = {k.X, k.Y + sy * r};
    }
    return corner;
}

// The quarter circle the short way round.
void AppendArc(cairo_t* cr, const TCorner& corner) {
    const TFloatPoint start = corner.Start - corner.Centre;
    const TFloatPoint end = corner.End - corner.Centre;
    const double a1 = std::atan2(start.Y, start.X);
    if (Cross(start, end) > 0)
        cairo_arc(cr, corner.Centre.X, corner.Centre.Y, corner.Radius, a1, a1 + std::numbers::pi / 2);
    else
        cairo_arc_negative(cr, corner.Centre.X, corner.Centre.Y, corner.Radius, a1, a1 - std::numbers::pi / 2);
}

bool ArcHit(const TCorner& corner, const TFloatPoint& p, const THitTolerance& tolerance) {
    if (!InGrownBox(p, corner.Corner, corner.Centre, tolerance.Tol))
        return false;
    const double d = VectorLength(p - corner.Centre);
    return std::max(corner.Radius - tolerance.Tol, 0.0) <= d && d <= corner.Radius + tolerance.Tol;
}

// The points of an orthogonal path in order: P0, the corners, P3.
struct TCornerChain {
    std::array<TFloatPoint, 5> Points;
    std::size_t Count = 0;
};

TCornerChain CornerChainOf(const TRelationPath& path) {
    switch (std::clamp(path.SegmentCount, 1, 4)) {
    case 1:
        return {{path.P0, path.P3}, 2};
    case 2:
        return {{path.P0, path.P1, path.P3}, 3};
    case 3:
        return {{path.P0, path.P1, path.P2, path.P3}, 4};
    default:
        return {{path.P0, path.P1, path.ExtraCorner, path.P2, path.P3}, 5};
    }
}

// Visits the straight runs and the rounded corners of a chain in order.
template <typename TOnLine, typename TOnArc>
void WalkCornerChain(const TCornerChain& chain, double radius, TOnLine&& onLine, TOnArc&& onArc) {
    TFloatPoint from = chain.Points[0];
    for (std::size_t i = 1; i + 1 < chain.Count; ++i) {
        const TCorner corner = MakeCorner(chain.Points[i - 1], chain.Points[i], chain.Points[i + 1], radius);
        onLine(from, corner.Start);
        if (corner.Rounded)
            onArc(corner);
        from = corner.End;
    }
    onLine(from, chain.Points[chain.Count - 1]);
}

// The first point after P0 that differs from it (P0 itself when the whole chain is one point).
TFloatPoint FirstDistinctAfterStart(const TCornerChain& chain) {
    for (std::size_t i = 1; i < chain.Count; ++i)
        if (chain.Points[i] != chain.Points[0])
            return chain.Points[i];
    return chain.Points[0];
}

TFloatPoint LastDistinctBeforeEnd(const TCornerChain& chain) {
    const TFloatPoint& last = chain.Points[chain.Count - 1];
    for (std::size_t i = chain.Count - 1; i-- > 0;)
        if (chain.Points[i] != last)
            return chain.Points[i];
    return last;
}

// The outside end of the crossing of the segment from inside to outside with the rectangle's boundary.
TFloatPoint BisectSegment(const TFloatRect& rect, TFloatPoint inside, TFloatPoint outside) {
    for (int i = 0; i < kBoundaryHalvings && LengthSquared(inside - outside) > 2; ++i) {
        const TFloatPoint m = MidPointOf(inside, outside);
        if (FloatRectContains(rect, m))
            inside = m;
        else
            outside = m;
    }
    return outside;
}

TFloatPoint HandleControlPoint(const TFloatPoint& p0, const TFloatPoint& p3, const TFloatPoint& handleOffset) {
    return MidPointOf(p0, p3) + 2 * handleOffset;
}

// 0 for dx >= 0, dy >= 0; 1 for dx < 0, dy >= 0; 2 for dx < 0, dy < 0; 3 for dx >= 0, dy < 0.
int Quadrant(const TFloatPoint& v) {
    if (v.Y >= 0)
        return v.X >= 0 ? 0 : 1;
    return v.X < 0 ? 2 : 3;
}

bool InBand(double value, double low, double high) {
    return low <= value && value <= high;
}

// Parameter of the extreme of one coordinate of the quadratic p0, c, p3; -1 when it has none.
double QuadraticExtremeParameter(double p0, double c, double p3) {
    const double denominator = 2 * c - p0 - p3;
    if (std::fabs(denominator) < 1e-10)
        return -1;
    return (c - p0) / denominator;
}

// Widens [lo, hi] by the extremes of one coordinate of a cubic inside (0, 1).
void IncludeCubicExtremes(double p0, double p1, double p2, double p3, double& lo, double& hi) {
    if (lo <= std::min(p1, p2) && std::max(p1, p2) <= hi)
        return; // the curve stays within the hull of its points
    // The derivative divided by 3: a t^2 + b t + c.
    const double a = -p0 + 3 * p1 - 3 * p2 + p3;
    const double b = 2 * (p0 - 2 * p1 + p2);
    const double c = p1 - p0;
    std::array<double, 2> roots{-1, -1};
    if (a == 0) {
        if (b != 0)
            roots[0] = -c / b;
    } else {
        const double discriminant = b * b - 4 * a * c;
        if (discriminant >= 0) {
            // The stable form: no cancellation when a is small against b.
            const double q = -0.5 * (b + std::copysign(std::sqrt(discriminant), b));
            roots[0] = q / a;
            if (q != 0)
                roots[1] = c / q;
        }
    }
    for (const double t : roots) {
        if (!(t > 0 && t < 1))
            continue;
        const double s = 1 - t;
        const double v = s * s * s * p0 + 3 * t * s * s * p1 + 3 * t * t * s * p2 + t * t * t * p3;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
}

} // namespace

const THitTolerance& HitTolerance() {
    return GHitTolerance;
}

void SetHitToleranceScale(double scale) {
    if (!std::isfinite(scale) || scale <= 0)
        scale = 1;
    GHitTolerance.Tol = 4 * scale;
    GHitTolerance.Tol2 = GHitTolerance.Tol * GHitTolerance.Tol;
}

void TRelationPath::SetCurve(const TFloatPoint& p0, const TFloatPoint& p1, const TFloatPoint& p2,
                             const TFloatPoint& p3) {
    Kind = rpkCurve;
    P0 = p0;
    P1 = p1;
    P2 = p2;
    P3 = p3;
}

void TRelationPath::SetStraight(const TFloatPoint& p0, const TFloatPoint& p3) {
    Kind = rpkStraight;
    P0 = p0;
    P1 = p0;
    P2 = p3;
    P3 = p3;
}

void TRelationPath::SetHandleCurve(const TFloatPoint& p0, const TFloatPoint& p3) {
    Kind = rpkHandleCurve;
    P0 = p0;
    P3 = p3;
    // Degree elevation of the quadratic whose control point puts the curve through the handle at t = 0.5.
    const TFloatPoint c = HandleControlPoint(p0, p3, HandleOffset);
    P1 = (2.0 / 3.0) * c + p0 * (1.0 / 3.0);
    P2 = (2.0 / 3.0) * c + p3 * (1.0 / 3.0);
}

void TRelationPath::SetOrthogonal(const TFloatRect& sourceRect, const TFloatRect& targetRect, bool rounded) {
    Kind = rounded ? rpkRoundedOrthogonal : rpkOrthogonal;
    P0 = sourceRect.Center();
    P3 = targetRect.Center();
    // Unused corners stay on the ends, so that the cubic of the four points follows a one-segment route.
    P1 = P0;
    P2 = P3;
    const double dx = P3.X - P0.X;
    const double dy = P3.Y - P0.Y;
    if (std::fabs(dx) < 1 || std::fabs(dy) < 1) {
        SegmentCount = 1;
        return;
    }
    // The free gaps between the rectangles, less 8 on either side.
    const double u = std::fabs(dx) - (sourceRect.Width + targetRect.Width) / 2 - 16;
    const double v = std::fabs(dy) - (sourceRect.Height + targetRect.Height) / 2 - 16;
    if (u >= 0 || v >= 0) {
        SegmentCount = 3;
        if (u < v) {
            const double y = P3.Y <= P0.Y ? sourceRect.Top - (v / 2 + 8) : sourceRect.Bottom() + (v / 2 + 8);
            P1 = {P0.X, y};
            P2 = {P3.X, y};
        } else {
            const double x = P3.X <= P0.X ? sourceRect.Left - (u / 2 + 8) : sourceRect.Right() + (u / 2 + 8);
            P1 = {x, P0.Y};
            P2 = {x, P3.Y};
        }
    } else if (P3.Y <= sourceRect.Top - 8 || P3.Y >= sourceRect.Bottom() + 8) {
        SegmentCount = 2;
        P1 = {P0.X, P3.Y};
        P2 = P1;
    } else if (P3.X <= sourceRect.Left - 8 || P3.X >= sourceRect.Right() + 8) {
        SegmentCount = 2;
        P1 = {P3.X, P0.Y};
        P2 = P1;
    } else {
        SegmentCount = 1;
    }
}

void TRelationPath::SetOrthogonalThrough(const TFloatRect& sourceRect, const TFloatRect& targetRect, bool rounded) {
    Kind = rounded ? rpkRoundedOrthogonal : rpkOrthogonal;
    P0 = sourceRect.Center();
    P3 = targetRect.Center();
    const TFloatPoint middle = MidPointOf(P0, P3);
    const TFloatPoint h = middle + HandleOffset;
    const TFloatRect u = FloatRectUnion(FloatRectInflate(sourceRect, 8, 8), FloatRectInflate(targetRect, 8, 8));
    const double gx = h.X < u.Left ? u.Left - h.X : (h.X > u.Right() ? h.X - u.Right() : 0);
    const double gy = h.Y < u.Top ? u.Top - h.Y : (h.Y > u.Bottom() ? h.Y - u.Bottom() : 0);

    if (gx > 0 && gy > 0) {
        // The handle lies diagonally off both topics: go round through it.
        SegmentCount = 4;
        ExtraCorner = h;
        const int e = Quadrant(P3 - P0);
        const int m = ((Quadrant(h - middle) - e) % 4 + 4) % 4;
        bool vertFirst = m == 0 || m == 3;
        if (m == 0 || m == 2) {
            if (e == 0 || e == 2)
                vertFirst = vertFirst == (gy > gx);
            else if (gy >= gx)
                vertFirst = !vertFirst;
        }
        if (e == 1 || e == 3)
            vertFirst = !vertFirst;
        if (vertFirst) {
            P1 = {P0.X, h.Y};
            P2 = {h.X, P3.Y};
        } else {
            P1 = {h.X, P0.Y};
            P2 = {P3.X, h.Y};
        }
        return;
    }
    if (gy > 0) {
        SegmentCount = 3;
        P1 = {P0.X, h.Y};
        P2 = {P3.X, h.Y};
        return;
    }
    if (gx > 0) {
        SegmentCount = 3;
        P1 = {h.X, P0.Y};
        P2 = {h.X, P3.Y};
        return;
    }

    // The handle lies among the topics: two cross products against the line P0-P3 decide whether the middle segment
    // runs across or up and down; near either topic the route drops to two segments.
    const double c1 = (P3.X - P0.X) * (h.Y - P3.Y) - (h.X - P0.X) * (P0.Y - P3.Y);
    const double c2 = (P3.X - P0.X) * (h.Y - P0.Y) - (h.X - P0.X) * (P3.Y - P0.Y);
    SegmentCount = 3;
    if ((c1 < 0) != (c2 < 0)) {
        P1 = {P0.X, h.Y};
        P2 = {P3.X, h.Y};
        if (InBand(h.Y, sourceRect.Top - 16, sourceRect.Bottom() + 16)) {
            SegmentCount = 2;
            P1 = {P3.X, P0.Y};
        } else if (InBand(h.Y, targetRect.Top - 16, targetRect.Bottom() + 16)) {
            SegmentCount = 2;
            P1 = {P0.X, P3.Y};
        }
    } else {
        P1 = {h.X, P0.Y};
        P2 = {h.X, P3.Y};
        if (InBand(h.X, sourceRect.Left - 16, sourceRect.Right() + 16)) {
            SegmentCount = 2;
            P1 = {P0.X, P3.Y};
        } else if (InBand(h.X, targetRect.Left - 16, targetRect.Right() + 16)) {
            SegmentCount = 2;
            P1 = {P3.X, P0.Y};
        }
    }
    if (SegmentCount == 2)
        P2 = P1;
}

void TRelationPath::SetOrthogonalPoints(const TFloatPoint& p0, const TFloatPoint& corner1, const TFloatPoint& corner2,
                                        const TFloatPoint& p3, bool rounded) {
    Kind = rounded ? rpkRoundedOrthogonal : rpkOrthogonal;
    SegmentCount = 3;
    P0 = p0;
    P1 = corner1;
    P2 = corner2;
    P3 = p3;
}

bool TRelationPath::IsUnset() const {
    return P0.X == 0 && P0.Y == 0 && P3.X == 0 && P3.Y == 0;
}

double TRelationPath::CornerRadius() const {
    if (Kind != rpkRoundedOrthogonal)
        return 0;
    const TCornerChain chain = CornerChainOf(*this);
    double radius = HUGE_VAL;
    for (std::size_t i = 1; i < chain.Count; ++i) {
        const TFloatPoint d = chain.Points[i] - chain.Points[i - 1];
        radius = std::min(radius, std::max(std::fabs(d.X), std::fabs(d.Y)) / 2);
    }
    return radius;
}

void TRelationPath::AppendToContext(cairo_t* cr) {
    Filled = false;
    if (HasLeadIn) {
        MoveTo(cr, LeadInStart);
        if (LeadInRadius >= 1)
            AppendLeadInCorner(cr);
        else
            LineTo(cr, P0);
    } else {
        MoveTo(cr, P0);
    }
    switch (Kind) {
    case rpkOrthogonal:
    case rpkRoundedOrthogonal:
        WalkCornerChain(
            CornerChainOf(*this), CornerRadius(), [cr](const TFloatPoint&, const TFloatPoint& to) { LineTo(cr, to); },
            [cr](const TCorner& corner) { AppendArc(cr, corner); });
        break;
    case rpkStraight:
        if (Taper != 0 && AppendTaperedStraight(cr))
            Filled = true;
        else
            LineTo(cr, P3);
        break;
    case rpkCurve:
    case rpkHandleCurve:
    default:
        if (Taper != 0 && AppendTaperedCurve(cr))
            Filled = true;
        else
            CurveTo(cr, P1, P2, P3);
        break;
    }
}

void TRelationPath::AppendLeadInCorner(cairo_t* cr) const {
    if (Kind == rpkOrthogonal) {
        // Sharp paths get only a small, soft bend: a quadratic curve with the corner as its control point.
        double run = 0;
        double offset = 0;
        CornerRunAndOffset(LeadInStart, P0, P3, run, offset);
        const TCorner corner = MakeCorner(LeadInStart, P0, P3, std::min({LeadInRadius, 4.5, run / 2, offset / 2}));
        if (!corner.Rounded) {
            LineTo(cr, P0);
            return;
        }
        LineTo(cr, corner.Start);
        CurveTo(cr, corner.Start + (2.0 / 3.0) * (P0 - corner.Start), corner.End + (2.0 / 3.0) * (P0 - corner.End),
                corner.End);
        return;
    }
    const TCorner corner = MakeCorner(LeadInStart, P0, P3, LeadInRadius);
    if (!corner.Rounded) {
        LineTo(cr, P0);
        return;
    }
    LineTo(cr, corner.Start);
    AppendArc(cr, corner);
}

bool TRelationPath::AppendTaperedCurve(cairo_t* cr) const {
    const double w = Taper;
    // The normal at the wide end; without a direction there the curve is stroked plainly.
    const TFloatPoint tangent = w > 0 ? TangentAt(0) : TangentAt(1);
    const double length = VectorLength(tangent);
    if (!(length > 0 && std::isfinite(length)))
        return false;
    const TFloatPoint n = TFloatPoint{-tangent.Y, tangent.X} * (w / length);
    if (w > 0) {
        MoveTo(cr, P0 + n);
        CurveTo(cr, P1 + 0.66 * n, P2 + 0.33 * n, P3);
        CurveTo(cr, P2 - 0.33 * n, P1 - 0.66 * n, P0 - n);
    } else {
        MoveTo(cr, P3 + n);
        CurveTo(cr, P2 + 0.66 * n, P1 + 0.33 * n, P0);
        CurveTo(cr, P1 - 0.33 * n, P2 - 0.66 * n, P3 - n);
    }
    cairo_close_path(cr);
    MoveTo(cr, P3);
    return true;
}

bool TRelationPath::AppendTaperedStraight(cairo_t* cr) const {
    const double w = Taper;
    const TFloatPoint d = P3 - P0;
    const double length = VectorLength(d);
    if (!(length > 0 && std::isfinite(length)))
        return false;
    const TFloatPoint n = TFloatPoint{-d.Y, d.X} * (w / length);
    const TFloatPoint& wide = w > 0 ? P0 : P3;
    const TFloatPoint& tip = w > 0 ? P3 : P0;
    MoveTo(cr, wide + n);
    LineTo(cr, tip);
    LineTo(cr, wide - n);
    cairo_close_path(cr);
    MoveTo(cr, P3);
    return true;
}

TFloatPoint TRelationPath::PointAt(double t) const {
    if (Kind == rpkStraight)
        return P0 + t * (P3 - P0);
    return CubicPoint(P0, P1, P2, P3, t);
}

TFloatPoint TRelationPath::TangentAt(double t) const {
    if (Kind == rpkStraight)
        return P3 - P0;
    return CubicTangent(P0, P1, P2, P3, t);
}

TFloatPoint TRelationPath::MidPoint() const {
    if (!IsOrthogonal())
        return PointAt(0.5);
    switch (std::clamp(SegmentCount, 1, 4)) {
    case 1:
        return MidPointOf(P0, P3);
    case 2:
        return P1;
    case 3:
        return MidPointOf(P1, P2);
    default:
        return ExtraCorner;
    }
}

bool TRelationPath::ContainsPoint(const TFloatPoint& p) const {
    const THitTolerance& tolerance = HitTolerance();
    if (HasLeadIn && SegmentHit(LeadInStart, P0, p, tolerance))
        return true;
    switch (Kind) {
    case rpkStraight:
        return SegmentHit(P0, P3, p, tolerance);
    case rpkOrthogonal:
    case rpkRoundedOrthogonal: {
        bool hit = false;
        WalkCornerChain(
            CornerChainOf(*this), CornerRadius(),
            [&](const TFloatPoint& from, const TFloatPoint& to) { hit = hit || SegmentHit(from, to, p, tolerance); },
            [&](const TCorner& corner) { hit = hit || ArcHit(corner, p, tolerance); });
        return hit;
    }
    case rpkHandleCurve:
        return SubdivisionHit(P0, P1, P2, P3, p, tolerance, 0);
    case rpkCurve:
    default:
        return CurveHit(P0, P1, P2, P3, p, tolerance);
    }
}

double TRelationPath::BisectParameter(const TFloatRect& rect, double insideT, double outsideT) const {
    TFloatPoint inside = PointAt(insideT);
    TFloatPoint outside = PointAt(outsideT);
    for (int i = 0; i < kBoundaryHalvings && LengthSquared(inside - outside) > 2; ++i) {
        const double t = (insideT + outsideT) / 2;
        const TFloatPoint m = PointAt(t);
        if (FloatRectContains(rect, m)) {
            insideT = t;
            inside = m;
        } else {
            outsideT = t;
            outside = m;
        }
    }
    return outsideT;
}

TPathBoundary TRelationPath::StartBoundary(const TFloatRect& rect) const {
    if (IsOrthogonal()) {
        const TFloatPoint next = FirstDistinctAfterStart(CornerChainOf(*this));
        TPathBoundary boundary{P0, P0 - next};
        if (FloatRectContains(rect, P0) && !FloatRectContains(rect, next))
            boundary.Point = BisectSegment(rect, P0, next);
        return boundary;
    }
    if (!FloatRectContains(rect, P0))
        return {P0, -TangentAt(0.02)};
    if (HasLeadIn)
        return {P0, -TangentAt(0.05)};
    if (FloatRectContains(rect, P3))
        return {P3, -TangentAt(1)};
    const double t = BisectParameter(rect, 0, 1);
    return {PointAt(t), -TangentAt(0.98 * t + 0.02)};
}

TPathBoundary TRelationPath::EndBoundary(const TFloatRect& rect) const {
    if (IsOrthogonal()) {
        const TFloatPoint previous = LastDistinctBeforeEnd(CornerChainOf(*this));
        TPathBoundary boundary{P3, P3 - previous};
        if (FloatRectContains(rect, P3) && !FloatRectContains(rect, previous))
            boundary.Point = BisectSegment(rect, P3, previous);
        return boundary;
    }
    if (!FloatRectContains(rect, P3))
        return {P3, TangentAt(0.98)};
    if (UnderlineEnd)
        return {P3, TangentAt(0.95)};
    if (FloatRectContains(rect, P0))
        return {P0, TangentAt(0)};
    const double t = BisectParameter(rect, 1, 0);
    return {PointAt(t), TangentAt(0.98 * t)};
}

void TRelationPath::IncludeHandleBounds(TFloatRect& rect) const {
    if (IsOrthogonal()) {
        rect = FloatRectIncludePoint(rect, MidPointOf(P0, P3) + HandleOffset);
        return;
    }
    if (Kind != rpkHandleCurve)
        return;
    const TFloatPoint c = HandleControlPoint(P0, P3, HandleOffset);
    for (const double t : {QuadraticExtremeParameter(P0.X, c.X, P3.X), QuadraticExtremeParameter(P0.Y, c.Y, P3.Y)}) {
        if (!(t > 0 && t < 1))
            continue;
        const TFloatPoint extreme = PointAt(t);
        rect = FloatRectUnion(rect, TFloatRect{extreme.X - 6, extreme.Y - 6, 12, 12});
    }
}

TFloatRect TRelationPath::Bounds() const {
    double left = std::min(P0.X, P3.X);
    double right = std::max(P0.X, P3.X);
    double top = std::min(P0.Y, P3.Y);
    double bottom = std::max(P0.Y, P3.Y);
    if (IsOrthogonal()) {
        // Arcs start and end on the segments, so the rounded path reaches the same extremes as the sharp one.
        const TCornerChain chain = CornerChainOf(*this);
        for (std::size_t i = 0; i < chain.Count; ++i) {
            left = std::min(left, chain.Points[i].X);
            right = std::max(right, chain.Points[i].X);
            top = std::min(top, chain.Points[i].Y);
            bottom = std::max(bottom, chain.Points[i].Y);
        }
    } else if (Kind != rpkStraight) {
        IncludeCubicExtremes(P0.X, P1.X, P2.X, P3.X, left, right);
        IncludeCubicExtremes(P0.Y, P1.Y, P2.Y, P3.Y, top, bottom);
    }
    TFloatRect bounds{left, top, right - left, bottom - top};
    // The lead-in corner stays between LeadInStart, P0 and the side of P3.
    if (HasLeadIn)
        bounds = FloatRectIncludePoint(bounds, LeadInStart);
    return bounds;
}
