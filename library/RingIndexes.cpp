#include "RingIndexes.h"

RingAdvance AdvanceRingIndexes(RingIndexes& ring, uint16_t writeStep, uint16_t readStep, uint16_t capacity)
{
    RingAdvance result{};
    ring.write = static_cast<uint16_t>(ring.write + writeStep);
    ring.read = static_cast<uint16_t>(ring.read + readStep);

    const bool writerAhead = ring.lap == 0x00 ? ring.write > ring.read : ring.write < ring.read;
    const bool writerPassed = ring.lap == 0x00 ? ring.write < ring.read : ring.write > ring.read;
    result.signal = writerAhead;
    result.overrun = writerPassed;

    if (ring.write > capacity - 1) {
        ring.write = 0;
        ring.lap ^= 0xFF;
    }
    if (ring.read > capacity - 1) {
        ring.read = 0;
        ring.lap ^= 0xFF;
        result.resetEvent = true;
    }
    return result;
}
