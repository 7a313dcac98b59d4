// The received-data rate meter behind the status bar's "Kb/sec" part.
#pragma once

#include <cstdint>

struct ThroughputMeter {
    uint32_t LastSampleMs;   // time of day of the last sample, 0 = none yet
    uint32_t Accumulated;    // bytes received since then
};

// One watch tick with `bytes` received at `nowMs` (milliseconds of the day). Returns true and
// sets `rateKbps` when the display changes: to 0 when nothing was received lately (bytes 0),
// or to the new rate once more than 500 ms have passed since the last sample. The first tick
// after a pause only starts the clock.
bool ThroughputTick(ThroughputMeter& meter, uint32_t bytes, uint32_t nowMs, uint32_t* rateKbps);

// Milliseconds of the day of a UTC clock time.
uint32_t MillisecondsOfDay(uint32_t hour, uint32_t minute, uint32_t second, uint32_t milliseconds);
