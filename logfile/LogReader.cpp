#include "LogReader.h"

#include "LogFormat.h"
#include "WholeNumber.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <iterator>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr size_t RowFieldCount = 1 + 2 * MeasurementFrequencyCount + 9;

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool ParseWhole(std::string_view text, int64_t low, int64_t high, int64_t& value)
{
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() && value >= low &&
           value <= high;
}

bool ParseHex(std::string_view text, uint64_t high, uint64_t& value)
{
    text = TrimBlanks(text);
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return false;
    text.remove_prefix(2);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && end == text.data() + text.size() && value <= high;
}

bool ParseFloat(std::string_view text, float& value)
{
    return ParseWholeNumber(TrimBlanks(text), value);
}

std::string FieldReason(size_t index, const char* what)
{
    static const char* const StatusNames[] = {"PPeriod", "Max-A", "Min-A", "Max-B", "Min-B",
                                              "SysErr", "GPIO", "Battery", "ChargeStatus"};
    if (index == 0)
        return fmt::format("Count: {}", what);
    if (index <= 2 * MeasurementFrequencyCount)
        return fmt::format("{} {}: {}", (index - 1) % 2 == 0 ? "module" : "phase", (index - 1) / 2 + 1, what);
    return fmt::format("{}: {}", StatusNames[index - 1 - 2 * MeasurementFrequencyCount], what);
}

} // namespace

const std::string* LogHeaderRead::Find(std::string_view name) const
{
    for (const LogField& field : fields)
        if (field.name == name)
            return &field.value;
    return nullptr;
}

bool ParseLogHeaderField(std::string_view line, LogField& field)
{
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return false;
    const std::string_view name = TrimBlanks(line.substr(0, equals));
    if (name.empty() || name.find('\t') != std::string_view::npos)
        return false;
    field.name.assign(name);
    field.value.assign(TrimBlanks(line.substr(equals + 1)));
    return true;
}

bool ParseLogTable(std::string_view value, float* values, size_t count, std::string_view unit,
                   std::string& reason)
{
    for (size_t i = 0; i < count; ++i) {
        const size_t comma = value.find(',');
        if ((comma == std::string_view::npos) != (i + 1 == count)) {
            reason = fmt::format("has {} than {} values", comma == std::string_view::npos ? "fewer" : "more", count);
            return false;
        }
        std::string_view item = TrimBlanks(value.substr(0, comma));
        if (!unit.empty() && item.size() >= unit.size() && item.substr(item.size() - unit.size()) == unit)
            item.remove_suffix(unit.size());
        if (!ParseFloat(item, values[i])) {
            reason = fmt::format("value {} is not a number", i + 1);
            return false;
        }
        value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
    }
    return true;
}

bool ParseLogRow(std::string_view line, SpectrumRecord& record, std::string& reason)
{
    std::string_view fields[RowFieldCount];
    size_t count = 0;
    while (!line.empty()) {
        const size_t tab = line.find('\t');
        const std::string_view item = TrimBlanks(line.substr(0, tab));
        if (!item.empty()) {
            if (count == RowFieldCount) {
                reason = fmt::format("more than {} fields", RowFieldCount);
                return false;
            }
            fields[count++] = item;
        }
        line = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
    }
    if (count < RowFieldCount) {
        reason = fmt::format("{} fields where a row has {}", count, RowFieldCount);
        return false;
    }

    std::memset(&record, 0, sizeof record);
    record.marker = 0xFF03;
    record.tag = 0x01DD;
    int64_t whole = 0;
    // The count and the period are written as signed 32-bit numbers; both are unsigned fields.
    if (!ParseWhole(fields[0], INT32_MIN, UINT32_MAX, whole)) {
        reason = FieldReason(0, "not a whole 32-bit number");
        return false;
    }
    record.MeasCount = static_cast<uint32_t>(whole);
    for (size_t i = 0; i < MeasurementFrequencyCount; ++i) {
        float* const values[] = {&record.Module[i], &record.Phase[i]};
        for (size_t k = 0; k < 2; ++k) {
            if (!ParseFloat(fields[1 + 2 * i + k], *values[k])) {
                reason = FieldReason(1 + 2 * i + k, "not a number");
                return false;
            }
            if (!std::isfinite(*values[k])) {
                reason = FieldReason(1 + 2 * i + k, "not finite");
                return false;
            }
        }
    }
    const size_t status = 1 + 2 * MeasurementFrequencyCount;
    if (!ParseWhole(fields[status], INT32_MIN, UINT32_MAX, whole)) {
        reason = FieldReason(status, "not a whole 32-bit number");
        return false;
    }
    record.ProcPeriod = static_cast<uint32_t>(whole);
    uint16_t* const levels[] = {&record.MaxChA, &record.MinChA, &record.MaxChB, &record.MinChB};
    for (size_t i = 0; i < 4; ++i) {
        if (!ParseWhole(fields[status + 1 + i], 0, UINT16_MAX, whole)) {
            reason = FieldReason(status + 1 + i, "not a whole number from 0 to 65535");
            return false;
        }
        *levels[i] = static_cast<uint16_t>(whole);
    }
    uint64_t hex = 0;
    if (!ParseHex(fields[status + 5], UINT16_MAX, hex)) {
        reason = FieldReason(status + 5, "not a hexadecimal 0x0000 to 0xFFFF");
        return false;
    }
    record.SysErrors = static_cast<uint16_t>(hex);
    if (!ParseHex(fields[status + 6], UINT16_MAX, hex)) {
        reason = FieldReason(status + 6, "not a hexadecimal 0x00 to 0xFFFF");
        return false;
    }
    record.GPIOStatus = static_cast<uint16_t>(hex);
    if (!ParseWhole(fields[status + 7], 0, UINT16_MAX, whole)) {
        reason = FieldReason(status + 7, "not a whole number from 0 to 65535");
        return false;
    }
    record.BatteryLevel = static_cast<uint16_t>(whole);
    if (!ParseWhole(fields[status + 8], 0, UINT16_MAX, whole)) {
        reason = FieldReason(status + 8, "not a whole number from 0 to 65535");
        return false;
    }
    record.ChargerStatus = static_cast<uint16_t>(whole);
    return true;
}

bool LooksLikeLogStart(std::string_view start)
{
    // The leading field lines: at least two of the panel's names, or one in a start of fields only.
    size_t known = 0;
    while (!start.empty()) {
        const std::string_view line = TakeLine(start);
        if (TrimBlanks(line).empty())
            continue;
        LogField field;
        if (!ParseLogHeaderField(line, field))
            return known >= 2;
        if (std::find(std::begin(LogHeaderFieldNames), std::end(LogHeaderFieldNames), field.name) ==
            std::end(LogHeaderFieldNames))
            return known >= 2;
        if (++known == 2)
            return true;
    }
    return known >= 1;
}

bool LogStream::ReadHeaderLine(std::string& error)
{
    if (!lines_.Next(line_))
        return false;
    if (line_.tooLong)
        error = fmt::format("line {}: longer than {} bytes: not a measurement log", line_.number, TextLongestLine);
    else if (line_.number > LogHeaderMostLines)
        error = fmt::format("line {}: the header goes on beyond {} lines: not a measurement log", line_.number,
                            LogHeaderMostLines);
    else if (lines_.BytesRead() > LogHeaderMostBytes)
        error = fmt::format("line {}: the header goes on beyond {} KiB: not a measurement log", line_.number,
                            LogHeaderMostBytes / 1024);
    return error.empty();
}

void LogStream::AddProblem(uint64_t line, std::string reason)
{
    ++problemCount_;
    if (problems_.size() < ProblemsKept)
        problems_.push_back({line, std::move(reason)});
}

bool LogStream::Open(const std::string& path, std::string& error)
{
    TextLines lines;
    if (!lines.Open(path, error))
        return false;
    return Open(std::move(lines), path, error);
}

bool LogStream::Open(TextLines lines, const std::string& path, std::string& error)
{
    lines_ = std::move(lines);
    path_ = path;
    bool anyField = false;
    error.clear();
    while (ReadHeaderLine(error)) {
        const std::string_view text = TrimBlanks(line_.text);
        if (text.empty() || text.find("Module(ohm)") == 0)
            continue;
        if (text.rfind("Count", 0) == 0) {
            if (!anyField) {
                error = fmt::format("line {}: column titles before any header field", line_.number);
                return false;
            }
            header_.lines = line_.number;
            return true;
        }
        LogField field;
        if (!ParseLogHeaderField(line_.text, field)) {
            error = fmt::format("line {}: not a header field (Name=value): not a measurement log", line_.number);
            return false;
        }
        if (field.name == "FrequencyDivider") {
            int64_t divider = 0;
            if (ParseWhole(field.value, 1, 65535, divider))
                header_.divider = static_cast<int32_t>(divider);
            else
                AddProblem(line_.number, "FrequencyDivider is not a whole number from 1 to 65535");
        } else if (field.name == "Frequencies") {
            std::string reason;
            header_.frequenciesLine = line_.number;
            header_.hasFrequencies = ParseLogTable(field.value, header_.frequencies, MeasurementFrequencyCount,
                                                   "Hz", reason);
            header_.frequenciesProblem = header_.hasFrequencies ? std::string() : "Frequencies " + reason;
            if (!header_.hasFrequencies)
                AddProblem(line_.number, header_.frequenciesProblem);
        }
        header_.fields.push_back(std::move(field));
        anyField = true;
    }
    if (!error.empty())
        return false;
    if (!ReadError().empty())
        error = ReadError();
    else
        error = anyField ? "the header ends without the column titles (Count ...): no rows"
                         : "empty file: not a measurement log";
    return false;
}

bool LogStream::Next(SpectrumRecord& record)
{
    std::string reason;
    while (lines_.Next(line_)) {
        if (line_.tooLong) {
            AddProblem(line_.number, fmt::format("line longer than {} bytes", TextLongestLine));
            continue;
        }
        if (!line_.ended) {
            // The panel ends every row with CR LF: a last line without one was cut off while
            // being written, and its last number may be cut too.
            AddProblem(line_.number, "row cut at the end of the file");
            continue;
        }
        if (TrimBlanks(line_.text).empty())
            continue;
        if (ParseLogRow(line_.text, record, reason))
            return true;
        AddProblem(line_.number, reason);
    }
    return false;
}
