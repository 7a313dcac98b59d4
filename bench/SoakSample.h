// One sample of the soak run: what the process holds and has done at one moment. A count that
// could not be had is empty and written "n/a".
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

struct SoakSample {
    double elapsedSeconds = 0;
    uint64_t workingSet = 0, privateBytes = 0;
    std::optional<long> handles, gdiObjects, userObjects;
    std::optional<double> processCpuPercent, windowThreadCpuPercent;   // over the interval before
    uint64_t spectraHandled = 0, spectraLost = 0, logBytes = 0;
};

// The CSV's row of column names, and a sample's row; both flushed at once.
void WriteSoakHeader(FILE* csv);
void WriteSoakRow(FILE* csv, const SoakSample& sample);

// The summary after the first minute: spectra lost, memory growth, handle and object ranges.
void PrintSoakSummary(FILE* out, const std::vector<SoakSample>& samples);
