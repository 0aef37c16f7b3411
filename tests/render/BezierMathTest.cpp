#include "render/BezierMath.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kEps = 1e-9;
// cairo keeps path coordinates in 24.8 fixed point.
constexpr double kCairoEps = 1.0 / 256 + 1e-9;

// Sets the process-wide hit tolerance for one test and puts the default back afterwards.
class TToleranceScale {
public:
    explicit TToleranceScale(double scale) { SetHitToleranceScale(scale); }
    ~TToleranceScale() { SetHitToleranceScale(1); }
    TToleranceScale(const TToleranceScale&) = delete;
    TToleranceScale& operator=(const TToleranceScale&) = delete;
};

std::string Str(const TFloatPoint& p) {
    std::ostringstream s;
    s << "(" << p.X << ", " << p.Y << ")";
    return s.str();
}

void ExpectPoint(const TFloatPoint& expected, const TFloatPoint& actual, double eps = kEps) {
    EXPECT_NEAR(expected.X, actual.X, eps) << "expected " << Str(expected) << ", got " << Str(actual);
    EXPECT_NEAR(expected.Y, actual.Y, eps) << "expected " << Str(expected) << ", got " << Str(actual);
}

void ExpectRect(const TFloatRect& expected, const TFloatRect& actual, double eps = kEps) {
    EXPECT_NEAR(expected.Left, actual.Left, eps);
    EXPECT_NEAR(expected.Top, actual.Top, eps);
    EXPECT_NEAR(expected.Width, actual.Width, eps);
    EXPECT_NEAR(expected.Height, actual.Height, eps);
}

bool IsFinite(const TFloatPoint& p) {
    return std::isfinite(p.X) && std::isfinite(p.Y);
}
bool IsFinite(const TFloatRect& r) {
    return std::isfinite(r.Left) && std::isfinite(r.Top) && std::isfinite(r.Width) && std::isfinite(r.Height);
}

TRelationPath Curve(const TFloatPoint& p0, const TFloatPoint& p1, const TFloatPoint& p2, const TFloatPoint& p3) {
    TRelationPath path;
    path.SetCurve(p0, p1, p2, p3);
    return path;
}

TRelationPath Straight(const TFloatPoint& p0, const TFloatPoint& p3) {
    TRelationPath path;
    path.SetStraight(p0, p3);
    return path;
}

TRelationPath Handle(const TFloatPoint& p0, const TFloatPoint& p3, const TFloatPoint& offset) {
    TRelationPath path;
    path.HandleOffset = offset;
    path.SetHandleCurve(p0, p3);
    return path;
}

// An orthogonal path through the given chain: P0, its corners, P3.
TRelationPath Ortho(std::initializer_list<TFloatPoint> chain, bool rounded = false) {
    const std::vector<TFloatPoint> c(chain);
    TRelationPath path;
    path.Kind = rounded ? rpkRoundedOrthogonal : rpkOrthogonal;
    path.SegmentCount = static_cast<std::int32_t>(c.size()) - 1;
    path.P0 = c.front();
    path.P3 = c.back();
    if (c.size() >= 3)
        path.P1 = c[1];
    if (c.size() == 4)
        path.P2 = c[2];
    if (c.size() == 5) {
        path.ExtraCorner = c[2];
        path.P2 = c[3];
    }
    return path;
}

TRelationPath WithLeadIn(TRelationPath path, const TFloatPoint& start, double radius) {
    path.HasLeadIn = true;
    path.LeadInStart = start;
    path.LeadInRadius = radius;
    return path;
}

TRelationPath WithTaper(TRelationPath path, std::int32_t taper) {
    path.Taper = taper;
    return path;
}

TRelationPath WithUnderlineEnd(TRelationPath path) {
    path.UnderlineEnd = true;
    return path;
}

// The curve C used by several tables: an arch from (0, 0) to (60, 0) with its top at (30, 22.5).
const TRelationPath kArch = Curve({0, 0}, {0, 30}, {60, 30}, {60, 0});

// --- cairo capture ------------------------------------------------------------------------------------------------

enum TSegKind { skMove, skLine, skCurve, skArcTo, skClose };

// skArcTo stands for the curve by which cairo approximates a quarter circle of the small radii used here; only its
// end point is compared.
struct TSeg {
    TSegKind Kind;
    std::vector<TFloatPoint> Points;
};

struct TCairoDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};

class TCairoCapture {
public:
    TCairoCapture()
        : FSurface(cairo_image_surface_create(CAIRO_FORMAT_A8, 64, 64)), FContext(cairo_create(FSurface.get())) {}
    cairo_t* Context() const { return FContext.get(); }

    std::vector<TSeg> Segments() const {
        std::vector<TSeg> result;
        cairo_path_t* path = cairo_copy_path(FContext.get());
        for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
            const cairo_path_data_t* d = &path->data[i];
            switch (d->header.type) {
            case CAIRO_PATH_MOVE_TO:
                result.push_back({skMove, {{d[1].point.x, d[1].point.y}}});
                break;
            case CAIRO_PATH_LINE_TO:
                result.push_back({skLine, {{d[1].point.x, d[1].point.y}}});
                break;
            case CAIRO_PATH_CURVE_TO:
                result.push_back(
                    {skCurve,
                     {{d[1].point.x, d[1].point.y}, {d[2].point.x, d[2].point.y}, {d[3].point.x, d[3].point.y}}});
                break;
            case CAIRO_PATH_CLOSE_PATH:
                result.push_back({skClose, {}});
                break;
            }
        }
        cairo_path_destroy(path);
        return result;
    }

    TFloatPoint CurrentPoint() const {
        TFloatPoint p;
        cairo_get_current_point(FContext.get(), &p.X, &p.Y);
        return p;
    }

private:
    std::unique_ptr<cairo_surface_t, TCairoDeleter> FSurface; // owned
    std::unique_ptr<cairo_t, TCairoDeleter> FContext;         // owned
};

std::string Describe(const std::vector<TSeg>& segments) {
    static const char* const names[] = {"move", "line", "curve", "arc", "close"};
    std::string s;
    for (const TSeg& seg : segments) {
        s += names[seg.Kind];
        for (const TFloatPoint& p : seg.Points)
            s += " " + Str(p);
        s += "; ";
    }
    return s;
}

void ExpectSegments(const std::vector<TSeg>& expected, const std::vector<TSeg>& actual) {
    SCOPED_TRACE("actual path: " + Describe(actual));
    std::size_t a = 0;
    for (const TSeg& e : expected) {
        ASSERT_LT(a, actual.size()) << "path ends early";
        if (e.Kind == skArcTo) {
            ASSERT_EQ(skCurve, actual[a].Kind) << "segment " << a;
            ExpectPoint(e.Points[0], actual[a].Points[2], kCairoEps);
            ++a;
            continue;
        }
        ASSERT_EQ(e.Kind, actual[a].Kind) << "segment " << a;
        ASSERT_EQ(e.Points.size(), actual[a].Points.size());
        for (std::size_t i = 0; i < e.Points.size(); ++i)
            ExpectPoint(e.Points[i], actual[a].Points[i], kCairoEps);
        ++a;
    }
    EXPECT_EQ(actual.size(), a) << "path has more segments than expected";
}

TSeg Move(TFloatPoint p) {
    return {skMove, {p}};
}
TSeg Line(TFloatPoint p) {
    return {skLine, {p}};
}
TSeg CurveTo(TFloatPoint c1, TFloatPoint c2, TFloatPoint p) {
    return {skCurve, {c1, c2, p}};
}
TSeg ArcTo(TFloatPoint p) {
    return {skArcTo, {p}};
}
TSeg Close() {
    return {skClose, {}};
}

} // namespace

TEST(TRelationPath, HitToleranceScaleSetsToleranceAndItsSquare) {
    struct TCase {
        double Scale, Tol, Tol2;
    };
    const TCase cases[] = {
        {1, 4, 16},
        {1.5, 6, 36},
        {2, 8, 64},
        {0.75, 3, 9},
        {0, 4, 16},
        {-2, 4, 16},
        {std::numeric_limits<double>::quiet_NaN(), 4, 16},
        {std::numeric_limits<double>::infinity(), 4, 16},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "scale " << c.Scale);
        TToleranceScale scale(c.Scale);
        EXPECT_DOUBLE_EQ(c.Tol, HitTolerance().Tol);
        EXPECT_DOUBLE_EQ(c.Tol2, HitTolerance().Tol2);
    }
    EXPECT_DOUBLE_EQ(4, HitTolerance().Tol);
}

TEST(TRelationPath, SettersStoreKindAndPoints) {
    TRelationPath path;
    path.SetCurve({1, 2}, {3, 4}, {5, 6}, {7, 8});
    EXPECT_EQ(rpkCurve, path.Kind);
    ExpectPoint({1, 2}, path.P0);
    ExpectPoint({3, 4}, path.P1);
    ExpectPoint({5, 6}, path.P2);
    ExpectPoint({7, 8}, path.P3);

    path.SetStraight({-1, -2}, {9, 10});
    EXPECT_EQ(rpkStraight, path.Kind);
    ExpectPoint({-1, -2}, path.P0);
    ExpectPoint({-1, -2}, path.P1);
    ExpectPoint({9, 10}, path.P2);
    ExpectPoint({9, 10}, path.P3);

    path.SetOrthogonalPoints({0, 0}, {20, 0}, {20, 40}, {50, 40}, false);
    EXPECT_EQ(rpkOrthogonal, path.Kind);
    EXPECT_EQ(3, path.SegmentCount);
    ExpectPoint({20, 0}, path.P1);
    ExpectPoint({20, 40}, path.P2);
    ExpectPoint({50, 40}, path.P3);
    path.SetOrthogonalPoints({0, 0}, {20, 0}, {20, 40}, {50, 40}, true);
    EXPECT_EQ(rpkRoundedOrthogonal, path.Kind);
}

TEST(TRelationPath, SetHandleCurvePassesThroughTheHandleHalfWay) {
    struct TCase {
        const char* Name;
        TFloatPoint P0, P3, Offset;
        TFloatPoint P1, P2, Half;
    };
    const TCase cases[] = {
        {"handle below the chord", {0, 0}, {30, 0}, {0, 10}, {10, 40.0 / 3}, {20, 40.0 / 3}, {15, 10}},
        {"no offset: a straight cubic", {0, 0}, {90, 30}, {0, 0}, {30, 10}, {60, 20}, {45, 15}},
        {"coincident ends: a loop out to the handle",
         {10, 10},
         {10, 10},
         {5, 0},
         {50.0 / 3, 10},
         {50.0 / 3, 10},
         {15, 10}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TRelationPath path = Handle(c.P0, c.P3, c.Offset);
        EXPECT_EQ(rpkHandleCurve, path.Kind);
        ExpectPoint(c.P0, path.P0);
        ExpectPoint(c.P1, path.P1);
        ExpectPoint(c.P2, path.P2);
        ExpectPoint(c.P3, path.P3);
        ExpectPoint(c.Half, path.PointAt(0.5));
        ExpectPoint(c.Half, path.MidPoint());
    }
}

TEST(TRelationPath, PointAtAndTangentAtFollowTheKind) {
    struct TCase {
        const char* Name;
        TRelationPath Path;
        double T;
        TFloatPoint Point, Tangent;
    };
    const TRelationPath line = Straight({10, 20}, {50, -20});
    const TRelationPath handle = Handle({0, 0}, {100, 0}, {0, 30});
    const TRelationPath dot = Curve({7, 7}, {7, 7}, {7, 7}, {7, 7});
    const TCase cases[] = {
        {"curve start", kArch, 0, {0, 0}, {0, 90}},
        {"curve quarter", kArch, 0.25, {9.375, 16.875}, {67.5, 45}},
        {"curve half", kArch, 0.5, {30, 22.5}, {90, 0}},
        {"curve end", kArch, 1, {60, 0}, {0, -90}},
        {"straight start", line, 0, {10, 20}, {40, -40}},
        {"straight quarter", line, 0.25, {20, 10}, {40, -40}},
        {"straight end", line, 1, {50, -20}, {40, -40}},
        {"handle curve start", handle, 0, {0, 0}, {100, 120}},
        {"handle curve quarter", handle, 0.25, {25, 22.5}, {100, 60}},
        {"handle curve half", handle, 0.5, {50, 30}, {100, 0}},
        {"handle curve end", handle, 1, {100, 0}, {100, -120}},
        {"orthogonal kinds evaluate the cubic of their points",
         Ortho({{0, 0}, {0, 30}, {60, 30}, {60, 0}}),
         0.5,
         {30, 22.5},
         {90, 0}},
        {"all four points equal", dot, 0.5, {7, 7}, {0, 0}},
        {"zero-length straight line", Straight({3, 4}, {3, 4}), 0.5, {3, 4}, {0, 0}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ExpectPoint(c.Point, c.Path.PointAt(c.T));
        ExpectPoint(c.Tangent, c.Path.TangentAt(c.T));
    }
}

TEST(TRelationPath, MidPointDependsOnKindAndSegmentCount) {
    TRelationPath countZero = Ortho({{0, 0}, {30, 40}});
    countZero.SegmentCount = 0;
    TRelationPath countNine = Ortho({{0, 0}, {0, -20}, {60, -20}, {60, 30}, {40, 30}});
    countNine.SegmentCount = 9;
    struct TCase {
        const char* Name;
        TRelationPath Path;
        TFloatPoint Mid;
    };
    const TCase cases[] = {
        {"curve", kArch, {30, 22.5}},
        {"straight", Straight({10, 20}, {50, -20}), {30, 0}},
        {"one segment", Ortho({{0, 0}, {30, 40}}), {15, 20}},
        {"two segments: the corner", Ortho({{0, 0}, {0, 40}, {30, 40}}), {0, 40}},
        {"three segments: middle of the middle segment", Ortho({{0, 0}, {20, 0}, {20, 40}, {50, 40}}), {20, 20}},
        {"four segments: the extra corner", Ortho({{0, 0}, {0, -20}, {60, -20}, {60, 30}, {40, 30}}), {60, -20}},
        {"rounded three segments", Ortho({{0, 0}, {20, 0}, {20, 40}, {50, 40}}, true), {20, 20}},
        {"segment count 0 counts as 1", countZero, {15, 20}},
        {"segment count 9 counts as 4", countNine, {60, -20}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ExpectPoint(c.Mid, c.Path.MidPoint());
    }
}

TEST(TRelationPath, IsUnsetOnlyWhenBothEndsAreExactlyZero) {
    TRelationPath controlsOnly;
    controlsOnly.P1 = {5, 5};
    controlsOnly.P2 = {6, 6};
    struct TCase {
        const char* Name;
        TRelationPath Path;
        bool Unset;
    };
    const TCase cases[] = {
        {"new path", TRelationPath(), true},
        {"straight from origin to origin", Straight({0, 0}, {0, 0}), true},
        {"negative zero counts as zero", Straight({-0.0, 0}, {0, -0.0}), true},
        {"only the control points set", controlsOnly, true},
        {"tiny end", Straight({0, 0}, {0, 1e-300}), false},
        {"start set", Straight({1, 0}, {0, 0}), false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(c.Unset, c.Path.IsUnset());
    }
}

TEST(TRelationPath, CornerRadiusIsHalfTheShortestSegmentOfRoundedPaths) {
    struct TCase {
        const char* Name;
        TRelationPath Path;
        double Radius;
    };
    const TCase cases[] = {
        {"three segments 20, 40, 30", Ortho({{0, 0}, {20, 0}, {20, 40}, {50, 40}}, true), 10},
        {"a 6-unit segment", Ortho({{0, 0}, {6, 0}, {6, 40}, {50, 40}}, true), 3},
        {"a zero-length segment", Ortho({{0, 0}, {20, 0}, {20, 0}, {20, 40}}, true), 0},
        {"four segments 20, 60, 50, 20", Ortho({{0, 0}, {0, -20}, {60, -20}, {60, 30}, {40, 30}}, true), 10},
        {"slanted segments count their longer axis", Ortho({{0, 0}, {3, 40}, {50, 41}}, true), 20},
        {"sharp orthogonal", Ortho({{0, 0}, {20, 0}, {20, 40}, {50, 40}}, false), 0},
        {"curve", kArch, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_NEAR(c.Radius, c.Path.CornerRadius(), kEps);
    }
}

TEST(TRelationPath, AppendToContextEmitsTheExpectedSegments) {
    struct TCase {
        const char* Name;
        TRelationPath Path;
        std::vector<TSeg> Expected;
        bool Filled;
    };
    const TCase cases[] = {
        {"curve", kArch, {Move({0, 0}), CurveTo({0, 30}, {60, 30}, {60, 0})}, false},
        {"handle curve",
         Handle({0, 0}, {30, 0}, {0, 10}),
         {Move({0, 0}), CurveTo({10, 40.0 / 3}, {20, 40.0 / 3}, {30, 0})},
         false},
        {"straight", Straight({5, 5}, {45, 25}), {Move({5, 5}), Line({45, 25})}, false},
        {"sharp lead-in",
         WithLeadIn(Straight({0, 20}, {40, 20}), {0, 0}, 0),
         {Move({0, 0}), Line({0, 20}), Line({40, 20})},
         false},
        {"lead-in radius below 1 is sharp",
         WithLeadIn(Straight({0, 20}, {40, 20}), {0, 0}, 0.9),
         {Move({0, 0}), Line({0, 20}), Line({40, 20})},
         false},
        {"lead-in arc before a straight line",
         WithLeadIn(Straight({0, 20}, {40, 20}), {0, 0}, 5),
         {Move({0, 0}), Line({0, 15}), ArcTo({5, 20}), Line({40, 20})},
         false},
        {"lead-in arc before a curve",
         WithLeadIn(Curve({0, 20}, {10, 20}, {30, 30}, {40, 30}), {0, 0}, 5),
         {Move({0, 0}), Line({0, 15}), ArcTo({5, 20}), CurveTo({10, 20}, {30, 30}, {40, 30})},
         false},
        {"horizontal lead-in turning up",
         WithLeadIn(Straight({20, 0}, {20, -40}), {0, 0}, 5),
         {Move({0, 0}), Line({15, 0}), ArcTo({20, -5}), Line({20, -40})},
         false},
        {"lead-in arc limited by a short lead-in",
         WithLeadIn(Straight({0, 20}, {40, 20}), {0, 17}, 10),
         {Move({0, 17}), ArcTo({3, 20}), Line({40, 20})},
         false},
        {"lead-in that does not turn stays sharp",
         WithLeadIn(Straight({0, 20}, {0, 60}), {0, 0}, 10),
         {Move({0, 0}), Line({0, 60})},
         false},
        {"lead-in of a sharp orthogonal path: a soft bend of at most 4.5",
         WithLeadIn(Ortho({{0, 20}, {40, 20}}), {0, 0}, 10),
         {Move({0, 0}), Line({0, 15.5}), CurveTo({0, 18.5}, {1.5, 20}, {4.5, 20}), Line({40, 20})},
         false},
        {"soft bend limited to half the lead-in",
         WithLeadIn(Ortho({{0, 20}, {40, 20}}), {0, 14}, 10),
         {Move({0, 14}), Line({0, 17}), CurveTo({0, 19}, {1, 20}, {3, 20}), Line({40, 20})},
         false},
        {"tapered straight line: a triangle 8 wide at P0",
         WithTaper(Straight({0, 0}, {40, 0}), 4),
         {Move({0, 4}), Line({40, 0}), Line({0, -4}), Close(), Move({40, 0})},
         true},
        {"reverse tapered straight line: the triangle is wide at P3",
         WithTaper(Straight({0, 0}, {40, 0}), -3),
         {Move({40, -3}), Line({0, 0}), Line({40, 3}), Close(), Move({40, 0})},
         true},
        {"tapered straight line of zero length is a plain line",
         WithTaper(Straight({5, 5}, {5, 5}), 4),
         {Move({5, 5}), Line({5, 5})},
         false},
        {"tapered curve",
         WithTaper(Curve({0, 0}, {10, 0}, {30, 10}, {40, 10}), 2),
         {Move({0, 2}), CurveTo({10, 1.32}, {30, 10.66}, {40, 10}), CurveTo({30, 9.34}, {10, -1.32}, {0, -2}), Close(),
          Move({40, 10})},
         true},
        {"reverse tapered curve",
         WithTaper(Curve({0, 0}, {10, 0}, {30, 10}, {40, 10}), -2),
         {Move({40, 8}), CurveTo({30, 8.68}, {10, -0.66}, {0, 0}), CurveTo({10, 0.66}, {30, 11.32}, {40, 12}), Close(),
          Move({40, 10})},
         true},
        {"tapered curve without a direction at P0 is a plain curve",
         WithTaper(Curve({0, 0}, {0, 0}, {30, 10}, {40, 10}), 2),
         {Move({0, 0}), CurveTo({0, 0}, {30, 10}, {40, 10})},
         false},
        {"reverse tapered curve without a direction at P3 is a plain curve",
         WithTaper(Curve({0, 0}, {10, 0}, {40, 10}, {40, 10}), -2),
         {Move({0, 0}), CurveTo({10, 0}, {40, 10}, {40, 10})},
         false},
        // cairo stores a curve without extent as a line.
        {"tapered curve with all four points equal",
         WithTaper(Curve({7, 7}, {7, 7}, {7, 7}, {7, 7}), 3),
         {Move({7, 7}), Line({7, 7})},
         false},
        {"orthogonal paths never taper",
         WithTaper(Ortho({{0, 0}, {30, 40}}), 4),
         {Move({0, 0}), Line({30, 40})},
         false},
        {"one segment", Ortho({{0, 0}, {30, 40}}), {Move({0, 0}), Line({30, 40})}, false},
        {"two segments", Ortho({{0, 0}, {0, 40}, {30, 40}}), {Move({0, 0}), Line({0, 40}), Line({30, 40})}, false},
        {"three segments",
         Ortho({{0, 0}, {20, 0}, {20, 40}, {50, 40}}),
         {Move({0, 0}), Line({20, 0}), Line({20, 40}), Line({50, 40})},
         false},
        {"four segments",
         Ortho({{0, 0}, {0, -20}, {60, -20}, {60, 30}, {40, 30}}),
         {Move({0, 0}), Line({0, -20}), Line({60, -20}), Line({60, 30}), Line({40, 30})},
         false},
        {"rounded three segments: radius 10",
         Ortho({{0, 0}, {20, 0}, {20, 40}, {50, 40}}, true),
         {Move({0, 0}), Line({10, 0}), ArcTo({20, 10}), Line({20, 30}), ArcTo({30, 40}), Line({50, 40})},
         false},
        {"rounded with a 6-unit segment: radius 3",
         Ortho({{0, 0}, {6, 0}, {6, 40}, {50, 40}}, true),
         {Move({0, 0}), Line({3, 0}), ArcTo({6, 3}), Line({6, 37}), ArcTo({9, 40}), Line({50, 40})},
         false},
        {"rounded four segments: radius 10",
         Ortho({{0, 0}, {0, -20}, {60, -20}, {60, 30}, {40, 30}}, true),
         {Move({0, 0}), Line({0, -10}), ArcTo({10, -20}), Line({50, -20}), ArcTo({60, -10}), Line({60, 20}),
          ArcTo({50, 30}), Line({40, 30})},
         false},
        {"rounded with a zero-length segment stays sharp",
         Ortho({{0, 0}, {20, 0}, {20, 0}, {20, 40}}, true),
         {Move({0, 0}), Line({20, 0}), Line({20, 40})},
         false},
        {"rounded corner that does not turn stays sharp",
         Ortho({{0, 0}, {0, 20}, {0, 40}, {30, 40}}, true),
         {Move({0, 0}), Line({0, 30}), ArcTo({10, 40}), Line({30, 40})},
         false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRelationPath path = c.Path;
        path.Filled = !c.Filled;
        TCairoCapture capture;
        path.AppendToContext(capture.Context());
        ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(capture.Context()));
        ExpectSegments(c.Expected, capture.Segments());
        EXPECT_EQ(c.Filled, path.Filled);
        ExpectPoint(path.P3, capture.CurrentPoint(), kCairoEps);
    }
}

TEST(TRelationPath, RoundedCornersTurnTheShortWay) {
    struct TCase {
        const char* Name;
        TFloatPoint P0, K, P3;
        TFloatPoint ArcStart, Centre, ArcEnd;
    };
    const TCase cases[] = {
        {"right, then down", {0, 0}, {20, 0}, {20, 20}, {10, 0}, {10, 10}, {20, 10}},
        {"right, then up", {0, 0}, {20, 0}, {20, -20}, {10, 0}, {10, -10}, {20, -10}},
        {"left, then down", {0, 0}, {-20, 0}, {-20, 20}, {-10, 0}, {-10, 10}, {-20, 10}},
        {"left, then up", {0, 0}, {-20, 0}, {-20, -20}, {-10, 0}, {-10, -10}, {-20, -10}},
        {"down, then right", {0, 0}, {0, 20}, {20, 20}, {0, 10}, {10, 10}, {10, 20}},
        {"down, then left", {0, 0}, {0, 20}, {-20, 20}, {0, 10}, {-10, 10}, {-10, 20}},
        {"up, then right", {0, 0}, {0, -20}, {20, -20}, {0, -10}, {10, -10}, {10, -20}},
        {"up, then left", {0, 0}, {0, -20}, {-20, -20}, {0, -10}, {-10, -10}, {-10, -20}},
    };
    const double r = 10;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRelationPath path = Ortho({c.P0, c.K, c.P3}, true);
        TCairoCapture capture;
        path.AppendToContext(capture.Context());
        const std::vector<TSeg> segments = capture.Segments();
        ExpectSegments({Move(c.P0), Line(c.ArcStart), ArcTo(c.ArcEnd), Line(c.P3)}, segments);
        // Every piece of the arc stays on the circle and on the corner's side of its centre.
        TFloatPoint from = c.ArcStart;
        for (const TSeg& seg : segments) {
            if (seg.Kind != skCurve)
                continue;
            TRelationPath piece = Curve(from, seg.Points[0], seg.Points[1], seg.Points[2]);
            const TFloatPoint mid = piece.PointAt(0.5);
            EXPECT_NEAR(r, VectorLength(mid - c.Centre), 0.02);
            EXPECT_LT(VectorLength(mid - c.K), r);
            from = seg.Points[2];
        }
    }
}

TEST(TRelationPath, FilledIsResetByEveryEmission) {
    TRelationPath path = WithTaper(Straight({0, 0}, {40, 0}), 4);
    TCairoCapture first;
    path.AppendToContext(first.Context());
    EXPECT_TRUE(path.Filled);
    path.Taper = 0;
    TCairoCapture second;
    path.AppendToContext(second.Context());
    EXPECT_FALSE(path.Filled);
}

TEST(TRelationPath, AppendToContextAddsToWhatTheContextHolds) {
    // Emission starts a new sub-path: what the context held before stays as it was.
    TCairoCapture capture;
    cairo_move_to(capture.Context(), 1, 1);
    cairo_line_to(capture.Context(), 2, 1);
    TRelationPath path = Straight({10, 10}, {20, 10});
    path.AppendToContext(capture.Context());
    ExpectSegments({Move({1, 1}), Line({2, 1}), Move({10, 10}), Line({20, 10})}, capture.Segments());
}

TEST(TRelationPath, ContainsPointOnStraightAndOrthogonalPaths) {
    const TRelationPath line = Straight({0, 0}, {100, 0});
    const TRelationPath slanted = Straight({0, 0}, {30, 40});
    const TRelationPath sharp = Ortho({{0, 0}, {20, 0}, {20, 40}, {50, 40}});
    const TRelationPath rounded = Ortho({{0, 0}, {20, 0}, {20, 40}, {50, 40}}, true);
    const double h = std::sqrt(0.5); // cos 45 degrees
    struct TCase {
        const char* Name;
        TRelationPath Path;
        TFloatPoint P;
        bool Hit;
    };
    const TCase cases[] = {
        {"on the line", line, {50, 0}, true},
        {"3.9 off the line", line, {50, 3.9}, true},
        {"exactly the tolerance off the line", line, {50, 4}, false},
        {"exactly the tolerance on the other side", line, {50, -4}, false},
        {"far off the line", line, {50, 50}, false},
        {"at the start", line, {0, 0}, true},
        {"at the end, a little off", line, {100, 3}, true},
        {"beyond the start on its axis", line, {-3, 0}, false},
        {"beyond the end on its axis", line, {103, 0}, false},
        {"3.9 off a slanted line", slanted, {15 - 3.9 * 0.8, 20 + 3.9 * 0.6}, true},
        {"4.1 off a slanted line", slanted, {15 - 4.1 * 0.8, 20 + 4.1 * 0.6}, false},
        {"a zero-length line is never hit", Straight({5, 5}, {5, 5}), {5, 5}, false},
        {"on the lead-in", WithLeadIn(line, {0, -50}, 0), {2, -25}, true},
        {"the lead-in is not part of a path without one", line, {2, -25}, false},
        {"sharp: the first corner", sharp, {20, 0}, true},
        {"sharp: the second corner", sharp, {20, 40}, true},
        {"sharp: on the middle segment", sharp, {22, 20}, true},
        {"sharp: 5 off the middle segment", sharp, {25, 20}, false},
        {"sharp: on the last segment", sharp, {35, 40}, true},
        {"sharp: inside the bend", sharp, {10, 20}, false},
        {"rounded: the sharp corner is cut off", rounded, {20, 0}, false},
        {"rounded: the second sharp corner is cut off", rounded, {20, 40}, false},
        {"rounded: middle of the first arc", rounded, {10 + 10 * h, 10 - 10 * h}, true},
        {"rounded: 3.9 outside the first arc", rounded, {10 + 13.9 * h, 10 - 13.9 * h}, true},
        {"rounded: 3.9 inside the first arc", rounded, {10 + 6.1 * h, 10 - 6.1 * h}, true},
        {"rounded: centre of the first arc", rounded, {10, 10}, false},
        {"rounded: middle of the second arc", rounded, {30 - 10 * h, 30 + 10 * h}, true},
        {"rounded: on the middle segment", rounded, {20, 20}, true},
        {"rounded: on the last segment", rounded, {45, 41}, true},
        {"rounded: on the first segment", rounded, {5, -2}, true},
        {"one segment", Ortho({{0, 0}, {0, 50}}), {1, 25}, true},
        {"one segment of zero length", Ortho({{3, 3}, {3, 3}}), {3, 3}, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(c.Hit, c.Path.ContainsPoint(c.P));
    }
}

TEST(TRelationPath, ContainsPointOnCurves) {
    // A diagonal curve lies inside the box of its chord, so it is searched by bisection.
    const TRelationPath diagonal = Curve({0, 0}, {40, 0}, {60, 20}, {60, 60});
    const TRelationPath handle = Handle({0, 0}, {100, 0}, {0, 30});
    // A U-turn, and a bend whose halves have overlapping chord boxes: the nearer chord decides where to search.
    const TRelationPath uTurn = Curve({0, 0}, {100, 0}, {100, 20}, {0, 20});
    const TRelationPath bend = Curve({0, 0}, {100, 10}, {80, 60}, {75, 100});
    const TRelationPath dot = Curve({7, 7}, {7, 7}, {7, 7}, {7, 7});
    const TRelationPath handleDot = Handle({7, 7}, {7, 7}, {0, 0});
    struct TCase {
        const char* Name;
        TRelationPath Path;
        TFloatPoint P;
        bool Hit;
    };
    const TCase cases[] = {
        {"arch at t = 0.25", kArch, {9.375, 16.875}, true},
        {"arch at t = 0.5", kArch, {30, 22.5}, true},
        {"arch at t = 0.75", kArch, {50.625, 16.875}, true},
        {"arch: 3.5 above its top", kArch, {30, 26}, true},
        {"arch: 4.5 above its top", kArch, {30, 27}, false},
        {"arch: under its top", kArch, {30, 10}, false},
        {"arch: on its chord, far from the curve", kArch, {30, 2}, false},
        {"arch: near the start", kArch, {1, 2}, true},
        {"arch: near the end", kArch, {63, -3}, true},
        {"arch: far away", kArch, {200, 200}, false},
        {"diagonal at t = 0.25", diagonal, {26.25, 3.75}, true},
        {"diagonal at t = 0.5", diagonal, {45, 15}, true},
        {"diagonal at t = 0.75", diagonal, {56.25, 33.75}, true},
        {"diagonal: 2.1 off the curve", diagonal, {45, 18}, true},
        {"diagonal: 7 off the curve", diagonal, {45, 25}, false},
        {"diagonal: middle of the chord, away from the curve", diagonal, {30, 30}, false},
        {"bend: 2.9 off the curve, where both chord boxes hold the point", bend, {72, 35}, true},
        {"u-turn: 3.4 inside its first half", uTurn, {56.25, 6.5}, true},
        {"u-turn: 3.4 inside its second half", uTurn, {56.25, 13.5}, true},
        {"u-turn: between its ends", uTurn, {2, 8}, false},
        {"u-turn: in the middle of its hollow", uTurn, {40, 10}, false},
        {"handle curve through its handle", handle, {50, 30}, true},
        {"handle curve at t = 0.25", handle, {25, 22.5}, true},
        {"handle curve: 3 outside its top", handle, {50, 33}, true},
        {"handle curve: 5 outside its top", handle, {50, 35}, false},
        {"handle curve: on its chord", handle, {50, 1}, false},
        {"handle curve: near the start", handle, {2, 1}, true},
        {"curve with all points equal: the point", dot, {7, 7}, true},
        {"curve with all points equal: within the tolerance", dot, {10, 10}, true},
        {"curve with all points equal: beyond it", dot, {12, 7}, false},
        {"handle curve with all points equal: the point", handleDot, {7, 7}, true},
        {"handle curve with all points equal: beyond it", handleDot, {7, 12}, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(c.Hit, c.Path.ContainsPoint(c.P));
    }
}

TEST(TRelationPath, ContainsPointScalesWithTheHitTolerance) {
    const TRelationPath line = Straight({0, 0}, {100, 0});
    struct TCase {
        const char* Name;
        TRelationPath Path;
        double Scale;
        TFloatPoint P;
        bool Hit;
    };
    const TCase cases[] = {
        {"line, 6 off at 96 dpi", line, 1, {50, 6}, false},
        {"line, 6 off at 192 dpi", line, 2, {50, 6}, true},
        {"line, exactly 8 off at 192 dpi", line, 2, {50, 8}, false},
        {"line, 2.9 off at 72 dpi", line, 0.75, {50, 2.9}, true},
        {"line, 3.5 off at 72 dpi", line, 0.75, {50, 3.5}, false},
        {"arch, 6 above its top at 96 dpi", kArch, 1, {30, 28.5}, false},
        {"arch, 6 above its top at 192 dpi", kArch, 2, {30, 28.5}, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TToleranceScale scale(c.Scale);
        EXPECT_EQ(c.Hit, c.Path.ContainsPoint(c.P));
    }
}

TEST(TRelationPath, StartBoundaryFindsWhereThePathLeavesTheSource) {
    const TRelationPath line = Straight({0, 0}, {100, 0});
    const TRelationPath ortho = Ortho({{0, 0}, {0, 40}, {60, 40}, {60, 80}});
    struct TCase {
        const char* Name;
        TRelationPath Path;
        TFloatRect Rect;
        TFloatPoint Point, Direction;
    };
    const TCase cases[] = {
        {"line leaving through the right edge", line, {-10, -10, 60, 20}, {50.78125, 0}, {-100, 0}},
        {"start outside: the start itself", line, {200, 200, 10, 10}, {0, 0}, {-100, 0}},
        {"both ends inside: the end", line, {-10, -10, 200, 20}, {100, 0}, {-100, 0}},
        {"with a lead-in: the start", WithLeadIn(line, {0, -50}, 0), {-10, -10, 60, 20}, {0, 0}, {-100, 0}},
        {"curve with a lead-in: the start", WithLeadIn(kArch, {0, -50}, 0), {-10, -10, 20, 20}, {0, 0}, {-17.1, -81}},
        {"zero-size rectangle at the start", line, {0, 0, 0, 0}, {0.78125, 0}, {-100, 0}},
        {"rectangle of width 0 through the start", line, {0, -10, 0, 20}, {0.78125, 0}, {-100, 0}},
        {"rectangle of width 0 across the middle", line, {50, -10, 0, 20}, {0, 0}, {-100, 0}},
        {"at most 12 halvings", Straight({0, 0}, {1e6, 0}), {-10, -10, 20, 20}, {244.140625, 0}, {-1e6, 0}},
        {"curve leaving through a corner",
         kArch,
         {-10, -10, 40, 32.5},
         {31.405792236328125, 22.47802734375},
         {-89.76933984375, 4.55625}},
        {"curve starting outside", kArch, {100, 100, 5, 5}, {0, 0}, {-7.056, -86.4}},
        {"orthogonal: the first segment is bisected", ortho, {-10, -10, 20, 20}, {0, 11.25}, {0, -40}},
        {"orthogonal: start outside", ortho, {100, 100, 5, 5}, {0, 0}, {0, -40}},
        {"orthogonal: first corner inside too", ortho, {-10, -10, 20, 60}, {0, 0}, {0, -40}},
        {"orthogonal: a first corner on the start is skipped",
         Ortho({{0, 0}, {0, 0}, {60, 0}, {60, 80}}),
         {-10, -10, 20, 20},
         {10.3125, 0},
         {-60, 0}},
        {"a path without extent", Curve({7, 7}, {7, 7}, {7, 7}, {7, 7}), {0, 0, 10, 10}, {7, 7}, {0, 0}},
        {"orthogonal path without extent", Ortho({{7, 7}, {7, 7}}), {0, 0, 10, 10}, {7, 7}, {0, 0}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TPathBoundary boundary = c.Path.StartBoundary(c.Rect);
        ExpectPoint(c.Point, boundary.Point);
        ExpectPoint(c.Direction, boundary.Direction);
    }
}

TEST(TRelationPath, EndBoundaryFindsWhereThePathEntersTheTarget) {
    const TRelationPath line = Straight({0, 0}, {100, 0});
    const TRelationPath ortho = Ortho({{0, 0}, {0, 40}, {60, 40}, {60, 80}});
    struct TCase {
        const char* Name;
        TRelationPath Path;
        TFloatRect Rect;
        TFloatPoint Point, Direction;
    };
    const TCase cases[] = {
        {"line entering through the left edge", line, {50, -10, 60, 20}, {49.21875, 0}, {100, 0}},
        {"end outside: the end itself", line, {200, 200, 10, 10}, {100, 0}, {100, 0}},
        {"both ends inside: the start", line, {-10, -10, 200, 20}, {0, 0}, {100, 0}},
        {"underlined target: the end", WithUnderlineEnd(line), {50, -10, 60, 20}, {100, 0}, {100, 0}},
        {"curve to an underlined target: the end", WithUnderlineEnd(kArch), {50, -10, 20, 20}, {60, 0}, {17.1, -81}},
        {"zero-size rectangle at the end", line, {100, 0, 0, 0}, {99.21875, 0}, {100, 0}},
        {"curve entering through a corner",
         kArch,
         {30, -10, 40, 32.5},
         {28.594207763671875, 22.47802734375},
         {89.76933984375, 4.55625}},
        {"curve ending outside", kArch, {-100, -100, 5, 5}, {60, 0}, {7.056, -86.4}},
        {"orthogonal: the last segment is bisected", ortho, {50, 70, 20, 20}, {60, 68.75}, {0, 40}},
        {"orthogonal: end outside", ortho, {-100, -100, 5, 5}, {60, 80}, {0, 40}},
        {"orthogonal: last corner inside too", ortho, {50, 30, 20, 60}, {60, 80}, {0, 40}},
        {"orthogonal: one segment", Ortho({{0, 0}, {0, 50}}), {-10, 40, 20, 20}, {0, 39.84375}, {0, 50}},
        {"a path without extent", Straight({7, 7}, {7, 7}), {0, 0, 10, 10}, {7, 7}, {0, 0}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TPathBoundary boundary = c.Path.EndBoundary(c.Rect);
        ExpectPoint(c.Point, boundary.Point);
        ExpectPoint(c.Direction, boundary.Direction);
    }
}

TEST(TRelationPath, IncludeHandleBoundsCoversTheHandleAndTheCurveExtremes) {
    TRelationPath orthoHandle = Ortho({{0, 0}, {0, 50}, {100, 50}});
    orthoHandle.HandleOffset = {10, -40};
    TRelationPath orthoInside = orthoHandle;
    orthoInside.HandleOffset = {5, 5};
    TRelationPath curveWithOffset = kArch;
    curveWithOffset.HandleOffset = {0, 500};
    struct TCase {
        const char* Name;
        TRelationPath Path;
        TFloatRect Rect, Expected;
    };
    const TCase cases[] = {
        {"orthogonal: the handle point", orthoHandle, {0, 0, 100, 50}, {0, -15, 100, 65}},
        {"orthogonal: handle inside", orthoInside, {0, 0, 100, 50}, {0, 0, 100, 50}},
        {"handle curve: the square around its vertical extreme",
         Handle({0, 0}, {100, 0}, {0, 50}),
         {0, 0, 100, 0},
         {0, 0, 100, 56}},
        {"handle curve: extremes on both axes",
         Handle({0, 0}, {100, 100}, {-60, 60}),
         {0, 0, 100, 100},
         {-317.0 / 12, 0, 1517.0 / 12, 1517.0 / 12}},
        {"handle curve: coincident ends", Handle({10, 10}, {10, 10}, {0, 10}), {10, 10, 0, 0}, {4, 10, 12, 16}},
        {"handle curve without offset: no extreme inside",
         Handle({0, 0}, {100, 40}, {0, 0}),
         {0, 0, 100, 40},
         {0, 0, 100, 40}},
        {"handle curve with all points equal", Handle({5, 5}, {5, 5}, {0, 0}), {5, 5, 0, 0}, {5, 5, 0, 0}},
        {"other kinds leave the rectangle alone", curveWithOffset, {0, 0, 60, 0}, {0, 0, 60, 0}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFloatRect rect = c.Rect;
        c.Path.IncludeHandleBounds(rect);
        ExpectRect(c.Expected, rect);
    }
}

TEST(TRelationPath, BoundsIncludeTheCurveExtremes) {
    struct TCase {
        const char* Name;
        TRelationPath Path;
        TFloatRect Expected;
    };
    const TCase cases[] = {
        {"arch: its top", kArch, {0, 0, 60, 22.5}},
        {"bulge beyond both ends", Curve({0, 0}, {90, 10}, {90, 50}, {0, 60}), {0, 0, 67.5, 60}},
        {"two extremes, one beyond the ends",
         Curve({0, 0}, {0, -40}, {60, 20}, {100, 0}),
         {0, -14.084078606149205, 100, 18.291614002421864}},
        {"curve inside the box of its ends", Curve({0, 0}, {40, 0}, {60, 20}, {60, 60}), {0, 0, 60, 60}},
        {"handle curve through its handle", Handle({0, 0}, {100, 0}, {0, 30}), {0, 0, 100, 30}},
        {"straight line", Straight({10, 20}, {50, -20}), {10, -20, 40, 40}},
        {"rounded four segments", Ortho({{0, 0}, {0, -20}, {60, -20}, {60, 30}, {40, 30}}, true), {0, -20, 60, 50}},
        {"with a lead-in", WithLeadIn(Straight({0, 20}, {40, 20}), {0, 0}, 5), {0, 0, 40, 20}},
        {"all points equal", Curve({7, 7}, {7, 7}, {7, 7}, {7, 7}), {7, 7, 0, 0}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ExpectRect(c.Expected, c.Path.Bounds());
    }
}

TEST(TRelationPath, SetOrthogonalRoutesBetweenTheRectangles) {
    struct TCase {
        const char* Name;
        TFloatRect Source, Target;
        int Segments;
        TFloatPoint P0, P1, P2, P3; // P1 and P2 only where the route uses them
    };
    const TCase cases[] = {
        {"centres level within 1 unit", {0, 0, 40, 20}, {200, 0.5, 40, 20}, 1, {20, 10}, {}, {}, {220, 10.5}},
        {"centres aligned within 1 unit", {0, 0, 40, 20}, {0.9, 100, 40, 20}, 1, {20, 10}, {}, {}, {20.9, 110}},
        {"wide gap, target right: vertical middle segment",
         {0, 0, 40, 20},
         {200, 100, 40, 20},
         3,
         {20, 10},
         {120, 10},
         {120, 110},
         {220, 110}},
        {"wide gap, target left", {200, 0, 40, 20}, {0, 100, 40, 20}, 3, {220, 10}, {120, 10}, {120, 110}, {20, 110}},
        {"tall gap, target above: horizontal middle segment",
         {0, 200, 40, 20},
         {100, 0, 40, 20},
         3,
         {20, 210},
         {20, 110},
         {120, 110},
         {120, 10}},
        {"tall gap, target below", {0, 0, 40, 20}, {100, 200, 40, 20}, 3, {20, 10}, {20, 110}, {120, 110}, {120, 210}},
        {"close, target below: down, then across",
         {0, 0, 100, 20},
         {80, 30, 40, 20},
         2,
         {50, 10},
         {50, 40},
         {},
         {100, 40}},
        {"close, target beside: across, then down",
         {0, 0, 40, 100},
         {50, 45, 40, 20},
         2,
         {20, 50},
         {70, 50},
         {},
         {70, 55}},
        {"overlapping rectangles", {0, 0, 100, 100}, {40, 40, 40, 40}, 1, {50, 50}, {}, {}, {60, 60}},
        {"zero-size rectangles", {0, 0, 0, 0}, {0, 0, 0, 0}, 1, {0, 0}, {}, {}, {0, 0}},
    };
    for (const TCase& c : cases) {
        for (const bool rounded : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.Name << (rounded ? ", rounded" : ", sharp"));
            TRelationPath path;
            path.SetOrthogonal(c.Source, c.Target, rounded);
            EXPECT_EQ(rounded ? rpkRoundedOrthogonal : rpkOrthogonal, path.Kind);
            EXPECT_EQ(c.Segments, path.SegmentCount);
            ExpectPoint(c.P0, path.P0);
            ExpectPoint(c.P3, path.P3);
            if (c.Segments >= 2)
                ExpectPoint(c.P1, path.P1);
            if (c.Segments >= 3)
                ExpectPoint(c.P2, path.P2);
        }
    }
}

TEST(TRelationPath, SetOrthogonalThroughRoutesThroughTheHandle) {
    // Source centre (20, 10), target centre (220, 110), midpoint (120, 60); the topics grown by 8 span
    // x -8..248 and y -8..128 together.
    const TFloatRect source{0, 0, 40, 20};
    const TFloatRect target{200, 100, 40, 20};
    struct TCase {
        const char* Name;
        TFloatPoint Offset;
        int Segments;
        TFloatPoint P1, P2, Extra;
    };
    const TCase cases[] = {
        {"handle above both: horizontal middle at the handle", {0, -100}, 3, {20, -40}, {220, -40}, {}},
        {"handle right of both: vertical middle at the handle", {200, 0}, 3, {320, 10}, {320, 110}, {}},
        {"handle up and right: up first", {200, -100}, 4, {20, -40}, {320, 110}, {320, -40}},
        {"handle down and right, further down: down first", {200, 200}, 4, {20, 260}, {320, 110}, {320, 260}},
        {"handle down and right, further right: across first", {300, 100}, 4, {420, 10}, {220, 160}, {420, 160}},
        {"handle at the midpoint: vertical middle", {0, 0}, 3, {120, 10}, {120, 110}, {}},
        {"handle between, over the source's column: down, then across", {-70, 40}, 2, {20, 110}, {}, {}},
        {"handle between, over the target's column: across, then down", {70, 40}, 2, {220, 10}, {}, {}},
        {"handle between, other side: horizontal middle", {80, 0}, 3, {20, 60}, {220, 60}, {}},
        {"handle between, level with the source: across, then down", {80, -30}, 2, {220, 10}, {}, {}},
        {"handle between, level with the target: down, then across", {80, 30}, 2, {20, 110}, {}, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRelationPath path;
        path.HandleOffset = c.Offset;
        path.SetOrthogonalThrough(source, target, true);
        EXPECT_EQ(rpkRoundedOrthogonal, path.Kind);
        EXPECT_EQ(c.Segments, path.SegmentCount);
        ExpectPoint({20, 10}, path.P0);
        ExpectPoint({220, 110}, path.P3);
        ExpectPoint(c.P1, path.P1);
        if (c.Segments >= 3)
            ExpectPoint(c.P2, path.P2);
        if (c.Segments == 4) {
            ExpectPoint(c.Extra, path.ExtraCorner);
            ExpectPoint(c.Extra, path.MidPoint());
        }
    }
}

TEST(TRelationPath, DegenerateInputsGiveFiniteResults) {
    const TFloatPoint q{7, 7};
    std::vector<TRelationPath> paths = {
        Curve(q, q, q, q),
        Curve(q, {20, 7}, {20, 7}, q),
        Curve({0, 0}, {0, 0}, {50, 0}, {50, 0}),
        Straight(q, q),
        Handle(q, q, {0, 0}),
        Handle(q, q, {3, -4}),
        Ortho({q, q}),
        Ortho({q, q, q}, true),
        Ortho({q, q, q, q}, true),
        Ortho({q, q, q, q, q}, true),
        Ortho({{0, 0}, {0, 0}, {0, 40}, {0, 40}}, true),
        Ortho({{0, 0}, {3, 3}, {30, 3}, {30, 40}}, true),
    };
    const std::size_t plain = paths.size();
    for (std::size_t i = 0; i < plain; ++i) {
        for (const std::int32_t taper : {3, -3})
            paths.push_back(WithTaper(paths[i], taper));
        paths.push_back(WithLeadIn(paths[i], paths[i].P0, 5));
        paths.push_back(WithLeadIn(paths[i], paths[i].P0 + TFloatPoint{0, -2}, 20));
        paths.push_back(WithUnderlineEnd(paths[i]));
    }
    const TFloatRect rects[] = {{7, 7, 0, 0}, {7, 0, 0, 20}, {0, 7, 20, 0}, {-100, -100, 300, 300}, {500, 500, 1, 1}};
    for (std::size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "path " << i);
        TRelationPath path = paths[i];
        for (const double t : {0.0, 0.5, 1.0}) {
            EXPECT_TRUE(IsFinite(path.PointAt(t)));
            EXPECT_TRUE(IsFinite(path.TangentAt(t)));
        }
        EXPECT_TRUE(IsFinite(path.MidPoint()));
        EXPECT_TRUE(IsFinite(path.Bounds()));
        EXPECT_TRUE(std::isfinite(path.CornerRadius()));
        for (const TFloatPoint& p : {q, TFloatPoint{9, 9}, TFloatPoint{300, 300}})
            (void)path.ContainsPoint(p);
        for (const TFloatRect& rect : rects) {
            for (const TPathBoundary& b : {path.StartBoundary(rect), path.EndBoundary(rect)}) {
                EXPECT_TRUE(IsFinite(b.Point));
                EXPECT_TRUE(IsFinite(b.Direction));
            }
            TFloatRect grown = rect;
            path.IncludeHandleBounds(grown);
            EXPECT_TRUE(IsFinite(grown));
        }
        TCairoCapture capture;
        path.AppendToContext(capture.Context());
        ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(capture.Context()));
        for (const TSeg& seg : capture.Segments())
            for (const TFloatPoint& p : seg.Points)
                EXPECT_TRUE(IsFinite(p));
    }
}

TEST(TRelationPath, HitTestTerminatesWithTinyToleranceOrHugeCoordinates) {
    // Bisection and subdivision are bounded: a tolerance that underflows to zero, or distances that overflow,
    // end in a plain answer.
    const TRelationPath diagonal = Curve({0, 0}, {40, 0}, {60, 20}, {60, 60});
    {
        TToleranceScale scale(1e-200);
        ASSERT_EQ(0, HitTolerance().Tol2);
        // One unit in the last place off the curve: bisection chases it down to the resolution of the parameter,
        // where the interval stops shrinking.
        TFloatPoint p = diagonal.PointAt(1.0 / 2001);
        p.Y = std::nextafter(p.Y, -1.0);
        EXPECT_FALSE(diagonal.ContainsPoint(p));
        EXPECT_FALSE(diagonal.ContainsPoint(diagonal.PointAt(1.0 / 3) + TFloatPoint{0, 1e-9}));
        EXPECT_FALSE(kArch.ContainsPoint({30, 2}));
        EXPECT_FALSE(Handle({0, 0}, {100, 0}, {0, 30}).ContainsPoint({50, 1}));
    }
    const TRelationPath huge = Curve({0, 0}, {1e300, 0}, {1e300, 1e300}, {-1e300, 1e300});
    EXPECT_FALSE(huge.ContainsPoint({5e299, 1}));
    EXPECT_TRUE(huge.ContainsPoint({1, 1}));
    const TRelationPath hugeHandle = Handle({0, 0}, {1e300, 0}, {0, 1e300});
    EXPECT_FALSE(hugeHandle.ContainsPoint({5e299, 1}));
}
