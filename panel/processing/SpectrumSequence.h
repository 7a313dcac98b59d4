// Following the device's running spectrum counter across batches: gaps (lost spectra) and the
// GPIO status of the last displayed spectrum.
#pragma once

#include <cstdint>

struct SpectrumSequence {
    uint32_t LastMeasCount;  // MeasCount of the last spectrum handled
    uint16_t LastGpioStatus; // GPIOStatus of the last displayed spectrum; 0xFFFF: the next one counts as a change
};

// Takes the next spectrum's MeasCount. A count of 0 starts a new counting sequence (and makes the
// next displayed GPIO status a change). Otherwise returns true when spectra are missing before it,
// with their number, m - 1 - last, in unsigned 32-bit arithmetic (a counter that went backwards
// gives the wrapped difference).
bool FollowMeasCount(SpectrumSequence& sequence, uint32_t measCount, uint32_t* lost);

// True when a displayed spectrum's GPIO status differs from the last one displayed; remembers it.
bool GpioStatusChanged(SpectrumSequence& sequence, uint16_t status);
