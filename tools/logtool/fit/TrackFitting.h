// Fitting a whole recording in order: every spectrum started from the result of the one before
// it, so that two similar elements keep their identity from one spectrum to the next, spread
// over several threads. The spectra come in chunks; the first of each chunk is fitted on the
// calling thread, started from the first of the chunk before (a chain one chunk long per step),
// and the rest of the chunk on a worker, each from its predecessor. Results are handed back in
// the order of the spectra, on the calling thread; at most a few chunks are in memory at once.
// A chain is checked against a fresh multistart of the same spectrum (which replaces the warm
// result where it is lower, and so restarts the chain from there): at the first spectrum of every
// chunk; where the warm fit's reduced chi-square jumps to more than JumpFactor times the one
// before; and every so many spectra, an interval that starts at FirstCheckInterval, doubles after
// every check the warm result passes, up to LastCheckInterval, and starts over after one it fails.
#pragma once

#include "Circuit.h"
#include "Fit.h"
#include "data/Spectrum.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TrackItem {
    Spectrum spectrum;
    uint64_t spectra = 1;   // how many spectra it is the mean of
};

struct TrackOutcome {
    bool fitted = false;    // false: `error` tells why this spectrum could not be fitted
    std::string error;
    FitResult fit;
};

struct TrackSettings {
    size_t chunkSize = 256;
    unsigned threads = 0;   // workers; 0: one per core
};

// Noise alone makes one spectrum's reduced chi-square twice the last's in about one pair in 25 at
// the device's 15 frequencies (an F ratio of some 26 degrees of freedom each), four times in about
// one in 2500; a chain fallen into a worse minimum leaves many times more.
constexpr double JumpFactor = 4.0;
constexpr double JumpFloor = 1e-6;   // relative rms misfit under which no jump counts (rounding)
constexpr size_t FirstCheckInterval = 1;
constexpr size_t LastCheckInterval = 256;

// Where a chain's next fit starts, and when it is next checked against a fresh start.
struct FitChain {
    std::vector<double> start;   // the last good result; empty: the next fit starts fresh
    double chi2Reduced = 0.0;    // that result's
    size_t sinceCheck = 0;       // good fits since the last check
    size_t checkInterval = FirstCheckInterval;
    bool atBound = false;        // that result has an exponent at the edge of its range
};

// One fit of a chain: started from `chain.start` when it holds values (else from the multistart,
// with the options' own warm start ignored), checked against a fresh start where due (above, or
// when the options ask); the chain moves on to the result when the fit succeeds.
void FitInChain(const Circuit& circuit, const FitOptions& options, const Spectrum& spectrum, FitChain& chain,
                TrackOutcome& outcome);

// Calls `next` until it returns false, fits every item it filled in, and calls `take` with each
// item and its outcome in order. `take` runs on the calling thread.
void RunTrack(const Circuit& circuit, const FitOptions& options, const TrackSettings& settings,
              const std::function<bool(TrackItem&)>& next,
              const std::function<void(const TrackItem&, const TrackOutcome&)>& take);
