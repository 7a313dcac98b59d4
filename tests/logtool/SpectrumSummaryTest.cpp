// The summary by time of a followed log: every bucket of every level and every trend point equal
// to a direct computation over the same spectra, the spectrum lookup, gaps, restarts and the
// summary's memory for an hour.
#include "TestLogs.h"
#include "data/Spectrum.h"
#include "live/LogFollower.h"
#include "live/RowRange.h"
#include "live/SpectrumLookup.h"
#include "live/TrendQuery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

namespace {

constexpr uint32_t GapEvery = 97;   // MeasCount 96, 193, ... are lost

// A record whose values vary from spectrum to spectrum and frequency to frequency without a pattern
// that lines up with the buckets.
SpectrumRecord VariedRecord(uint32_t count)
{
    SpectrumRecord record = MakeTestRecord(count);
    for (uint32_t k = 0; k < 15; ++k) {
        const uint32_t hash = (count * 2654435761u) ^ (k * 40503u);
        record.Module[k] = 50.0f + static_cast<float>(hash % 100000) * 0.01f + k * 10.0f;
        record.Phase[k] = -90.0f + static_cast<float>((hash >> 7) % 18000) * 0.01f;
    }
    return record;
}

struct Recording {
    std::string path;
    std::vector<FollowedRow> rows;
    SpectrumSummary summary;
};

// 50,000 spectra at divider 2 with one lost in every GapEvery, followed and summed up once.
const Recording& TestRecording()
{
    static const Recording recording = [] {
        std::vector<SpectrumRecord> records;
        for (uint32_t count = 0; records.size() < 50000; ++count)
            if (count % GapEvery != GapEvery - 1)
                records.push_back(VariedRecord(count));
        Recording made;
        made.path = Utf8Path(WriteScratchFile("summary-recording.txt", TestLogText(records, 2)));
        LogFollower follower = StartFollowing(made.path);
        made.summary = MakeSpectrumSummary(2);
        FollowPoll poll;
        do {
            PollLog(follower, poll);
            for (const FollowedRow& row : poll.rows) {
                made.rows.push_back(row);
                AddSpectrum(made.summary, row);
            }
        } while (!poll.caughtUp && poll.state == FollowState::Following);
        return made;
    }();
    return recording;
}

struct Direct {
    double mean = 0, min = std::numeric_limits<double>::infinity(), max = -std::numeric_limits<double>::infinity();
    uint64_t spectra = 0;
};

// Mean, min and max of a quantity over the rows whose time lies in [from_s, to_s].
Direct DirectOver(const Recording& recording, TrendQuantity quantity, size_t frequency, double from_s, double to_s)
{
    Direct direct;
    for (const FollowedRow& row : recording.rows) {
        const double time_s = CountTime(recording.summary, row.count);
        if (time_s < from_s || time_s > to_s)
            continue;
        const double value = SpectrumQuantity(row.record, quantity, frequency);
        direct.mean += value;
        direct.min = std::min(direct.min, value);
        direct.max = std::max(direct.max, value);
        ++direct.spectra;
    }
    if (direct.spectra)
        direct.mean /= static_cast<double>(direct.spectra);
    return direct;
}

// Floats are kept: a relative difference of a few float steps is allowed.
void ExpectNear(double actual, double expected, const std::string& where)
{
    EXPECT_NEAR(actual, expected, 1e-6 * std::max(1.0, std::abs(expected)) + 1e-4) << where;
}

constexpr TrendQuantity Quantities[] = {TrendQuantity::Modulus, TrendQuantity::Phase, TrendQuantity::Real,
                                        TrendQuantity::Imag};

bool HasRange(TrendQuantity quantity)
{
    return quantity == TrendQuantity::Modulus || quantity == TrendQuantity::Phase;
}

} // namespace

TEST(SpectrumSummary, EveryBucketOfEveryLevelHoldsTheSpectraInIt)
{
    const Recording& recording = TestRecording();
    ASSERT_EQ(recording.rows.size(), 50000u);
    const SpectrumSummary& summary = recording.summary;
    for (size_t level = 0; level < 3; ++level) {
        uint64_t spectra = 0;
        size_t rowIndex = 0;
        for (size_t index = 0; index < LevelBuckets(summary, level); ++index) {
            const SummaryBucket bucket = LevelBucket(summary, level, index);
            const std::string where = "level " + std::to_string(level) + ", bucket " + std::to_string(index);
            const bool closed = index < summary.levels[level].buckets;
            if (closed)
                EXPECT_EQ(bucket.spectra, SummaryBucketSpectra * std::pow(SummaryLevelRatio, level)) << where;
            EXPECT_EQ(bucket.firstCount, recording.rows[rowIndex].count) << where;
            EXPECT_EQ(bucket.firstOffset, recording.rows[rowIndex].offset) << where;
            rowIndex += bucket.spectra;
            EXPECT_EQ(bucket.lastCount, recording.rows[rowIndex - 1].count) << where;
            EXPECT_EQ(bucket.endOffset, recording.rows[rowIndex - 1].end) << where;
            spectra += bucket.spectra;
            const double from_s = CountTime(summary, bucket.firstCount), to_s = CountTime(summary, bucket.lastCount);
            for (size_t k : {size_t{0}, size_t{7}, size_t{14}}) {
                const FrequencySummary& f = bucket.frequency[k];
                const Direct modulus = DirectOver(recording, TrendQuantity::Modulus, k, from_s, to_s);
                const Direct phase = DirectOver(recording, TrendQuantity::Phase, k, from_s, to_s);
                const Direct real = DirectOver(recording, TrendQuantity::Real, k, from_s, to_s);
                const Direct imag = DirectOver(recording, TrendQuantity::Imag, k, from_s, to_s);
                EXPECT_EQ(modulus.spectra, bucket.spectra) << where;
                ExpectNear(f.modulusMean, modulus.mean, where + ", |Z| mean");
                EXPECT_EQ(f.modulusMin, static_cast<float>(modulus.min)) << where;
                EXPECT_EQ(f.modulusMax, static_cast<float>(modulus.max)) << where;
                ExpectNear(f.phaseMean, phase.mean, where + ", phase mean");
                EXPECT_EQ(f.phaseMin, static_cast<float>(phase.min)) << where;
                EXPECT_EQ(f.phaseMax, static_cast<float>(phase.max)) << where;
                ExpectNear(f.realMean, real.mean, where + ", Z' mean");
                ExpectNear(f.imagMean, imag.mean, where + ", Z'' mean");
            }
        }
        EXPECT_EQ(spectra, 50000u) << "level " << level;
    }
    EXPECT_EQ(summary.spectra, 50000u);
    EXPECT_EQ(summary.lastOffset, recording.rows.back().offset);
}

TEST(SpectrumSummary, CountsTheLostSpectra)
{
    const Recording& recording = TestRecording();
    const uint64_t lastCount = recording.rows.back().count;
    EXPECT_EQ(recording.summary.lost, (lastCount + 1) - 50000);
    EXPECT_EQ(recording.summary.gaps, recording.summary.lost);   // one at a time
    EXPECT_EQ(recording.summary.lost, lastCount / GapEvery);
}

TEST(SpectrumSummary, TrendPointsAreExactOverWholeBucketsForAnySpan)
{
    const Recording& recording = TestRecording();
    const double end_s = CountTime(recording.summary, recording.rows.back().count);
    struct Case {
        double from_s, to_s;
        size_t mostPoints;
        size_t level, bucketsPerPoint;   // the level the points must come from
    };
    const Case cases[] = {
        {0, end_s, 2000, 0, 1},           {-10, end_s + 10, 48, 0, 2}, {0, end_s, 10, 0, 5},
        {0, end_s, 3, 1, 2},              {0, end_s, 1, 1, 4},         {0.0005, 33.3333, 7, 0, 3},
        {12.3456, 80.1, 2000, 0, 1},      {99.9, 1e9, 1, 0, 1},        {2.049, 2.051, 1, 0, 1},
        {47.5, 61.3, 4, 0, 2},            {13.77, 77.13, 2, 1, 2},     {48.0, 61.3, 4, 0, 2},
    };
    for (const Case& c : cases) {
        for (TrendQuantity quantity : Quantities) {
            for (size_t frequency : {size_t{0}, size_t{9}}) {
                const std::string where = "span " + std::to_string(c.from_s) + " to " + std::to_string(c.to_s) +
                                          ", " + std::to_string(c.mostPoints) + " points, quantity " +
                                          std::to_string(static_cast<int>(quantity));
                const TrendAnswer answer =
                    QueryTrend(recording.summary, {quantity, frequency, c.from_s, c.to_s, c.mostPoints});
                ASSERT_FALSE(answer.fromRows) << where;
                EXPECT_EQ(answer.level, c.level) << where;
                EXPECT_EQ(answer.bucketsPerPoint, c.bucketsPerPoint) << where;
                ASSERT_FALSE(answer.points.empty()) << where;
                EXPECT_LE(answer.points.size(), c.mostPoints) << where;
                uint64_t spectra = 0;
                // Points after the first start at a bucket number that is a multiple of the group,
                // so they stay the same as the view pans.
                for (size_t i = 1; i < answer.points.size(); ++i) {
                    size_t index = 0;
                    while (CountTime(recording.summary, LevelBucket(recording.summary, answer.level, index).firstCount) <
                           answer.points[i].first_s)
                        ++index;
                    EXPECT_EQ(index % answer.bucketsPerPoint, 0u) << where << ", point " << i;
                }
                for (const TrendPoint& point : answer.points) {
                    const Direct direct = DirectOver(recording, quantity, frequency, point.first_s, point.last_s);
                    EXPECT_EQ(point.spectra, direct.spectra) << where;
                    EXPECT_DOUBLE_EQ(point.time_s, (point.first_s + point.last_s) / 2) << where;
                    ExpectNear(point.mean, direct.mean, where + ", mean");
                    if (HasRange(quantity)) {
                        EXPECT_EQ(point.min, static_cast<float>(direct.min)) << where;
                        EXPECT_EQ(point.max, static_cast<float>(direct.max)) << where;
                    } else {
                        EXPECT_LE(point.min, point.mean + 1e-9) << where;
                        EXPECT_GE(point.max, point.mean - 1e-9) << where;
                        EXPECT_GE(point.min, direct.min - 1e-9) << where;
                        EXPECT_LE(point.max, direct.max + 1e-9) << where;
                        if (answer.bucketsPerPoint == 1 && answer.level == 0)
                            EXPECT_EQ(point.min, point.max) << where;
                    }
                    spectra += point.spectra;
                }
                // The points follow each other without a spectrum between them, and cover the span.
                EXPECT_EQ(spectra, DirectOver(recording, quantity, frequency, answer.points.front().first_s,
                                              answer.points.back().last_s)
                                       .spectra)
                    << where;
                EXPECT_EQ(DirectOver(recording, quantity, frequency, c.from_s, c.to_s).spectra,
                          DirectOver(recording, quantity, frequency, std::max(c.from_s, answer.points.front().first_s),
                                     std::min(c.to_s, answer.points.back().last_s))
                              .spectra)
                    << where;
            }
        }
    }
}

TEST(SpectrumSummary, ShortSpansAreReadFromTheRowsExactly)
{
    const Recording& recording = TestRecording();
    struct Case {
        double from_s, to_s;
        size_t mostPoints;
    };
    const Case cases[] = {
        {10.0, 10.999, 2000}, {10.0, 10.999, 100}, {20.5, 20.6, 10}, {0, 0, 5},      {0.19, 0.2, 3},
        {99.95, 200, 2000},   {99.9, 1e9, 5},      {50, 53.01, 5},   {50, 58.3, 2000},
    };
    for (const Case& c : cases) {
        for (TrendQuantity quantity : Quantities) {
            const std::string where = "span " + std::to_string(c.from_s) + " to " + std::to_string(c.to_s) + ", " +
                                      std::to_string(c.mostPoints) + " points, quantity " +
                                      std::to_string(static_cast<int>(quantity));
            const TrendRequest request{quantity, 3, c.from_s, c.to_s, c.mostPoints};
            const TrendAnswer answer = QueryTrend(recording.summary, request);
            ASSERT_TRUE(answer.fromRows) << where;
            std::vector<TrendPoint> points;
            std::string error;
            ASSERT_TRUE(TrendFromRows(recording.path, recording.summary, request, answer, points, error)) << error;
            // Groups of ceil(spectra / mostPoints) consecutive spectra.
            const uint64_t inSpan = DirectOver(recording, quantity, 3, c.from_s, c.to_s).spectra;
            ASSERT_GT(inSpan, 0u) << where;
            const uint64_t group = (inSpan + c.mostPoints - 1) / c.mostPoints;
            EXPECT_EQ(points.size(), (inSpan + group - 1) / group) << where;
            uint64_t spectra = 0;
            for (const TrendPoint& point : points) {
                const Direct direct = DirectOver(recording, quantity, 3, point.first_s, point.last_s);
                EXPECT_EQ(point.spectra, direct.spectra) << where;
                EXPECT_DOUBLE_EQ(point.mean, direct.mean) << where;
                EXPECT_DOUBLE_EQ(point.min, direct.min) << where;
                EXPECT_DOUBLE_EQ(point.max, direct.max) << where;
                spectra += point.spectra;
            }
            EXPECT_EQ(spectra, inSpan) << where;
        }
    }
    // Nothing in the span, a span backwards, or a frequency the spectra do not have: no points,
    // and no rows to read.
    const TrendRequest empty[] = {
        {TrendQuantity::Modulus, 0, -5, -1, 100},
        {TrendQuantity::Modulus, 0, 20, 10, 100},
        {TrendQuantity::Modulus, 15, 0, 1e9, 100},
        {TrendQuantity::Imag, 15, 10, 10.1, 100},
    };
    for (const TrendRequest& request : empty) {
        const TrendAnswer none = QueryTrend(recording.summary, request);
        EXPECT_FALSE(none.fromRows) << request.from_s;
        EXPECT_TRUE(none.points.empty()) << request.from_s;
    }
    TrendAnswer rows = QueryTrend(recording.summary, {TrendQuantity::Modulus, 0, 10, 10.1, 100});
    ASSERT_TRUE(rows.fromRows);
    std::vector<TrendPoint> points;
    std::string error;
    EXPECT_FALSE(TrendFromRows(recording.path, recording.summary, {TrendQuantity::Modulus, 15, 10, 10.1, 100}, rows,
                               points, error));
    EXPECT_EQ(error, "frequency 16: a spectrum has 15");
}

TEST(SpectrumSummary, FindsAnySpectrumByItsCount)
{
    const Recording& recording = TestRecording();
    const uint64_t last = recording.rows.back().count;
    struct Case {
        uint64_t count;
        const char* error;   // empty: found
    };
    const std::string outside = "count " + std::to_string(last + 1) + " is outside 0 to " + std::to_string(last);
    const Case cases[] = {
        {0, ""},        {1, ""},          {95, ""}, {96, "the spectrum of count 96 was lost"},
        {97, ""},       {1023, ""},       {1024, ""}, {1055, ""},
        {GapEvery * 100 - 1, "the spectrum of count 9699 was lost"},
        {last - 3, ""}, {last, ""},       {last + 1, outside.c_str()},
    };
    for (const Case& c : cases) {
        SpectrumRecord record{};
        std::string error;
        const bool found = ReadSpectrumAt(recording.path, recording.summary, c.count, record, error);
        EXPECT_EQ(found, *c.error == 0) << c.count;
        EXPECT_EQ(error, c.error) << c.count;
        if (found) {
            const auto row = std::find_if(recording.rows.begin(), recording.rows.end(),
                                          [&](const FollowedRow& r) { return r.count == c.count; });
            ASSERT_NE(row, recording.rows.end());
            EXPECT_EQ(std::memcmp(&record, &row->record, sizeof record), 0) << c.count;
        }
    }
    SpectrumRecord record{};
    std::string error;
    ASSERT_TRUE(ReadLastSpectrum(recording.path, recording.summary, record, error)) << error;
    EXPECT_EQ(std::memcmp(&record, &recording.rows.back().record, sizeof record), 0);
    const SpectrumSummary empty = MakeSpectrumSummary(1);
    EXPECT_FALSE(ReadLastSpectrum(recording.path, empty, record, error));
    EXPECT_EQ(error, "no spectrum yet");
    EXPECT_FALSE(ReadSpectrumAt(recording.path, empty, 0, record, error));
    EXPECT_EQ(error, "no spectrum yet");
}

TEST(SpectrumSummary, ARestartStartsTheSummaryAgainAndCountsWhatCameBefore)
{
    SpectrumSummary summary = MakeSpectrumSummary(5);
    EXPECT_DOUBLE_EQ(summary.period_s, 0.005);
    FollowedRow row;
    row.record = VariedRecord(0);
    for (uint64_t i = 0; i < 3000; ++i) {
        row.count = i * 2;   // one lost before each but the first
        row.lost = i ? 1 : 0;
        row.offset = i * 100, row.end = row.offset + 100;
        AddSpectrum(summary, row);
    }
    EXPECT_EQ(summary.lost, 2999u);
    row.segment = 1, row.count = 7, row.lost = 0, row.offset = 300000, row.end = 300100;
    AddSpectrum(summary, row);
    EXPECT_EQ(summary.spectra, 1u);
    EXPECT_EQ(summary.earlierSpectra, 3000u);
    EXPECT_EQ(summary.earlierLost, 2999u);
    EXPECT_EQ(summary.earlierSegments, 1u);
    EXPECT_EQ(summary.lost, 0u);
    EXPECT_DOUBLE_EQ(summary.period_s, 0.005);
    ASSERT_EQ(LevelBuckets(summary, 0), 1u);
    EXPECT_EQ(LevelBucket(summary, 0, 0).firstCount, 7u);
    EXPECT_EQ(LevelBuckets(summary, 1), 1u);
}

TEST(SpectrumSummary, AnHourAtAThousandSpectraASecondTakesUnderTwoMebibytes)
{
    SpectrumSummary summary = MakeSpectrumSummary(1);
    FollowedRow row;
    row.record = VariedRecord(0);
    constexpr uint64_t Hour = 3600000;
    for (uint64_t i = 0; i < Hour; ++i) {
        row.count = i, row.offset = i * 380, row.end = row.offset + 380;
        AddSpectrum(summary, row);
    }
    const size_t bytes = SummaryBytes(summary);
    RecordProperty("summary_bytes_per_hour", std::to_string(bytes));
    std::printf("summary of one hour at 1000 spectra per second: %zu bytes\n", bytes);
    EXPECT_LE(bytes, 2u << 20);
    EXPECT_EQ(summary.levels[0].buckets, Hour / SummaryBucketSpectra);
    // Each level holds the whole hour.
    for (size_t level = 0; level < 4; ++level) {
        uint64_t spectra = 0;
        for (size_t index = 0; index < LevelBuckets(summary, level); ++index)
            spectra += LevelBucket(summary, level, index).spectra;
        EXPECT_EQ(spectra, Hour) << level;
    }
}

TEST(SpectrumSummary, RowsOfAFileChangedSinceAreRefused)
{
    const Recording& recording = TestRecording();
    std::vector<SpectrumRecord> shifted;
    for (uint32_t count = 5; shifted.size() < 3000; ++count)
        shifted.push_back(VariedRecord(count));
    const std::string missing = Utf8Path(std::filesystem::path(recording.path).parent_path() / "no-such-log.txt");
    const std::string changed = Utf8Path(WriteScratchFile("summary-changed.txt", TestLogText(shifted, 2)));
    const std::string empty = Utf8Path(WriteScratchFile("summary-emptied.txt", ""));
    const SummaryBucket first = LevelBucket(recording.summary, 0, 0);
    const std::string changedError = "the rows at bytes " + std::to_string(first.firstOffset) + " to " +
                                     std::to_string(first.endOffset) +
                                     " are not the ones read before: the file changed";
    const std::pair<std::string, std::string> cases[] = {
        {missing, "cannot open: No such file or directory"},
        {changed, changedError},
        {empty, changedError},
    };
    for (const auto& [path, message] : cases) {
        SpectrumRecord record{};
        std::string error;
        EXPECT_FALSE(ReadSpectrumAt(path, recording.summary, 10, record, error)) << path;
        EXPECT_EQ(error, message) << path;
        const TrendRequest request{TrendQuantity::Modulus, 0, 0, 1, 100};
        const TrendAnswer answer = QueryTrend(recording.summary, request);
        ASSERT_TRUE(answer.fromRows);
        std::vector<TrendPoint> points(1);
        error.clear();
        EXPECT_FALSE(TrendFromRows(path, recording.summary, request, answer, points, error)) << path;
        EXPECT_EQ(error, message) << path;
        EXPECT_TRUE(points.empty()) << path;
    }
    // Stretches no summary asks for.
    std::string error;
    const auto never = [](const SpectrumRecord&, uint64_t) { return true; };
    EXPECT_FALSE(ReadRowRange(recording.path, 100, 99, never, error));
    EXPECT_EQ(error, "bytes 100 to 99: not a stretch of at most 64 MiB");
    EXPECT_FALSE(ReadRowRange(recording.path, 0, RowRangeMostBytes + 1, never, error));
    EXPECT_EQ(error, "bytes 0 to 67108865: not a stretch of at most 64 MiB");
    EXPECT_TRUE(ReadRowRange(recording.path, 0, RowRangeMostBytes, never, error)) << error;
}
