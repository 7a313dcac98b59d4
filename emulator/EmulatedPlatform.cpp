// The platform operations table filled with the software device: SetupAPI enumeration,
// CreateFileA, WinUSB pipes and overlapped completion, all with the error codes Windows gives.
// Reads wait in the instance's queue; the pump thread completes them when the device model
// has a transfer ready, through the caller's OVERLAPPED and its event.
#include "EmulatorRegistry.h"
#include "PlatformOps.h"

#include <mmsystem.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr UCHAR PipeIn = 0x81;
constexpr UCHAR PipeOut = 0x01;
constexpr USHORT LanguageUs = 0x0409;
constexpr USHORT MaxPacket = 512;

struct DeviceInfoSet {
    std::vector<std::string> paths;
    std::vector<uint32_t> instances;
};

// A WinUSB interface handle: which instance, through which file.
struct UsbInterface {
    uint32_t instance;
    HANDLE file;
};

// Live handles of this process; anything else passed in is invalid.
std::set<DeviceInfoSet*>& LiveSets()
{
    static auto* sets = new std::set<DeviceInfoSet*>;
    return *sets;
}
std::set<UsbInterface*>& LiveInterfaces()
{
    static auto* interfaces = new std::set<UsbInterface*>;
    return *interfaces;
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

bool SameGuid(const GUID* a, const GUID& b)
{
    return a && memcmp(a, &b, sizeof b) == 0;
}

DeviceInfoSet* FindSet(HDEVINFO set)
{
    auto* found = static_cast<DeviceInfoSet*>(set);
    return LiveSets().count(found) ? found : nullptr;
}

EmulatedInstance* FindFile(Emulator& emulator, HANDLE file, uint32_t* index = nullptr)
{
    if (!file || file == INVALID_HANDLE_VALUE)
        return nullptr;
    for (uint32_t i = 0; i < MaxInstances; ++i)
        if (emulator.instances[i].file.Get() == file) {
            if (index)
                *index = i;
            return &emulator.instances[i];
        }
    return nullptr;
}

EmulatedInstance* FindUsb(Emulator& emulator, WINUSB_INTERFACE_HANDLE usb)
{
    auto* found = static_cast<UsbInterface*>(usb);
    if (!LiveInterfaces().count(found))
        return nullptr;
    EmulatedInstance& instance = emulator.instances[found->instance];
    return instance.usb == found ? &instance : nullptr;
}

// --- The pump: completes pending reads as the devices get data ready. ---

// A pump needs only to be scheduled to end; on a heavily loaded machine that can take a while.
constexpr DWORD PumpEndWaitMs = 5000;

// The pump holds no reference on its module, so the emulated library can be unloaded while a
// device is open. It ends with the last open device, and the closing waits for it. During an
// unload that closing runs under the loader lock, which a thread ending normally needs, and the
// code is unmapped once it returns: so then the pump's last act is to set its parks event and
// park in one system call, never to return into this module, and the closer ends the thread with
// ExitThread run as an APC, which finishes as soon as the loader lock is free.
DWORD WINAPI PumpThread(void* argument)
{
    const auto id = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(argument));
    Emulator& emulator = TheEmulator();
    HANDLE parks = nullptr;
    timeBeginPeriod(1);
    for (;;) {
        DWORD waitMs = INFINITE;
        {
            EmulatorGuard hold(emulator.lock);
            if (emulator.pumpId != id) {
                parks = emulator.pumpParks;
                break;
            }
            const Micros now = EmulatorNow();
            Micros next = NoEvent;
            for (EmulatedInstance& instance : emulator.instances) {
                if (!instance.file)
                    continue;
                ServiceReads(instance, now);
                if (!instance.reads.empty())
                    next = std::min(next, NextDeviceEvent(instance.device));
            }
            if (next != NoEvent)
                waitMs = next <= now ? 0 : static_cast<DWORD>((next - now + 999) / 1000);
            if (emulator.pumpHoldMs > 0)
                Sleep(emulator.pumpHoldMs);
        }
        WaitForSingleObject(emulator.pumpWake, waitMs);
    }
    timeEndPeriod(1);
    if (parks)
        SignalObjectAndWait(parks, GetCurrentProcess(), INFINITE, TRUE);
    return 0;
}

// Caller holds the lock.
void EnsurePump(Emulator& emulator)
{
    if (emulator.pump)
        return;
    const uint32_t id = ++emulator.pumpsStarted;
    OwnedThread thread(CreateThread(nullptr, 0, PumpThread, reinterpret_cast<void*>(static_cast<uintptr_t>(id)), 0, nullptr));
    if (!thread)
        return;
    emulator.pump = std::move(thread);
    emulator.pumpId = id;
}

struct EndingPump {
    OwnedThread thread;
    HANDLE parks = nullptr; // during an unload; never closed (see CloseInstance)
};

// Closes the instance; the last one to close takes the pump, to end it after letting go of the
// lock. Caller holds the lock.
EndingPump CloseInstance(Emulator& emulator, EmulatedInstance& instance)
{
    CancelReads(instance);
    if (instance.usb) {
        auto* usb = static_cast<UsbInterface*>(instance.usb);
        LiveInterfaces().erase(usb);
        delete usb;
        instance.usb = nullptr;
    }
    instance.file.Reset();
    EndingPump ending;
    if (--emulator.openCount == 0 && emulator.pump) {
        // The event stays open for good: a signal-and-wait that is interrupted may be repeated.
        ending.thread = std::move(emulator.pump);
        ending.parks = emulator.unloading ? CreateEventA(nullptr, TRUE, FALSE, nullptr) : nullptr;
        emulator.pumpParks = ending.parks;
        emulator.pumpId = 0;
    }
    PokePump(emulator);
    return ending;
}

// Waits (bounded) until the pump has ended, or parked during an unload: nothing of it runs once
// its closing has returned. A pump ended by the system (the process is ending) has simply ended.
// The thread's handle is closed last.
void EndPump(Emulator& emulator, EndingPump& pump)
{
    const HANDLE ends[2] = {pump.thread.Get(), pump.parks};
    const DWORD start = GetTickCount();
    DWORD wait;
    // A pump started since may have taken the wake; wake again until this one has gone.
    while ((wait = WaitForMultipleObjects(pump.parks ? 2 : 1, ends, FALSE, 10)) == WAIT_TIMEOUT &&
           GetTickCount() - start < PumpEndWaitMs)
        PokePump(emulator);
    if (wait == WAIT_OBJECT_0 + 1)
        QueueUserAPC(reinterpret_cast<PAPCFUNC>(reinterpret_cast<void*>(&ExitThread)), pump.thread.Get(), 0);
    pump.thread.Reset();
}

// --- SetupAPI ---

HDEVINFO WINAPI EmuGetClassDevs(const GUID* classGuid, PCSTR, HWND, DWORD flags)
{
    Emulator& emulator = TheEmulator();
    EmulatorGuard hold(emulator.lock);
    if (!(flags & DIGCF_DEVICEINTERFACE)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return INVALID_HANDLE_VALUE;
    }
    if (!emulator.classInstalled) {
        SetLastError(ERROR_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto* set = new DeviceInfoSet;
    if (SameGuid(classGuid, EmulatedInterfaceClass)) {
        for (uint32_t i = 0; i < emulator.instanceCount; ++i) {
            if ((flags & DIGCF_PRESENT) && !emulator.instances[i].present)
                continue;
            char path[1024];
            DevicePathOf(emulator, i, path, sizeof path);
            set->paths.emplace_back(path);
            set->instances.push_back(i);
        }
    }
    LiveSets().insert(set);
    SetLastError(ERROR_SUCCESS);
    return set;
}

BOOL WINAPI EmuEnumDeviceInterfaces(HDEVINFO handle, PSP_DEVINFO_DATA, const GUID* classGuid, DWORD index,
                                    PSP_DEVICE_INTERFACE_DATA data)
{
    Emulator& emulator = TheEmulator();
    EmulatorGuard hold(emulator.lock);
    DeviceInfoSet* set = FindSet(handle);
    if (!set)
        return Fail(ERROR_INVALID_HANDLE);
    if (!data)
        return Fail(ERROR_INVALID_PARAMETER);
    if (data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return Fail(ERROR_INVALID_USER_BUFFER);
    if (!SameGuid(classGuid, EmulatedInterfaceClass) || index >= set->paths.size())
        return Fail(ERROR_NO_MORE_ITEMS);
    data->InterfaceClassGuid = EmulatedInterfaceClass;
    data->Flags = emulator.instances[set->instances[index]].present ? SPINT_ACTIVE : 0;
    data->Reserved = index + 1;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI EmuGetDeviceInterfaceDetail(HDEVINFO handle, PSP_DEVICE_INTERFACE_DATA data,
                                        PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                        PDWORD requiredSize, PSP_DEVINFO_DATA info)
{
    Emulator& emulator = TheEmulator();
    EmulatorGuard hold(emulator.lock);
    DeviceInfoSet* set = FindSet(handle);
    if (!set)
        return Fail(ERROR_INVALID_HANDLE);
    if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || data->Reserved == 0 ||
        data->Reserved > set->paths.size())
        return Fail(ERROR_INVALID_PARAMETER);
    const std::string& path = set->paths[data->Reserved - 1];
    const DWORD required = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (requiredSize)
        *requiredSize = required;
    if (!detail)
        return Fail(detailSize == 0 ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_USER_BUFFER);
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
        return Fail(ERROR_INVALID_USER_BUFFER);
    if (detailSize < required)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    if (info) {
        if (info->cbSize != sizeof(SP_DEVINFO_DATA))
            return Fail(ERROR_INVALID_USER_BUFFER);
        info->ClassGuid = EmulatedInterfaceClass;
        info->DevInst = set->instances[data->Reserved - 1] + 1;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI EmuDestroyDeviceInfoList(HDEVINFO handle)
{
    Emulator& emulator = TheEmulator();
    EmulatorGuard hold(emulator.lock);
    DeviceInfoSet* set = FindSet(handle);
    if (!set)
        return Fail(ERROR_INVALID_HANDLE);
    LiveSets().erase(set);
    delete set;
    return TRUE;
}

// --- Files and handles ---

HANDLE WINAPI EmuCreateFile(LPCSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD flags,
                            HANDLE)
{
    Emulator& emulator = TheEmulator();
    EmulatorGuard hold(emulator.lock);
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    uint32_t index = MaxInstances;
    for (uint32_t i = 0; i < emulator.instanceCount; ++i) {
        char candidate[1024];
        DevicePathOf(emulator, i, candidate, sizeof candidate);
        if (_stricmp(candidate, path) == 0 && emulator.instances[i].present) {
            index = i;
            break;
        }
    }
    if (index == MaxInstances) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (disposition != OPEN_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    EmulatedInstance& instance = emulator.instances[index];
    if (instance.heldElsewhere) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    // One named mutex per instance, shared by every process of this Windows session: whoever
    // made it has the device; everybody else finds it existing and is refused.
    char name[64];
    snprintf(name, sizeof name, "KalvixEmulatedDevice-%u", static_cast<unsigned>(index));
    OwnedMutex mutex(CreateMutexA(nullptr, FALSE, name));
    if (!mutex)
        return INVALID_HANDLE_VALUE; // last error from CreateMutexA
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        mutex.Reset(); // before the error is set: closing may leave its own
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    instance.file = std::move(mutex);
    instance.access = access;
    instance.overlappedOpen = (flags & FILE_FLAG_OVERLAPPED) != 0;
    instance.usb = nullptr;
    instance.reads.clear();
    FlushDeviceOutput(instance.device);
    ++emulator.openCount;
    EnsurePump(emulator);
    SetLastError(ERROR_SUCCESS);
    return instance.file.Get();
}

BOOL WINAPI EmuCloseHandle(HANDLE handle)
{
    Emulator& emulator = TheEmulator();
    EndingPump ending;
    {
        EmulatorGuard hold(emulator.lock);
        EmulatedInstance* instance = FindFile(emulator, handle);
        // Anything else given out through the table (the read events of createEvent) is a
        // plain kernel handle: this is the table's own close operation, so it closes it here.
        if (!instance)
            return CloseHandle(handle);
        ending = CloseInstance(emulator, *instance);
    }
    if (ending.thread)
        EndPump(emulator, ending);
    return TRUE;
}

HANDLE WINAPI EmuCreateEvent(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name)
{
    return CreateEventA(security, manualReset, initialState, name);
}

// --- WinUSB ---

BOOL WINAPI EmuUsbInitialize(HANDLE file, PWINUSB_INTERFACE_HANDLE usb)
{
    Emulator& emulator = TheEmulator();
    EmulatorGuard hold(emulator.lock);
    uint32_t index = 0;
    EmulatedInstance* instance = FindFile(emulator, file, &index);
    if (!instance)
        return Fail(ERROR_INVALID_HANDLE);
    if (!usb)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!instance->overlappedOpen || instance->usb)
        return Fail(ERROR_INVALID_PARAMETER); // WinUSB needs an overlapped file, once
    auto* made = new UsbInterface{index, file};
    LiveInterfaces().insert(made);
    instance->usb = made;
    *usb = made;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI EmuUsbFree(WINUSB_INTERFACE_HANDLE usb)
{
    Emulator& emulator = TheEmulator();
    EmulatorGuard hold(emulator.lock);
    EmulatedInstance* instance = FindUsb(emulator, usb);
    if (!instance)
        return Fail(ERROR_INVALID_HANDLE);
    CancelReads(*instance);
    LiveInterfaces().erase(static_cast<UsbInterface*>(usb));
    delete static_cast<UsbInterface*>(usb);
    instance->usb = nullptr;
    return TRUE;
}

BOOL WINAPI EmuUsbQueryDeviceInformation(WINUSB_INTERFACE_HANDLE usb, ULONG type, PULONG length, PVOID buffer)
{
    Emulator& emulator = TheEmulator();
    EmulatorGuard hold(emulator.lock);
    if (!FindUsb(emulator, usb))
        return Fail(ERROR_INVALID_HANDLE);
    if (type != DEVICE_SPEED || !length || !buffer)
        return Fail(ERROR_INVALID_PARAMETER);
    if (*length < 1)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    *static_cast<UCHAR*>(buffer) = HighSpeed;
    *length = 1;
    return TRUE;
}

BOOL WINAPI EmuUsbQueryInterfaceSettings(WINUSB_INTERFACE_HANDLE usb, UCHAR alternate, PUSB_INTERFACE_DESCRIPTOR descriptor)
{
    Emulator& emulator = TheEmulator();
    EmulatorGuard hold(emulator.lock);
    if (!FindUsb(emulator, usb))
        return Fail(ERROR_INVALID_HANDLE);
    if (!descriptor)
        return Fail(ERROR_INVALID_PARAMETER);
    if (alternate != 0)
        return Fail(ERROR_NO_MORE_ITEMS);
    *descriptor = USB_INTERFACE_DESCRIPTOR{};
    descriptor->bLength = sizeof(USB_INTERFACE_DESCRIPTOR);
    descriptor->bDescriptorType = USB_INTERFACE_DESCRIPTOR_TYPE;
    descriptor->bNumEndpoints = 2;
    descriptor->bInterfaceClass = 0xFF;
    return TRUE;
}

BOOL WINAPI EmuUsbQueryPipe(WINUSB_INTERFACE_HANDLE usb, UCHAR alternate, UCHAR pipeIndex, PWINUSB_PIPE_INFORMATION pipe)
{
    Emulator& emulator = TheEmulator();
    EmulatorGuard hold(emulator.lock);
    EmulatedInstance* instance = FindUsb(emulator, usb);
    if (!instance)
        return Fail(ERROR_INVALID_HANDLE);
    if (!pipe)
        return Fail(ERROR_INVALID_PARAMETER);
    if (alternate != 0 || pipeIndex > 1)
        return Fail(ERROR_NO_MORE_ITEMS);
    *pipe = WINUSB_PIPE_INFORMATION{};
    pipe->MaximumPacketSize = MaxPacket;
    if (pipeIndex == 0) {
        pipe->PipeType = UsbdPipeTypeBulk;
        pipe->PipeId = PipeIn;
    } else {
        pipe->PipeType = instance->nonBulkPipe ? UsbdPipeTypeInterrupt : UsbdPipeTypeBulk;
        pipe->PipeId = PipeOut;
        pipe->Interval = instance->nonBulkPipe ? 1 : 0;
    }
    return TRUE;
}

std::vector<UCHAR> StringDescriptor(const char* text)
{
    const size_t n = strlen(text);
    std::vector<UCHAR> descriptor(2 + 2 * n);
    descriptor[0] = static_cast<UCHAR>(descriptor.size());
    descriptor[1] = USB_STRING_DESCRIPTOR_TYPE;
    for (size_t i = 0; i < n; ++i)
        descriptor[2 + 2 * i] = static_cast<UCHAR>(text[i]);
    return descriptor;
}

BOOL WINAPI EmuUsbGetDescriptor(WINUSB_INTERFACE_HANDLE usb, UCHAR type, UCHAR index, USHORT language, PUCHAR buffer,
                                ULONG length, PULONG transferred)
{
    Emulator& emulator = TheEmulator();
    EmulatorGuard hold(emulator.lock);
    EmulatedInstance* instance = FindUsb(emulator, usb);
    if (!instance)
        return Fail(ERROR_INVALID_HANDLE);
    if (!buffer || !transferred)
        return Fail(ERROR_INVALID_PARAMETER);
    if (instance->device.faults.failure)
        return Fail(ERROR_GEN_FAILURE);
    std::vector<UCHAR> descriptor;
    if (type == USB_DEVICE_DESCRIPTOR_TYPE && index == 0) {
        USB_DEVICE_DESCRIPTOR device{};
        device.bLength = sizeof device;
        device.bDescriptorType = USB_DEVICE_DESCRIPTOR_TYPE;
        device.bcdUSB = 0x0200;
        device.bMaxPacketSize0 = 64;
        device.idVendor = 0x1CBE;
        device.idProduct = 0x0234;
        device.bcdDevice = 0x0130;
        device.iManufacturer = 1;
        device.iProduct = 2;
        device.iSerialNumber = 3;
        device.bNumConfigurations = 1;
        descriptor.resize(sizeof device);
        memcpy(descriptor.data(), &device, sizeof device);
    } else if (type == USB_STRING_DESCRIPTOR_TYPE && index == 0) {
        descriptor = {4, USB_STRING_DESCRIPTOR_TYPE, 0x09, 0x04};
    } else if (type == USB_STRING_DESCRIPTOR_TYPE && language == LanguageUs && index >= 1 && index <= 3) {
        const char* texts[] = {"Kalvix", "Kalvix Impedance Spectrum Meter", instance->serial};
        descriptor = StringDescriptor(texts[index - 1]);
    } else {
        return Fail(ERROR_GEN_FAILURE); // the device stalls requests it does not know
    }
    const ULONG n = std::min<ULONG>(length, static_cast<ULONG>(descriptor.size()));
    memcpy(buffer, descriptor.data(), n);
    *transferred = n;
    return TRUE;
}

BOOL WINAPI EmuUsbWritePipe(WINUSB_INTERFACE_HANDLE usb, UCHAR pipe, PUCHAR buffer, ULONG length, PULONG transferred,
                            LPOVERLAPPED overlapped)
{
    Emulator& emulator = TheEmulator();
    EmulatorGuard hold(emulator.lock);
    EmulatedInstance* instance = FindUsb(emulator, usb);
    if (!instance)
        return Fail(ERROR_INVALID_HANDLE);
    if (pipe != PipeOut || (!buffer && length))
        return Fail(ERROR_INVALID_PARAMETER);
    if (!(instance->access & GENERIC_WRITE))
        return Fail(ERROR_ACCESS_DENIED);
    if (const DWORD error = InstanceError(*instance))
        return Fail(error);
    ReceiveRequest(instance->device, buffer, length, EmulatorNow());
    if (transferred)
        *transferred = length;
    if (overlapped) {
        overlapped->InternalHigh = length;
        overlapped->Internal = 0;
        if (overlapped->hEvent)
            SetEvent(overlapped->hEvent);
    }
    PokePump(emulator);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI EmuUsbReadPipe(WINUSB_INTERFACE_HANDLE usb, UCHAR pipe, PUCHAR buffer, ULONG length, PULONG transferred,
                           LPOVERLAPPED overlapped)
{
    Emulator& emulator = TheEmulator();
    OVERLAPPED own{};
    OwnedEvent ownEvent;
    {
        EmulatorGuard hold(emulator.lock);
        EmulatedInstance* instance = FindUsb(emulator, usb);
        if (!instance)
            return Fail(ERROR_INVALID_HANDLE);
        if (pipe != PipeIn || !buffer || length == 0)
            return Fail(ERROR_INVALID_PARAMETER);
        if (!(instance->access & GENERIC_READ))
            return Fail(ERROR_ACCESS_DENIED);
        if (const DWORD error = InstanceError(*instance))
            return Fail(error);
        if (!overlapped) {
            ownEvent.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
            if (!ownEvent)
                return FALSE;
            own.hEvent = ownEvent.Get();
        }
        OVERLAPPED* target = overlapped ? overlapped : &own;
        // Like every overlapped request, the read starts by clearing its event.
        const HANDLE event = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(target->hEvent) & ~ULONG_PTR(1));
        if (event)
            ResetEvent(event);
        target->Internal = STATUS_PENDING;
        target->InternalHigh = 0;
        instance->reads.push_back(PendingRead{buffer, length, target});
        ServiceReads(*instance, EmulatorNow());
        if (overlapped) {
            if (target->Internal == STATUS_PENDING) {
                PokePump(emulator);
                return Fail(ERROR_IO_PENDING);
            }
            if (target->Internal != 0)
                return Fail(ErrorOfStatus(target->Internal));
            if (transferred)
                *transferred = static_cast<ULONG>(target->InternalHigh);
            SetLastError(ERROR_SUCCESS);
            return TRUE;
        }
        PokePump(emulator);
    }
    // A read without OVERLAPPED blocks until the device answers.
    WaitForSingleObject(own.hEvent, INFINITE);
    if (transferred)
        *transferred = static_cast<ULONG>(own.InternalHigh);
    if (own.Internal != 0)
        return Fail(ErrorOfStatus(own.Internal));
    return TRUE;
}

BOOL WINAPI EmuUsbAbortPipe(WINUSB_INTERFACE_HANDLE usb, UCHAR pipe)
{
    Emulator& emulator = TheEmulator();
    EmulatorGuard hold(emulator.lock);
    EmulatedInstance* instance = FindUsb(emulator, usb);
    if (!instance)
        return Fail(ERROR_INVALID_HANDLE);
    if (pipe == PipeIn) {
        if (!instance->reads.empty())
            LoseTransferInFlight(instance->device, instance->reads.front().length, EmulatorNow());
        CancelReads(*instance);
    }
    else if (pipe != PipeOut)
        return Fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}

// --- Waiting and completion ---

DWORD WINAPI EmuWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds)
{
    return WaitForMultipleObjects(count, handles, waitAll, milliseconds);
}

BOOL WINAPI EmuGetOverlappedResult(HANDLE, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait)
{
    if (!overlapped || !transferred)
        return Fail(ERROR_INVALID_PARAMETER);
    // The pump writes the status and count under the emulator's lock; read them the same way.
    Emulator& emulator = TheEmulator();
    const auto status = [&] {
        EmulatorGuard hold(emulator.lock);
        return overlapped->Internal;
    };
    if (status() == STATUS_PENDING) {
        if (!wait)
            return Fail(ERROR_IO_INCOMPLETE);
        const HANDLE event = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(overlapped->hEvent) & ~ULONG_PTR(1));
        // Without an event Windows waits on the file; here the completion is looked for.
        while (status() == STATUS_PENDING) {
            if (event)
                WaitForSingleObject(event, INFINITE);
            else
                Sleep(1);
        }
    }
    ULONG_PTR internal;
    {
        EmulatorGuard hold(emulator.lock);
        internal = overlapped->Internal;
        *transferred = static_cast<DWORD>(overlapped->InternalHigh);
    }
    if (internal == 0)
        return TRUE;
    return Fail(ErrorOfStatus(internal));
}

int WINAPI EmuWideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wide, int wideLength, LPSTR text, int textLength,
                                  LPCCH defaultChar, LPBOOL usedDefault)
{
    return WideCharToMultiByte(codePage, flags, wide, wideLength, text, textLength, defaultChar, usedDefault);
}

} // namespace

// From now on a pump that ends parks rather than return (see PumpThread).
void PlatformUnloading()
{
    Emulator& emulator = TheEmulator();
    EmulatorGuard hold(emulator.lock);
    emulator.unloading = true;
}

const PlatformOps DefaultPlatformOps = {
    EmuGetClassDevs,
    EmuEnumDeviceInterfaces,
    EmuGetDeviceInterfaceDetail,
    EmuDestroyDeviceInfoList,
    EmuCreateFile,
    EmuCloseHandle,
    EmuCreateEvent,
    EmuUsbInitialize,
    EmuUsbFree,
    EmuUsbQueryDeviceInformation,
    EmuUsbQueryInterfaceSettings,
    EmuUsbQueryPipe,
    EmuUsbGetDescriptor,
    EmuUsbWritePipe,
    EmuUsbReadPipe,
    EmuUsbAbortPipe,
    EmuWaitForMultipleObjects,
    EmuGetOverlappedResult,
    EmuWideCharToMultiByte,
};
