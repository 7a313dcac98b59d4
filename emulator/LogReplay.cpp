#include "LogReplay.h"

namespace {

void ReadAhead(LogReplay& replay)
{
    if (!replay.stream)
        return;
    SpectrumRecord row;
    while (replay.ahead.size() < ReplayReadAhead) {
        const uint64_t problemsBefore = replay.stream->ProblemCount();
        const bool got = replay.stream->Next(row);
        replay.rowsSkipped += replay.stream->ProblemCount() - problemsBefore;
        if (!got) {
            replay.stream.reset(); // the end: the file is closed at once
            return;
        }
        replay.ahead.push_back(row);
    }
}

// Opens the log at `path` for its rows. False with `error`, `stream` untouched.
bool OpenRows(const std::string& path, std::unique_ptr<LogStream>& stream, uint16_t& divider, std::string& error)
{
    auto opened = std::make_unique<LogStream>();
    if (!opened->Open(path, error))
        return false;
    if (opened->Header().divider <= 0) {
        error = "no FrequencyDivider from 1 to 65535 in the header: not a measurement log";
        return false;
    }
    divider = static_cast<uint16_t>(opened->Header().divider);
    stream = std::move(opened);
    return true;
}

} // namespace

bool IsReplaying(const LogReplay& replay)
{
    return !replay.path.empty();
}

bool OpenLogReplay(LogReplay& replay, const std::string& path, bool loop, std::string& error)
{
    if (path.empty()) {
        error = "no log named";
        return false;
    }
    LogReplay opened;
    if (!OpenRows(path, opened.stream, opened.divider, error))
        return false;
    opened.path = path;
    opened.loop = loop;
    opened.fresh = true;
    ReadAhead(opened);
    replay = std::move(opened);
    return true;
}

LogReplay SameLogOpenedAtStart(const LogReplay& replay)
{
    LogReplay copy;
    copy.path = replay.path;
    copy.loop = replay.loop;
    copy.divider = replay.divider;
    return copy;
}

void RewindLogReplay(LogReplay& replay)
{
    if (!IsReplaying(replay) || replay.fresh)
        return;
    replay.ahead.clear();
    replay.stream.reset();
    std::string error;
    uint16_t divider = replay.divider;
    replay.ended = !OpenRows(replay.path, replay.stream, divider, error);
    replay.divider = divider;
    replay.fresh = !replay.ended;
    ReadAhead(replay);
}

bool TakeReplayRow(LogReplay& replay, SpectrumRecord& row)
{
    if (!IsReplaying(replay) || replay.ended)
        return false;
    if (replay.ahead.empty() && replay.loop && !replay.fresh) {
        RewindLogReplay(replay);
        if (replay.ended)
            return false;
    }
    if (replay.ahead.empty()) {
        replay.ended = true;
        return false;
    }
    row = replay.ahead.front();
    replay.ahead.pop_front();
    replay.fresh = false;
    ++replay.rowsSent;
    ReadAhead(replay);
    return true;
}

uint32_t PeriodsToNextRow(const LogReplay& replay, uint32_t takenMeasCount)
{
    if (replay.ahead.empty())
        return 1;
    const uint32_t gap = replay.ahead.front().MeasCount - takenMeasCount;
    return gap >= 1 && gap <= ReplayLongestGap ? gap : 1;
}
