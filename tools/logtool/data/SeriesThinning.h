// A value against time kept in bounded memory, however long the recording: the points are
// gathered into buckets of consecutive points, each remembering its lowest and its highest point,
// and two neighbouring buckets merge whenever there are too many. Drawn, the kept points show
// every peak and every dip of the whole series.
#pragma once

#include <cstddef>
#include <vector>

struct SeriesPoint {
    double time = 0, value = 0, error = 0;
};

class ThinnedSeries {
public:
    explicit ThinnedSeries(size_t maxBuckets = 1 << 15);
    void Add(const SeriesPoint& point);
    // The kept points in time order: every point while few were added, else each bucket's
    // lowest and highest.
    std::vector<SeriesPoint> Points() const;
    size_t Added() const { return added_; }

private:
    struct Bucket {
        SeriesPoint low, high;
        size_t count = 0;
    };
    void MergePairs();

    size_t maxBuckets_;
    size_t perBucket_ = 1;   // points a full bucket holds
    size_t added_ = 0;
    std::vector<Bucket> buckets_;
};
