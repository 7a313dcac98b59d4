// Cubic splines through tabulated points: the second derivatives at the knots are found by
// solving one banded linear system, then the spline is evaluated piece by piece.
#pragma once

#include <cstdint>
#include <vector>

// End conditions, for the begin (t[0]) and the end (t[n-1]) of the spline.
enum SplineEndType : int32_t {
    SplineEndNoCubic = 0,       // ypp at the end knot equals ypp at its neighbour
    SplineEndSlope = 1,         // first derivative at the end knot given
    SplineEndCurvature = 2,     // second derivative at the end knot given
    SplineEndNotAKnot = 3,      // third derivative continuous at the second (last but one) knot
};

// Second derivatives ypp[0 .. n-1] of the spline through (t[i], y[i]). Returns an empty vector
// (no result) for n < 2, knots that are not strictly increasing, an unknown end type, the
// not-a-knot type with fewer than three knots, or when no storage can be had.
std::vector<double> SplineSecondDerivatives(int32_t n, const double* t, const double* y,
                                            int32_t beginType, double beginValue,
                                            int32_t endType, double endValue);

// Solves A x = b for the pentadiagonal A held in bands a1 (i-2) .. a5 (i+2) without pivoting.
// a2, a3, a4 and b are changed in place. Empty result for n < 2 or when no storage can be had.
std::vector<double> SolvePentadiagonal(int32_t n, const double* a1, double* a2, double* a3,
                                       double* a4, const double* a5, double* b);

// Value of the spline at tval; ypval and yppval receive the first and second derivative there.
// Abscissae outside the knots are extrapolated with the end intervals' cubics.
double SplineEvaluate(int32_t n, const double* t, const double* y, const double* ypp,
                      double tval, double& ypval, double& yppval);
