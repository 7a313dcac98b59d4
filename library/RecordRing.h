// The 500-record spectrum ring between the reader thread and the caller's poll thread.
#pragma once

#include "LibraryState.h"

#include <cstdint>

constexpr DWORD StoreLockWaitMs = 1000;
constexpr DWORD MeasuringPollSlackMs = 50;
constexpr DWORD TriggerPollSlackMs = 10000;

// Empties the ring before a run starts: event reset, indexes and lap 0, slots zeroed.
void ResetRing(LibraryState& state);

// Copies one 192-byte spectrum frame into the slot at the write index and advances the writer;
// a full ring drops its oldest record and posts STATUS_RING_OVERRUN.
void StoreSpectrum(LibraryState& state, const uint8_t* frame);

// Delivers up to `count` records into `destination`, waiting for each with the time-out of the
// current mode. Writes the number delivered to `delivered` (when given). 0, or
// RESULT_POLLING_TIMEOUT on a time-out.
int ReadSpectra(LibraryState& state, uint32_t count, uint8_t* destination, uint32_t* delivered);
