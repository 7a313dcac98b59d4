#include "ClipboardText.h"

#include "TextFormat.h"

size_t FormatImpedanceText(char* block, size_t limit, const float* frequencies, const SpectrumRecord& record)
{
    TextSink sink = MakeTextSink(block, limit);
    for (size_t i = 0; i < MeasurementFrequencyCount; ++i)
        Print(sink, "{:>12.2f}\t{:>12.2f}\t{:>7.2f}\r\n", frequencies[i], record.Module[i], record.Phase[i]);
    return sink.length;
}
