#include "SpectrumLookup.h"

#include "RowRange.h"

#include <fmt/format.h>

namespace {

// The spectrum of `count` among the rows in [from, to), the first of which has `firstCount`.
bool FindInRows(const std::string& path, uint64_t from, uint64_t to, uint64_t firstCount, uint64_t count,
                SpectrumRecord& record, std::string& error)
{
    bool found = false;
    if (!ReadCountedRows(
            path, from, to, firstCount,
            [&](const SpectrumRecord& row, uint64_t rowCount) {
                if (rowCount == count) {
                    record = row;
                    found = true;
                }
                return rowCount < count;
            },
            error))
        return false;
    if (!found)
        error = fmt::format("the spectrum of count {} was lost", count);
    return found;
}

} // namespace

bool ReadSpectrumAt(const std::string& path, const SpectrumSummary& summary, uint64_t count, SpectrumRecord& record,
                    std::string& error)
{
    const size_t buckets = LevelBuckets(summary, 0);
    if (buckets == 0) {
        error = "no spectrum yet";
        return false;
    }
    const SummaryBucket firstBucket = LevelBucket(summary, 0, 0);
    if (count < firstBucket.firstCount || count > summary.lastCount) {
        error = fmt::format("count {} is outside {} to {}", count, firstBucket.firstCount, summary.lastCount);
        return false;
    }
    size_t low = 0, high = buckets;   // the first bucket whose last count is at or after `count`
    while (low < high) {
        const size_t middle = (low + high) / 2;
        if (LevelBucket(summary, 0, middle).lastCount < count)
            low = middle + 1;
        else
            high = middle;
    }
    const SummaryBucket bucket = LevelBucket(summary, 0, low);
    if (count < bucket.firstCount) {
        error = fmt::format("the spectrum of count {} was lost", count);
        return false;
    }
    return FindInRows(path, bucket.firstOffset, bucket.endOffset, bucket.firstCount, count, record, error);
}

bool ReadLastSpectrum(const std::string& path, const SpectrumSummary& summary, SpectrumRecord& record,
                      std::string& error)
{
    if (summary.spectra == 0) {
        error = "no spectrum yet";
        return false;
    }
    const SummaryBucket bucket = LevelBucket(summary, 0, LevelBuckets(summary, 0) - 1);
    return FindInRows(path, summary.lastOffset, bucket.endOffset, summary.lastCount, summary.lastCount, record,
                      error);
}
