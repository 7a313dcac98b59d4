// Following a measurement log while the control panel writes it: each poll opens the file, reads
// what was appended since the last one, hands over the rows that are complete, and closes the
// file again, so the panel can rename or delete it at any time. The header is read first, once
// its column titles ("Count ...") have arrived whole. A file cut shorter than what was read,
// rewritten under the same name (its header or the bytes before the read position differ), or
// deleted is reported as such, and reading starts over on what the file holds then.
#pragma once

#include "CompleteLines.h"
#include "LogReader.h"
#include "MeasCountAxis.h"

#include <cstdint>
#include <string>
#include <vector>

enum class FollowState {
    Waiting,      // no file yet, or its header has not arrived whole
    Following,    // reading rows
    Truncated,    // the file became shorter than what was read: started over
    Replaced,     // the file was rewritten (header or read bytes differ): started over
    Deleted,      // the file is gone: what was read is dropped, its return is waited for
    NotALog,      // the file's header is not a measurement log's (message says why)
    Unreadable,   // the file cannot be opened or read (message says why)
};

// "waiting", "following", "truncated", "replaced", "deleted", "not a log", "unreadable".
const char* FollowStateName(FollowState state);

struct FollowedRow {
    SpectrumRecord record;
    uint64_t offset = 0;    // of the row's first byte in the file
    uint64_t end = 0;       // past its line end
    uint64_t line = 0;      // 1-based line number
    uint64_t count = 0;     // MeasCount on the axis of its measurement (wraps counted on)
    uint64_t segment = 0;   // 0 for the file's first measurement, one more at every restart
    uint64_t lost = 0;      // spectra lost just before it (0 for the first of a measurement)
};

// What one poll reads at most: a file that holds more is read over several polls.
constexpr size_t FollowReadMostBytes = 8u << 20;
// How many bytes before the read position are compared at every poll.
constexpr size_t FollowCheckedTailBytes = 64;

struct LogFollower {
    std::string path;                  // UTF-8
    FollowState state = FollowState::Waiting;
    std::string message;               // what the state is about, for a status line
    LogHeaderRead header;              // valid once headerBytes is not empty
    std::string headerBytes;           // the file's bytes through the column titles' LF
    uint64_t offset = 0;               // the first byte not used yet (a row not complete yet starts here)
    std::string tail;                  // the last bytes before offset
    LineScan scan;
    MeasCountAxis axis;
    uint64_t segment = 0;
    uint64_t spectra = 0;              // rows handed over since the last start
    uint64_t lost = 0;                 // spectra lost between them (gaps inside a measurement)
    std::vector<LogProblem> problems;  // unreadable rows, the first LogStream::ProblemsKept
    uint64_t problemCount = 0;
    uint64_t startOvers = 0;           // truncations, replacements and deletions seen
    std::string buffer;                // one read, at most FollowReadMostBytes
};

struct FollowPoll {
    FollowState state = FollowState::Waiting;
    bool startedOver = false;   // what was handed over before is gone; `rows` are of the new content
    bool caughtUp = false;      // read up to the end the file had at this poll
    std::vector<FollowedRow> rows;
};

LogFollower StartFollowing(const std::string& path);

// Reads what was appended since the last poll (at most FollowReadMostBytes) into `poll`.
void PollLog(LogFollower& follower, FollowPoll& poll);
