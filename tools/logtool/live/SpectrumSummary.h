// A recording summed up by time, built as its spectra arrive, so that a trend over the whole
// recording is answered at once and a zoom reads only what it needs. Spectra go, in file order,
// into buckets of SummaryBucketSpectra consecutive spectra; every SummaryLevelRatio buckets of a
// level make one bucket of the next coarser one. A bucket keeps, per frequency, the mean, minimum
// and maximum of |Z| and of the phase (as logged) and the means of Z' and Z'' (from |Z| and the
// phase), its first and last count and the byte range of its rows. Buckets are stored as floats;
// everything is summed in double. The summary holds one measurement: a restart in the file (a new
// segment) starts it again, and what came before is only counted.
#pragma once

#include "KalvixCtrl.h"
#include "LogFollower.h"

#include <cstdint>
#include <memory>
#include <vector>

constexpr uint32_t SummaryBucketSpectra = 1024;   // a bucket of the finest level
constexpr uint32_t SummaryLevelRatio = 16;        // buckets of a level in one of the next
constexpr size_t SummaryLevels = 6;               // the coarsest holds 2^30 spectra a bucket
constexpr size_t SummaryChunkBuckets = 32;        // buckets are stored in blocks of this many

struct FrequencySummary {
    float modulusMean, modulusMin, modulusMax;
    float phaseMean, phaseMin, phaseMax;
    float realMean, imagMean;
};

struct SummaryBucket {
    uint64_t firstCount = 0, lastCount = 0;      // on the measurement's count axis
    uint64_t firstOffset = 0, endOffset = 0;     // the first row's first byte, past the last row's end
    uint32_t spectra = 0;
    FrequencySummary frequency[MeasurementFrequencyCount];
};

// A bucket being filled: sums in double.
struct FrequencyTotals {
    double modulusSum, modulusMin, modulusMax;
    double phaseSum, phaseMin, phaseMax;
    double realSum, imagSum;
};

struct BucketTotals {
    uint64_t firstCount = 0, lastCount = 0;
    uint64_t firstOffset = 0, endOffset = 0;
    uint64_t spectra = 0;
    FrequencyTotals frequency[MeasurementFrequencyCount];
};

struct SummaryLevel {
    std::vector<std::unique_ptr<SummaryBucket[]>> chunks;   // closed buckets, SummaryChunkBuckets a block
    size_t buckets = 0;
    BucketTotals open;   // spectra in no closed bucket of this level and in no open one of a finer level
};

struct SpectrumSummary {
    double period_s = 0.001;            // FrequencyDivider ms / 1000
    SummaryLevel levels[SummaryLevels];
    uint64_t spectra = 0;               // of this measurement
    uint64_t lost = 0;                  // spectra lost inside this measurement (its gaps)
    uint64_t gaps = 0;
    uint64_t segment = 0;               // the follower's segment this measurement is
    uint64_t lastOffset = 0;            // the last spectrum's row
    uint64_t lastCount = 0;
    uint64_t earlierSegments = 0;       // measurements before this one in the file
    uint64_t earlierSpectra = 0, earlierLost = 0;
};

// An empty summary for a log of this FrequencyDivider (ms; 0, a header without one, counts as 1).
SpectrumSummary MakeSpectrumSummary(int32_t divider);
// Adds the next row of the log. A row of a new segment starts the summary again.
void AddSpectrum(SpectrumSummary& summary, const FollowedRow& row);
// The bytes the summary holds, from its blocks and their capacity.
size_t SummaryBytes(const SpectrumSummary& summary);

double CountTime(const SpectrumSummary& summary, uint64_t count);

// Level `level` as a list of buckets: its closed ones, then (when any spectrum is in none of
// them) the bucket still being filled, made of the open totals of this level and all finer ones.
size_t LevelBuckets(const SpectrumSummary& summary, size_t level);
SummaryBucket LevelBucket(const SpectrumSummary& summary, size_t level, size_t index);
