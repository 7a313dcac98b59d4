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

bool Owned(DWORD wait)
{
    return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

// The reader takes ReplyLock back (after a command kept it past the bounded wait) before it can
// hand over again.
bool ReaderTakesReplyLock(LibraryState& state)
{
    if (!state.ReaderHoldsReplyLock)
        state.ReaderHoldsReplyLock = Owned(WaitForSingleObject(state.ReplyLock.Get(), ReplyWaitMs));
    return state.ReaderHoldsReplyLock;
}

// Gives the reply to the request whose ticket waits for this tag: claims the ticket, copies the
// payload out of ReceiveBuffer (the next read may overwrite that), hands ReplyLock over and takes
// it back once the command has copied the reply (or after ReplyWaitMs). Replies nobody asked for,
// and replies whose command has just given up, are dropped.
void HandOverReply(LibraryState& state, uint16_t tag, const uint8_t* payload, size_t length)
{
    uint32_t ticket = state.ReplyTicket.load();
    if (ticket == 0 || (ticket & 0xFFFF) != tag || (ticket & ReplyClaimed) != 0)
        return;
    if (!ReaderTakesReplyLock(state))
        return;
    if (!state.ReplyTicket.compare_exchange_strong(ticket, ticket | ReplyClaimed))
        return;
    memcpy(state.ReplyData, payload, length);
    state.ReplyFor.store(ticket);
    ReleaseMutex(state.ReplyLock.Get());
    state.ReaderHoldsReplyLock = false;
    WaitForSingleObject(state.ReplyTaken.Get(), ReplyWaitMs);
    ReaderTakesReplyLock(state);
}

// ReplyLock within `budgetMs`, holding the reply for `ticket`; a lock that comes free without
// that hand-over (the reader is taking it back, or has ended) is let go again.
bool TakeHandedOver(LibraryState& state, uint32_t ticket, DWORD budgetMs)
{
    const DWORD start = GetTickCount();
    for (DWORD waited = 0; waited <= budgetMs; waited = GetTickCount() - start) {
        if (Owned(WaitForSingleObject(state.ReplyLock.Get(), budgetMs - waited))) {
            if (state.ReplyFor.load() == ticket)
                return true;
            ReleaseMutex(state.ReplyLock.Get());
            Sleep(1);
        } else if (GetTickCount() - start >= budgetMs) {
            break;
        }
    }
    return false;
}

// Waits up to ReplyWaitMs for this request's reply; true with ReplyLock held and ReplyData holding
// it.
bool TakeReply(LibraryState& state)
{
    const uint32_t ticket = state.AwaitedTicket;
    if (TakeHandedOver(state, ticket, ReplyWaitMs))
        return true;
    // Giving up withdraws the ticket, unless the reader has claimed the reply for this request
    // already: then it is on its way, and it is ours.
    uint32_t waiting = ticket;
    if (state.ReplyTicket.compare_exchange_strong(waiting, 0))
        return false;
    if (TakeHandedOver(state, ticket, ReplyWaitMs))
        return true;
    state.ReplyTicket.store(0);
    return false;
}

// Gives the lock back to the reader after the reply was copied.
void ReleaseReply(LibraryState& state)
{
    state.ReplyFor.store(0);
    state.ReplyTicket.store(0);
    SetEvent(state.ReplyTaken.Get());
    ReleaseMutex(state.ReplyLock.Get());
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
    if (tag == 0) {
        state.ReplyTicket.store(0);
        return;
    }
    state.ReplySequence = static_cast<uint16_t>(state.ReplySequence % 0x7FFF + 1);
    state.AwaitedTicket = tag | (static_cast<uint32_t>(state.ReplySequence) << 16);
    ResetEvent(state.ReplyTaken.Get());
    state.ReplyTicket.store(state.AwaitedTicket);
}

DWORD SyncReader(LibraryState& state)
{
    // Every read started before now may have loaded the old length. The wake ends the one that
    // is pending; it is repeated because it may land just before a read starts (an idle device
    // sends nothing, so nothing else would end that read). Bounded by ReaderSyncMs in all.
    constexpr DWORD WakeAgainMs = 10;
    const uint32_t started = state.ReadsStarted.load();
    const auto finished = [&] { return static_cast<int32_t>(state.ReadsFinished.load() - started) >= 0; };
    const DWORD start = GetTickCount();
    for (;;) {
        SetEvent(state.WakeEvent.Get());
        if (WaitBriefly(finished, WakeAgainMs))
            return 0;
        if (GetTickCount() - start >= ReaderSyncMs)
            return STATUS_READER_SYNC_FAILED;
    }
}

void AwaitQueuedSpectra(LibraryState& state)
{
    constexpr DWORD QuietMs = 20;
    constexpr DWORD LimitMs = 3000;
    // A status that changed while measuring is sent about 20 ms after the stop; ending the wait
    // earlier would change the read length (aborting the read) just as it is on its way.
    constexpr DWORD StatusAfterStopMs = 80;
    state.draining.store(1);
    const DWORD start = GetTickCount();
    uint32_t seen = state.blocksReceived.load();
    while (state.running.load() && GetTickCount() - start < LimitMs) {
        Sleep(QuietMs);
        const uint32_t now = state.blocksReceived.load();
        if (now == seen && GetTickCount() - start >= StatusAfterStopMs)
            break;
        seen = now;
    }
    state.draining.store(0);
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
    // The transfer's spectra go into the ring together; any other frame between them is handed
    // on after the spectra before it, so everything keeps its order.
    const uint8_t* spectra[MaxSpectraPerTransfer];
    size_t pending = 0;
    auto storePending = [&] {
        StoreSpectra(state, spectra, pending);
        pending = 0;
    };
    while (NextFrame(bytes, received, pos, frame)) {
        if (frame.tag == TagSpectrum) {
            if (state.mode.load() == ModeIdle)
                continue;
            if (pending == MaxSpectraPerTransfer)
                storePending();
            spectra[pending++] = bytes + frame.offset;
            continue;
        }
        storePending();
        if (frame.tag == TagGpioStatus)
            StoreGpioStatus(state, bytes + frame.offset + 4);
        else
            HandOverReply(state, frame.tag, bytes + frame.payloadOffset,
                          frame.offset + frame.length - frame.payloadOffset);
    }
    storePending();
}
