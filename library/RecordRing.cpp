#include "RecordRing.h"

#include <cstring>

void ResetRing(LibraryState& state)
{
    SpectrumRing& ring = state.ring;
    ResetEvent(ring.event);
    ring.indexes = RingIndexes{};
    memset(ring.slots, 0, sizeof ring.slots);
}

void AdvanceRing(LibraryState& state, uint16_t writeStep, uint16_t readStep)
{
    SpectrumRing& ring = state.ring;
    // The lock only covers a few instructions; after 10 ms the update goes ahead regardless.
    const DWORD wait = WaitForSingleObject(ring.lock, RingLockWaitMs);
    const RingAdvance advance = AdvanceRingIndexes(ring.indexes, writeStep, readStep, RingCapacity);
    if (advance.signal)
        SetEvent(ring.event);
    if (advance.overrun)
        PostStatus(state, STATUS_RING_OVERRUN);
    if (advance.resetEvent)
        ResetEvent(ring.event);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED)
        ReleaseMutex(ring.lock);
}

void StoreSpectrum(LibraryState& state, const uint8_t* frame)
{
    memcpy(state.ring.slots[state.ring.indexes.write], frame, KALVIX_SPECTRUM_SIZE);
    AdvanceRing(state, 1, 0);
}

int ReadSpectra(LibraryState& state, uint32_t count, uint8_t* destination, uint32_t* delivered)
{
    const DWORD slack = state.mode.load() == ModeExternalTrigger ? TriggerPollSlackMs : MeasuringPollSlackMs;
    const DWORD timeout = static_cast<DWORD>(state.SpectraPerRead) * state.divider + slack;

    for (uint32_t i = 0; i < count; ++i) {
        if (WaitForSingleObject(state.ring.event, timeout) != WAIT_OBJECT_0) {
            if (delivered)
                *delivered = i;
            return RESULT_POLLING_TIMEOUT;
        }
        if (state.mode.load() == ModeIdle) { // stopped while waiting
            if (delivered)
                *delivered = i;
            return 0;
        }
        memcpy(destination + static_cast<size_t>(KALVIX_SPECTRUM_SIZE) * i,
               state.ring.slots[state.ring.indexes.read], KALVIX_SPECTRUM_SIZE);
        AdvanceRing(state, 0, 1);
    }
    if (delivered)
        *delivered = count;
    return 0;
}
