// Fewer spectra from a stream of them: every Nth (the first, the N+1st, ...) or the complex mean
// of each block of N consecutive spectra, a last, shorter block included. The csv and track
// commands thin a recording this way, and the mean of a whole range is one block without end.
#pragma once

#include "Spectrum.h"

#include <cstdint>

struct ThinningSettings {
    uint64_t every = 1;    // keep one spectrum in `every`
    uint64_t meanOf = 0;   // 0: no means; else the mean of each block of this many
};

// One spectrum the thinning gives: a kept spectrum, or a block's mean with the MeasCount and
// line of the block's first spectrum.
struct ThinnedSpectrum {
    Spectrum spectrum;
    uint64_t spectra = 0;          // how many went into it
    uint64_t lastMeasCount = 0;    // MeasCount of the last of them
};

class SpectrumThinning {
public:
    explicit SpectrumThinning(ThinningSettings settings);

    enum class Step {
        Skipped,    // left out (--every)
        Started,    // kept: the first (or only) spectrum of what Take() gives next
        Added,      // went into the block already started
    };
    // The next spectrum of the stream; once Ready(), Take() comes before the next Offer.
    Step Offer(const Spectrum& spectrum);
    // True when a kept spectrum or a full block waits for Take().
    bool Ready() const { return ready_; }
    // True after the last Offer when a shorter block is left; it becomes Ready.
    bool FinishLastBlock();
    ThinnedSpectrum Take();

private:
    ThinningSettings settings_;
    uint64_t offered_ = 0;
    bool ready_ = false;
    ThinnedSpectrum current_;
};
