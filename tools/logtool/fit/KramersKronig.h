// The linear Kramers-Kronig validity test of one spectrum (Schönleber et al., Electrochimica Acta
// 131 (2014) 20-27): a chain of RC elements with fixed time constants, fitted linearly, whose
// residuals show whether the spectrum is causal, linear and stable.
//
// Model: Z(w) = R0 + jwL + sum_k R_k / (1 + jw tau_k), k = 1..M. The tau_k run log-spaced from
// 1/(2 pi f_max) to 1/(2 pi f_min); a single element (M = 1) sits in the middle of that window on
// the log scale, tau = 1/(2 pi sqrt(f_min f_max)). Every row is weighted by 1/|Z|.
//
// mu = 1 - sum(|R_k| for R_k < 0) / sum(R_k for R_k >= 0) measures overfitting: near 1 while
// the elements are too few to follow the data, it falls once they follow its noise (1 when no
// R_k is negative, minus infinity when every R_k is). mu is tried for every M from 1 up to maxM or
// the most the data can carry (fewer free parameters than equations in every linear fit of the
// mode: Real and Imag M <= N - 2, Complex M <= 2N - 3, N frequencies). Three rules choose M, none
// of them by the verdict's threshold:
// - LeastMisfit (the default): M is the count up to N - 2 whose fit leaves the least sum of squared
//   weighted residuals of Z' and Z'' together. Fitted to one part, the model predicts the other:
//   elements beyond those the data carry follow the fitted part's noise and the predicted part
//   grows worse, so the least misfit lies where the model follows the data and no further; a
//   spectrum that is not valid is left with residuals however M is chosen. Fitted to both parts
//   (Complex) the misfit only falls with M, and this rule takes the settled rule's M.
// - Settled: M is the first count after which no mu up to N - 2 elements rises above
//   c again. On few frequencies mu dips below c at counts whose time constants merely straddle the
//   data's and rises again; such a dip does not end the search, and a fit that already follows
//   the data does not grow further.
// - Schoenleber: the paper's rule, M is the first count from 1 whose mu is at or below c (the most
//   tried when none is).
// fixedM above 0 takes exactly that many elements.
//
// A series capacitance, C in Z = ... + 1/(jwC), joins the model when asked for (Always), or (Auto)
// when the spectrum's low-frequency tail is capacitive: -Z'' rising towards the lowest frequency at
// least as fast as f^-0.4 over its three lowest frequencies. Under the paper's rule Auto adds none,
// so that its result is the paper's. Its 1/C is fitted with the inductance.
//
// The spectrum passes (valid) when every real and imaginary residual (Z - Zfit)/|Z| is smaller in
// magnitude than the threshold. tooFewPoints flags a spectrum too sparse for the verdict to carry
// much weight: fewer than 2 frequencies per decade of its span, or M stopped by the number of
// frequencies (not by maxM) before mu came down to c; `note` then says which.
#pragma once

#include "data/Spectrum.h"

#include <string>
#include <string_view>
#include <vector>

// What the resistances are fitted to. Real: R0 and R_k to Z', then L alone to what remains of Z''
// once the RC elements' Z'' is taken away. Imag: R_k and L to Z'', then R0 alone to what remains
// of Z'. Complex: all of them to Z' and Z'' together.
enum class KkFitMode { Real, Imag, Complex };

// How M is chosen (see above).
enum class KkRule { LeastMisfit, Settled, Schoenleber };

// Whether a series capacitance joins the model: when the data's tail is capacitive, always, never.
enum class KkCapacitance { Auto, Always, Never };

struct KkOptions {
    double c = 0.85;           // mu limit, 0..1
    KkFitMode mode = KkFitMode::Real;
    double threshold = 0.01;   // largest |residual| of a valid spectrum, as a fraction of |Z|
    int maxM = 50;             // most RC elements tried
    int fixedM = 0;            // when above 0: exactly this many elements, no mu rule
    KkRule rule = KkRule::LeastMisfit;
    KkCapacitance capacitance = KkCapacitance::Auto;
};

struct KkResult {
    KkFitMode mode = KkFitMode::Real;     // the options the test ran with
    double c = 0.85;
    double threshold = 0.01;
    KkRule rule = KkRule::LeastMisfit;
    int M = 0;                            // RC elements of the final fit
    double mu = 1;                        // mu of the final fit
    std::vector<double> muTried;          // mu of every M tried, from M = 1 (fixedM: just it)
    bool valid = false;
    std::vector<double> frequency;        // Hz, in the spectrum's order
    std::vector<double> residualsReal;    // (Z' - Zfit')/|Z|, one per frequency, same order
    std::vector<double> residualsImag;    // (Z'' - Zfit'')/|Z|
    double r0 = 0;                        // ohm
    double inductance = 0;                // henry
    bool withCapacitance = false;         // a series capacitance was part of the model
    double capacitance = 0;               // farad, when withCapacitance (infinite for 1/C = 0)
    std::vector<double> resistances;      // R_k in ohm, M of them
    std::vector<double> tau;              // tau_k in s, ascending
    bool tooFewPoints = false;
    bool limitedByPoints = false;         // M stopped by the number of frequencies
    std::string note;                     // empty, or why the verdict carries little weight
};

// Runs the test. False, with `error` saying why and `result` untouched, for fewer than 3
// frequencies, a frequency that is not finite and above 0 or that appears twice, an impedance
// that is not finite or is 0, frequency and impedance counts that differ, or options out of
// range. The frequencies may come in any order.
bool RunKramersKronig(const Spectrum& spectrum, const KkOptions& options, KkResult& result,
                      std::string& error);

// The most RC elements N frequencies carry in the mode: N - 2 for Real and Imag, 2N - 3 for
// Complex (0 when N < 3).
int KkMostElements(size_t frequencies, KkFitMode mode);

// What a rule chooses M from: mu and the misfit (sum of squared weighted residuals of Z' and Z'')
// of every M tried from 1, c, and how many counts the least-misfit and settled rules search
// (N - 2, fewer when fewer were tried).
struct KkCurves {
    const std::vector<double>& mu;
    const std::vector<double>& misfit;
    double c = 0.85;
    int searched = 0;
};

// The M the rule takes from the curves (see above); 0 when nothing was tried.
int KkChosenCount(KkRule rule, KkFitMode mode, const KkCurves& curves);

// "least-misfit", "settled", "schoenleber"; false for anything else.
bool ParseKkRule(std::string_view text, KkRule& rule);
const char* KkRuleName(KkRule rule);

// Whether the spectrum's low-frequency tail is capacitive (see above); false below 3 frequencies.
bool HasCapacitiveTail(const Spectrum& spectrum);

// "real", "imag", "complex"; false for anything else.
bool ParseKkFitMode(std::string_view text, KkFitMode& mode);
const char* KkFitModeName(KkFitMode mode);
