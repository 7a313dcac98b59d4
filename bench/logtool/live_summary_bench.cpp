// Times the live view's data side on an existing log: following it from its start to its end
// into a summary by time (the indexing a live view does when it opens a recording), then trend
// queries over the whole recording and over one-second zooms.
//
//   live_summary_bench LOG [POINTS]     (POINTS: most points of a trend, 2000 unless given)
#include "live/LogFollower.h"
#include "live/SpectrumSummary.h"
#include "live/TrendQuery.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The slowest of `runs` runs of `query`, in milliseconds.
template <typename Query>
double SlowestMs(int runs, const Query& query)
{
    double slowest = 0;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        query(run);
        slowest = std::max(slowest, Seconds(start) * 1000);
    }
    return slowest;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: live_summary_bench LOG [POINTS]\n", stderr);
        return 2;
    }
    const std::string path = argv[1];
    const size_t points = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 2000;

    const auto start = std::chrono::steady_clock::now();
    LogFollower follower = StartFollowing(path);
    SpectrumSummary summary;
    FollowPoll poll;
    bool started = false;
    uint64_t polls = 0;
    do {
        PollLog(follower, poll);
        ++polls;
        if (!started && poll.state == FollowState::Following) {
            summary = MakeSpectrumSummary(follower.header.divider);
            started = true;
        }
        for (const FollowedRow& row : poll.rows)
            AddSpectrum(summary, row);
    } while (!poll.caughtUp && poll.state == FollowState::Following);
    const double indexing = Seconds(start);
    if (!started || summary.spectra == 0) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), follower.message.c_str());
        return 1;
    }
    const double end_s = CountTime(summary, summary.lastCount);
    std::printf("indexing: %.2f s for %llu spectra, %.0f MB in %llu polls (%.0f MB/s); summary %zu bytes\n", indexing,
                static_cast<unsigned long long>(summary.spectra), follower.offset / 1e6,
                static_cast<unsigned long long>(polls), follower.offset / 1e6 / indexing, SummaryBytes(summary));

    size_t wholePoints = 0;
    const double whole = SlowestMs(20, [&](int run) {
        const TrendAnswer answer =
            QueryTrend(summary, {static_cast<TrendQuantity>(run % 4), static_cast<size_t>(run % 15), 0, end_s, points});
        wholePoints = answer.points.size();
    });
    std::printf("trend over the whole %.0f s at %zu points: %.2f ms (slowest of 20; %zu points)\n", end_s, points,
                whole, wholePoints);

    size_t zoomPoints = 0;
    std::string error;
    const double zoom = SlowestMs(20, [&](int run) {
        const double from_s = end_s * (run + 1) / 22;
        const TrendRequest request{static_cast<TrendQuantity>(run % 4), static_cast<size_t>(run % 15), from_s,
                                   from_s + 1, points};
        const TrendAnswer answer = QueryTrend(summary, request);
        std::vector<TrendPoint> rows;
        if (answer.fromRows && !TrendFromRows(path, summary, request, answer, rows, error))
            std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
        zoomPoints = answer.fromRows ? rows.size() : answer.points.size();
    });
    std::printf("trend over one second at %zu points: %.2f ms (slowest of 20, from the rows; %zu points)\n", points,
                zoom, zoomPoints);
    return error.empty() ? 0 : 1;
}
