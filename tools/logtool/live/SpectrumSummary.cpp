#include "SpectrumSummary.h"

#include "data/Spectrum.h"

#include <algorithm>

namespace {

void AddToTotals(BucketTotals& totals, const FollowedRow& row)
{
    if (totals.spectra == 0) {
        totals.firstCount = row.count;
        totals.firstOffset = row.offset;
    }
    totals.lastCount = row.count;
    totals.endOffset = row.end;
    for (size_t k = 0; k < MeasurementFrequencyCount; ++k) {
        const double modulus = row.record.Module[k], phase = row.record.Phase[k];
        const std::complex<double> z = ImpedanceFromPolar(modulus, phase);
        FrequencyTotals& f = totals.frequency[k];
        if (totals.spectra == 0) {
            f = {modulus, modulus, modulus, phase, phase, phase, z.real(), z.imag()};
            continue;
        }
        f.modulusSum += modulus;
        f.modulusMin = std::min(f.modulusMin, modulus);
        f.modulusMax = std::max(f.modulusMax, modulus);
        f.phaseSum += phase;
        f.phaseMin = std::min(f.phaseMin, phase);
        f.phaseMax = std::max(f.phaseMax, phase);
        f.realSum += z.real();
        f.imagSum += z.imag();
    }
    ++totals.spectra;
}

// `later` follows `totals` in file order.
void MergeTotals(BucketTotals& totals, const BucketTotals& later)
{
    if (later.spectra == 0)
        return;
    if (totals.spectra == 0) {
        totals = later;
        return;
    }
    totals.lastCount = later.lastCount;
    totals.endOffset = later.endOffset;
    totals.spectra += later.spectra;
    for (size_t k = 0; k < MeasurementFrequencyCount; ++k) {
        FrequencyTotals& f = totals.frequency[k];
        const FrequencyTotals& g = later.frequency[k];
        f.modulusSum += g.modulusSum;
        f.modulusMin = std::min(f.modulusMin, g.modulusMin);
        f.modulusMax = std::max(f.modulusMax, g.modulusMax);
        f.phaseSum += g.phaseSum;
        f.phaseMin = std::min(f.phaseMin, g.phaseMin);
        f.phaseMax = std::max(f.phaseMax, g.phaseMax);
        f.realSum += g.realSum;
        f.imagSum += g.imagSum;
    }
}

SummaryBucket CloseTotals(const BucketTotals& totals)
{
    SummaryBucket bucket;
    bucket.firstCount = totals.firstCount;
    bucket.lastCount = totals.lastCount;
    bucket.firstOffset = totals.firstOffset;
    bucket.endOffset = totals.endOffset;
    bucket.spectra = static_cast<uint32_t>(totals.spectra);
    const double n = static_cast<double>(std::max<uint64_t>(totals.spectra, 1));
    for (size_t k = 0; k < MeasurementFrequencyCount; ++k) {
        const FrequencyTotals& f = totals.frequency[k];
        bucket.frequency[k] = {static_cast<float>(f.modulusSum / n), static_cast<float>(f.modulusMin),
                               static_cast<float>(f.modulusMax), static_cast<float>(f.phaseSum / n),
                               static_cast<float>(f.phaseMin),   static_cast<float>(f.phaseMax),
                               static_cast<float>(f.realSum / n), static_cast<float>(f.imagSum / n)};
    }
    return bucket;
}

void StoreBucket(SummaryLevel& level, const SummaryBucket& bucket)
{
    if (level.buckets % SummaryChunkBuckets == 0)
        level.chunks.push_back(std::make_unique<SummaryBucket[]>(SummaryChunkBuckets));
    level.chunks.back()[level.buckets % SummaryChunkBuckets] = bucket;
    ++level.buckets;
}

uint64_t LevelSpectra(size_t level)
{
    uint64_t spectra = SummaryBucketSpectra;
    for (size_t i = 0; i < level; ++i)
        spectra *= SummaryLevelRatio;
    return spectra;
}

// Closes the open bucket of `level` when full, passing it up; the coarsest level only stores.
void CloseFullBuckets(SpectrumSummary& summary, size_t level)
{
    for (; level < SummaryLevels; ++level) {
        SummaryLevel& here = summary.levels[level];
        if (here.open.spectra < LevelSpectra(level))
            return;
        StoreBucket(here, CloseTotals(here.open));
        if (level + 1 < SummaryLevels)
            MergeTotals(summary.levels[level + 1].open, here.open);
        here.open.spectra = 0;
    }
}

} // namespace

SpectrumSummary MakeSpectrumSummary(int32_t divider)
{
    SpectrumSummary summary;
    summary.period_s = std::max(divider, 1) / 1000.0;
    return summary;
}

void AddSpectrum(SpectrumSummary& summary, const FollowedRow& row)
{
    if (row.segment != summary.segment && summary.spectra + summary.earlierSpectra > 0) {
        SpectrumSummary next = MakeSpectrumSummary(1);
        next.period_s = summary.period_s;
        next.earlierSegments = summary.earlierSegments + (row.segment - summary.segment);
        next.earlierSpectra = summary.earlierSpectra + summary.spectra;
        next.earlierLost = summary.earlierLost + summary.lost;
        summary = std::move(next);
    }
    summary.segment = row.segment;
    if (summary.spectra > 0 && row.lost > 0) {
        summary.lost += row.lost;
        ++summary.gaps;
    }
    ++summary.spectra;
    summary.lastOffset = row.offset;
    summary.lastCount = row.count;
    AddToTotals(summary.levels[0].open, row);
    CloseFullBuckets(summary, 0);
}

size_t SummaryBytes(const SpectrumSummary& summary)
{
    size_t bytes = sizeof summary;
    for (const SummaryLevel& level : summary.levels)
        bytes += level.chunks.capacity() * sizeof(level.chunks[0]) +
                 level.chunks.size() * SummaryChunkBuckets * sizeof(SummaryBucket);
    return bytes;
}

double CountTime(const SpectrumSummary& summary, uint64_t count)
{
    return static_cast<double>(count) * summary.period_s;
}

size_t LevelBuckets(const SpectrumSummary& summary, size_t level)
{
    bool open = false;
    for (size_t finer = 0; finer <= level; ++finer)
        open = open || summary.levels[finer].open.spectra > 0;
    return summary.levels[level].buckets + (open ? 1 : 0);
}

SummaryBucket LevelBucket(const SpectrumSummary& summary, size_t level, size_t index)
{
    const SummaryLevel& here = summary.levels[level];
    if (index < here.buckets)
        return here.chunks[index / SummaryChunkBuckets][index % SummaryChunkBuckets];
    BucketTotals tail = here.open;
    for (size_t finer = level; finer-- > 0;)
        MergeTotals(tail, summary.levels[finer].open);
    return CloseTotals(tail);
}
