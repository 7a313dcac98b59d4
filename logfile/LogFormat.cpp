#include "LogFormat.h"

namespace {

// A header line: the label left-aligned in 24 characters, then the value.
template <typename Value>
void PrintHeaderLine(TextSink& sink, std::string_view label, const Value& value)
{
    Print(sink, "{:<24}{}\r\n", label, value);
}

} // namespace

LogPathParts SplitLogPath(std::string_view logPath)
{
    const size_t slash = logPath.rfind('\\');
    if (slash == std::string_view::npos)
        return {std::string_view(), logPath};
    return {logPath.substr(0, slash + 1), logPath.substr(slash + 1)};
}

void FormatFileNameDate(TextSink& sink, const LogTime& time, std::string_view suffix)
{
    Print(sink, "{:02}{:02}{:02}_{:02}{:02}{:02}_{}", static_cast<int>(time.year) - 2000, time.month, time.day, time.hour,
          time.minute, time.second, suffix);
}

void FormatLogNameCandidate(TextSink& sink, std::string_view name, uint32_t attempt)
{
    if (attempt <= 1) {
        Print(sink, "{}", name);
        return;
    }
    const size_t separator = name.find_last_of("\\/");
    const size_t start = separator == std::string_view::npos ? 0 : separator + 1;
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot < start)
        dot = name.size();
    Print(sink, "{}_{}{}", name.substr(0, dot), attempt, name.substr(dot));
}

void FormatLogHeader(TextSink& sink, const LogHeaderData& header)
{
    const LogTime& t = header.created;
    constexpr size_t pairs = 2 * MeasurementFrequencyCount;
    PrintHeaderLine(sink, "LogName=", header.logName);
    Print(sink, "{:<24}{:04} {:02}.{:02} {:02}:{:02}:{:02}\r\n", "Created=", t.year, t.month, t.day, t.hour, t.minute,
          t.second);
    PrintHeaderLine(sink, "ApplicationVersion=", ApplicationVersion);
    PrintHeaderLine(sink, "DeviceDescription=", header.deviceDescription);
    PrintHeaderLine(sink, "DeviceSerial=", header.deviceSerial);
    PrintHeaderLine(sink, "AFEDescription=", header.afeDescription);
    PrintHeaderLine(sink, "FrequencyDivider=", header.divider);
    PrintHeaderLine(sink, "ExcitationLevel=", header.excitationLevel);
    PrintHeaderLine(sink, "GainCH-A=", header.gainA);
    PrintHeaderLine(sink, "GainCH-B=", header.gainB);
    PrintHeaderLine(sink, "OnExtTrigger=", header.onExtTrigger);
    PrintHeaderLine(sink, "OnBattery=", header.onBattery);
    PrintHeaderLine(sink, "CompensationState=", header.compensationState);
    PrintHeaderLine(sink, "MeasureCompState=", header.measureCompState);
    // Each value with its unit, "Hz" between the values and after the last.
    Print(sink, "{:<24}{:>11.2f}Hz\r\n", "Frequencies=",
          fmt::join(header.frequencies, header.frequencies + MeasurementFrequencyCount, "Hz,"));
    Print(sink, "{:<24}{:>13.2f}\r\n", "Shunt(re...im...)=", fmt::join(header.shunt, header.shunt + pairs, ","));
    Print(sink, "{:<24}{:>13.2f}\r\n", "CompValues(re...im...)=", fmt::join(header.comp, header.comp + pairs, ","));
    Print(sink, "\r\n\r\n\t\t\t\tModule(ohm) Phase(degree)\r\n");

    // Three tabs after "Count" (a row has two), so the labels stand one tab stop to the right.
    Print(sink, "\tCount\t\t\t");
    for (int k = 1; k <= static_cast<int>(MeasurementFrequencyCount); ++k)
        Print(sink, "{:12}\t{:7}\t", k, k);
    Print(sink, "\tPPeriod(us)\tMax-A\tMin-A\tMax-B\tMin-B\tSysErr\tGPIO\tBattery\tChargeStatus\r\n");
}

void FormatLogRow(TextSink& sink, const SpectrumRecord& record)
{
    Print(sink, "\t{:10}\t\t", static_cast<int32_t>(record.MeasCount));
    for (size_t i = 0; i < MeasurementFrequencyCount; ++i)
        Print(sink, "{:>12.2f}\t{:>7.2f}\t", record.Module[i], record.Phase[i]);
    Print(sink, "\t{:8}\t{:5}\t{:5}\t{:5}\t{:5}\t0x{:04X}\t0x{:02X}\t{:4}\t{}\r\n", static_cast<int32_t>(record.ProcPeriod),
          record.MaxChA, record.MinChA, record.MaxChB, record.MinChB, record.SysErrors, record.GPIOStatus,
          record.BatteryLevel, record.ChargerStatus);
}

bool LogFlushDue(uint32_t fill, uint32_t count)
{
    if (count == 0)
        return fill > 0;
    return static_cast<uint64_t>(fill) > static_cast<uint64_t>(count - 1) * LogRowLength;
}

bool LogRowsOverdue(uint32_t fill, uint64_t nowMs, uint64_t lastWriteMs)
{
    return fill > 0 && nowMs >= lastWriteMs && nowMs - lastWriteMs >= LogFlushIntervalMs;
}
