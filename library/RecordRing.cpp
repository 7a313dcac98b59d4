#include "RecordRing.h"

#include <algorithm>
#include <cstring>

// Both sides copy slots and move indexes only while they hold the ring lock: once the ring is
// full the writer stores into the very slot the poll thread takes next, so a copy made outside
// the lock could be half old and half new, or a record from the previous lap.

namespace {

// What a run of index updates leaves to do: the event as the last update left it, and one
// overrun status for every record dropped on the way.
struct BatchAdvance {
    RingAdvance last{};
    unsigned overruns = 0;

    void Add(const RingAdvance& advance)
    {
        last = advance;
        overruns += advance.overrun ? 1 : 0;
    }
};

// Signals, resets and posts the overruns as the updates say; called with the lock held, so a
// reset for an emptied ring cannot undo the signal of a record stored right after it. The event
// is only signalled for a caller that waits on it: one that finds records takes them without
// waiting, so the common case costs no system call.
void Announce(LibraryState& state, const BatchAdvance& batch)
{
    if (batch.last.signal && state.ring.waiters.load() > 0)
        SetEvent(state.ring.event.Get());
    if (batch.last.resetEvent)
        ResetEvent(state.ring.event.Get());
    for (unsigned i = 0; i < batch.overruns; ++i)
        PostStatus(state, STATUS_RING_OVERRUN);
}

// Takes the oldest records, up to `wanted`, into `destination`; the number taken, 0 when the
// ring is empty or its lock could not be had within `timeoutMs`. A caller that finds the ring
// empty is counted among the waiters before the lock is let go, so the next store signals it.
uint32_t TakeOldest(LibraryState& state, uint8_t* destination, uint32_t wanted, DWORD timeoutMs)
{
    SpectrumRing& ring = state.ring;
    if (!ring.lock.TakeWithin(timeoutMs)) {
        ring.waiters.fetch_add(1);
        return 0;
    }
    const uint32_t taken = std::min<uint32_t>(wanted, RingUnread(ring.indexes, RingCapacity));
    if (taken == 0)
        ring.waiters.fetch_add(1);
    BatchAdvance batch;
    for (uint32_t i = 0; i < taken; ++i) {
        memcpy(destination + static_cast<size_t>(KALVIX_SPECTRUM_SIZE) * i, ring.slots[ring.indexes.read],
               KALVIX_SPECTRUM_SIZE);
        batch.Add(AdvanceRingIndexes(ring.indexes, 0, 1, RingCapacity));
    }
    if (taken > 0)
        Announce(state, batch);
    ring.lock.Release();
    return taken;
}

} // namespace

void ResetRing(LibraryState& state)
{
    SpectrumRing& ring = state.ring;
    const bool locked = ring.lock.TakeWithin(StoreLockWaitMs);
    ResetEvent(ring.event.Get());
    ring.indexes = RingIndexes{};
    memset(ring.slots, 0, sizeof ring.slots);
    if (locked)
        ring.lock.Release();
}

void StoreSpectra(LibraryState& state, const uint8_t* const* frames, size_t count)
{
    if (count == 0)
        return;
    SpectrumRing& ring = state.ring;
    // The poll thread holds the lock only while it copies what it takes; records that still
    // cannot be placed are lost the way an overrun loses them.
    if (!ring.lock.TakeWithin(StoreLockWaitMs)) {
        for (size_t i = 0; i < count; ++i)
            PostStatus(state, STATUS_RING_OVERRUN);
        return;
    }
    BatchAdvance batch;
    for (size_t i = 0; i < count; ++i) {
        memcpy(ring.slots[ring.indexes.write], frames[i], KALVIX_SPECTRUM_SIZE);
        batch.Add(AdvanceRingIndexes(ring.indexes, 1, 0, RingCapacity));
    }
    Announce(state, batch);
    ring.lock.Release();
}

int ReadSpectra(LibraryState& state, uint32_t count, uint8_t* destination, uint32_t* delivered)
{
    const DWORD slack = state.mode.load() == ModeExternalTrigger ? TriggerPollSlackMs : MeasuringPollSlackMs;
    const DWORD timeout = static_cast<DWORD>(state.SpectraPerRead) * state.divider + slack;

    uint32_t i = 0;
    int result = 0;
    while (i < count) {
        const DWORD start = GetTickCount();
        uint32_t taken = 0;
        // Records already there are taken without waiting. A wake with nothing to take (a signal
        // left over from a stop, or from a caller that gave up) waits again for the rest of this
        // wait's time. Once the reader has ended on a failed device nothing more will come, so
        // what is left in the ring is taken without waiting.
        for (DWORD waited = 0;; waited = GetTickCount() - start) {
            taken = TakeOldest(state, destination + static_cast<size_t>(KALVIX_SPECTRUM_SIZE) * i, count - i, timeout);
            if (taken > 0)
                break;
            const bool readerRuns = state.running.load() != 0;
            const bool woken = waited < timeout &&
                               WaitForSingleObject(state.ring.event.Get(), readerRuns ? timeout - waited : 0) == WAIT_OBJECT_0;
            state.ring.waiters.fetch_sub(1);
            if (!woken) {
                if (!readerRuns)
                    SetEvent(state.ring.event.Get()); // another caller waiting gives up too
                result = RESULT_POLLING_TIMEOUT;
                break;
            }
            if (state.mode.load() == ModeIdle) // stopped while waiting
                break;
        }
        if (taken == 0)
            break;
        i += taken;
    }
    if (delivered)
        *delivered = i;
    return result;
}
