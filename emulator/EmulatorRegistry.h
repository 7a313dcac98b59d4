// The devices of this process: one model per instance, what the host side has open, and the
// one lock that guards all of it. Shared by the emulated platform operations and
// KalvixEmulatorControl.
#pragma once

#include "DeviceModel.h"
#include "KernelOwners.h"

#include <windows.h>

#include <deque>

constexpr uint32_t MaxInstances = 17;
constexpr uint32_t DefaultInstanceCount = 2;

// The device interface class the emulated devices register under.
extern const GUID EmulatedInterfaceClass;

// One read waiting for the device; completed through its OVERLAPPED.
struct PendingRead {
    UCHAR* buffer;
    ULONG length;
    OVERLAPPED* overlapped;
};

struct EmulatedInstance {
    DeviceModel device;
    bool present = true;
    bool heldElsewhere = false;
    bool nonBulkPipe = false;
    DWORD pulledError = ERROR_GEN_FAILURE; // what reads and writes end with while not present
    char serial[17] = {};

    // Host side, while this process has the instance open.
    OwnedMutex file;       // the instance's named mutex doubles as the file handle
    DWORD access = 0;
    bool overlappedOpen = false;
    void* usb = nullptr;   // the WinUSB handle given out for it
    std::deque<PendingRead> reads;
};

// The emulator's one lock, a critical section: the pump, the reader's every read and its
// completion take it, and a critical section costs no system call unless another thread holds it
// (a kernel mutex costs one each way, under Wine a round trip to its server).
// Unlike a kernel mutex it is never given up for a thread that ended holding it, and at the end
// of the process the system ends every other thread wherever it is, the pump perhaps inside the
// lock. From then on only the exiting thread runs (the library's teardown still closes its device
// through the platform operations), so the lock is not taken at all.
class EmulatorLock {
public:
    EmulatorLock() { InitializeCriticalSection(&section_); }
    EmulatorLock(const EmulatorLock&) = delete;
    EmulatorLock& operator=(const EmulatorLock&) = delete;
    // False when the process is ending and the lock was not taken.
    bool lock();
    void unlock() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

// Holds the emulator's lock for a scope (see EmulatorLock::lock).
class EmulatorGuard {
public:
    explicit EmulatorGuard(EmulatorLock& lock) : lock_(lock), held_(lock.lock()) {}
    ~EmulatorGuard()
    {
        if (held_)
            lock_.unlock();
    }
    EmulatorGuard(const EmulatorGuard&) = delete;
    EmulatorGuard& operator=(const EmulatorGuard&) = delete;

private:
    EmulatorLock& lock_;
    bool held_;
};

struct Emulator {
    EmulatorLock lock;
    uint32_t instanceCount = DefaultInstanceCount;
    bool classInstalled = true;
    uint32_t pathPadding = 0;
    EmulatedInstance instances[MaxInstances];
    uint32_t openCount = 0;
    OwnedThread pump;            // the pump thread while one is wanted
    bool unloading = false;      // the emulated library is being unloaded (PlatformUnloading)
    HANDLE pumpParks = nullptr;  // given to a pump ending during the unload (see PumpThread)
    uint32_t pumpId = 0;         // the wanted pump; a pump that finds another id ends
    uint32_t pumpsStarted = 0;
    uint32_t pumpHoldMs = 0;   // KALVIX_EMU_PUMP_HOLD_MS
    HANDLE pumpWake = nullptr; // auto-reset; wakes the pump after any change
};

// The process's emulator, made on first use and never destroyed (it may be used up to the
// last moment of a DLL detach).
Emulator& TheEmulator();

// Microseconds of the monotonic clock.
Micros EmulatorNow();

// Resets every instance and setting; open handles stay open. Caller holds the lock.
void ResetEmulator(Emulator& emulator);
// Start settings from the environment, applied once when the emulator is made:
// KALVIX_EMULATOR_AFE=0 starts every instance with no AFE plugged; KALVIX_EMULATOR_REPLAY=<log>
// (with KALVIX_EMULATOR_REPLAY_LOOP=1 to loop) makes every instance replay that log.
void ApplyStartEnvironment(Emulator& emulator);

// Wakes the pump so it looks at pending reads and device timers again.
void PokePump(Emulator& emulator);

// Completes the pending reads the device can serve now. Caller holds the lock.
void ServiceReads(EmulatedInstance& instance, Micros now);

// Completes every pending read of the instance as cancelled. Caller holds the lock.
void CancelReads(EmulatedInstance& instance);

// The error a read or write of the instance ends with now: 0 while it works, ERROR_GEN_FAILURE
// while the device fails, the chosen error while it is pulled out.
DWORD InstanceError(const EmulatedInstance& instance);

// The OVERLAPPED status a read is completed with for `error`, and back.
LONG StatusOfError(DWORD error);
DWORD ErrorOfStatus(ULONG_PTR status);

// Path of the instance as enumerated.
void DevicePathOf(const Emulator& emulator, uint32_t index, char* out, size_t capacity);
