#include "render/Float2D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

namespace {

constexpr double kEps = 1e-12;
constexpr double kPi = std::numbers::pi;

void ExpectPoint(const TFloatPoint& expected, const TFloatPoint& actual) {
    EXPECT_NEAR(expected.X, actual.X, kEps);
    EXPECT_NEAR(expected.Y, actual.Y, kEps);
}

void ExpectRect(const TFloatRect& expected, const TFloatRect& actual) {
    EXPECT_NEAR(expected.Left, actual.Left, kEps);
    EXPECT_NEAR(expected.Top, actual.Top, kEps);
    EXPECT_NEAR(expected.Width, actual.Width, kEps);
    EXPECT_NEAR(expected.Height, actual.Height, kEps);
}

} // namespace

TEST(TFloatRect, RightBottomAndCenterDeriveFromTheFourFields) {
    struct TCase {
        TFloatRect Rect;
        double Right, Bottom;
        TFloatPoint Center;
    };
    const TCase cases[] = {
        {{10, 20, 30, 40}, 40, 60, {25, 40}},
        {{-10, -20, 5, 0}, -5, -20, {-7.5, -20}},
        {{0, 0, 0, 0}, 0, 0, {0, 0}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Rect.Left << "," << c.Rect.Top << "," << c.Rect.Width << ","
                                        << c.Rect.Height);
        EXPECT_DOUBLE_EQ(c.Right, c.Rect.Right());
        EXPECT_DOUBLE_EQ(c.Bottom, c.Rect.Bottom());
        ExpectPoint(c.Center, c.Rect.Center());
    }
}

TEST(TFloatPoint, ArithmeticIsComponentWise) {
    const TFloatPoint a{1.5, -2};
    const TFloatPoint b{-4, 8};
    ExpectPoint({-2.5, 6}, a + b);
    ExpectPoint({5.5, -10}, a - b);
    ExpectPoint({-1.5, 2}, -a);
    ExpectPoint({3, -4}, a * 2);
    ExpectPoint({2, -4}, -0.5 * b);
    EXPECT_TRUE((TFloatPoint{1.5, -2} == a));
    EXPECT_FALSE((TFloatPoint{1.5, 2} == a));
}

TEST(Float2D, VectorLengthIsEuclideanAndDoesNotOverflow) {
    struct TCase {
        TFloatPoint V;
        double Length;
    };
    const TCase cases[] = {
        {{3, 4}, 5}, {{-3, -4}, 5}, {{0, 0}, 0}, {{0, -7}, 7}, {{3e200, 4e200}, 5e200},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.V.X << "," << c.V.Y);
        EXPECT_NEAR(c.Length, VectorLength(c.V), c.Length * 1e-15);
    }
}

TEST(Float2D, FloatRectFromPointsAcceptsCornersInAnyOrder) {
    struct TCase {
        const char* Name;
        TFloatPoint A, B;
        TFloatRect Expected;
    };
    const TCase cases[] = {
        {"top-left first", {1, 2}, {11, 22}, {1, 2, 10, 20}}, {"bottom-right first", {11, 22}, {1, 2}, {1, 2, 10, 20}},
        {"other diagonal", {11, 2}, {1, 22}, {1, 2, 10, 20}}, {"coincident points", {-3, 5}, {-3, 5}, {-3, 5, 0, 0}},
        {"vertical line", {4, 9}, {4, -1}, {4, -1, 0, 10}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ExpectRect(c.Expected, FloatRectFromPoints(c.A, c.B));
    }
}

TEST(Float2D, FloatRectsOverlapOnlyWhenTheInteriorsIntersect) {
    const TFloatRect base{0, 0, 10, 10};
    struct TCase {
        const char* Name;
        TFloatRect Other;
        bool Overlap;
    };
    const TCase cases[] = {
        {"partial overlap", {5, 5, 10, 10}, true},       {"contained", {2, 2, 1, 1}, true},
        {"containing", {-5, -5, 30, 30}, true},          {"same rectangle", {0, 0, 10, 10}, true},
        {"touching right edge", {10, 0, 5, 10}, false},  {"touching bottom edge", {0, 10, 10, 5}, false},
        {"touching corner", {10, 10, 5, 5}, false},      {"disjoint", {20, 20, 5, 5}, false},
        {"overlapping in x only", {5, 20, 5, 5}, false}, {"zero width inside", {5, 0, 0, 10}, false},
        {"zero size inside", {5, 5, 0, 0}, false},       {"overlap by a hair", {9.999, 9.999, 1, 1}, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(c.Overlap, FloatRectsOverlap(base, c.Other));
        EXPECT_EQ(c.Overlap, FloatRectsOverlap(c.Other, base));
    }
}

TEST(Float2D, FloatRectContainsCountsTheEdgesAsInside) {
    struct TCase {
        const char* Name;
        TFloatRect Rect;
        TFloatPoint P;
        bool Inside;
    };
    const TCase cases[] = {
        {"interior", {0, 0, 10, 10}, {5, 5}, true},
        {"top-left corner", {0, 0, 10, 10}, {0, 0}, true},
        {"bottom-right corner", {0, 0, 10, 10}, {10, 10}, true},
        {"left edge", {0, 0, 10, 10}, {0, 7}, true},
        {"just left", {0, 0, 10, 10}, {-1e-9, 5}, false},
        {"just below", {0, 0, 10, 10}, {5, 10.000001}, false},
        {"zero size at the point", {3, 4, 0, 0}, {3, 4}, true},
        {"zero size elsewhere", {3, 4, 0, 0}, {3, 4.5}, false},
        {"zero width on its line", {3, 0, 0, 10}, {3, 6}, true},
        {"zero width beside it", {3, 0, 0, 10}, {3.5, 6}, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(c.Inside, FloatRectContains(c.Rect, c.P));
    }
}

TEST(Float2D, FloatRectInflateGrowsEverySide) {
    struct TCase {
        const char* Name;
        TFloatRect Rect;
        double Dx, Dy;
        TFloatRect Expected;
    };
    const TCase cases[] = {
        {"grow", {10, 20, 30, 40}, 8, 8, {2, 12, 46, 56}},
        {"grow unevenly", {10, 20, 30, 40}, 1, 2, {9, 18, 32, 44}},
        {"shrink", {10, 20, 30, 40}, -5, -10, {15, 30, 20, 20}},
        {"zero size", {5, 5, 0, 0}, 6, 6, {-1, -1, 12, 12}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ExpectRect(c.Expected, FloatRectInflate(c.Rect, c.Dx, c.Dy));
    }
}

TEST(Float2D, FloatRectIncludePointCoversThePoint) {
    struct TCase {
        const char* Name;
        TFloatRect Rect;
        TFloatPoint P;
        TFloatRect Expected;
    };
    const TCase cases[] = {
        {"inside: unchanged", {0, 0, 10, 10}, {5, 5}, {0, 0, 10, 10}},
        {"on the edge: unchanged", {0, 0, 10, 10}, {10, 0}, {0, 0, 10, 10}},
        {"left and above", {0, 0, 10, 10}, {-5, -2}, {-5, -2, 15, 12}},
        {"right and below", {0, 0, 10, 10}, {20, 13}, {0, 0, 20, 13}},
        {"zero size rectangle", {1, 1, 0, 0}, {4, -3}, {1, -3, 3, 4}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ExpectRect(c.Expected, FloatRectIncludePoint(c.Rect, c.P));
    }
}

TEST(Float2D, FloatRectUnionCoversBoth) {
    struct TCase {
        const char* Name;
        TFloatRect A, B;
        TFloatRect Expected;
    };
    const TCase cases[] = {
        {"disjoint", {0, 0, 10, 10}, {20, 30, 5, 5}, {0, 0, 25, 35}},
        {"contained", {0, 0, 10, 10}, {2, 2, 3, 3}, {0, 0, 10, 10}},
        {"overlapping", {0, 0, 10, 10}, {-5, 5, 10, 10}, {-5, 0, 15, 15}},
        {"zero size", {0, 0, 10, 10}, {-4, 12, 0, 0}, {-4, 0, 14, 12}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ExpectRect(c.Expected, FloatRectUnion(c.A, c.B));
        ExpectRect(c.Expected, FloatRectUnion(c.B, c.A));
    }
}

TEST(Float2D, IsNearlyEmptySizeWhenEitherSideIsBelowATenThousandth) {
    struct TCase {
        TFloatPoint Size;
        bool Empty;
    };
    const TCase cases[] = {
        {{0, 0}, true},  {{0, 100}, true},     {{100, 0}, true},     {{0.00009, 5}, true}, {{5, 0.00009}, true},
        {{-1, 5}, true}, {{0.0001, 5}, false}, {{5, 0.0001}, false}, {{800, 600}, false},  {{0.001, 0.001}, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Size.X << "x" << c.Size.Y);
        EXPECT_EQ(c.Empty, IsNearlyEmptySize(c.Size));
    }
}

TEST(Float2D, VectorAngleCoversAllDirectionsAndTheZeroVector) {
    struct TCase {
        const char* Name;
        TFloatPoint A, B;
        double Angle;
    };
    const TCase cases[] = {
        {"right", {1, 1}, {5, 1}, 0},
        {"down (y grows downwards)", {1, 1}, {1, 9}, kPi / 2},
        {"left", {1, 1}, {-3, 1}, kPi},
        {"up", {1, 1}, {1, -2}, -kPi / 2},
        {"down-right", {0, 0}, {2, 2}, kPi / 4},
        {"up-right", {0, 0}, {2, -2}, -kPi / 4},
        {"down-left", {0, 0}, {-2, 2}, 3 * kPi / 4},
        {"up-left", {0, 0}, {-2, -2}, 5 * kPi / 4},
        {"zero vector counts as down", {3, 3}, {3, 3}, kPi / 2},
        {"negative zero y counts as down", {0, 0}, {0, -0.0}, kPi / 2},
        {"tiny x, big y", {0, 0}, {1e-300, 1e300}, kPi / 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const double angle = VectorAngle(c.A, c.B);
        EXPECT_TRUE(std::isfinite(angle));
        EXPECT_NEAR(c.Angle, angle, kEps);
    }
}

TEST(Float2D, PolarOffsetMovesByDistanceAlongTheAngle) {
    struct TCase {
        const char* Name;
        TFloatPoint P;
        double Distance, Angle;
        TFloatPoint Expected;
    };
    const TCase cases[] = {
        {"right", {10, 20}, 5, 0, {15, 20}},
        {"down", {10, 20}, 5, kPi / 2, {10, 25}},
        {"left", {10, 20}, 5, kPi, {5, 20}},
        {"up", {10, 20}, 5, -kPi / 2, {10, 15}},
        {"diagonal", {0, 0}, std::sqrt(2.0), kPi / 4, {1, 1}},
        {"negative distance", {0, 0}, -2, 0, {-2, 0}},
        {"zero distance", {7, 8}, 0, 1.234, {7, 8}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ExpectPoint(c.Expected, PolarOffset(c.P, c.Distance, c.Angle));
    }
}

TEST(Float2D, PolarOffsetInvertsVectorAngle) {
    const TFloatPoint from{3, -7};
    const TFloatPoint targets[] = {{10, -7}, {3, 5}, {-20, -7}, {3, -30}, {-1, -12}, {8, 1}, {-6, 2}};
    for (const TFloatPoint& to : targets) {
        SCOPED_TRACE(testing::Message() << to.X << "," << to.Y);
        ExpectPoint(to, PolarOffset(from, VectorLength(to - from), VectorAngle(from, to)));
    }
}
