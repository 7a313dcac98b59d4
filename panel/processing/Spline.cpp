#include "Spline.h"

#include <cstddef>
#include <new>

std::vector<double> SolvePentadiagonal(int32_t n, const double* a1, double* a2, double* a3,
                                       double* a4, const double* a5, double* b)
{
    if (n < 2)
        return {};
    std::vector<double> x;
    try {
        x.assign(static_cast<size_t>(n), 0.0);
    } catch (const std::bad_alloc&) {
        return {};
    }

    // Forward elimination: each row i clears the entries below the pivot of row i-1.
    for (int32_t i = 1; i <= n - 2; ++i) {
        double m = a2[i] / a3[i - 1];
        a3[i] = a3[i] - m * a4[i - 1];
        a4[i] = a4[i] - m * a5[i - 1];
        b[i] = b[i] - m * b[i - 1];

        m = a1[i + 1] / a3[i - 1];
        a2[i + 1] = a2[i + 1] - m * a4[i - 1];
        a3[i + 1] = a3[i + 1] - m * a5[i - 1];
        b[i + 1] = b[i + 1] - m * b[i - 1];
    }

    const double m = a2[n - 1] / a3[n - 2];
    a3[n - 1] = a3[n - 1] - m * a4[n - 2];
    x[n - 1] = (b[n - 1] - m * b[n - 2]) / a3[n - 1];
    x[n - 2] = (b[n - 2] - a4[n - 2] * x[n - 1]) / a3[n - 2];
    for (int32_t i = n - 3; i >= 0; --i)
        x[i] = (b[i] - a4[i] * x[i + 1] - a5[i] * x[i + 2]) / a3[i];
    return x;
}

std::vector<double> SplineSecondDerivatives(int32_t n, const double* t, const double* y,
                                            int32_t beginType, double beginValue,
                                            int32_t endType, double endValue)
{
    if (n <= 1)
        return {};
    for (int32_t i = 0; i <= n - 2; ++i) {
        if (!(t[i] < t[i + 1]))
            return {};
    }
    // Not-a-knot looks at t[2] resp. t[n-3].
    if ((beginType == SplineEndNotAKnot || endType == SplineEndNotAKnot) && n < 3)
        return {};

    std::vector<double> a1, a2, a3, a4, a5, b;
    try {
        const size_t count = static_cast<size_t>(n);
        a1.assign(count, 0.0);
        a2.assign(count, 0.0);
        a3.assign(count, 0.0);
        a4.assign(count, 0.0);
        a5.assign(count, 0.0);
        b.assign(count, 0.0);
    } catch (const std::bad_alloc&) {
        return {};
    }

    switch (beginType) {
    case SplineEndNoCubic:
        b[0] = 0;
        a3[0] = 1;
        a4[0] = -1;
        break;
    case SplineEndSlope:
        b[0] = (y[1] - y[0]) / (t[1] - t[0]) - beginValue;
        a3[0] = (t[1] - t[0]) / 3;
        a4[0] = (t[1] - t[0]) / 6;
        break;
    case SplineEndCurvature:
        b[0] = beginValue;
        a3[0] = 1;
        a4[0] = 0;
        break;
    case SplineEndNotAKnot:
        b[0] = 0;
        a3[0] = -(t[2] - t[1]);
        a4[0] = t[2] - t[0];
        a5[0] = -(t[1] - t[0]);
        break;
    default:
        return {};
    }

    for (int32_t i = 1; i <= n - 2; ++i) {
        b[i] = (y[i + 1] - y[i]) / (t[i + 1] - t[i]) - (y[i] - y[i - 1]) / (t[i] - t[i - 1]);
        a2[i] = (t[i] - t[i - 1]) / 6;
        a3[i] = (t[i + 1] - t[i - 1]) / 3;
        a4[i] = (t[i + 1] - t[i]) / 6;
    }

    const int32_t l = n - 1;
    switch (endType) {
    case SplineEndNoCubic:
        b[l] = 0;
        a2[l] = -1;
        a3[l] = 1;
        break;
    case SplineEndSlope:
        b[l] = endValue - (y[l] - y[l - 1]) / (t[l] - t[l - 1]);
        a2[l] = (t[l] - t[l - 1]) / 6;
        a3[l] = (t[l] - t[l - 1]) / 3;
        break;
    case SplineEndCurvature:
        b[l] = endValue;
        a2[l] = 0;
        a3[l] = 1;
        break;
    case SplineEndNotAKnot:
        b[l] = 0;
        a1[l] = -(t[l] - t[l - 1]);
        a2[l] = t[l] - t[l - 2];
        a3[l] = -(t[l - 1] - t[l - 2]);
        break;
    default:
        return {};
    }

    // Two knots with no cubic term at either end: a straight line, and the system is singular.
    if (n == 2 && beginType == SplineEndNoCubic && endType == SplineEndNoCubic) {
        try {
            return std::vector<double>(2, 0.0);
        } catch (const std::bad_alloc&) {
            return {};
        }
    }
    return SolvePentadiagonal(n, a1.data(), a2.data(), a3.data(), a4.data(), a5.data(), b.data());
}

double SplineEvaluate(int32_t n, const double* t, const double* y, const double* ypp,
                      double tval, double& ypval, double& yppval)
{
    if (n < 2) {
        ypval = 0;
        yppval = 0;
        return n == 1 ? y[0] : 0.0;
    }
    // First interval whose right knot lies above tval; the last interval takes everything beyond.
    int32_t i = n - 2;
    for (int32_t k = 0; k <= n - 2; ++k) {
        if (tval < t[k + 1]) {
            i = k;
            break;
        }
    }

    const double dt = tval - t[i];
    const double h = t[i + 1] - t[i];
    const double s = (y[i + 1] - y[i]) / h - (ypp[i + 1] / 6 + ypp[i] / 3) * h;
    const double value = y[i] + dt * (s + dt * (0.5 * ypp[i] + dt * (ypp[i + 1] - ypp[i]) / (6 * h)));
    ypval = s + dt * (ypp[i] + dt * (0.5 * (ypp[i + 1] - ypp[i]) / h));
    yppval = ypp[i] + dt * (ypp[i + 1] - ypp[i]) / h;
    return value;
}
