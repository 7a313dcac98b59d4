#include "Acquisition.h"

#include "Protocol.h"
#include "UsbTransport.h"

// Every read the reader makes fits the device's own read bytes.
static_assert(ReceiveBufferSize <= ReadCapacity);

namespace {

constexpr DWORD ReplyLockStartWaitMs = 1;
constexpr DWORD FailedReadPauseMs = 1;

void AddReceived(LibraryState& state, ULONG count)
{
    if (ActivityCounters* activity = state.activity.load())
        InterlockedExchangeAdd(reinterpret_cast<volatile LONG*>(&activity->bytesReceived), static_cast<LONG>(count));
}

void EndOnDeviceFailure(LibraryState& state)
{
    PostStatus(state, STATUS_DEVICE_NOT_FUNCTIONING);
    state.running.store(0);
    // A CMD_GET_SPECTRA waiting for spectra would otherwise wait out its whole time-out (over
    // 10 s under external trigger) for a device that sends nothing more.
    SetEvent(state.ring.event.Get());
}

// A block shorter than the read asked for is dropped unless it holds nothing but whole frames
// and the device is known to send such blocks: while measuring, a lone I2C reply under external
// trigger (192-byte frames); while a stop waits for the spectra the device had queued, the status
// and replies that come after them, at the measurement's read length.
bool KeepsShortBlock(const LibraryState& state, ULONG received, uint16_t length)
{
    if (received >= length)
        return false;
    if (state.mode.load() != ModeIdle)
        return IsWholeFrameBlock(state.ReceiveBuffer, received);
    return state.draining.load() && HoldsWholeFramesOnly(state.ReceiveBuffer, received);
}

void RunReader(LibraryState& state)
{
    const bool ownsReplyLock = WaitForSingleObject(state.ReplyLock.Get(), ReplyLockStartWaitMs) == WAIT_OBJECT_0;
    state.ReaderHoldsReplyLock = ownsReplyLock;
    state.readerStarted.store(1);
    if (!ownsReplyLock) {
        PostStatus(state, STATUS_READER_START_FAILED);
        state.running.store(0);
        return;
    }

    while (state.running.load()) {
        // Counted before ReadLength is loaded: a command that stored a new length and then saw
        // every started read finished knows that the next read uses it (SyncReader).
        state.ReadsStarted.fetch_add(1);
        const uint16_t length = state.ReadLength.load();
        ULONG ulRead = 0;
        const DWORD result = ReadPipe(state.device, state.ReceiveBuffer, length, &ulRead, INFINITE, state.WakeEvent.Get());
        state.ReadsFinished.fetch_add(1);

        // A device that is pulled out may fail its reads with any of these; each ends the reader
        // (and is reported as STATUS_DEVICE_NOT_FUNCTIONING), where retrying would spin every
        // millisecond for nothing.
        if (result == ERROR_GEN_FAILURE || result == ERROR_DEVICE_NOT_CONNECTED || result == ERROR_BAD_COMMAND) {
            EndOnDeviceFailure(state);
            return;
        }
        if (result == 0 && ulRead > 0)
            state.blocksReceived.fetch_add(1);
        if (result == 0 && (ulRead == length || KeepsShortBlock(state, ulRead, length))) {
            ParseBlock(state, ulRead);
            AddReceived(state, ulRead);
        } else if (result != 0) {
            // Other read errors are dropped; pausing keeps a failing pipe from spinning a core.
            Sleep(FailedReadPauseMs);
        }
    }
}

} // namespace

unsigned __stdcall AcquisitionThread(void* argument)
{
    LibraryState& state = *static_cast<LibraryState*>(argument);
    RunReader(state);
    // An unload holds the loader lock, which a thread ending normally needs; and once it has seen
    // this thread finished it unmaps the code. So the reader tells it and parks in one call. The
    // wait on this process never ends by itself; EndParkedThread's APC ends the thread.
    if (HANDLE parks = state.ReaderParks.load())
        SignalObjectAndWait(parks, GetCurrentProcess(), INFINITE, TRUE);
    return 0;
}

void EndParkedThread(HANDLE thread)
{
    QueueUserAPC(reinterpret_cast<PAPCFUNC>(reinterpret_cast<void*>(&ExitThread)), thread, 0);
}
