// One batch of spectra handed over by the poll thread: lost-spectra notices, the display of its
// first spectrum (numbers, status values, level bars, both graphs, AFE detection on a GPIO
// change) and the log rows.
#pragma once

#include "KalvixCtrl.h"

#include <cstdint>

struct GlobalCtrl;

void HandleSpectrumBatch(GlobalCtrl* ctrl, const SpectrumRecord* records, uint32_t count);

// Batches handled since the program started (for whoever waits for the display to catch up).
uint32_t HandledSpectrumBatches();

// The counter and GPIO status followed across batches start again as at program start.
void ResetCounterTracking();
