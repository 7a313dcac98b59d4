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
// R_k is negative, minus infinity when every R_k is). Every M is tried from 1 up to maxM or the
// most the data can carry (fewer free parameters than equations in every linear fit of the
// mode: Real and Imag M <= N - 2, Complex M <= 2N - 3, N frequencies). M is the first whose mu is
// at or below c and whose fit follows the data within the threshold (up to N - 2 elements in
// every mode): on few frequencies mu dips below c at element counts whose time constants merely
// straddle the data's, long before the fit follows it, and such a dip does not end the search.
// When no M does both, M is the first after which no mu rises above c again, and its residuals
// give the verdict.
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

struct KkOptions {
    double c = 0.85;           // mu limit, 0..1
    KkFitMode mode = KkFitMode::Real;
    double threshold = 0.01;   // largest |residual| of a valid spectrum, as a fraction of |Z|
    int maxM = 50;             // most RC elements tried
    int fixedM = 0;            // when above 0: exactly this many elements, no mu rule
};

struct KkResult {
    KkFitMode mode = KkFitMode::Real;     // the options the test ran with
    double c = 0.85;
    double threshold = 0.01;
    int M = 0;                            // RC elements of the final fit
    double mu = 1;                        // mu of the final fit
    std::vector<double> muTried;          // mu of every M tried, from M = 1 (fixedM: just it)
    bool valid = false;
    std::vector<double> frequency;        // Hz, in the spectrum's order
    std::vector<double> residualsReal;    // (Z' - Zfit')/|Z|, one per frequency, same order
    std::vector<double> residualsImag;    // (Z'' - Zfit'')/|Z|
    double r0 = 0;                        // ohm
    double inductance = 0;                // henry
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

// "real", "imag", "complex"; false for anything else.
bool ParseKkFitMode(std::string_view text, KkFitMode& mode);
const char* KkFitModeName(KkFitMode mode);
