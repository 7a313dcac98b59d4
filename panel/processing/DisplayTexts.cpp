#include "DisplayTexts.h"

#include "NumberParse.h"
#include "RecordLayouts.h"

#include <string_view>

namespace {

// One integer at p after any blanks; a number wider than 32 bits keeps its low 32 bits.
const char* ReadScaleInteger(const char* p, const char* end, int32_t& value)
{
    p = SkipBlanks(p, end);
    uint64_t read = 0;
    const char* after = ReadInteger(p, end, 10, read);
    if (after)
        value = static_cast<int32_t>(static_cast<uint32_t>(read));
    return after;
}

} // namespace

void FormatImpedanceNumbers(TextSink& sink, const SpectrumRecord& record)
{
    for (size_t i = 0; i < MeasurementFrequencyCount; ++i)
        Print(sink, "{}{:>13.2f}{:>13.2f}", i > 0 ? "\r\n" : "", record.Module[i], record.Phase[i]);
}

void FormatStatusValues(TextSink& sink, const SpectrumRecord& record)
{
    Print(sink,
          "MeasCount: {:<10}\nProcPeriod[us]: {:<8}\nMaxChA: {:<5}\nMinChA: {:<5}\nMaxChB: {:<5}\nMinChB: {:<5}\n"
          "ChargerStatus: {}\nBatteryLevel[mV]: {:4}\nSysErrors: 0x{:04X}\nGPIOStatus: 0x{:02X}",
          static_cast<int32_t>(record.MeasCount), static_cast<int32_t>(record.ProcPeriod), record.MaxChA, record.MinChA,
          record.MaxChB, record.MinChB, record.ChargerStatus, record.BatteryLevel, record.SysErrors, record.GPIOStatus);
}

FixedScale ReadFixedScale(const char* text, size_t length)
{
    constexpr size_t ScaleTextLimit = 19;
    if (!text)
        return FixedScale{0, 0};
    const char* end = text + (length < ScaleTextLimit ? length : ScaleTextLimit);
    for (const char* p = text; p < end; ++p)
        if (*p == '\0') {
            end = p;
            break;
        }
    FixedScale scale{0, 0};
    const char* p = ReadScaleInteger(text, end, scale.maximum);
    if (!p || !ReadScaleInteger(p, end, scale.minimum))
        return FixedScale{0, 0};
    return scale;
}
