// Weighted least-squares fit of an equivalent circuit to one impedance spectrum.
//
// Residuals are the real and imaginary differences model - data at every frequency, weighted:
//   Unit          both alike (ohm);
//   Modulus       both divided by the data's |Z| (relative error, the usual choice);
//   Proportional  the real one by |Z'|, the imaginary one by |Z''| (each guarded below by 1% of
//                 |Z|, so a point where Z' or Z'' crosses zero does not take over the fit).
// Positive parameters are fitted as logarithms, exponents through a logistic map into (0, 1), so
// every step stays in range. Levenberg-Marquardt (Nielsen's damping update, Marquardt scaling)
// from several starts derived from the spectrum's shape (the user's guesses as the first),
// keeping the best; or a single run from a
// previous result (tracking), which falls back to the starts when it fails.
//
// Reported: every parameter with its standard error from the Jacobian at the solution (in the
// original parameters, scaled by ssr/(2N - free)), a 95% interval from Student's t with
// 2N - free degrees of freedom, the reduced chi-square ssr/(2N - free) and ssr (both in the chosen
// weighting), the residual data - model at each frequency, and a warning for every parameter the
// data cannot determine (standard error larger than the value).
#pragma once

#include "Circuit.h"
#include "Weighting.h"
#include "data/Json.h"
#include "data/Spectrum.h"

#include <complex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct FitOptions {
    Weighting weighting = Weighting::Modulus;
    std::vector<std::pair<std::string, double>> fixed;   // held at the value
    std::vector<std::pair<std::string, double>> guess;   // start from the value
    // Warm start: one value per circuit parameter (a previous FitResult::values). A single run
    // from there (fixed values still hold, guesses give way); the multistart, with the guesses,
    // only when that run fails: it does not converge or leaves more than 5% (rms) of the
    // weighted data unexplained.
    // With leaveEdge, an exponent at the edge of its range is moved in by 1e-4 before the warm
    // run, so that it can leave the edge, and a warm result with an exponent at the edge is
    // compared with the multistart, which replaces it where lower; compareWithFresh compares
    // always. Without leaveEdge an exponent at the edge stays there (a quick warm run).
    const std::vector<double>* previous = nullptr;
    bool compareWithFresh = false;
    bool leaveEdge = true;
    int maxIterations = 1000;   // of each run taken to convergence
};

struct ParameterEstimate {
    std::string name;
    double value = 0.0;
    double stdError = 0.0;   // 0 for a fixed parameter; +inf when the data cannot determine it
    // 95% interval: t(0.975, dof) standard errors either side in the fitted variable (the
    // logarithm of a positive parameter, the logit of an exponent), mapped back, so that it
    // stays inside the parameter's range; stdError itself is in the parameter's own units.
    double ciLow = 0.0;
    double ciHigh = 0.0;
    bool fixed = false;
    bool undetermined = false;   // stdError > |value| (or not finite)
};

struct FitResult {
    std::vector<ParameterEstimate> parameters;   // one per circuit parameter, in circuit order
    std::vector<double> values;                  // the values alone (for a warm start)
    double ssr = 0.0;                            // weighted sum of squared residuals
    double chi2Reduced = 0.0;                    // ssr / degreesOfFreedom
    size_t points = 0;                           // frequencies
    int degreesOfFreedom = 0;                    // 2 * points - free parameters
    std::vector<std::complex<double>> residuals;   // data - model at each frequency, ohm
    std::vector<std::string> warnings;
    bool converged = false;
    Weighting weighting = Weighting::Modulus;
    int iterations = 0;   // of the run that produced the result
    int starts = 0;       // starting points tried
    bool warmStarted = false;   // the result came from the warm start (no fallback needed)
    bool exponentAtBound = false;   // a free exponent of the result sits at the edge of its range
};

// Checks the options against the circuit alone: names of --fix and --guess (unknown, or given
// twice), their values (a positive parameter > 0, an exponent in (0, 1]), a previous result's
// size and values. Returns false with `error` set.
bool CheckFitOptions(const Circuit& circuit, const FitOptions& options, std::string& error);

// Fits `circuit` to `spectrum`. False with `error` set for bad options (as CheckFitOptions), a
// spectrum with fewer real data (2 per frequency) than free parameters plus one, non-finite data,
// frequencies that are not positive, or a zero |Z| under a relative weighting. `result` may be
// reused from call to call (its storage is kept).
bool FitCircuit(const Circuit& circuit, const Spectrum& spectrum, const FitOptions& options,
                FitResult& result, std::string& error);

// {"circuit":..., "parameters":[{"name":..., "value":..., "stderr":..., "ci95":[lo,hi],
// "fixed":...}...], "chi2_reduced":..., "ssr":..., "points":..., then "dof", "weighting",
// "converged", "residuals":[[re,im]...], "warnings":[...] (JsonText writes it).
Json FitResultDocument(const Circuit& circuit, const FitResult& result);
// A readable report: parameter table with standard errors and intervals, reduced chi-square, the
// residual at each frequency of `spectrum` (the one fitted), warnings.
std::string FitResultText(const Circuit& circuit, const Spectrum& spectrum, const FitResult& result);

// Student's t quantile t(0.975, dof), cached for small dof.
double StudentT975(int degreesOfFreedom);
