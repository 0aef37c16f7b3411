#pragma once

// Points and rectangles of the map in double precision, in map units (1/96 inch; y grows downwards; angles in
// radians, positive clockwise on screen).

#include <vector>

struct TFloatPoint {
    double X = 0;
    double Y = 0;

    friend bool operator==(const TFloatPoint&, const TFloatPoint&) = default;
};

using TFloatPoints = std::vector<TFloatPoint>;

// Right = Left + Width, Bottom = Top + Height.
struct TFloatRect {
    double Left = 0;
    double Top = 0;
    double Width = 0;
    double Height = 0;

    double Right() const { return Left + Width; }
    double Bottom() const { return Top + Height; }
    TFloatPoint Center() const { return {Left + Width / 2, Top + Height / 2}; }

    friend bool operator==(const TFloatRect&, const TFloatRect&) = default;
};

inline TFloatPoint operator+(const TFloatPoint& a, const TFloatPoint& b) {
    return {a.X + b.X, a.Y + b.Y};
}
inline TFloatPoint operator-(const TFloatPoint& a, const TFloatPoint& b) {
    return {a.X - b.X, a.Y - b.Y};
}
inline TFloatPoint operator-(const TFloatPoint& a) {
    return {-a.X, -a.Y};
}
inline TFloatPoint operator*(const TFloatPoint& a, double f) {
    return {a.X * f, a.Y * f};
}
inline TFloatPoint operator*(double f, const TFloatPoint& a) {
    return {a.X * f, a.Y * f};
}

// Euclidean length of a vector, without intermediate overflow.
double VectorLength(const TFloatPoint& v);

// The rectangle spanned by two corners given in any order.
TFloatRect FloatRectFromPoints(const TFloatPoint& a, const TFloatPoint& b);
// True when the interiors intersect: rectangles that only touch, and rectangles of zero width or height, never
// overlap anything.
bool FloatRectsOverlap(const TFloatRect& r1, const TFloatRect& r2);
// Edges count as inside, so a rectangle of zero size contains its own corner.
bool FloatRectContains(const TFloatRect& r, const TFloatPoint& p);
// Grows the rectangle by dx on the left and right and by dy at the top and bottom (negative values shrink it).
TFloatRect FloatRectInflate(const TFloatRect& r, double dx, double dy);
// The smallest rectangle covering r and p.
TFloatRect FloatRectIncludePoint(const TFloatRect& r, const TFloatPoint& p);
// The smallest rectangle covering both.
TFloatRect FloatRectUnion(const TFloatRect& a, const TFloatRect& b);

// A size (X = width, Y = height) is nearly empty when either side is below 0.0001.
bool IsNearlyEmptySize(const TFloatPoint& size);

// Direction of b - a: within [-pi/2, pi/2] for vectors pointing right, within [pi/2, 3 pi/2] for vectors pointing
// left, pi/2 straight down and -pi/2 straight up; the zero vector counts as pointing down.
double VectorAngle(const TFloatPoint& a, const TFloatPoint& b);
// p moved by distance in the direction angle.
TFloatPoint PolarOffset(const TFloatPoint& p, double distance, double angle);
