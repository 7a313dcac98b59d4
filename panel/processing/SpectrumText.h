// What the main window shows of one spectrum, as text: the module and phase table beside the
// frequency list and the status values; and the fixed scale an operator types for a graph.
#pragma once

#include "KalvixCtrl.h"
#include "TextFormat.h"

#include <cstddef>
#include <cstdint>

// 15 lines of module and phase, each "%13.2f"; lines joined by "\r\n", the last without one.
void FormatImpedanceNumbers(TextSink& sink, const SpectrumRecord& record);

// "MeasCount: %-10d\nProcPeriod[us]: %-8d\n..." down to "GPIOStatus: 0x%02X".
void FormatStatusValues(TextSink& sink, const SpectrumRecord& record);

// A graph's fixed scale: maximum and minimum read with "%d %d" from at most the first 19
// characters of the scale text; both 0 (automatic scale) unless two integers are read.
struct FixedScale {
    int32_t maximum;
    int32_t minimum;
};
FixedScale ReadFixedScale(const char* text, size_t length);
