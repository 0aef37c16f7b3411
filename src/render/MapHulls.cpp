#include "render/MapHulls.h"

TMapHull::TMapHull(const std::vector<TGrahamPoint>& points) {
    Points.reserve(points.size());
    for (const TGrahamPoint& p : points)
        Points.push_back({static_cast<double>(p.X), static_cast<double>(p.Y)});
}

bool TMapHull::Contains(const TFloatPoint& p) const {
    if (!Drawable())
        return false;
    bool inside = false;
    for (std::size_t i = 0, j = Points.size() - 1; i < Points.size(); j = i++) {
        const TFloatPoint& a = Points[i];
        const TFloatPoint& b = Points[j];
        if ((a.Y > p.Y) != (b.Y > p.Y) && p.X < (b.X - a.X) * (p.Y - a.Y) / (b.Y - a.Y) + a.X)
            inside = !inside;
    }
    return inside;
}
