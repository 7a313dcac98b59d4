#include "LiveLog.h"

#include <algorithm>

const char* LiveStateName(LiveState state)
{
    switch (state) {
    case LiveState::Waiting: return "waiting";
    case LiveState::Live: return "live";
    case LiveState::Ended: return "ended";
    case LiveState::Gone: return "gone";
    }
    return "gone";
}

LiveLog StartLiveLog(const std::string& path)
{
    LiveLog log;
    log.path = path;
    log.follower = StartFollowing(path);
    return log;
}

namespace {

double QuietSeconds(const LiveLog& log)
{
    return std::max(LiveQuietSeconds, 2 * log.summary.period_s + 2);
}

void StartSummary(LiveLog& log)
{
    const LogHeaderRead& header = log.follower.header;
    log.summary = MakeSpectrumSummary(header.divider);
    log.hasSummary = true;
    log.frequencies_hz.clear();
    if (header.hasFrequencies)
        log.frequencies_hz.assign(std::begin(header.frequencies), std::end(header.frequencies));
    log.rateSamples.clear();
}

} // namespace

void PollLiveLog(LiveLog& log, double now_s, LivePollRows& handed)
{
    handed.restarted = false;
    handed.rows.clear();
    const FollowState before = log.follower.state;
    const std::string messageBefore = log.follower.message;
    FollowPoll poll;
    PollLog(log.follower, poll);
    const bool headerRead = !log.follower.headerBytes.empty();
    if (poll.startedOver || (headerRead && !log.hasSummary) || (!headerRead && log.hasSummary)) {
        log.hasSummary = false;
        log.everCaughtUp = false;
        log.summary = SpectrumSummary{};
        handed.restarted = true;
    }
    if (headerRead && !log.hasSummary)
        StartSummary(log);
    for (const FollowedRow& row : poll.rows)
        AddSpectrum(log.summary, row);

    const bool grew = !poll.rows.empty();
    if (grew && log.everCaughtUp)
        log.lastGrowth_s = now_s;
    log.caughtUp = poll.caughtUp;
    if (poll.caughtUp && !log.everCaughtUp && log.hasSummary) {
        // A log opened while it is written shows as live until it has had the time to grow once.
        log.everCaughtUp = true;
        log.lastGrowth_s = now_s - QuietSeconds(log) + std::min(QuietSeconds(log), 3.0);
    }
    if (log.everCaughtUp) {
        log.rateSamples.emplace_back(now_s, log.follower.spectra);
        while (log.rateSamples.size() > 2 && log.rateSamples[1].first <= now_s - LiveRateWindowSeconds)
            log.rateSamples.pop_front();
    }
    if (grew || handed.restarted || before != log.follower.state || messageBefore != log.follower.message)
        ++log.changes;
    handed.rows = std::move(poll.rows);
}

LiveState LiveStateOf(const LiveLog& log, double now_s)
{
    switch (log.follower.state) {
    case FollowState::Waiting: return LiveState::Waiting;
    case FollowState::Deleted:
    case FollowState::NotALog:
    case FollowState::Unreadable: return LiveState::Gone;
    default: break;
    }
    if (!log.hasSummary)
        return LiveState::Waiting;
    if (log.superseded)
        return LiveState::Ended;
    if (!log.everCaughtUp)
        return LiveState::Live;   // its backlog is still being read
    return now_s - log.lastGrowth_s > QuietSeconds(log) ? LiveState::Ended : LiveState::Live;
}

double LiveRate(const LiveLog& log, double now_s)
{
    if (LiveStateOf(log, now_s) != LiveState::Live || log.rateSamples.size() < 2)
        return 0;
    const auto& [from_s, fromSpectra] = log.rateSamples.front();
    const auto& [to_s, toSpectra] = log.rateSamples.back();
    if (to_s - from_s < 0.5 || toSpectra < fromSpectra)
        return 0;
    return static_cast<double>(toSpectra - fromSpectra) / (to_s - from_s);
}

bool FirstCount(const SpectrumSummary& summary, uint64_t& count)
{
    if (summary.spectra == 0 || LevelBuckets(summary, 0) == 0)
        return false;
    count = LevelBucket(summary, 0, 0).firstCount;
    return true;
}
