// MeasCount, the device's 32-bit spectrum counter, as one axis that keeps growing: after
// 4294967295 comes 0 (49.7 days at 1000 spectra per second), and a log read in order tells the
// counter wrapping from a new measurement by how far it stepped.
#pragma once

#include <cstdint>

// A drop in MeasCount that is a forward step of at most this many modulo 2^32 is the counter
// wrapping (spectra lost across it included); any other drop, or the same count again, is a new
// measurement.
constexpr uint64_t MeasCountWrapReach = 1ull << 20;

struct MeasCountAxis {
    uint64_t wraps = 0;       // since the last new measurement
    uint32_t previous = 0;
    bool started = false;
};

struct MeasCountStep {
    uint64_t count = 0;       // on the axis: MeasCount + 2^32 for every wrap since the last restart
    uint64_t lost = 0;        // spectra missing just before this one
    bool wrapped = false;     // the counter passed 4294967295 to reach it
    bool restarted = false;   // a new measurement: the axis starts again from its MeasCount
};

// The next MeasCount of a log, in file order.
MeasCountStep AdvanceMeasCount(MeasCountAxis& axis, uint32_t measCount);
