#include "Throughput.h"

bool ThroughputTick(ThroughputMeter& meter, uint32_t bytes, uint32_t nowMs, uint32_t* rateKbps)
{
    if (bytes == 0) {
        meter = ThroughputMeter{};
        *rateKbps = 0;
        return true;
    }
    if (meter.LastSampleMs == 0) {
        meter.LastSampleMs = nowMs;
        return false;
    }
    // Taken as an absolute difference, a pair of samples across midnight gives a long time and
    // so a small rate, never a negative time.
    uint32_t elapsed = nowMs > meter.LastSampleMs ? nowMs - meter.LastSampleMs : meter.LastSampleMs - nowMs;
    meter.Accumulated += bytes;
    if (elapsed <= 500)
        return false;
    // Bits per millisecond are kilobits per second.
    *rateKbps = static_cast<uint32_t>(uint64_t{meter.Accumulated} * 8 / elapsed);
    meter.LastSampleMs = nowMs;
    meter.Accumulated = 0;
    return true;
}

uint32_t MillisecondsOfDay(uint32_t hour, uint32_t minute, uint32_t second, uint32_t milliseconds)
{
    return ((hour * 60 + minute) * 60 + second) * 1000 + milliseconds;
}
