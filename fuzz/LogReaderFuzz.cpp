// Any line read as a log row or header field: a row that reads is whole (every field in range)
// and, written again by the panel's own row text and read back, gives the same record.
#include "FuzzInput.h"
#include "LogFormat.h"
#include "LogReader.h"
#include "TextFormat.h"

#include <cmath>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    LooksLikeLogStart(line);
    LogField field;
    if (ParseLogHeaderField(line, field))
        FUZZ_CHECK(!field.name.empty() && field.name.find('=') == std::string::npos);
    float table[15];
    std::string reason;
    if (!ParseLogTable(line, table, 15, "Hz", reason))
        FUZZ_CHECK(!reason.empty());

    SpectrumRecord record;
    if (!ParseLogRow(line, record, reason)) {
        FUZZ_CHECK(!reason.empty());
        return 0;
    }
    FUZZ_CHECK(record.marker == 0xFF03 && record.tag == 0x01DD);
    char text[4096];
    TextSink sink = MakeTextSink(text, sizeof text);
    FormatLogRow(sink, record);
    if (sink.truncated)
        return 0;  // a huge module: the panel's own buffer would not take it either
    SpectrumRecord again;
    std::string_view written(text, sink.length);
    written.remove_suffix(2);  // CR LF
    FUZZ_CHECK(ParseLogRow(written, again, reason));
    FUZZ_CHECK(again.MeasCount == record.MeasCount && again.ProcPeriod == record.ProcPeriod);
    FUZZ_CHECK(again.SysErrors == record.SysErrors && again.GPIOStatus == record.GPIOStatus);
    FUZZ_CHECK(again.BatteryLevel == record.BatteryLevel && again.ChargerStatus == record.ChargerStatus);
    FUZZ_CHECK(again.MaxChA == record.MaxChA && again.MinChB == record.MinChB);
    for (int i = 0; i < 15; ++i)
        FUZZ_CHECK(std::isnan(record.Module[i]) || std::isinf(record.Module[i]) ||
                   std::fabs(again.Module[i] - record.Module[i]) <= 0.0051 + 1e-6 * std::fabs(record.Module[i]));
    return 0;
}
