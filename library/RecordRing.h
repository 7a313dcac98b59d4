// The 500-record spectrum ring between the reader thread and the caller's poll thread.
#pragma once

#include "LibraryState.h"

#include <cstdint>

constexpr DWORD StoreLockWaitMs = 1000;
constexpr DWORD MeasuringPollSlackMs = 50;
constexpr DWORD TriggerPollSlackMs = 10000;

// Empties the ring before a run starts: event reset, indexes and lap 0, slots zeroed.
void ResetRing(LibraryState& state);

// Most spectrum frames one transfer carries (the 768-byte receive buffer).
constexpr size_t MaxSpectraPerTransfer = 4;

// Copies the 192-byte spectrum frames of one transfer, in order, into the slots from the write
// index on and advances the writer, all under one hold of the ring lock and with one signal of
// the ring event (when a caller waits on it). Each record stored into a full ring drops the oldest and posts
// STATUS_RING_OVERRUN.
void StoreSpectra(LibraryState& state, const uint8_t* const* frames, size_t count);

// Delivers up to `count` records into `destination`, oldest first. It takes every record there
// is, up to what is still wanted, under one hold of the lock; while records are still wanted and
// the ring is empty it waits for the ring event with the time-out of the current mode. Writes the
// number delivered to `delivered` (when given). 0, or RESULT_POLLING_TIMEOUT when a wait timed
// out.
int ReadSpectra(LibraryState& state, uint32_t count, uint8_t* destination, uint32_t* delivered);
