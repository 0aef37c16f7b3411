#include "render/Float2D.h"

#include <algorithm>
#include <cmath>
#include <numbers>

double VectorLength(const TFloatPoint& v) {
    return std::hypot(v.X, v.Y);
}

TFloatRect FloatRectFromPoints(const TFloatPoint& a, const TFloatPoint& b) {
    return {std::min(a.X, b.X), std::min(a.Y, b.Y), std::fabs(b.X - a.X), std::fabs(b.Y - a.Y)};
}

bool FloatRectsOverlap(const TFloatRect& r1, const TFloatRect& r2) {
    return std::min(r1.Right(), r2.Right()) > std::max(r1.Left, r2.Left) &&
           std::min(r1.Bottom(), r2.Bottom()) > std::max(r1.Top, r2.Top);
}

bool FloatRectContains(const TFloatRect& r, const TFloatPoint& p) {
    return r.Left <= p.X && p.X <= r.Right() && r.Top <= p.Y && p.Y <= r.Bottom();
}

TFloatRect FloatRectInflate(const TFloatRect& r, double dx, double dy) {
    return {r.Left - dx, r.Top - dy, r.Width + 2 * dx, r.Height + 2 * dy};
}

TFloatRect FloatRectIncludePoint(const TFloatRect& r, const TFloatPoint& p) {
    const double left = std::min(r.Left, p.X);
    const double top = std::min(r.Top, p.Y);
    return {left, top, std::max(r.Right(), p.X) - left, std::max(r.Bottom(), p.Y) - top};
}

TFloatRect FloatRectUnion(const TFloatRect& a, const TFloatRect& b) {
    const double left = std::min(a.Left, b.Left);
    const double top = std::min(a.Top, b.Top);
    return {left, top, std::max(a.Right(), b.Right()) - left, std::max(a.Bottom(), b.Bottom()) - top};
}

bool IsNearlyEmptySize(const TFloatPoint& size) {
    return size.X < 0.0001 || size.Y < 0.0001;
}

double VectorAngle(const TFloatPoint& a, const TFloatPoint& b) {
    const double dx = b.X - a.X;
    const double dy = b.Y - a.Y;
    if (dx > 0)
        return std::atan(dy / dx);
    if (dx < 0)
        return std::atan(dy / dx) + std::numbers::pi;
    return dy >= 0 ? std::numbers::pi / 2 : -std::numbers::pi / 2;
}

TFloatPoint PolarOffset(const TFloatPoint& p, double distance, double angle) {
    return {p.X + distance * std::cos(angle), p.Y + distance * std::sin(angle)};
}
