// A scripted stand-in for the platform operations table, for in-process tests of the transport
// and of the whole library.
//
// It models instances of the device interface class (found by index, opened exclusively, with
// their endpoints and serial string), and one IN and one OUT pipe with Windows semantics:
//   - OUT: every write is recorded byte for byte; an optional responder runs on each write (on the
//     writer's thread) and may queue IN blocks, e.g. to answer a request.
//   - IN: blocks and errors are queued by the test. A read finds the next queued item and
//     completes at once; with nothing queued it returns FALSE with ERROR_IO_PENDING and completes
//     later, when a block or error is queued, by filling the buffer and setting the OVERLAPPED's
//     (real) event. getOverlappedResult reports the outcome; usbAbortPipe cancels a pending read
//     (it then ends with ERROR_OPERATION_ABORTED). A block longer than the read gives only the
//     read's length (the rest is lost, as with an overflowing USB transfer).
// File handles and read events are real kernel events, so waits work for real; every handle the
// fake hands out is counted until it is released, so tests can show that nothing leaks.
//
// Usage: FakePlatform::Reset(); configure; UsePlatformOps(&FakePlatform::Ops()); ... run ...;
// UsePlatformOps(nullptr). The fake does not define DefaultPlatformOps, so a test program may
// link the real filling beside it. All functions are thread-safe.
#pragma once

#include "PlatformOps.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace FakePlatform {

using Bytes = std::vector<uint8_t>;

// One device instance under the class, in index order.
struct Instance {
    bool accessDenied = false;   // held by another program: opening gives ERROR_ACCESS_DENIED
    bool nonBulkEndpoint = false; // a third endpoint, of interrupt type, after the two bulk pipes
    bool outPipeFirst = false;   // endpoint 0 is the OUT pipe instead of the IN pipe
    bool noOutPipe = false;      // the interface has the bulk IN pipe only
    bool pipeQueryFails = false; // every pipe query fails (ERROR_GEN_FAILURE), leaving the record as given
    size_t pathLength = 0;       // device path length in characters; 0 = a short ordinary path
    std::wstring serial = L"KX0001"; // string descriptor 3
    DWORD descriptorError = 0;   // non-zero: reading string descriptor 3 fails with this code
    DWORD initializeError = 0;   // non-zero: WinUsb_Initialize fails with this code
    DWORD speedError = 0;        // non-zero: the device speed query fails with this code
    DWORD settingsError = 0;     // non-zero: the interface settings query fails with this code
    DWORD detailError = 0;       // non-zero: the second interface detail query fails with this code
};

// Handles handed out by the fake and not yet released.
struct OpenHandles {
    int deviceInfoSets = 0;
    int files = 0;
    int usbHandles = 0;
    int events = 0; // made through the table's createEvent
    int total() const { return deviceInfoSets + files + usbHandles + events; }
};

// Arguments of the last createFile call.
struct CreateFileCall {
    std::string path;
    DWORD access = 0, share = 0, disposition = 0, flags = 0;
};

// The table to pass to UsePlatformOps.
const PlatformOps& Ops();

// Back to the start: one ordinary instance, the class installed, queues and records empty,
// no responder, no failures. A read still pending is cancelled first.
void Reset();

// --- instances and the class ---
void SetInstances(std::vector<Instance> instances);
void SetClassInstalled(bool installed); // false: both device-set queries fail
void SetPresentSetFails(bool fails);    // only the query for present interfaces fails
void SetEventCreationFails(bool fails); // createEvent fails with ERROR_NOT_ENOUGH_MEMORY
std::wstring SerialOfLength(size_t characters); // "0123456789ABCDEF..." cut to the length

// --- IN pipe ---
void QueueInBlock(Bytes block);  // completes a pending read, else is kept for the next read
void QueueReadError(DWORD code); // the next read (or the pending one) fails with `code`
bool WaitForPendingRead(ULONG length, DWORD timeoutMs); // until a read of `length` bytes is pending
ULONG PendingReadLength();       // 0 when no read is pending
size_t QueuedInItems();
// An abort that leaves the pending read pending (a platform slow to cancel it): only a queued
// block or error, or freeing the interface, finishes it then.
void SetAbortLeavesReadPending(bool leaves);
// Freeing the interface leaves the pending read pending too (a platform that completes it only
// later, after the device is closed): only a queued block or error finishes it then.
void SetFreeLeavesReadPending(bool leaves);
// A block that completes the pending read at the moment it is aborted (a read finishing while
// the reader gives up on it); at most one.
void SetBlockCompletingOnAbort(Bytes block);

// --- OUT pipe ---
std::vector<Bytes> OutTransfers();
void ClearOutTransfers();
bool WaitForOutTransfers(size_t count, DWORD timeoutMs); // until at least `count` were recorded
void QueueWriteError(DWORD code); // the next write fails with `code` and is still recorded
// Runs on every OUT transfer, after it was recorded, on the writer's thread (may queue IN blocks).
using Responder = std::function<void(const Bytes& transfer)>;
void SetResponder(Responder responder);

// --- what happened ---
OpenHandles CurrentlyOpen();
int AbortCount();             // usbAbortPipe calls on the IN pipe
int OpenCount();              // successful createFile calls
std::vector<DWORD> ClassDevsFlags(); // flags of every getClassDevs call, in order
CreateFileCall LastCreateFile();
DWORD LastDetailRecordSize(); // cbSize the transport gave the second interface detail query
std::vector<std::string> Misuse(); // calls the real platform would refuse (wrong pipe, bad handle...)

} // namespace FakePlatform
