#include "RecordRing.h"

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

// Signals, resets or posts the overrun as an index update says; called with the lock held, so a
// reset for an emptied ring cannot undo the signal of a record stored right after it.
void Announce(LibraryState& state, const RingAdvance& advance)
{
    if (advance.signal)
        SetEvent(state.ring.event);
    if (advance.resetEvent)
        ResetEvent(state.ring.event);
    if (advance.overrun)
        PostStatus(state, STATUS_RING_OVERRUN);
}

// Takes the oldest record into `destination`; false when the ring is empty or its lock could not
// be had within `timeoutMs`.
bool TakeOldest(LibraryState& state, uint8_t* destination, DWORD timeoutMs)
{
    SpectrumRing& ring = state.ring;
    if (!LockRing(ring, timeoutMs))
        return false;
    const bool any = RingUnread(ring.indexes, RingCapacity) > 0;
    if (any) {
        memcpy(destination, ring.slots[ring.indexes.read], KALVIX_SPECTRUM_SIZE);
        Announce(state, AdvanceRingIndexes(ring.indexes, 0, 1, RingCapacity));
    }
    ReleaseMutex(ring.lock);
    return any;
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

void StoreSpectrum(LibraryState& state, const uint8_t* frame)
{
    SpectrumRing& ring = state.ring;
    // The poll thread holds the lock only for one copy; a record that still cannot be placed is
    // lost the way an overrun loses one.
    if (!LockRing(ring, StoreLockWaitMs)) {
        PostStatus(state, STATUS_RING_OVERRUN);
        return;
    }
    memcpy(ring.slots[ring.indexes.write], frame, KALVIX_SPECTRUM_SIZE);
    Announce(state, AdvanceRingIndexes(ring.indexes, 1, 0, RingCapacity));
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
        bool taken = false;
        // A wake with nothing to take (a signal left over from a stop) waits again for the rest
        // of this record's time. Once the reader has ended on a failed device nothing more will
        // come, so what is left in the ring is taken without waiting.
        for (DWORD waited = 0; !taken; waited = GetTickCount() - start) {
            const bool readerRuns = state.running.load() != 0;
            if (waited >= timeout || WaitForSingleObject(state.ring.event, readerRuns ? timeout - waited : 0) != WAIT_OBJECT_0) {
                if (!readerRuns)
                    SetEvent(state.ring.event); // another caller waiting gives up too
                result = RESULT_POLLING_TIMEOUT;
                break;
            }
            if (state.mode.load() == ModeIdle) // stopped while waiting
                break;
            taken = TakeOldest(state, destination + static_cast<size_t>(KALVIX_SPECTRUM_SIZE) * i, timeout);
        }
        if (!taken)
            break;
        ++i;
    }
    if (delivered)
        *delivered = i;
    return result;
}
