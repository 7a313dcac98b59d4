// The impedance table as clipboard text: 15 lines of frequency, module and phase.
#pragma once

#include "KalvixCtrl.h"
#include "RecordLayouts.h"

#include <cstddef>

constexpr size_t ImpedanceTextSize = 530; // block size, terminator included

// Lines "%12.2f\t%12.2f\t%7.2f\r\n" (frequency i, Module[i], Phase[i]) into block, cut to
// limit - 1 characters and terminated. Returns the length of the text.
size_t FormatImpedanceText(char* block, size_t limit, const float* frequencies, const SpectrumRecord& record);
