#include "LogFormat.h"

namespace {

constexpr int HeaderLabelWidth = 24;

void PutLine(TextSink& sink)
{
    PutText(sink, "\r\n");
}

void PutLabel(TextSink& sink, std::string_view label)
{
    PutTextPadded(sink, label, HeaderLabelWidth);
}

void PutTextLine(TextSink& sink, std::string_view label, std::string_view value)
{
    PutLabel(sink, label);
    PutText(sink, value);
    PutLine(sink);
}

void PutIntLine(TextSink& sink, std::string_view label, int64_t value)
{
    PutLabel(sink, label);
    PutInt(sink, value);
    PutLine(sink);
}

void PutTableLine(TextSink& sink, std::string_view label, const float* values, size_t count, int width,
                  std::string_view unit)
{
    PutLabel(sink, label);
    for (size_t i = 0; i < count; ++i) {
        if (i > 0)
            PutText(sink, ",");
        PutFixed(sink, values[i], width, 2);
        PutText(sink, unit);
    }
    PutLine(sink);
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
    PutInt(sink, static_cast<int>(time.year) - 2000, 2, true);
    PutInt(sink, time.month, 2, true);
    PutInt(sink, time.day, 2, true);
    PutText(sink, "_");
    PutInt(sink, time.hour, 2, true);
    PutInt(sink, time.minute, 2, true);
    PutInt(sink, time.second, 2, true);
    PutText(sink, "_");
    PutText(sink, suffix);
}

void FormatLogNameCandidate(TextSink& sink, std::string_view name, uint32_t attempt)
{
    if (attempt <= 1) {
        PutText(sink, name);
        return;
    }
    const size_t separator = name.find_last_of("\\/");
    const size_t start = separator == std::string_view::npos ? 0 : separator + 1;
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot < start)
        dot = name.size();
    PutText(sink, name.substr(0, dot));
    PutText(sink, "_");
    PutInt(sink, attempt);
    PutText(sink, name.substr(dot));
}

void FormatLogHeader(TextSink& sink, const LogHeaderData& header)
{
    PutTextLine(sink, "LogName=", header.logName);

    PutLabel(sink, "Created=");
    PutInt(sink, header.created.year, 4, true);
    PutText(sink, " ");
    PutInt(sink, header.created.month, 2, true);
    PutText(sink, ".");
    PutInt(sink, header.created.day, 2, true);
    PutText(sink, " ");
    PutInt(sink, header.created.hour, 2, true);
    PutText(sink, ":");
    PutInt(sink, header.created.minute, 2, true);
    PutText(sink, ":");
    PutInt(sink, header.created.second, 2, true);
    PutLine(sink);

    PutTextLine(sink, "ApplicationVersion=", ApplicationVersion);
    PutTextLine(sink, "DeviceDescription=", header.deviceDescription);
    PutTextLine(sink, "DeviceSerial=", header.deviceSerial);
    PutTextLine(sink, "AFEDescription=", header.afeDescription);
    PutIntLine(sink, "FrequencyDivider=", header.divider);
    PutIntLine(sink, "ExcitationLevel=", header.excitationLevel);
    PutTextLine(sink, "GainCH-A=", header.gainA);
    PutTextLine(sink, "GainCH-B=", header.gainB);
    PutIntLine(sink, "OnExtTrigger=", header.onExtTrigger);
    PutIntLine(sink, "OnBattery=", header.onBattery);
    PutIntLine(sink, "CompensationState=", header.compensationState);
    PutIntLine(sink, "MeasureCompState=", header.measureCompState);
    PutTableLine(sink, "Frequencies=", header.frequencies, MeasurementFrequencyCount, 11, "Hz");
    PutTableLine(sink, "Shunt(re...im...)=", header.shunt, 2 * MeasurementFrequencyCount, 13, "");
    PutTableLine(sink, "CompValues(re...im...)=", header.comp, 2 * MeasurementFrequencyCount, 13, "");
    PutLine(sink);
    PutLine(sink);

    PutText(sink, "\t\t\t\tModule(ohm) Phase(degree)");
    PutLine(sink);

    // Three tabs after "Count" (a row has two), so the labels stand one tab stop to the right.
    PutText(sink, "\tCount\t\t\t");
    for (int k = 1; k <= static_cast<int>(MeasurementFrequencyCount); ++k) {
        PutInt(sink, k, 12);
        PutText(sink, "\t");
        PutInt(sink, k, 7);
        PutText(sink, "\t");
    }
    PutText(sink, "\tPPeriod(us)\tMax-A\tMin-A\tMax-B\tMin-B\tSysErr\tGPIO\tBattery\tChargeStatus");
    PutLine(sink);
}

void FormatLogRow(TextSink& sink, const SpectrumRecord& record)
{
    PutText(sink, "\t");
    PutInt(sink, static_cast<int32_t>(record.MeasCount), 10);
    PutText(sink, "\t\t");
    for (size_t i = 0; i < MeasurementFrequencyCount; ++i) {
        PutFixed(sink, record.Module[i], 12, 2);
        PutText(sink, "\t");
        PutFixed(sink, record.Phase[i], 7, 2);
        PutText(sink, "\t");
    }
    PutText(sink, "\t");
    PutInt(sink, static_cast<int32_t>(record.ProcPeriod), 8);
    PutText(sink, "\t");
    PutInt(sink, record.MaxChA, 5);
    PutText(sink, "\t");
    PutInt(sink, record.MinChA, 5);
    PutText(sink, "\t");
    PutInt(sink, record.MaxChB, 5);
    PutText(sink, "\t");
    PutInt(sink, record.MinChB, 5);
    PutText(sink, "\t0x");
    PutHex(sink, record.SysErrors, 4);
    PutText(sink, "\t0x");
    PutHex(sink, record.GPIOStatus, 2);
    PutText(sink, "\t");
    PutInt(sink, record.BatteryLevel, 4);
    PutText(sink, "\t");
    PutInt(sink, record.ChargerStatus);
    PutLine(sink);
}

bool LogFlushDue(uint32_t fill, uint32_t count)
{
    if (count == 0)
        return fill > 0;
    return static_cast<uint64_t>(fill) > static_cast<uint64_t>(count - 1) * LogRowLength;
}
