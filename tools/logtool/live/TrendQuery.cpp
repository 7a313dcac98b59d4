#include "TrendQuery.h"

#include "RowRange.h"
#include "data/Spectrum.h"

#include <algorithm>
#include <limits>

namespace {

// The buckets of a level whose spectra lie in [from_s, to_s] in part or whole: [first, end).
struct BucketSpan {
    size_t first = 0, end = 0;
};

BucketSpan SpanBuckets(const SpectrumSummary& summary, size_t level, double from_s, double to_s)
{
    const size_t buckets = LevelBuckets(summary, level);
    size_t low = 0, high = buckets;   // the first bucket whose last spectrum is at or after from_s
    while (low < high) {
        const size_t middle = (low + high) / 2;
        if (CountTime(summary, LevelBucket(summary, level, middle).lastCount) < from_s)
            low = middle + 1;
        else
            high = middle;
    }
    BucketSpan span{low, low};
    high = buckets;   // the first bucket whose first spectrum is after to_s
    while (low < high) {
        const size_t middle = (low + high) / 2;
        if (CountTime(summary, LevelBucket(summary, level, middle).firstCount) <= to_s)
            low = middle + 1;
        else
            high = middle;
    }
    span.end = std::max(span.first, low);
    return span;
}

// Points made of `group` buckets each, aligned on bucket numbers.
size_t GroupCount(const BucketSpan& span, size_t group)
{
    return span.end == span.first ? 0 : (span.end - 1) / group - span.first / group + 1;
}

size_t SmallestGroup(const BucketSpan& span, size_t mostPoints)
{
    size_t group = std::max<size_t>(1, (span.end - span.first + mostPoints - 1) / mostPoints);
    while (GroupCount(span, group) > mostPoints)
        ++group;
    return group;
}

struct BucketValue {
    double mean, min, max;
};

BucketValue ValueOf(const SummaryBucket& bucket, TrendQuantity quantity, size_t frequency)
{
    const FrequencySummary& f = bucket.frequency[frequency];
    switch (quantity) {
    case TrendQuantity::Modulus: return {f.modulusMean, f.modulusMin, f.modulusMax};
    case TrendQuantity::Phase: return {f.phaseMean, f.phaseMin, f.phaseMax};
    case TrendQuantity::Real: return {f.realMean, f.realMean, f.realMean};
    case TrendQuantity::Imag: return {f.imagMean, f.imagMean, f.imagMean};
    }
    return {};
}

// Adds one value (a spectrum's, or a bucket's of `spectra` spectra) to a point being made.
void AddToPoint(TrendPoint& point, double sum, double min, double max, uint64_t spectra, double first_s,
                double last_s)
{
    if (point.spectra == 0) {
        point.first_s = first_s;
        point.min = min;
        point.max = max;
    }
    point.last_s = last_s;
    point.mean += sum;   // a sum until FinishPoint
    point.min = std::min(point.min, min);
    point.max = std::max(point.max, max);
    point.spectra += spectra;
}

void FinishPoint(std::vector<TrendPoint>& points, TrendPoint& point)
{
    if (point.spectra == 0)
        return;
    point.mean /= static_cast<double>(point.spectra);
    point.time_s = (point.first_s + point.last_s) / 2;
    points.push_back(point);
    point = TrendPoint();
}

std::vector<TrendPoint> BucketPoints(const SpectrumSummary& summary, const TrendRequest& request, size_t level,
                                     const BucketSpan& span, size_t group)
{
    std::vector<TrendPoint> points;
    TrendPoint point;
    for (size_t index = span.first; index < span.end; ++index) {
        if (index != span.first && index % group == 0)
            FinishPoint(points, point);
        const SummaryBucket bucket = LevelBucket(summary, level, index);
        const BucketValue value = ValueOf(bucket, request.quantity, request.frequency);
        AddToPoint(point, value.mean * bucket.spectra, value.min, value.max, bucket.spectra,
                   CountTime(summary, bucket.firstCount), CountTime(summary, bucket.lastCount));
    }
    FinishPoint(points, point);
    return points;
}

} // namespace

double SpectrumQuantity(const SpectrumRecord& record, TrendQuantity quantity, size_t frequency)
{
    switch (quantity) {
    case TrendQuantity::Modulus: return record.Module[frequency];
    case TrendQuantity::Phase: return record.Phase[frequency];
    case TrendQuantity::Real: return ImpedanceFromPolar(record.Module[frequency], record.Phase[frequency]).real();
    case TrendQuantity::Imag: return ImpedanceFromPolar(record.Module[frequency], record.Phase[frequency]).imag();
    }
    return 0;
}

TrendAnswer QueryTrend(const SpectrumSummary& summary, const TrendRequest& request)
{
    TrendAnswer answer;
    if (request.frequency >= MeasurementFrequencyCount)
        return answer;
    const size_t mostPoints = std::max<size_t>(request.mostPoints, 1);
    for (size_t level = 0; level < SummaryLevels; ++level) {
        const BucketSpan span = SpanBuckets(summary, level, request.from_s, request.to_s);
        if (span.end == span.first)
            return answer;
        if (level == 0 && span.end - span.first < mostPoints &&
            (span.end - span.first) * uint64_t{SummaryBucketSpectra} <= TrendRowsMostSpectra + SummaryBucketSpectra) {
            uint64_t spectra = 0;
            for (size_t index = span.first; index < span.end; ++index)
                spectra += LevelBucket(summary, 0, index).spectra;
            if (spectra <= TrendRowsMostSpectra) {
                const SummaryBucket first = LevelBucket(summary, 0, span.first);
                answer.fromRows = true;
                answer.rowsFrom = first.firstOffset;
                answer.rowsTo = LevelBucket(summary, 0, span.end - 1).endOffset;
                answer.rowsFirstCount = first.firstCount;
                return answer;
            }
        }
        const size_t group = SmallestGroup(span, mostPoints);
        if (group < SummaryLevelRatio || level + 1 == SummaryLevels) {
            answer.level = level;
            answer.bucketsPerPoint = group;
            answer.points = BucketPoints(summary, request, level, span, group);
            return answer;
        }
    }
    return answer;
}

bool TrendFromRows(const std::string& path, const SpectrumSummary& summary, const TrendRequest& request,
                   const TrendAnswer& answer, std::vector<TrendPoint>& points, std::string& error)
{
    points.clear();
    if (request.frequency >= MeasurementFrequencyCount) {
        error = "frequency " + std::to_string(request.frequency + 1) + ": a spectrum has " +
                std::to_string(MeasurementFrequencyCount);
        return false;
    }
    struct Value {
        double time_s, value;
    };
    std::vector<Value> values;
    const bool read = ReadCountedRows(
        path, answer.rowsFrom, answer.rowsTo, answer.rowsFirstCount,
        [&](const SpectrumRecord& record, uint64_t count) {
            const double time_s = CountTime(summary, count);
            if (time_s >= request.from_s && time_s <= request.to_s)
                values.push_back({time_s, SpectrumQuantity(record, request.quantity, request.frequency)});
            return values.size() <= TrendRowsMostSpectra;
        },
        error);
    if (!read)
        return false;
    const size_t group = std::max<size_t>(1, (values.size() + request.mostPoints - 1) / std::max<size_t>(request.mostPoints, 1));
    TrendPoint point;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i % group == 0)
            FinishPoint(points, point);
        AddToPoint(point, values[i].value, values[i].value, values[i].value, 1, values[i].time_s, values[i].time_s);
    }
    FinishPoint(points, point);
    return true;
}
