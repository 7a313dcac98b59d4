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
    for (size_t i = 0; i < MeasurementFrequencyCount; ++i) {
        if (i > 0)
            PutText(sink, "\r\n");
        PutFixed(sink, record.Module[i], 13, 2);
        PutFixed(sink, record.Phase[i], 13, 2);
    }
}

void FormatStatusValues(TextSink& sink, const SpectrumRecord& record)
{
    PutText(sink, "MeasCount: ");
    PutIntLeft(sink, static_cast<int32_t>(record.MeasCount), 10);
    PutText(sink, "\nProcPeriod[us]: ");
    PutIntLeft(sink, static_cast<int32_t>(record.ProcPeriod), 8);
    PutText(sink, "\nMaxChA: ");
    PutIntLeft(sink, record.MaxChA, 5);
    PutText(sink, "\nMinChA: ");
    PutIntLeft(sink, record.MinChA, 5);
    PutText(sink, "\nMaxChB: ");
    PutIntLeft(sink, record.MaxChB, 5);
    PutText(sink, "\nMinChB: ");
    PutIntLeft(sink, record.MinChB, 5);
    PutText(sink, "\nChargerStatus: ");
    PutInt(sink, record.ChargerStatus);
    PutText(sink, "\nBatteryLevel[mV]: ");
    PutInt(sink, record.BatteryLevel, 4);
    PutText(sink, "\nSysErrors: 0x");
    PutHex(sink, record.SysErrors, 4);
    PutText(sink, "\nGPIOStatus: 0x");
    PutHex(sink, record.GPIOStatus, 2);
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
