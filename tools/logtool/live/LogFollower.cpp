#include "LogFollower.h"

#include "FileBytes.h"
#include "TextInput.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

namespace {

bool IsBlank(std::string_view text)
{
    return text.find_first_not_of(" \t\r") == std::string_view::npos;
}

bool IsColumnTitles(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t");
    return first != std::string_view::npos && text.substr(first).rfind("Count", 0) == 0;
}

void AddProblem(LogFollower& follower, uint64_t line, std::string reason)
{
    ++follower.problemCount;
    if (follower.problems.size() < LogStream::ProblemsKept)
        follower.problems.push_back({line, std::move(reason)});
}

// Drops everything read, for reading the file again from its first byte.
void StartOver(LogFollower& follower)
{
    LogFollower fresh;
    fresh.path = std::move(follower.path);
    fresh.startOvers = follower.startOvers + 1;
    fresh.buffer = std::move(follower.buffer);
    follower = std::move(fresh);
}

bool HasRead(const LogFollower& follower)
{
    return !follower.headerBytes.empty();
}

bool SameBytes(std::FILE* file, uint64_t offset, std::string_view expected, std::string& scratch)
{
    std::string error;
    return ReadFileBytes(file, offset, expected.size(), scratch, error) && scratch == expected;
}

enum class HeaderSearch { Found, NotYet, NotALog };

// Where the header of `start` (the file's first bytes) ends: past the LF of its column titles.
HeaderSearch FindHeaderEnd(std::string_view start, bool wholeLimitRead, size_t& end, std::string& why)
{
    std::string_view judged = start;
    if (judged.substr(0, 3) == "\xEF\xBB\xBF")
        judged.remove_prefix(3);
    if (LooksLikeUtf16(judged)) {
        why = "is UTF-16 text: save it as UTF-8";
        return HeaderSearch::NotALog;
    }
    // A line end of CR alone (a CR followed by anything but LF): such lines never complete here.
    const size_t firstCr = judged.find('\r');
    if (firstCr != std::string_view::npos && firstCr + 1 < judged.size() && judged[firstCr + 1] != '\n') {
        why = "its lines end with CR alone: only lines ending in LF or CR LF are followed";
        return HeaderSearch::NotALog;
    }
    const size_t lastFeed = judged.rfind('\n');
    if (lastFeed != std::string_view::npos && !LooksLikeLogStart(judged.substr(0, lastFeed + 1))) {
        why = "its first lines are not header fields (Name=value): not a measurement log";
        return HeaderSearch::NotALog;
    }
    LineScan scan;
    bool found = false, tooLong = false;
    uint64_t lines = 0;
    ScanCompleteLines(start, 0, scan, [&](const CompleteLine& line) {
        if (found)
            return;
        lines = line.number;
        tooLong = tooLong || line.tooLong;
        if (!line.tooLong && IsColumnTitles(line.text)) {
            found = true;
            end = static_cast<size_t>(line.end);
        }
    });
    if (found)
        return HeaderSearch::Found;
    if (tooLong || lines > LogHeaderMostLines || wholeLimitRead) {
        why = fmt::format("no column titles (Count ...) in the first {} lines and {} KiB: not a measurement log",
                          std::min<uint64_t>(lines, LogHeaderMostLines), LogHeaderMostBytes / 1024);
        return HeaderSearch::NotALog;
    }
    return HeaderSearch::NotYet;
}

void SetState(LogFollower& follower, FollowState state, std::string message)
{
    follower.state = state;
    follower.message = std::move(message);
}

// Reads the header once its column titles have arrived; false while it has not (or cannot be).
bool ReadHeader(LogFollower& follower, std::FILE* file, uint64_t size)
{
    std::string error;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size, LogHeaderMostBytes));
    if (!ReadFileBytes(file, 0, want, follower.buffer, error)) {
        SetState(follower, FollowState::Unreadable, error);
        return false;
    }
    size_t end = 0;
    std::string why;
    switch (FindHeaderEnd(follower.buffer, follower.buffer.size() >= LogHeaderMostBytes, end, why)) {
    case HeaderSearch::NotYet:
        SetState(follower, FollowState::Waiting, "waiting for the header's column titles (Count ...)");
        return false;
    case HeaderSearch::NotALog:
        SetState(follower, FollowState::NotALog, why);
        return false;
    case HeaderSearch::Found:
        break;
    }
    // The header's fields are read as every command reads them.
    LogStream stream;
    if (!stream.Open(follower.path, error)) {
        SetState(follower, FollowState::NotALog, error);
        return false;
    }
    follower.headerBytes.assign(follower.buffer, 0, end);
    if (stream.Header().lines != static_cast<uint64_t>(std::count(follower.headerBytes.begin(),
                                                                  follower.headerBytes.end(), '\n'))) {
        // The file changed between the two reads: the next poll reads it again.
        follower.headerBytes.clear();
        SetState(follower, FollowState::Waiting, "waiting for the header's column titles (Count ...)");
        return false;
    }
    follower.header = stream.Header();
    for (const LogProblem& problem : stream.Problems())
        AddProblem(follower, problem.line, problem.reason);
    follower.offset = end;
    follower.scan.line = follower.header.lines;
    follower.tail = follower.headerBytes.substr(end - std::min(end, FollowCheckedTailBytes));
    return true;
}

void UseLine(LogFollower& follower, const CompleteLine& line, std::vector<FollowedRow>& rows)
{
    if (line.tooLong) {
        AddProblem(follower, line.number, fmt::format("line longer than {} bytes", TextLongestLine));
        return;
    }
    if (IsBlank(line.text))
        return;
    SpectrumRecord record;
    std::string reason;
    if (!ParseLogRow(line.text, record, reason)) {
        AddProblem(follower, line.number, std::move(reason));
        return;
    }
    const MeasCountStep step = AdvanceMeasCount(follower.axis, record.MeasCount);
    if (step.restarted)
        ++follower.segment;
    follower.lost += step.lost;
    ++follower.spectra;
    rows.push_back({record, line.offset, line.end, line.number, step.count, follower.segment, step.lost});
}

void KeepTail(LogFollower& follower, size_t used)
{
    if (used >= FollowCheckedTailBytes) {
        follower.tail.assign(follower.buffer, used - FollowCheckedTailBytes, FollowCheckedTailBytes);
        return;
    }
    follower.tail.append(follower.buffer, 0, used);
    if (follower.tail.size() > FollowCheckedTailBytes)
        follower.tail.erase(0, follower.tail.size() - FollowCheckedTailBytes);
}

void ReadRows(LogFollower& follower, std::FILE* file, uint64_t size, FollowPoll& poll)
{
    std::string error;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size - follower.offset, FollowReadMostBytes));
    if (!ReadFileBytes(file, follower.offset, want, follower.buffer, error)) {
        SetState(follower, FollowState::Unreadable, error);
        return;
    }
    const size_t used = ScanCompleteLines(follower.buffer, follower.offset, follower.scan,
                                          [&](const CompleteLine& line) { UseLine(follower, line, poll.rows); });
    KeepTail(follower, used);
    follower.offset += used;
    poll.caughtUp = follower.offset + (follower.buffer.size() - used) >= size;
}

// The file could not be opened: gone, or there but unreadable.
void NoFile(LogFollower& follower, FollowPoll& poll, const std::string& error)
{
    std::error_code failed;
    const bool gone = !std::filesystem::exists(std::filesystem::path(std::u8string(
                                                   follower.path.begin(), follower.path.end())),
                                               failed) &&
                      !failed;
    if (!gone) {
        SetState(follower, FollowState::Unreadable, error);
    } else if (HasRead(follower)) {
        StartOver(follower);
        poll.startedOver = true;
        SetState(follower, FollowState::Deleted, "the file was deleted: waiting for it to appear again");
    } else if (follower.state != FollowState::Deleted) {
        SetState(follower, FollowState::Waiting, "waiting for the file to appear");
    }
}

} // namespace

const char* FollowStateName(FollowState state)
{
    switch (state) {
    case FollowState::Waiting: return "waiting";
    case FollowState::Following: return "following";
    case FollowState::Truncated: return "truncated";
    case FollowState::Replaced: return "replaced";
    case FollowState::Deleted: return "deleted";
    case FollowState::NotALog: return "not a log";
    case FollowState::Unreadable: return "unreadable";
    }
    return "unknown";
}

LogFollower StartFollowing(const std::string& path)
{
    LogFollower follower;
    follower.path = path;
    follower.message = "waiting for the file to appear";
    return follower;
}

void PollLog(LogFollower& follower, FollowPoll& poll)
{
    poll.rows.clear();
    poll.startedOver = false;
    poll.caughtUp = false;
    std::string error;
    std::FILE* const file = OpenFileForReading(follower.path, error);
    if (!file) {
        NoFile(follower, poll, error);
        poll.state = follower.state;
        return;
    }
    const FileCloser closer{file};
    uint64_t size = 0;
    if (!OpenFileSize(file, size)) {
        SetState(follower, FollowState::Unreadable, "cannot tell the file's size");
        poll.state = follower.state;
        return;
    }
    FollowState event = FollowState::Following;
    std::string eventMessage;
    if (HasRead(follower)) {
        std::string scratch;
        if (size < follower.offset) {
            eventMessage = fmt::format("the file was cut to {} bytes, below the {} read: read again from its start",
                                       size, follower.offset);
            event = FollowState::Truncated;
        } else if (!SameBytes(file, 0, follower.headerBytes, scratch) ||
                   !SameBytes(file, follower.offset - follower.tail.size(), follower.tail, scratch)) {
            eventMessage = "the file was rewritten: read again from its start";
            event = FollowState::Replaced;
        }
        if (event != FollowState::Following) {
            StartOver(follower);
            poll.startedOver = true;
        }
    }
    if (!HasRead(follower) && !ReadHeader(follower, file, size)) {
        if (event != FollowState::Following)
            SetState(follower, event, eventMessage);
        poll.state = follower.state;
        return;
    }
    SetState(follower, FollowState::Following, "following");
    ReadRows(follower, file, size, poll);
    if (follower.state == FollowState::Following && event != FollowState::Following)
        SetState(follower, event, eventMessage);
    poll.state = follower.state;
}
