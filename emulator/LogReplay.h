// A measurement log played back as the device's spectra: the file read as a stream a few rows
// ahead of the one sent, its header's divider for the pace, and the way back to its first row.
#pragma once

#include "LogReader.h"
#include "RecordLayouts.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

// Rows read ahead of the one sent: each step of the device reads at most this many.
constexpr size_t ReplayReadAhead = 8;
// A MeasCount jump larger than this (or one that does not go forward) is paced as one period.
constexpr uint32_t ReplayLongestGap = 1000;

struct LogReplay {
    std::string path;                  // empty: no replay, the device measures its object
    bool loop = false;                 // at the end, start again from the first row
    uint16_t divider = 1;              // FrequencyDivider of the log's header: one row every divider ms
    std::unique_ptr<LogStream> stream; // null until the first row is wanted, and after the end
    std::deque<SpectrumRecord> ahead;  // rows read, not yet sent
    bool fresh = false;                // the stream is at its first row (nothing taken yet)
    bool ended = false;                // the last row was sent and the log does not loop
    uint64_t rowsSent = 0;
    uint64_t rowsSkipped = 0;          // rows the reader could not use, over every pass
};

bool IsReplaying(const LogReplay& replay);

// Opens `path` as a measurement log (its header read, its first rows ahead). False with `error`
// for a file that cannot be opened, is not a measurement log or has no usable FrequencyDivider;
// `replay` is then unchanged.
bool OpenLogReplay(LogReplay& replay, const std::string& path, bool loop, std::string& error);

// The same log for another device: its file is opened at that device's first start.
LogReplay SameLogOpenedAtStart(const LogReplay& replay);

// Back to the first row, as a new measurement starts. Reopens the file unless nothing was
// taken from it yet; a file gone meanwhile ends the replay (nothing more is sent).
void RewindLogReplay(LogReplay& replay);

// The next row to send; false when the log has ended (a looping log starts over instead).
bool TakeReplayRow(LogReplay& replay, SpectrumRecord& row);

// How many periods after the row just taken the next one comes: the difference of their
// MeasCounts, so counts missing from the log are time the device sent nothing; 1 for a count
// that does not go forward, a jump beyond ReplayLongestGap, a loop's return to the first row or
// the end.
uint32_t PeriodsToNextRow(const LogReplay& replay, uint32_t takenMeasCount);
