#include "Connection.h"

#include "Acquisition.h"
#include "Protocol.h"
#include "UsbTransport.h"

#include <process.h>

namespace {

// A woken reader ends within a few hundred milliseconds at most (every wait of its own is
// bounded); under heavy load it may not be scheduled for a while, so a disconnect gives it this
// long before it gives up rather than free what the reader still uses.
constexpr DWORD ReaderEndWaitMs = 5000;
constexpr DWORD SpectraReaderLeaveMs = 1000;
constexpr DWORD ReaderStartWaitMs = 1000;

void SendQuietly(LibraryState& state, uint16_t opcode, size_t words, uint16_t value = 0)
{
    state.RequestFrame[1] = opcode;
    state.RequestFrame[2] = value;
    SendRequest(state, words);
}

// Ends the reader and waits (bounded) until it has finished; false if it has not, and then
// `thread` stays set.
bool StopReader(LibraryState& state, Teardown how)
{
    if (!state.thread)
        return true;
    if (how == Teardown::ProcessEnd) { // it has been ended already, wherever it was
        state.running.store(0);
        state.thread.Reset();
        return true;
    }
    // Under the loader lock the reader cannot finish ending: it parks instead and says so. The
    // event stays open for good, since a signal-and-wait that is interrupted may be repeated: it
    // has no owner.
    HANDLE parks = how == Teardown::Unload ? CreateEventA(nullptr, TRUE, FALSE, nullptr) : nullptr;
    state.ReaderParks.store(parks);
    state.running.store(0);
    SetEvent(state.WakeEvent.Get());
    const HANDLE ends[2] = {state.thread.Get(), parks};
    const DWORD wait = WaitForMultipleObjects(parks ? 2 : 1, ends, FALSE, ReaderEndWaitMs);
    if (wait == WAIT_OBJECT_0 + 1)
        EndParkedThread(state.thread.Get());
    else if (wait != WAIT_OBJECT_0)
        return false;
    state.thread.Reset();
    return true;
}

// A CMD_GET_SPECTRA in another thread has been released by the ring event; let it leave before
// the event it waits on is closed.
void WaitForSpectraReaders(LibraryState& state, Teardown how)
{
    // At the end of the process a poll thread may have been ended inside CMD_GET_SPECTRA; it will
    // never leave.
    if (how == Teardown::ProcessEnd)
        return;
    const DWORD start = GetTickCount();
    while (state.spectraReaders.load() > 0 && GetTickCount() - start < SpectraReaderLeaveMs) {
        SetEvent(state.ring.event.Get());
        Sleep(1);
    }
}

} // namespace

int ConnectDevice(LibraryState& state, uint8_t* serial, uint32_t* record, DWORD& error)
{
    error = OpenFirstFreeDevice(state, reinterpret_cast<char*>(serial));
    if (error != 0)
        return RESULT_SYSTEM_ERROR;
    record[0] = state.deviceIndex;
    state.RequestFrame[0] = FrameMarker;

    state.ReplyLock = OwnedMutex(CreateMutexA(nullptr, FALSE, nullptr));
    if (state.ReplyLock)
        state.WakeEvent = OwnedEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (state.WakeEvent)
        state.ring.event = OwnedEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (state.ring.event)
        state.ReplyTaken = OwnedEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!state.ReplyTaken) {
        error = GetLastError();
        ShutdownDevice(state);
        return RESULT_SYSTEM_ERROR;
    }

    state.ReadLength.store(IdleReadLength);
    state.ReplyTicket.store(0);
    state.ReplyFor.store(0);
    state.readerStarted.store(0);
    state.ReaderParks.store(nullptr);
    state.running.store(1);
    state.thread = OwnedThread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, AcquisitionThread, &state, 0, nullptr)));
    if (!state.thread) {
        error = GetLastError();
        state.running.store(0);
        ShutdownDevice(state);
        return RESULT_SYSTEM_ERROR;
    }
    // A command waiting for a reply must find ReplyLock held by the reader: a command that took
    // the free lock first would get no reply and leave the reader unable to start.
    const DWORD start = GetTickCount();
    while (!state.readerStarted.load() && GetTickCount() - start < ReaderStartWaitMs)
        Sleep(1);
    return 0;
}

DWORD ShutdownDevice(LibraryState& state, Teardown how)
{
    if (state.device) {
        // Leave the device idle at divider 1; failures here change nothing.
        if (state.mode.load() == ModeMeasuring)
            SendQuietly(state, OpcodeStop, 2);
        else if (state.mode.load() == ModeExternalTrigger)
            SendQuietly(state, 9, 3, 0);
        if (state.divider != 1)
            SendQuietly(state, 12, 3, 0);
    }
    state.mode.store(ModeIdle);
    state.divider = 1;
    if (state.ring.event)
        SetEvent(state.ring.event.Get()); // a CMD_GET_SPECTRA waiting elsewhere returns at once

    if (!StopReader(state, how))
        return WAIT_TIMEOUT;
    WaitForSpectraReaders(state, how);

    state.ReplyLock.Reset();
    state.WakeEvent.Reset();
    state.ring.event.Reset();
    state.ReplyTaken.Reset();

    if (!state.device)
        return 0;
    const DWORD result = CloseUsbDevice(state.device);
    state.device = nullptr;
    return result;
}
