// The library's one state record, allocated when the library is attached to a process.
#pragma once

#include "FrameFormat.h"
#include "KalvixCtrl.h"
#include "KernelOwners.h"
#include "RingIndexes.h"
#include "ShortWait.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

struct UsbDevice;

constexpr int RingCapacity = 500;
constexpr int ReceiveBufferSize = 768;
constexpr int RequestFrameWords = 1008;

enum MeasureMode : int32_t { ModeIdle = 0, ModeMeasuring = 1, ModeExternalTrigger = 2 };

struct SpectrumRing {
    ShortLock lock; // guards the slots and indexes; held only while records are copied
    OwnedEvent event; // auto-reset; signalled for a waiting caller when records are stored
    std::atomic<int> waiters; // callers that found the ring empty and wait on the event
    RingIndexes indexes;
    uint8_t slots[RingCapacity][KALVIX_SPECTRUM_SIZE];
};

struct LibraryState {
    uint16_t deviceIndex;
    UsbDevice* device;           // null = no device open
    OwnedThread thread;          // the acquisition thread
    std::atomic<HANDLE> ReaderParks; // set by an unload: the reader parks on its end (see AcquisitionThread)
    std::atomic<uint32_t*> StatusWord;
    std::atomic<uint32_t*> GpioWord;
    std::atomic<uint32_t> GpioStatus;
    std::atomic<ActivityCounters*> activity;
    std::atomic<uint8_t> running;
    std::atomic<uint8_t> readerStarted; // the reader has tried to take ReplyLock
    uint8_t SpectraPerRead;      // spectra per IN transfer while measuring, 1..4
    uint16_t divider;            // current divider, a member of DividersLookup
    std::atomic<int32_t> mode;   // MeasureMode
    OwnedEvent WakeEvent;        // auto-reset; ends the reader's pending read
    std::atomic<uint16_t> ReadLength;
    // The reader counts each pipe read as it starts (before it loads ReadLength) and as it ends,
    // so a command that changed ReadLength knows when no read of the old length is left.
    std::atomic<uint32_t> ReadsStarted;
    std::atomic<uint32_t> ReadsFinished;
    OwnedMutex ReplyLock;        // held by the reader, handed to a command waiting for a reply
    bool ReaderHoldsReplyLock;   // reader thread only: it owns ReplyLock now
    // The reply a command waits for: its tag, a sequence number of the request (bits 16..30) and,
    // once the reader has taken the reply for it, ReplyClaimed. 0 = nobody waits.
    std::atomic<uint32_t> ReplyTicket;
    std::atomic<uint32_t> ReplyFor; // ticket of the reply in ReplyData
    uint32_t AwaitedTicket;      // command thread only: the ticket of its own request
    uint16_t ReplySequence;      // command thread only
    uint8_t ReplyData[ConfigPayloadSize]; // payload of the reply handed over, copied out of ReceiveBuffer
    OwnedEvent ReplyTaken;       // auto-reset; the command has copied the handed-over reply
    uint8_t ReceiveBuffer[ReceiveBufferSize];
    uint16_t RequestFrame[RequestFrameWords];
    SpectrumRing ring;
    std::atomic<int> spectraReaders; // callers inside CMD_GET_SPECTRA; teardown waits for them
    std::atomic<uint32_t> blocksReceived; // reads that brought bytes; tells when the device went quiet
    std::atomic<uint8_t> draining;   // a stop waits for the spectra the device still had queued
};

// The state of this loaded library; null before attach and after detach.
extern LibraryState* State;

// How the connection is torn down.
enum class Teardown {
    Disconnect, // CMD_DISCONNECT, a failed connect, an in-process test: every thread runs on
    Unload,     // FreeLibrary: under the loader lock, where no thread can finish ending normally
    ProcessEnd, // the process is ending: the system has already ended every other thread
};

// Attach/detach work of the library's entry point, callable directly by in-process tests.
// `module` is where the result texts' string table lives. A reader that could not be stopped
// keeps the state (it is not freed under it).
bool AttachLibrary(HMODULE module);
void DetachLibrary(Teardown how = Teardown::Disconnect);

// Stores a code into the registered status word (if any), as one interlocked 32-bit store.
void PostStatus(LibraryState& state, uint32_t code);
