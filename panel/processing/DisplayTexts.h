// Text for the two text panels of the main window (impedance numbers and record status), and
// the reading of the two numbers an operator types to pin a graph's vertical range.
#pragma once

#include "KalvixCtrl.h"
#include "TextFormat.h"

#include <cstddef>
#include <cstdint>

// One line per frequency: module then phase, each right-aligned in 13 characters with two
// decimals; CR LF between lines, none after the last.
void FormatImpedanceNumbers(TextSink& sink, const SpectrumRecord& record);

// Ten labelled lines, counter first and input levels last, one field per line.
void FormatStatusValues(TextSink& sink, const SpectrumRecord& record);

// Top and bottom of a pinned graph range: two integers from the first 19 characters of the
// typed text. Anything short of two integers gives 0 and 0, which leaves the range automatic.
struct FixedScale {
    int32_t maximum;
    int32_t minimum;
};
FixedScale ReadFixedScale(const char* text, size_t length);
