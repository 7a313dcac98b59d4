// One batch of spectra handed over by the poll thread: lost-spectra notices, the display of its
// first spectrum (numbers, status values, level bars, both graphs, AFE detection on a GPIO
// change) and the log rows.
#pragma once

#include <windows.h>

#include "CounterTracking.h"
#include "KalvixCtrl.h"

#include <atomic>
#include <cstdint>

struct GlobalCtrl;

// What the main window's record keeps from one batch to the next.
struct BatchTracking {
    CounterTracking Sequence;           // MeasCount and GPIO levels followed across batches
    std::atomic<uint32_t> Handled{0};   // batches handled since the window was made
};

void HandleSpectrumBatch(GlobalCtrl* ctrl, const SpectrumRecord* records, uint32_t count);

// Batches the main window has handled (for whoever waits for the display to catch up); any
// thread may ask.
uint32_t HandledSpectrumBatches(HWND mainWindow);
