// Reading a measurement log back, the counterpart of LogFormat: the header's "Name=  value"
// fields, the tables in it, and one spectrum per row. A log is read line by line from a file, so
// a log of any size needs only one line's memory; a row the reader cannot use is reported with
// its line number and reason and the rest is read.
#pragma once

#include "KalvixCtrl.h"
#include "RecordLayouts.h"
#include "TextInput.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct LogField {
    std::string name;   // without the '=' ("FrequencyDivider")
    std::string value;  // without the padding before it
};

struct LogHeaderRead {
    std::vector<LogField> fields;                   // every field line, in file order
    int32_t divider = 0;                            // FrequencyDivider, 0 when missing or bad
    float frequencies[MeasurementFrequencyCount] = {}; // Hz
    bool hasFrequencies = false;                    // a complete Frequencies= line was read
    uint64_t frequenciesLine = 0;                   // the Frequencies= line, 0 when there is none
    std::string frequenciesProblem;                 // why it could not be read, empty when it was
    uint64_t lines = 0;                             // lines up to and including the column titles

    // The field's value, or nullptr when the header has no such field.
    const std::string* Find(std::string_view name) const;
};

// The header's limits: a file whose header goes on longer is no measurement log.
constexpr uint64_t LogHeaderMostLines = 1000;
constexpr uint64_t LogHeaderMostBytes = 256 * 1024;

// True when the first two lines of `start` that are not blank are header fields of names the
// panel writes (LogHeaderFieldNames; one is enough when nothing follows it): the first bytes of a
// measurement log.
bool LooksLikeLogStart(std::string_view start);

// "Name=   value" (the name up to the first '=', the value without leading blanks and without a
// trailing CR). False for a line without '=' or with an empty name.
bool ParseLogHeaderField(std::string_view line, LogField& field);
// A comma-separated table of `count` numbers, each with an optional `unit` after it ("1000.00Hz").
bool ParseLogTable(std::string_view value, float* values, size_t count, std::string_view unit,
                   std::string& reason);
// One row (without its line end) into a record: MeasCount, 15 module/phase pairs, PPeriod,
// Max-A, Min-A, Max-B, Min-B, SysErr, GPIO, Battery, ChargeStatus. The record's frame marker,
// tag and reserved bytes are set as the device sends them. False with a reason otherwise (a
// module or phase that is not finite, nan or inf, is a reason too).
bool ParseLogRow(std::string_view line, SpectrumRecord& record, std::string& reason);

struct LogProblem {
    uint64_t line;       // 1-based line number in the file
    std::string reason;  // "row cut at the end of the file", "field 7: not a number", ...
};

// A log opened for reading, header first, then its rows in file order.
class LogStream {
public:
    LogStream() = default;
    LogStream(const LogStream&) = delete;
    LogStream& operator=(const LogStream&) = delete;

    // Opens the file ("-": standard input) and reads the header up to and including the column
    // titles. False with `error` ("cannot open: ...", "line 3: ...", "no column titles: not a
    // measurement log"); a header longer than LogHeaderMostLines or LogHeaderMostBytes is one.
    bool Open(const std::string& path, std::string& error);
    // The same for a file already opened (its first bytes judged, no line read yet).
    bool Open(TextLines lines, const std::string& path, std::string& error);
    const LogHeaderRead& Header() const { return header_; }
    const std::string& Path() const { return path_; }

    // The next row that reads whole; rows that do not are added to Problems() and skipped.
    // False at the end of the file (or after a read error, then ReadError() tells it).
    bool Next(SpectrumRecord& record);
    uint64_t LineNumber() const { return line_.number; }  // the line of the row last returned
    // Rows skipped so far (at most ProblemsKept are kept, ProblemCount() counts all).
    const std::vector<LogProblem>& Problems() const { return problems_; }
    uint64_t ProblemCount() const { return problemCount_; }
    static constexpr size_t ProblemsKept = 1000;
    const std::string& ReadError() const { return lines_.ReadError(); }

    uint64_t BytesRead() const { return lines_.BytesRead(); }
    uint64_t FileSize() const { return lines_.FileSize(); }   // 0 for a pipe

private:
    // The header's next line, with the header's limits; false at its end with `error` set when
    // it ended badly.
    bool ReadHeaderLine(std::string& error);
    void AddProblem(uint64_t line, std::string reason);

    TextLines lines_;
    TextLine line_;
    std::string path_;
    LogHeaderRead header_;
    std::vector<LogProblem> problems_;
    uint64_t problemCount_ = 0;
};
