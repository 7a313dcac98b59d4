#include "LogReader.h"

#include "WholeNumber.h"

#include <fmt/format.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>

namespace {

constexpr size_t ReadChunk = 1 << 20;
constexpr size_t LongestLine = 64 * 1024;  // far above any line the panel writes
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
        if (!ParseFloat(fields[1 + 2 * i], record.Module[i])) {
            reason = FieldReason(1 + 2 * i, "not a number");
            return false;
        }
        if (!ParseFloat(fields[2 + 2 * i], record.Phase[i])) {
            reason = FieldReason(2 + 2 * i, "not a number");
            return false;
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

LogStream::~LogStream()
{
    if (file_)
        std::fclose(file_);
}

bool LogStream::ReadLine(bool& terminated)
{
    lineText_.clear();
    bool tooLong = false;
    terminated = false;
    for (;;) {
        if (bufferStart_ == bufferEnd_) {
            if (!file_ || std::feof(file_))
                break;
            bufferStart_ = 0;
            bufferEnd_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
            if (bufferEnd_ == 0) {
                if (std::ferror(file_))
                    readError_ = fmt::format("read error after {} bytes", bytesRead_);
                break;
            }
        }
        const char* start = buffer_.data() + bufferStart_;
        const size_t available = bufferEnd_ - bufferStart_;
        const void* feed = std::memchr(start, '\n', available);
        const size_t take = feed ? static_cast<const char*>(feed) - start : available;
        if (lineText_.size() + take <= LongestLine)
            lineText_.append(start, take);
        else
            tooLong = true;
        bufferStart_ += take + (feed ? 1 : 0);
        bytesRead_ += take + (feed ? 1 : 0);
        if (feed) {
            terminated = true;
            break;
        }
    }
    if (!terminated && lineText_.empty() && !tooLong)
        return false;
    line_ = nextLine_++;
    if (!lineText_.empty() && lineText_.back() == '\r')
        lineText_.pop_back();
    if (tooLong) {
        AddProblem(line_, fmt::format("line longer than {} bytes", LongestLine));
        lineText_.clear();
    }
    return true;
}

void LogStream::AddProblem(uint64_t line, std::string reason)
{
    ++problemCount_;
    if (problems_.size() < ProblemsKept)
        problems_.push_back({line, std::move(reason)});
}

bool LogStream::Open(const std::string& path, std::string& error)
{
    path_ = path;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
        error = fmt::format("cannot open: {}", std::strerror(errno));
        return false;
    }
    if (std::fseek(file_, 0, SEEK_END) == 0) {
        const long long size =
#ifdef _WIN32
            _ftelli64(file_);
#else
            ftello(file_);
#endif
        fileSize_ = size > 0 ? static_cast<uint64_t>(size) : 0;
        std::fseek(file_, 0, SEEK_SET);
    }
    buffer_.resize(ReadChunk);

    bool terminated = false;
    bool anyField = false;
    while (ReadLine(terminated)) {
        const std::string_view text = TrimBlanks(lineText_);
        if (text.empty() || text.find("Module(ohm)") == 0)
            continue;
        if (text.rfind("Count", 0) == 0) {
            if (!anyField) {
                error = fmt::format("line {}: column titles before any header field", line_);
                return false;
            }
            header_.lines = line_;
            return true;
        }
        LogField field;
        if (!ParseLogHeaderField(lineText_, field)) {
            error = fmt::format("line {}: not a header field (Name=value): not a measurement log", line_);
            return false;
        }
        if (field.name == "FrequencyDivider") {
            int64_t divider = 0;
            if (ParseWhole(field.value, 1, 65535, divider))
                header_.divider = static_cast<int32_t>(divider);
            else
                AddProblem(line_, "FrequencyDivider is not a whole number from 1 to 65535");
        } else if (field.name == "Frequencies") {
            std::string reason;
            header_.hasFrequencies = ParseLogTable(field.value, header_.frequencies, MeasurementFrequencyCount,
                                                   "Hz", reason);
            if (!header_.hasFrequencies)
                AddProblem(line_, "Frequencies " + reason);
        }
        header_.fields.push_back(std::move(field));
        anyField = true;
    }
    if (!readError_.empty())
        error = readError_;
    else
        error = anyField ? "the header ends without the column titles (Count ...): no rows"
                         : "empty file: not a measurement log";
    return false;
}

bool LogStream::Next(SpectrumRecord& record)
{
    bool terminated = false;
    std::string reason;
    while (ReadLine(terminated)) {
        if (!terminated) {
            // The panel ends every row with CR LF: a last line without one was cut off while
            // being written, and its last number may be cut too.
            AddProblem(line_, "row cut at the end of the file");
            continue;
        }
        if (TrimBlanks(lineText_).empty())
            continue;
        if (ParseLogRow(lineText_, record, reason))
            return true;
        AddProblem(line_, reason);
    }
    return false;
}
