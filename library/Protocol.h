// Request frames to the device, the parsing of what it sends back, and the hand-over of replies
// from the reader thread to the command waiting for them.
#pragma once

#include "FrameScanner.h"
#include "LibraryState.h"

#include <cstddef>
#include <cstdint>

// The reader's transfer length is the length of what it expects next: while idle, a GPIO status
// frame; while measuring, SpectraPerRead spectrum frames; for a reply fetched while idle, that
// reply's frame.
constexpr uint16_t IdleReadLength = GpioStatusFrameLength;

constexpr DWORD ReplyWaitMs = 100;
constexpr DWORD ReaderSyncMs = 1000;

// Writes words 0..words-1 of RequestFrame, low byte first, as one OUT transfer and adds the
// bytes to the sent counter. 0, or the system error (ERROR_INVALID_PARAMETER when the system
// reports none).
DWORD SendRequest(LibraryState& state, size_t words);

// Wakes the reader and waits until every read it started so far has finished, so that its next
// read uses the ReadLength stored before. 0 or STATUS_READER_SYNC_FAILED.
DWORD SyncReader(LibraryState& state);

// Waits 1 ms, stores the new read length, then SyncReader.
DWORD ChangeReadLength(LibraryState& state, uint16_t length);

// After a stop the device still sends the spectra it had queued, in transfers of the
// measurement's size. Returns once the device has sent nothing for a moment, and not before its
// status after a stop is due (at most about 3 s in all),
// with the reader still at the measurement's read length, so that the next reply does not sit
// behind them and no transfer is in flight when the read length changes.
void AwaitQueuedSpectra(LibraryState& state);

// Announces the reply frame (by tag) the next request will be answered with, under a ticket of
// its own; tag 0 withdraws it. Only that reply is handed over, and only to this request: the
// reader waits for the command to take it, so a reply that arrives before the command waits for
// it is not lost, and one the command has given up on is never taken by the next request.
void ExpectReply(LibraryState& state, uint16_t tag);

constexpr uint32_t ReplyClaimed = 0x80000000u;

// Take the reply handed over by the reader within ReplyWaitMs: 0, or RESULT_NO_RESPONSE
// (RESULT_I2C_NO_RESPONSE for the I2C form).
int FetchReplyText(LibraryState& state, uint8_t* destination);  // TextPayloadSize bytes and a zero
int FetchReplyBlock(LibraryState& state, uint8_t* destination); // ConfigPayloadSize bytes
int FetchReplyI2C(LibraryState& state, size_t count, uint8_t* destination);

// Parses one received block: stores spectra (while measuring), hands replies over, records GPIO
// status. Runs on the reader thread only.
void ParseBlock(LibraryState& state, size_t received);
