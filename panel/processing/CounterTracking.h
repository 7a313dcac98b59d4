// Keeps track, from one batch to the next, of the device's running record counter (to find the
// records that never arrived) and of the input levels last put on screen.
#pragma once

#include <cstdint>

struct CounterTracking {
    uint32_t LastMeasCount;  // counter of the record seen last
    uint16_t LastGpioStatus; // input levels shown last; 0xFFFF, which no device reports, forces the next comparison to differ
};

// Feeds one record's counter. The device restarts its counter at 0; that resets the tracking and
// the remembered input levels. For any other value, returns true if the previous counter was not
// its predecessor, and puts the number of missing records (computed modulo 2^32, so a counter
// that jumped back yields a large number) into *lost.
bool FollowMeasCount(CounterTracking& sequence, uint32_t measCount, uint32_t* lost);

// Compares shown input levels with the ones remembered, and remembers the new ones.
bool GpioStatusChanged(CounterTracking& sequence, uint16_t status);
