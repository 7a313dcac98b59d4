// The system's status codes come from <ntstatus.h>; <windows.h> must leave those it would define
// to it.
#define WIN32_NO_STATUS
#include "EmulatorRegistry.h"
#undef WIN32_NO_STATUS

#include <ntstatus.h>

#include <cstdio>
#include <cstring>
#include <string>

// True once the process has begun to end (its other threads are gone by then).
extern "C" __declspec(dllimport) BOOLEAN NTAPI RtlDllShutdownInProgress(void);

// {D7024F71-28DE-4E81-8A6B-113CA2BFB60D}
const GUID EmulatedInterfaceClass = {0xD7024F71, 0x28DE, 0x4E81, {0x8A, 0x6B, 0x11, 0x3C, 0xA2, 0xBF, 0xB6, 0x0D}};

namespace {
// The system's status codes behind the errors a read can end with.
struct StatusError {
    LONG status;
    DWORD error;
};
constexpr StatusError StatusErrors[] = {
    {STATUS_CANCELLED, ERROR_OPERATION_ABORTED},
    {STATUS_UNSUCCESSFUL, ERROR_GEN_FAILURE},
    {STATUS_DEVICE_NOT_CONNECTED, ERROR_DEVICE_NOT_CONNECTED},
    {STATUS_INVALID_DEVICE_STATE, ERROR_BAD_COMMAND},
};

void Complete(PendingRead& read, LONG status, ULONG transferred)
{
    read.overlapped->InternalHigh = transferred;
    read.overlapped->Internal = static_cast<ULONG_PTR>(static_cast<ULONG>(status));
    const HANDLE event = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(read.overlapped->hEvent) & ~ULONG_PTR(1));
    if (event)
        SetEvent(event);
}
}

bool EmulatorLock::lock()
{
    if (RtlDllShutdownInProgress())
        return false;
    EnterCriticalSection(&section_);
    return true;
}

Emulator& TheEmulator()
{
    static Emulator* emulator = [] {
        auto* made = new Emulator;
        made->pumpWake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        ResetEmulator(*made);
        ApplyStartEnvironment(*made);
        return made;
    }();
    return *emulator;
}

Micros EmulatorNow()
{
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<Micros>(counter.QuadPart / frequency * 1000000 + counter.QuadPart % frequency * 1000000 / frequency);
}

void ResetEmulator(Emulator& emulator)
{
    emulator.instanceCount = DefaultInstanceCount;
    emulator.classInstalled = true;
    emulator.pathPadding = 0;
    emulator.pumpHoldMs = 0;
    const Micros now = EmulatorNow();
    for (uint32_t i = 0; i < MaxInstances; ++i) {
        EmulatedInstance& instance = emulator.instances[i];
        ResetDevice(instance.device, i, now);
        instance.present = true;
        instance.heldElsewhere = false;
        instance.nonBulkPipe = false;
        instance.pulledError = ERROR_GEN_FAILURE;
        snprintf(instance.serial, sizeof instance.serial, "KX1024%04u", static_cast<unsigned>(i + 1));
    }
}

namespace {
// KALVIX_EMULATOR_REPLAY=<log> (and KALVIX_EMULATOR_REPLAY_LOOP=1): every instance replays the log.
void ApplyStartReplay(Emulator& emulator)
{
    const DWORD needed = GetEnvironmentVariableA("KALVIX_EMULATOR_REPLAY", nullptr, 0);
    if (needed <= 1)
        return;
    std::string path(needed, '\0');
    const DWORD length = GetEnvironmentVariableA("KALVIX_EMULATOR_REPLAY", path.data(), needed);
    if (length == 0 || length >= needed)
        return;
    path.resize(length);
    char loop[4] = {};
    const DWORD loopLength = GetEnvironmentVariableA("KALVIX_EMULATOR_REPLAY_LOOP", loop, sizeof loop);
    const bool loops = loopLength == 1 && loop[0] == '1';
    LogReplay replay;
    std::string error;
    if (!OpenLogReplay(replay, path, loops, error)) {
        std::fprintf(stderr, "KALVIX_EMULATOR_REPLAY=%s: %s; the software device measures its object\n", path.c_str(),
                     error.c_str());
        return;
    }
    for (uint32_t i = 1; i < MaxInstances; ++i)
        emulator.instances[i].device.replay = SameLogOpenedAtStart(replay);
    emulator.instances[0].device.replay = std::move(replay);
}
} // namespace

void ApplyStartEnvironment(Emulator& emulator)
{
    // A program started for a demonstration cannot reach KalvixEmulatorControl in its own
    // process; what it needs at the start comes from its environment instead.
    char value[8] = {};
    const DWORD length = GetEnvironmentVariableA("KALVIX_EMULATOR_AFE", value, sizeof value);
    if (length > 0 && length < sizeof value && value[0] == '0' && value[1] == '\0') {
        for (EmulatedInstance& instance : emulator.instances)
            instance.device.afePlugged = false;
    }
    ApplyStartReplay(emulator);
}

void PokePump(Emulator& emulator)
{
    if (emulator.pumpWake)
        SetEvent(emulator.pumpWake);
}

void ServiceReads(EmulatedInstance& instance, Micros now)
{
    while (!instance.reads.empty()) {
        PendingRead& read = instance.reads.front();
        if (const DWORD error = InstanceError(instance)) {
            Complete(read, StatusOfError(error), 0);
        } else {
            const int n = TakeTransfer(instance.device, read.buffer, read.length, now);
            if (n < 0)
                return;
            Complete(read, STATUS_SUCCESS, static_cast<ULONG>(n));
        }
        instance.reads.pop_front();
    }
}

DWORD InstanceError(const EmulatedInstance& instance)
{
    if (instance.device.faults.failure)
        return ERROR_GEN_FAILURE;
    return instance.present ? 0 : instance.pulledError;
}

LONG StatusOfError(DWORD error)
{
    for (const StatusError& known : StatusErrors)
        if (known.error == error)
            return known.status;
    return STATUS_UNSUCCESSFUL;
}

DWORD ErrorOfStatus(ULONG_PTR status)
{
    for (const StatusError& known : StatusErrors)
        if (static_cast<ULONG>(known.status) == static_cast<ULONG>(status))
            return known.error;
    return ERROR_GEN_FAILURE;
}

void CancelReads(EmulatedInstance& instance)
{
    for (PendingRead& read : instance.reads) {
        Complete(read, STATUS_CANCELLED, 0);
        ++instance.device.counters.abortedReads;
    }
    instance.reads.clear();
}

void DevicePathOf(const Emulator& emulator, uint32_t index, char* out, size_t capacity)
{
    char serial[sizeof EmulatedInstance::serial];
    const char* from = emulator.instances[index].serial;
    size_t n = 0;
    for (; from[n] && n + 1 < sizeof serial; ++n)
        serial[n] = static_cast<char>(from[n] >= 'A' && from[n] <= 'Z' ? from[n] - 'A' + 'a' : from[n]);
    serial[n] = 0;
    char padding[512];
    const size_t pad = emulator.pathPadding < sizeof padding ? emulator.pathPadding : sizeof padding - 1;
    memset(padding, 'p', pad);
    padding[pad] = 0;
    snprintf(out, capacity, "\\\\?\\usb#vid_1cbe&pid_0234#%s%s#{d7024f71-28de-4e81-8a6b-113ca2bfb60d}", serial, padding);
}
