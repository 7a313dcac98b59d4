#include "RingIndexes.h"

namespace {

// Moves an index past the last slot back to 0; true when it wrapped.
bool Wrap(uint16_t& index, uint16_t capacity)
{
    if (index <= capacity - 1)
        return false;
    index = 0;
    return true;
}

} // namespace

RingAdvance AdvanceRingIndexes(RingIndexes& ring, uint16_t writeStep, uint16_t readStep, uint16_t capacity)
{
    RingAdvance result{};
    ring.write = static_cast<uint16_t>(ring.write + writeStep);
    ring.read = static_cast<uint16_t>(ring.read + readStep);

    const bool sameLap = ring.lap == 0x00;
    const bool writerAhead = sameLap ? ring.write > ring.read : ring.write < ring.read;
    const bool writerPassed = sameLap ? ring.write < ring.read : ring.write > ring.read;
    const bool full = !sameLap && ring.write == ring.read;
    result.overrun = writerPassed;
    result.signal = writerAhead || full;

    // A writer that passes the reader has overwritten the oldest unread record: it is dropped, so
    // the ring stays full and the reader goes on with the oldest record still held, in order.
    const bool dropOldest = writerPassed && writeStep != 0;
    if (dropOldest) {
        ring.read = ring.write;
        result.signal = true;
    }

    if (Wrap(ring.write, capacity))
        ring.lap ^= 0xFF;
    if (Wrap(ring.read, capacity)) {
        ring.lap ^= 0xFF;
        // Records the writer stored after its own wrap are still waiting: keep the event up for
        // them rather than holding them back until the next record arrives.
        const bool empty = ring.lap == 0x00 && ring.write == ring.read;
        result.resetEvent = empty;
        result.signal = !empty;
    }
    return result;
}
