// The 500-record spectrum ring between the reader thread and the caller's poll thread.
#pragma once

#include "LibraryState.h"

#include <cstdint>

constexpr DWORD RingLockWaitMs = 10;
constexpr DWORD MeasuringPollSlackMs = 50;
constexpr DWORD TriggerPollSlackMs = 10000;

// Empties the ring before a run starts: event reset, indexes and lap 0, slots zeroed.
void ResetRing(LibraryState& state);

// Moves the indexes and signals, resets or posts overrun (14004) as the arithmetic says.
void AdvanceRing(LibraryState& state, uint16_t writeStep, uint16_t readStep);

// Copies one 192-byte spectrum frame into the slot at the write index and advances the writer.
void StoreSpectrum(LibraryState& state, const uint8_t* frame);

// Delivers up to `count` records into `destination`, waiting for each with the time-out of the
// current mode. Writes the number delivered to `delivered` (when given). 0, or 116 on a time-out.
int ReadSpectra(LibraryState& state, uint32_t count, uint8_t* destination, uint32_t* delivered);
