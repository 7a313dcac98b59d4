#include "Spline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

struct Curve {
    std::vector<double> t, y;
};

Curve Sample(const std::vector<double>& t, double (*f)(double))
{
    Curve c{t, {}};
    for (double x : t)
        c.y.push_back(f(x));
    return c;
}

double Cubic(double x) { return x * x * x - 2 * x * x + 0.5 * x + 1; }
double CubicSlope(double x) { return 3 * x * x - 4 * x + 0.5; }
double CubicCurvature(double x) { return 6 * x - 4; }
double Line(double x) { return -0.75 * x + 2.5; }

const std::vector<double> UnevenKnots = {-1.0, -0.4, 0.3, 0.35, 1.2, 2.0, 3.7};

} // namespace

TEST(Spline, TwoKnotsWithoutCubicTermAreTheStraightLine)
{
    const double t[2] = {1.0, 3.0};
    const double y[2] = {2.0, 6.0};
    const std::vector<double> ypp = SplineSecondDerivatives(2, t, y, 0, 0.0, 0, 0.0);
    ASSERT_EQ(ypp, (std::vector<double>{0.0, 0.0}));
    for (double x : {-2.0, 1.0, 2.2, 3.0, 10.0}) {
        double slope, curvature;
        EXPECT_NEAR(SplineEvaluate(2, t, y, ypp.data(), x, slope, curvature), 2 * x, 1e-12) << x;
        EXPECT_NEAR(slope, 2.0, 1e-12);
        EXPECT_EQ(curvature, 0.0);
    }
}

TEST(Spline, ThreePointsOfTheParabolaGiveTheParabola)
{
    const double t[3] = {0, 1, 2};
    const double y[3] = {0, 1, 4};
    const std::vector<double> ypp = SplineSecondDerivatives(3, t, y, 0, 0.0, 0, 0.0);
    ASSERT_EQ(ypp.size(), 3u);
    for (double v : ypp)
        EXPECT_NEAR(v, 2.0, 1e-12);
    double slope, curvature;
    EXPECT_NEAR(SplineEvaluate(3, t, y, ypp.data(), 1.5, slope, curvature), 2.25, 1e-12);
    EXPECT_NEAR(slope, 3.0, 1e-12);
    EXPECT_NEAR(curvature, 2.0, 1e-12);
    // Outside the knots the end cubics (here the parabola) continue.
    EXPECT_NEAR(SplineEvaluate(3, t, y, ypp.data(), -1.0, slope, curvature), 1.0, 1e-12);
    EXPECT_NEAR(SplineEvaluate(3, t, y, ypp.data(), 3.0, slope, curvature), 9.0, 1e-12);
}

TEST(Spline, StraightLineIsKeptByEveryEndTypeOnUnevenKnots)
{
    const Curve c = Sample(UnevenKnots, Line);
    const int n = static_cast<int>(c.t.size());
    const std::pair<int, double> ends[] = {{0, 0.0}, {1, -0.75}, {2, 0.0}, {3, 0.0}};
    for (auto [beginType, beginValue] : ends) {
        for (auto [endType, endValue] : ends) {
            const std::vector<double> ypp = SplineSecondDerivatives(n, c.t.data(), c.y.data(), beginType, beginValue,
                                                                    endType, endValue);
            ASSERT_EQ(ypp.size(), c.t.size()) << beginType << "/" << endType;
            for (double v : ypp)
                EXPECT_NEAR(v, 0.0, 1e-12) << beginType << "/" << endType;
            for (double x : {-3.0, -0.7, 0.3, 0.33, 2.5, 5.0}) {
                double slope, curvature;
                EXPECT_NEAR(SplineEvaluate(n, c.t.data(), c.y.data(), ypp.data(), x, slope, curvature), Line(x), 1e-12);
                EXPECT_NEAR(slope, -0.75, 1e-12);
            }
        }
    }
}

// A clamped spline (exact slopes), a spline with exact end curvatures and the not-a-knot spline
// all reproduce a cubic exactly; any fault in an end row or in the solver shows up as a deviation.
TEST(Spline, CubicIsReproducedWithExactEndDataAndWithNotAKnot)
{
    const Curve c = Sample(UnevenKnots, Cubic);
    const int n = static_cast<int>(c.t.size());
    const double a = c.t.front(), b = c.t.back();
    struct Case { int bt; double bv; int et; double ev; };
    const Case cases[] = {
        {1, CubicSlope(a), 1, CubicSlope(b)},
        {2, CubicCurvature(a), 2, CubicCurvature(b)},
        {3, 0, 3, 0},
        {1, CubicSlope(a), 3, 0},
        {3, 0, 2, CubicCurvature(b)},
        {2, CubicCurvature(a), 1, CubicSlope(b)},
    };
    for (const Case& k : cases) {
        const std::vector<double> ypp = SplineSecondDerivatives(n, c.t.data(), c.y.data(), k.bt, k.bv, k.et, k.ev);
        ASSERT_EQ(ypp.size(), c.t.size());
        for (int i = 0; i < n; ++i)
            EXPECT_NEAR(ypp[i], CubicCurvature(c.t[i]), 1e-9) << k.bt << "/" << k.et << " knot " << i;
        for (double x : {-1.5, -1.0, -0.2, 0.31, 0.9, 1.2, 3.0, 4.5}) {
            double slope, curvature;
            const double v = SplineEvaluate(n, c.t.data(), c.y.data(), ypp.data(), x, slope, curvature);
            EXPECT_NEAR(v, Cubic(x), 1e-9) << k.bt << "/" << k.et << " at " << x;
            EXPECT_NEAR(slope, CubicSlope(x), 1e-9);
            EXPECT_NEAR(curvature, CubicCurvature(x), 1e-9);
        }
    }
}

TEST(Spline, EndTypeZeroHasNoCubicTermAtTheEndsAndASmoothInterior)
{
    const Curve c = Sample(UnevenKnots, [](double x) { return std::sin(2 * x) + 0.1 * x * x; });
    const int n = static_cast<int>(c.t.size());
    const std::vector<double> ypp = SplineSecondDerivatives(n, c.t.data(), c.y.data(), 0, 0.0, 0, 0.0);
    ASSERT_EQ(ypp.size(), c.t.size());
    EXPECT_NEAR(ypp[0], ypp[1], 1e-12);
    EXPECT_NEAR(ypp[n - 1], ypp[n - 2], 1e-12);
    for (int k = 0; k < n; ++k) {
        double slope, curvature;
        // An abscissa equal to a knot gives the value at the knot.
        EXPECT_NEAR(SplineEvaluate(n, c.t.data(), c.y.data(), ypp.data(), c.t[k], slope, curvature), c.y[k], 1e-14);
        if (k == 0 || k == n - 1)
            continue;
        // First and second derivative agree from both sides of every interior knot.
        double leftSlope, leftCurvature;
        const double eps = 1e-7;
        SplineEvaluate(n, c.t.data(), c.y.data(), ypp.data(), c.t[k] - eps, leftSlope, leftCurvature);
        EXPECT_NEAR(leftSlope, slope, 1e-5) << k;
        EXPECT_NEAR(leftCurvature, curvature, 1e-4) << k;
    }
}

TEST(Spline, SetupRefusesUnusableInput)
{
    const double t[4] = {0, 1, 1, 2};
    const double y[4] = {0, 1, 2, 3};
    const double good[4] = {0, 1, 2, 3};
    const double down[4] = {0, 2, 1, 3};
    const double nan[4] = {0, 1, std::nan(""), 3};
    EXPECT_TRUE(SplineSecondDerivatives(1, good, y, 0, 0, 0, 0).empty());
    EXPECT_TRUE(SplineSecondDerivatives(0, good, y, 0, 0, 0, 0).empty());
    EXPECT_TRUE(SplineSecondDerivatives(-3, good, y, 0, 0, 0, 0).empty());
    EXPECT_TRUE(SplineSecondDerivatives(4, t, y, 0, 0, 0, 0).empty());    // two equal abscissae
    EXPECT_TRUE(SplineSecondDerivatives(4, down, y, 0, 0, 0, 0).empty()); // decreasing
    EXPECT_TRUE(SplineSecondDerivatives(4, nan, y, 0, 0, 0, 0).empty());  // not comparable
    EXPECT_TRUE(SplineSecondDerivatives(4, good, y, 4, 0, 0, 0).empty());
    EXPECT_TRUE(SplineSecondDerivatives(4, good, y, 0, 0, -1, 0).empty());
    EXPECT_TRUE(SplineSecondDerivatives(2, good, y, 3, 0, 0, 0).empty()); // not-a-knot needs three knots
    EXPECT_TRUE(SplineSecondDerivatives(2, good, y, 0, 0, 3, 0).empty());
    EXPECT_EQ(SplineSecondDerivatives(3, good, y, 3, 0, 3, 0).size(), 3u);
    EXPECT_EQ(SplineSecondDerivatives(2, good, y, 1, 1.0, 2, 0.0).size(), 2u);
}

TEST(Spline, PentadiagonalSolverSolvesRandomDominantSystems)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (int n : {2, 3, 4, 9, 40}) {
        std::vector<double> a1(n), a2(n), a3(n), a4(n), a5(n), x(n), b(n, 0.0);
        for (int i = 0; i < n; ++i) {
            a1[i] = i >= 2 ? value(random) : 0;
            a2[i] = i >= 1 ? value(random) : 0;
            a4[i] = i + 1 < n ? value(random) : 0;
            a5[i] = i + 2 < n ? value(random) : 0;
            a3[i] = 5.0 + value(random);
            x[i] = value(random) * 10;
        }
        for (int i = 0; i < n; ++i) {
            b[i] = a3[i] * x[i];
            if (i >= 2) b[i] += a1[i] * x[i - 2];
            if (i >= 1) b[i] += a2[i] * x[i - 1];
            if (i + 1 < n) b[i] += a4[i] * x[i + 1];
            if (i + 2 < n) b[i] += a5[i] * x[i + 2];
        }
        const std::vector<double> solved = SolvePentadiagonal(n, a1.data(), a2.data(), a3.data(), a4.data(), a5.data(), b.data());
        ASSERT_EQ(solved.size(), static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            EXPECT_NEAR(solved[i], x[i], 1e-10) << "n " << n << " i " << i;
    }
}

// The value and both derivatives are evaluated in the written order, innermost bracket first, so
// the results are the same doubles on every build. The reference below is that order spelled out
// step by step; a regrouped expression differs from it in the last bits for some of the points.
TEST(Spline, EvaluationFollowsTheWrittenOrderToTheLastBit)
{
    std::mt19937 random(19);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const int n = 9;
    std::vector<double> t(n), y(n), ypp(n);
    double knot = -2.0;
    for (int i = 0; i < n; ++i) {
        knot += 0.1 + std::fabs(unit(random));
        t[i] = knot;
        y[i] = 10 * unit(random);
        ypp[i] = 50 * unit(random);
    }
    std::vector<double> abscissae(t);          // exactly at the knots: interval k for knot k
    for (int k = 0; k < 400; ++k)
        abscissae.push_back(-4.0 + 14.0 * (unit(random) + 1.0) / 2.0);
    for (double tval : abscissae) {
        int i = n - 2;
        for (int k = 0; k <= n - 2; ++k) {
            if (tval < t[k + 1]) {
                i = k;
                break;
            }
        }
        const double dt = tval - t[i];
        const double h = t[i + 1] - t[i];
        const double s = (y[i + 1] - y[i]) / h - (ypp[i + 1] / 6.0 + ypp[i] / 3.0) * h;
        double inner = dt * (ypp[i + 1] - ypp[i]);
        inner = inner / (6.0 * h);
        inner = 0.5 * ypp[i] + inner;
        inner = s + dt * inner;
        const double value = y[i] + dt * inner;
        double slopeInner = 0.5 * (ypp[i + 1] - ypp[i]);
        slopeInner = slopeInner / h;
        slopeInner = ypp[i] + dt * slopeInner;
        const double slope = s + dt * slopeInner;
        double curvature = dt * (ypp[i + 1] - ypp[i]);
        curvature = ypp[i] + curvature / h;

        double gotSlope = 0, gotCurvature = 0;
        const double got = SplineEvaluate(n, t.data(), y.data(), ypp.data(), tval, gotSlope, gotCurvature);
        ASSERT_EQ(got, value) << tval;
        ASSERT_EQ(gotSlope, slope) << tval;
        ASSERT_EQ(gotCurvature, curvature) << tval;
    }
}
