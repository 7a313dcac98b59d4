#include "RecordRing.h"

#include <algorithm>
#include <cstring>

// Both sides copy slots and move indexes only while they hold the ring lock: once the ring is
// full the writer stores into the very slot the poll thread takes next, so a copy made outside
// the lock could be half old and half new, or a record from the previous lap.

namespace {

// An abandoned lock (a thread ended while holding it) is owned all the same.
bool LockRing(SpectrumRing& ring, DWORD timeoutMs)
{
    const DWORD wait = WaitForSingleObject(ring.lock, timeoutMs);
    return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

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
// reset for an emptied ring cannot undo the signal of a record stored right after it.
void Announce(LibraryState& state, const BatchAdvance& batch)
{
    if (batch.last.signal)
        SetEvent(state.ring.event);
    if (batch.last.resetEvent)
        ResetEvent(state.ring.event);
    for (unsigned i = 0; i < batch.overruns; ++i)
        PostStatus(state, STATUS_RING_OVERRUN);
}

// Takes the oldest records, up to `wanted`, into `destination`; the number taken, 0 when the
// ring is empty or its lock could not be had within `timeoutMs`.
uint32_t TakeOldest(LibraryState& state, uint8_t* destination, uint32_t wanted, DWORD timeoutMs)
{
    SpectrumRing& ring = state.ring;
    if (!LockRing(ring, timeoutMs))
        return 0;
    const uint32_t taken = std::min<uint32_t>(wanted, RingUnread(ring.indexes, RingCapacity));
    BatchAdvance batch;
    for (uint32_t i = 0; i < taken; ++i) {
        memcpy(destination + static_cast<size_t>(KALVIX_SPECTRUM_SIZE) * i, ring.slots[ring.indexes.read],
               KALVIX_SPECTRUM_SIZE);
        batch.Add(AdvanceRingIndexes(ring.indexes, 0, 1, RingCapacity));
    }
    if (taken > 0)
        Announce(state, batch);
    ReleaseMutex(ring.lock);
    return taken;
}

} // namespace

void ResetRing(LibraryState& state)
{
    SpectrumRing& ring = state.ring;
    const bool locked = LockRing(ring, StoreLockWaitMs);
    ResetEvent(ring.event);
    ring.indexes = RingIndexes{};
    memset(ring.slots, 0, sizeof ring.slots);
    if (locked)
        ReleaseMutex(ring.lock);
}

void StoreSpectra(LibraryState& state, const uint8_t* const* frames, size_t count)
{
    if (count == 0)
        return;
    SpectrumRing& ring = state.ring;
    // The poll thread holds the lock only while it copies what it takes; records that still
    // cannot be placed are lost the way an overrun loses them.
    if (!LockRing(ring, StoreLockWaitMs)) {
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
    ReleaseMutex(ring.lock);
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
        // A wake with nothing to take (a signal left over from a stop) waits again for the rest
        // of this wait's time. Once the reader has ended on a failed device nothing more will
        // come, so what is left in the ring is taken without waiting.
        for (DWORD waited = 0; taken == 0; waited = GetTickCount() - start) {
            const bool readerRuns = state.running.load() != 0;
            if (waited >= timeout || WaitForSingleObject(state.ring.event, readerRuns ? timeout - waited : 0) != WAIT_OBJECT_0) {
                if (!readerRuns)
                    SetEvent(state.ring.event); // another caller waiting gives up too
                result = RESULT_POLLING_TIMEOUT;
                break;
            }
            if (state.mode.load() == ModeIdle) // stopped while waiting
                break;
            taken = TakeOldest(state, destination + static_cast<size_t>(KALVIX_SPECTRUM_SIZE) * i, count - i, timeout);
        }
        if (taken == 0)
            break;
        i += taken;
    }
    if (delivered)
        *delivered = i;
    return result;
}
