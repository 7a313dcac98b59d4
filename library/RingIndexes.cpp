#include "RingIndexes.h"

namespace {

// One slot on; past the last slot it goes back to 0 and the lap flag turns.
void StepIndex(unsigned& index, uint8_t& lap, unsigned capacity)
{
    if (++index >= capacity) {
        index = 0;
        lap ^= 0xFF;
    }
}

} // namespace

uint16_t RingUnread(const RingIndexes& ring, uint16_t capacity)
{
    if (ring.lap == 0x00)
        return ring.write >= ring.read ? static_cast<uint16_t>(ring.write - ring.read) : 0;
    return ring.read >= ring.write ? static_cast<uint16_t>(capacity - ring.read + ring.write) : capacity;
}

RingAdvance AdvanceRingIndexes(RingIndexes& ring, uint16_t writeStep, uint16_t readStep, uint16_t capacity)
{
    RingAdvance result{};
    unsigned write = ring.write;
    unsigned read = ring.read;
    uint8_t lap = ring.lap;
    unsigned unread = RingUnread(ring, capacity);

    if (writeStep != 0) {
        // A full ring has just had its oldest record overwritten: it is dropped, so the reader
        // goes on with the oldest record still held, in order.
        if (unread == capacity) {
            StepIndex(read, lap, capacity);
            --unread;
            result.overrun = true;
        }
        StepIndex(write, lap, capacity);
        ++unread;
    }
    bool readWrapped = false;
    if (readStep != 0 && unread > 0) {
        StepIndex(read, lap, capacity);
        readWrapped = read == 0;
        --unread;
    }

    result.signal = unread > 0;
    // The event stays up for records the writer stored after its own wrap; a read index that
    // wraps onto an empty ring takes a stale signal down.
    result.resetEvent = readWrapped && unread == 0;
    ring = RingIndexes{lap, static_cast<uint16_t>(write), static_cast<uint16_t>(read)};
    return result;
}
