#include "SeriesThinning.h"

#include <algorithm>
#include <cmath>

ThinnedSeries::ThinnedSeries(size_t maxBuckets) : maxBuckets_(std::max<size_t>(maxBuckets, 2))
{
}

void ThinnedSeries::Add(const SeriesPoint& point)
{
    ++added_;
    if (!std::isfinite(point.value))
        return;
    if (buckets_.empty() || buckets_.back().count >= perBucket_) {
        if (buckets_.size() == maxBuckets_)
            MergePairs();
        if (buckets_.empty() || buckets_.back().count >= perBucket_) {
            buckets_.push_back({point, point, 1});
            return;
        }
    }
    Bucket& bucket = buckets_.back();
    if (point.value < bucket.low.value)
        bucket.low = point;
    if (point.value > bucket.high.value)
        bucket.high = point;
    ++bucket.count;
}

void ThinnedSeries::MergePairs()
{
    size_t kept = 0;
    for (size_t i = 0; i < buckets_.size(); i += 2) {
        Bucket merged = buckets_[i];
        if (i + 1 < buckets_.size()) {
            const Bucket& other = buckets_[i + 1];
            if (other.low.value < merged.low.value)
                merged.low = other.low;
            if (other.high.value > merged.high.value)
                merged.high = other.high;
            merged.count += other.count;
        }
        buckets_[kept++] = merged;
    }
    buckets_.resize(kept);
    perBucket_ *= 2;
}

std::vector<SeriesPoint> ThinnedSeries::Points() const
{
    std::vector<SeriesPoint> points;
    points.reserve(2 * buckets_.size());
    for (const Bucket& bucket : buckets_) {
        const bool lowFirst = bucket.low.time <= bucket.high.time;
        points.push_back(lowFirst ? bucket.low : bucket.high);
        if (bucket.count > 1 && bucket.low.time != bucket.high.time)
            points.push_back(lowFirst ? bucket.high : bucket.low);
    }
    return points;
}
