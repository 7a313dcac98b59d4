#include "Protocol.h"

#include "FrameScanner.h"
#include "RecordRing.h"
#include "UsbTransport.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

void AddTo(uint32_t* counter, uint32_t amount)
{
    InterlockedExchangeAdd(reinterpret_cast<volatile LONG*>(counter), static_cast<LONG>(amount));
}

// Gives ReplyLock to the command expecting this reply and takes it back once the command has
// copied it (or after 100 ms). Replies nobody asked for are dropped.
void HandOverReply(LibraryState& state, uint16_t tag, const uint8_t* payload)
{
    if (state.ExpectedReply.load() != tag)
        return;
    state.ReplyData = payload;
    ReleaseMutex(state.ReplyLock);
    WaitForSingleObject(state.ReplyTaken, ReplyWaitMs);
    WaitForSingleObject(state.ReplyLock, ReplyWaitMs);
}

// Waits for the reader's hand-over; true with ReplyLock held and ReplyData valid.
bool TakeReply(LibraryState& state)
{
    if (WaitForSingleObject(state.ReplyLock, ReplyWaitMs) == WAIT_OBJECT_0 && state.ReplyData)
        return true;
    // A timed-out wait owns nothing and the release does nothing; an abandoned lock (the reader
    // ended while holding it) carries no reply. A reply arriving from now on is dropped.
    state.ExpectedReply.store(0);
    ReleaseMutex(state.ReplyLock);
    return false;
}

// Gives the lock back to the reader after the reply was copied.
void ReleaseReply(LibraryState& state)
{
    state.ReplyData = nullptr;
    state.ExpectedReply.store(0);
    SetEvent(state.ReplyTaken);
    ReleaseMutex(state.ReplyLock);
}

void StoreGpioStatus(LibraryState& state, const uint8_t* value)
{
    const uint32_t low = static_cast<uint32_t>(value[0] | (value[1] << 8));
    const uint32_t status = (state.GpioStatus.load() & 0xFFFF0000u) | low;
    state.GpioStatus.store(status);
    if (uint32_t* word = state.GpioWord.load())
        InterlockedExchange(reinterpret_cast<volatile LONG*>(word), static_cast<LONG>(status));
}

} // namespace

DWORD SendRequest(LibraryState& state, size_t words)
{
    const size_t length = 2 * words;
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[length]);
    if (!bytes)
        return ERROR_NOT_ENOUGH_MEMORY;
    for (size_t i = 0; i < words; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(state.RequestFrame[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<uint8_t>(state.RequestFrame[i] >> 8);
    }
    ULONG ulWritten = 0;
    DWORD error = 0;
    if (!WritePipe(state.device, bytes.get(), static_cast<ULONG>(length), &ulWritten)) {
        error = GetLastError();
        if (error == 0)
            error = ERROR_INVALID_PARAMETER;
    }
    if (ActivityCounters* activity = state.activity.load())
        AddTo(&activity->bytesSent, static_cast<uint32_t>(length));
    return error;
}

void ExpectReply(LibraryState& state, uint16_t tag)
{
    state.ReplyData = nullptr;
    ResetEvent(state.ReplyTaken);
    state.ExpectedReply.store(tag);
}

DWORD SyncReader(LibraryState& state)
{
    // The reader may take ReadLock back before this thread waits for it and start a read that
    // nothing ends (an idle device sends nothing), so the wake is repeated until the lock is
    // ours; the whole wait stays bounded by ReadLockSyncMs.
    const DWORD start = GetTickCount();
    for (;;) {
        SetEvent(state.WakeEvent);
        const DWORD wait = WaitForSingleObject(state.ReadLock, 10);
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED)
            break;
        if (wait != WAIT_TIMEOUT || GetTickCount() - start >= ReadLockSyncMs)
            return STATUS_READER_SYNC_FAILED;
    }
    ReleaseMutex(state.ReadLock);
    return 0;
}

DWORD ChangeReadLength(LibraryState& state, uint16_t length)
{
    Sleep(1);
    state.ReadLength.store(length);
    return SyncReader(state);
}

int FetchReplyText(LibraryState& state, uint8_t* destination)
{
    if (!TakeReply(state))
        return RESULT_NO_RESPONSE;
    memcpy(destination, state.ReplyData, TextPayloadSize);
    destination[TextPayloadSize] = 0;
    ReleaseReply(state);
    return 0;
}

int FetchReplyBlock(LibraryState& state, uint8_t* destination)
{
    if (!TakeReply(state))
        return RESULT_NO_RESPONSE;
    memcpy(destination, state.ReplyData, ConfigPayloadSize);
    ReleaseReply(state);
    return 0;
}

int FetchReplyI2C(LibraryState& state, size_t count, uint8_t* destination)
{
    if (!TakeReply(state))
        return RESULT_I2C_NO_RESPONSE;
    for (size_t i = 0; i < count; ++i)
        destination[i] = state.ReplyData[2 * i];
    ReleaseReply(state);
    return 0;
}

void ParseBlock(LibraryState& state, size_t received)
{
    const uint8_t* bytes = state.ReceiveBuffer;
    size_t pos = 0;
    FoundFrame frame;
    while (NextFrame(bytes, received, pos, frame)) {
        switch (frame.tag) {
        case TagSpectrum:
            if (state.mode.load() != ModeIdle)
                StoreSpectrum(state, bytes + frame.offset);
            break;
        case TagGpioStatus:
            StoreGpioStatus(state, bytes + frame.offset + 4);
            break;
        default:
            HandOverReply(state, frame.tag, bytes + frame.payloadOffset);
            break;
        }
    }
}
