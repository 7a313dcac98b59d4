// A synthetic recording of an object R0 + R1 || C1 at the device's 15 frequencies, written as the
// control panel writes its logs: for the log tool's benchmarks.
#pragma once

#include "KalvixCtrl.h"

#include <cstdint>
#include <random>
#include <string>

// The log's header block for this FrequencyDivider.
std::string SyntheticHeader(int divider);

struct SyntheticSpectra {
    std::mt19937_64 random{1};
    std::normal_distribution<double> noise;
    explicit SyntheticSpectra(double noisePpm) : noise(0.0, noisePpm * 1e-6) {}
};

// The spectrum of MeasCount `count` with this R1 (ohm).
SpectrumRecord SyntheticSpectrum(SyntheticSpectra& spectra, uint64_t count, double r1);
// Its row, CR LF ended, appended to `rows`.
void AppendSyntheticRow(std::string& rows, const SpectrumRecord& record);
