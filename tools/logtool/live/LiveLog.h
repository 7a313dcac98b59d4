// One measurement log as the live view shows it: followed as it grows, summed up by time, with
// what its status line says (live or ended, spectra, lost, rate).
#pragma once

#include "LogFollower.h"
#include "SpectrumSummary.h"

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

enum class LiveState {
    Waiting,   // no file yet, or no header yet
    Live,      // rows arrived lately
    Ended,     // nothing new for a while, or a newer log of the folder took over
    Gone,      // deleted, unreadable, or not a log
};

// "waiting", "live", "ended", "gone".
const char* LiveStateName(LiveState state);

// A followed log with nothing appended for this long (or for two spectrum periods and two
// seconds, when that is longer) is shown as ended.
constexpr double LiveQuietSeconds = 5.0;
// The rate is measured over this much time of following.
constexpr double LiveRateWindowSeconds = 5.0;

struct LiveLog {
    std::string path;                       // UTF-8
    LogFollower follower;
    SpectrumSummary summary;
    bool hasSummary = false;                // the header has been read
    std::vector<double> frequencies_hz;     // the header's, empty when it has none
    bool superseded = false;                // a newer log of the folder is followed now
    bool caughtUp = false;                  // the last poll read to the end the file had
    bool everCaughtUp = false;
    double lastGrowth_s = -1e300;           // when rows last arrived after the first catch-up
    std::deque<std::pair<double, uint64_t>> rateSamples;   // (time, spectra handed over)
    uint64_t changes = 0;                   // one more at every poll that changed anything
};

LiveLog StartLiveLog(const std::string& path);

// What a poll handed over, for whoever sums it up further (the fits).
struct LivePollRows {
    bool restarted = false;                 // the summary started again (new file content or header)
    std::vector<FollowedRow> rows;          // rows in file order, each already in the summary
};

// Reads what was appended since the last poll into the summary. `now_s` is a steady clock in seconds.
void PollLiveLog(LiveLog& log, double now_s, LivePollRows& handed);

LiveState LiveStateOf(const LiveLog& log, double now_s);
// Spectra per second over the last LiveRateWindowSeconds of following; 0 when not live.
double LiveRate(const LiveLog& log, double now_s);
// The first count of the summary's measurement; false when it holds no spectrum.
bool FirstCount(const SpectrumSummary& summary, uint64_t& count);
