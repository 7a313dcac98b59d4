#include "ClipboardText.h"

#include "TextFormat.h"

size_t FormatImpedanceText(char* block, size_t limit, const float* frequencies, const SpectrumRecord& record)
{
    TextSink sink = MakeTextSink(block, limit);
    for (size_t i = 0; i < MeasurementFrequencyCount; ++i) {
        PutFixed(sink, frequencies[i], 12, 2);
        PutText(sink, "\t");
        PutFixed(sink, record.Module[i], 12, 2);
        PutText(sink, "\t");
        PutFixed(sink, record.Phase[i], 7, 2);
        PutText(sink, "\r\n");
    }
    return sink.length;
}
