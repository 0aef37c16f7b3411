#include "render/GrahamScan.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kCoordinateLimit = 1e9;

// (u - o) x (v - o)
std::int64_t Cross(const TGrahamPoint& o, const TGrahamPoint& u, const TGrahamPoint& v) {
    return (u.X - o.X) * (v.Y - o.Y) - (u.Y - o.Y) * (v.X - o.X);
}

// An angle-like key that grows monotonically with the angle of d around the pivot, without trigonometry.
double PseudoAngle(const TGrahamPoint& pivot, const TGrahamPoint& p) {
    const double dx = static_cast<double>(p.X - pivot.X);
    const double dy = static_cast<double>(p.Y - pivot.Y);
    const double sum = std::fabs(dx) + std::fabs(dy);
    double a = sum == 0 ? 0 : dy / sum;
    if (dx < 0)
        a = 2 - a;
    else if (dy < 0)
        a = a + 4;
    return 90 * a;
}

std::int64_t SquaredDistance(const TGrahamPoint& a, const TGrahamPoint& b) {
    const std::int64_t dx = a.X - b.X;
    const std::int64_t dy = a.Y - b.Y;
    return dx * dx + dy * dy;
}

} // namespace

TGrahamPoint ToGrahamPoint(const TFloatPoint& p) {
    const auto coordinate = [](double v) -> std::int64_t {
        if (std::isnan(v))
            return 0;
        return static_cast<std::int64_t>(std::nearbyint(std::clamp(v, -kCoordinateLimit, kCoordinateLimit)));
    };
    return {coordinate(p.X), coordinate(p.Y)};
}

void TGrahamScan::AddPoint(const TFloatPoint& p) {
    const double d = Padding;
    for (const TFloatPoint corner : {TFloatPoint{p.X - d, p.Y - d}, TFloatPoint{p.X + d, p.Y - d},
                                     TFloatPoint{p.X + d, p.Y + d}, TFloatPoint{p.X - d, p.Y + d}})
        FPoints.push_back(ToGrahamPoint(corner));
}

void TGrahamScan::AddRect(const TFloatRect& r) {
    if (!(r.Width > 0) || !(r.Height > 0))
        return;
    const double d = Padding;
    const double left = r.Left - d;
    const double top = r.Top - d;
    const double right = r.Right() + d;
    const double bottom = r.Bottom() + d;
    for (const TFloatPoint corner :
         {TFloatPoint{left, top}, TFloatPoint{right, top}, TFloatPoint{right, bottom}, TFloatPoint{left, bottom}})
        FPoints.push_back(ToGrahamPoint(corner));
}

void TGrahamScan::UseBoundingBox() {
    if (FPoints.size() < 2)
        return;
    TGrahamPoint low = FPoints.front();
    TGrahamPoint high = FPoints.front();
    for (const TGrahamPoint& p : FPoints) {
        low = {std::min(low.X, p.X), std::min(low.Y, p.Y)};
        high = {std::max(high.X, p.X), std::max(high.Y, p.Y)};
    }
    FPoints = {low, {high.X, low.Y}, high, {low.X, high.Y}};
}

std::vector<TGrahamPoint> TGrahamScan::CalcHull() {
    std::vector<TGrahamPoint> hull;
    if (FPoints.size() <= 2)
        return hull;
    std::vector<TGrahamPoint> p = FPoints;
    const auto pivotIt = std::min_element(p.begin(), p.end(), [](const TGrahamPoint& a, const TGrahamPoint& b) {
        return a.Y != b.Y ? a.Y < b.Y : a.X < b.X;
    });
    const TGrahamPoint pivot = *pivotIt;
    // copies of the pivot add nothing; the others go round it by angle, nearer ones first
    std::erase(p, pivot);
    std::sort(p.begin(), p.end(), [&pivot](const TGrahamPoint& a, const TGrahamPoint& b) {
        const double angleA = PseudoAngle(pivot, a);
        const double angleB = PseudoAngle(pivot, b);
        if (angleA != angleB)
            return angleA < angleB;
        return SquaredDistance(pivot, a) < SquaredDistance(pivot, b);
    });
    p.insert(p.begin(), pivot);
    hull.push_back(pivot);
    const std::size_t k = 1;
    if (k >= p.size())
        return hull;
    std::size_t a = k + 1;
    while (a < p.size() && Cross(pivot, p[k], p[a]) == 0)
        ++a;
    if (a >= p.size())
        return hull; // all on one line: only the pivot
    hull.push_back(p[a - 1]);
    for (std::size_t i = a; i < p.size(); ++i) {
        TGrahamPoint q = hull.back();
        hull.pop_back();
        // the pivot always stays: a hull never turns back past its lowest point
        while (hull.size() > 1 && Cross(hull.back(), q, p[i]) <= 0) {
            q = hull.back();
            hull.pop_back();
        }
        if (hull.size() > 1 || Cross(hull.back(), q, p[i]) > 0)
            hull.push_back(q);
        hull.push_back(p[i]);
    }
    return hull;
}
