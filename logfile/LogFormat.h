// Text of the measurement log: the time-stamped file name, the header block and one row per
// spectrum, all with CR LF line ends and '.' as decimal point.
#pragma once

#include "KalvixCtrl.h"
#include "RecordLayouts.h"
#include "TextFormat.h"

#include <cstdint>
#include <string_view>

constexpr uint32_t LogBufferSize = 19380;   // room for 51 nominal rows
constexpr uint32_t LogRowLength = 380;      // nominal row length of the flush rule
constexpr uint64_t LogSizeWarningThreshold = 21474836480ull; // 20 GiB
inline constexpr char ApplicationVersion[] = "v1.6"; // also in the main window's title

struct LogTime {
    uint16_t year, month, day, hour, minute, second;
};

// Measurement settings recorded in the header, as the main window's controls hold them.
struct LogSettings {
    int32_t excitationLevel;  // 255 - excitation trackbar position
    int32_t gainCodeA;        // 0..3, index into the gain names
    int32_t gainCodeB;
    int32_t onExtTrigger;     // check states, 1 or 0
    int32_t onBattery;
    int32_t compensationState;
    int32_t measureCompState;
};

struct LogHeaderData {
    std::string_view logName;           // the operator's file name, with "_n" when it was taken
    LogTime created;
    std::string_view deviceDescription;
    std::string_view deviceSerial;
    std::string_view afeDescription;
    int32_t divider;
    int32_t excitationLevel;
    std::string_view gainA;
    std::string_view gainB;
    int32_t onExtTrigger;
    int32_t onBattery;
    int32_t compensationState;
    int32_t measureCompState;
    const float* frequencies;           // 15
    const float* shunt;                 // 30: real parts, then imaginary parts
    const float* comp;                  // 30
};

// Directory (up to and including the last backslash, empty when there is none) and the file
// name the operator chose.
struct LogPathParts {
    std::string_view directory;
    std::string_view suffix;
};
LogPathParts SplitLogPath(std::string_view logPath);

// "%02d%02d%02d_%02d%02d%02d_%s": two-digit year, month, day, hour, minute, second, suffix.
void FormatFileNameDate(TextSink& sink, const LogTime& time, std::string_view suffix);
// How many names a new log tries before it fails: the stamped name, then _2 .. _999.
constexpr uint32_t LogNameAttempts = 999;
// The name for attempt `attempt` (counted from 1) at creating a log file: attempt 1 (or 0) is
// `name` itself, attempt n puts "_n" before the extension, which starts at the last '.' of the
// last path component (after the last '\\' or '/'); a name without one gets "_n" at its end.
void FormatLogNameCandidate(TextSink& sink, std::string_view name, uint32_t attempt);
// The names of the header's fields, as FormatLogHeader writes them (without the '=').
inline constexpr std::string_view LogHeaderFieldNames[] = {
    "LogName", "Created", "ApplicationVersion", "DeviceDescription", "DeviceSerial", "AFEDescription",
    "FrequencyDivider", "ExcitationLevel", "GainCH-A", "GainCH-B", "OnExtTrigger", "OnBattery",
    "CompensationState", "MeasureCompState", "Frequencies", "Shunt(re...im...)", "CompValues(re...im...)"};
// The 21 header lines.
void FormatLogHeader(TextSink& sink, const LogHeaderData& header);
// One row for one spectrum, values exactly as the device delivered them.
void FormatLogRow(TextSink& sink, const SpectrumRecord& record);

// The flush rule: write the buffer once it holds more than count - 1 nominal rows, which is at
// the latest after the last row of a batch of `count` spectra.
bool LogFlushDue(uint32_t fill, uint32_t count);

// How long rows may wait in the buffer: once this many milliseconds have passed since the last
// write, waiting rows are written whether or not the flush rule asks for it.
constexpr uint64_t LogFlushIntervalMs = 1000;
// Rows are waiting and LogFlushIntervalMs have passed since the write at `lastWriteMs` (both
// times from one monotonic millisecond clock; a clock that reads earlier than the last write
// counts as no time passed).
bool LogRowsOverdue(uint32_t fill, uint64_t nowMs, uint64_t lastWriteMs);
