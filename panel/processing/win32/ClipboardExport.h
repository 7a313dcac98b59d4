// Copying the impedance table of the latest spectrum to the clipboard as text.
#pragma once

#include "KalvixCtrl.h"

#include <cstdint>

struct GlobalCtrl;

// Puts the 15 lines of frequency, module and phase of records[0] on the clipboard as CF_TEXT.
// Returns 0, -1 when no memory block could be had, -2 when the clipboard could not be opened or
// refused the block (the block is then freed), so the caller can leave out its confirmation.
int32_t CopyImpedanceToClipboard(GlobalCtrl* ctrl, const SpectrumRecord* records);
