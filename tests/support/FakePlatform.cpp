#include "FakePlatform.h"

#include "UsbTransport.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>

namespace FakePlatform {
namespace {

constexpr UCHAR PipeIn = 0x81;
constexpr UCHAR PipeOut = 0x01;
constexpr UCHAR PipeInterrupt = 0x82;
constexpr UCHAR SpeedHigh = 3;
// Marks an OVERLAPPED whose read has not finished yet (Internal holds the Win32 result otherwise).
constexpr ULONG_PTR StillPending = ~ULONG_PTR{0};
// Bounds the fake's own waits, so a transport that waits for a read nobody finishes fails a
// test instead of hanging it.
constexpr DWORD FakeWaitLimitMs = 10000;

struct UsbToken {
    int instance;
};

struct InItem {
    Bytes bytes;
    DWORD error = 0;
};

struct PendingRead {
    OVERLAPPED* overlapped = nullptr;
    PUCHAR buffer = nullptr;
    ULONG length = 0;
};

struct World {
    std::mutex lock;
    std::condition_variable changed;

    std::vector<Instance> instances;
    bool classInstalled = true;
    bool presentSetFails = false;
    bool eventCreationFails = false;

    std::set<HDEVINFO> sets;
    std::map<HANDLE, int> files; // fake file handle -> instance
    std::set<UsbToken*> usbs;
    std::set<HANDLE> events;

    std::deque<InItem> inQueue;
    std::optional<PendingRead> pending;
    std::optional<Bytes> blockOnAbort;
    bool abortLeavesPending = false;
    bool freeLeavesPending = false;

    std::vector<Bytes> out;
    std::deque<DWORD> writeErrors;
    Responder responder;

    int aborts = 0;
    int opens = 0;
    std::vector<DWORD> classFlags;
    CreateFileCall lastCreate;
    DWORD lastDetailSize = 0;
    std::vector<std::string> misuse;
};

World& W()
{
    static World world;
    return world;
}

using Guard = std::unique_lock<std::mutex>;

// Results are computed under the lock; the last error is set after it is released, so that
// nothing the lock does can disturb it.
BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

std::string PathOf(const Instance& instance, int index)
{
    std::string path = "\\\\?\\usb#vid_1cbe&pid_0234#kx" + std::to_string(index)
                       + "#{d7024f71-28de-4e81-8a6b-113ca2bfb60d}";
    if (instance.pathLength != 0)
        path.resize(instance.pathLength, 'x');
    return path;
}

// Bulk IN and OUT (in the instance's order, or IN alone), then the interrupt endpoint if any.
std::vector<WINUSB_PIPE_INFORMATION> Endpoints(const Instance& instance)
{
    const WINUSB_PIPE_INFORMATION in = {UsbdPipeTypeBulk, PipeIn, 512, 0};
    const WINUSB_PIPE_INFORMATION out = {UsbdPipeTypeBulk, PipeOut, 512, 0};
    std::vector<WINUSB_PIPE_INFORMATION> endpoints;
    if (instance.noOutPipe)
        endpoints = {in};
    else if (instance.outPipeFirst)
        endpoints = {out, in};
    else
        endpoints = {in, out};
    if (instance.nonBulkEndpoint)
        endpoints.push_back({UsbdPipeTypeInterrupt, PipeInterrupt, 64, 1});
    return endpoints;
}

const Instance* InstanceOfUsb(World& w, WINUSB_INTERFACE_HANDLE usb, int* index = nullptr)
{
    auto* token = static_cast<UsbToken*>(usb);
    if (!w.usbs.count(token)) {
        w.misuse.push_back("WinUSB call on an unknown interface handle");
        return nullptr;
    }
    if (index)
        *index = token->instance;
    return &w.instances[token->instance];
}

// Finishes the pending read with `bytes` (cut to the read's length) or with `error`.
void CompletePending(World& w, const Bytes* bytes, DWORD error)
{
    PendingRead read = *w.pending;
    w.pending.reset();
    ULONG count = 0;
    if (bytes) {
        count = static_cast<ULONG>(std::min<size_t>(read.length, bytes->size()));
        std::memcpy(read.buffer, bytes->data(), count);
    }
    read.overlapped->InternalHigh = count;
    read.overlapped->Internal = error;
    SetEvent(read.overlapped->hEvent);
    w.changed.notify_all();
}

void ForgetEverything(World& w)
{
    if (w.pending)
        CompletePending(w, nullptr, ERROR_OPERATION_ABORTED);
    for (HDEVINFO set : w.sets)
        delete static_cast<int*>(set);
    for (auto& [handle, instance] : w.files)
        CloseHandle(handle);
    for (UsbToken* usb : w.usbs)
        delete usb;
    for (HANDLE event : w.events)
        CloseHandle(event);
    w.sets.clear();
    w.files.clear();
    w.usbs.clear();
    w.events.clear();
}

// --- the table's operations ---

HDEVINFO WINAPI GetClassDevs(const GUID* classGuid, PCSTR, HWND, DWORD flags)
{
    DWORD error = 0;
    HDEVINFO set = INVALID_HANDLE_VALUE;
    {
        World& w = W();
        Guard guard(w.lock);
        w.classFlags.push_back(flags);
        if (!classGuid || !IsEqualGUID(*classGuid, DevGUID) || !w.classInstalled
            || (w.presentSetFails && (flags & DIGCF_PRESENT))) {
            error = ERROR_INVALID_PARAMETER;
        } else {
            set = new int(0);
            w.sets.insert(set);
        }
    }
    if (error)
        SetLastError(error);
    return set;
}

BOOL WINAPI EnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID* classGuid, DWORD index,
                                 PSP_DEVICE_INTERFACE_DATA data)
{
    DWORD error = 0;
    {
        World& w = W();
        Guard guard(w.lock);
        if (!w.sets.count(set)) {
            w.misuse.push_back("enumeration in an unknown device set");
            error = ERROR_INVALID_HANDLE;
        } else if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
            w.misuse.push_back("interface record without its size");
            error = ERROR_INVALID_USER_BUFFER;
        } else if (index >= w.instances.size()) {
            error = ERROR_NO_MORE_ITEMS;
        } else {
            data->InterfaceClassGuid = *classGuid;
            data->Flags = SPINT_ACTIVE;
            data->Reserved = index + 1;
        }
    }
    return error ? Fail(error) : TRUE;
}

BOOL WINAPI GetDeviceInterfaceDetail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                     PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                     PDWORD requiredSize, PSP_DEVINFO_DATA)
{
    DWORD error = 0;
    {
        World& w = W();
        Guard guard(w.lock);
        if (!w.sets.count(set) || !data || data->Reserved == 0 || data->Reserved > w.instances.size()) {
            w.misuse.push_back("detail query without a valid set and interface");
            error = ERROR_INVALID_PARAMETER;
        } else {
            const int index = static_cast<int>(data->Reserved - 1);
            const Instance& instance = w.instances[index];
            const std::string path = PathOf(instance, index);
            const DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath)
                                                    + path.size() + 1);
            if (requiredSize)
                *requiredSize = needed;
            if (!detail) {
                error = detailSize == 0 ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_USER_BUFFER;
            } else {
                w.lastDetailSize = detail->cbSize;
                if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
                    error = ERROR_INVALID_USER_BUFFER;
                else if (detailSize < needed)
                    error = ERROR_INSUFFICIENT_BUFFER;
                else if (instance.detailError)
                    error = instance.detailError;
                else
                    std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
            }
        }
    }
    return error ? Fail(error) : TRUE;
}

BOOL WINAPI DestroyDeviceInfoList(HDEVINFO set)
{
    World& w = W();
    Guard guard(w.lock);
    if (!w.sets.erase(set)) {
        w.misuse.push_back("releasing an unknown device set");
        guard.unlock();
        return Fail(ERROR_INVALID_HANDLE);
    }
    delete static_cast<int*>(set);
    return TRUE;
}

HANDLE WINAPI CreateFileFake(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition,
                             DWORD flags, HANDLE)
{
    DWORD error = 0;
    HANDLE file = INVALID_HANDLE_VALUE;
    {
        World& w = W();
        Guard guard(w.lock);
        w.lastCreate = {path ? path : "", access, share, disposition, flags};
        int found = -1;
        for (size_t i = 0; path && i < w.instances.size(); ++i)
            if (PathOf(w.instances[i], static_cast<int>(i)) == path)
                found = static_cast<int>(i);
        bool alreadyOpen = false;
        for (auto& [handle, instance] : w.files)
            alreadyOpen = alreadyOpen || instance == found;
        if (found < 0)
            error = ERROR_FILE_NOT_FOUND;
        else if (w.instances[found].accessDenied || alreadyOpen)
            error = ERROR_ACCESS_DENIED; // held by another program (or by this one already)
        else if (!(file = CreateEventA(nullptr, TRUE, FALSE, nullptr)))
            error = GetLastError();
        else {
            w.files[file] = found;
            ++w.opens;
        }
    }
    if (error) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

BOOL WINAPI CloseHandleFake(HANDLE handle)
{
    World& w = W();
    Guard guard(w.lock);
    if (!w.files.erase(handle) && !w.events.erase(handle)) {
        w.misuse.push_back("closing a handle the platform did not give out");
        guard.unlock();
        return Fail(ERROR_INVALID_HANDLE);
    }
    guard.unlock();
    return CloseHandle(handle);
}

HANDLE WINAPI CreateEventFake(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name)
{
    World& w = W();
    Guard guard(w.lock);
    if (w.eventCreationFails) {
        guard.unlock();
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HANDLE event = CreateEventA(security, manualReset, initialState, name);
    if (event)
        w.events.insert(event);
    return event;
}

BOOL WINAPI UsbInitialize(HANDLE file, PWINUSB_INTERFACE_HANDLE usb)
{
    DWORD error = 0;
    {
        World& w = W();
        Guard guard(w.lock);
        auto it = w.files.find(file);
        if (it == w.files.end() || !usb) {
            w.misuse.push_back("WinUsb_Initialize without an open file");
            error = ERROR_INVALID_HANDLE;
        } else if (w.instances[it->second].initializeError) {
            error = w.instances[it->second].initializeError;
        } else {
            auto* token = new UsbToken{it->second};
            w.usbs.insert(token);
            *usb = token;
        }
    }
    return error ? Fail(error) : TRUE;
}

BOOL WINAPI UsbFree(WINUSB_INTERFACE_HANDLE usb)
{
    World& w = W();
    Guard guard(w.lock);
    auto* token = static_cast<UsbToken*>(usb);
    if (!w.usbs.erase(token)) {
        w.misuse.push_back("WinUsb_Free of an unknown handle");
        guard.unlock();
        return Fail(ERROR_INVALID_HANDLE);
    }
    delete token;
    // Freeing the interface cancels a read still pending on it.
    if (w.pending && !w.freeLeavesPending)
        CompletePending(w, nullptr, ERROR_OPERATION_ABORTED);
    return TRUE;
}

BOOL WINAPI UsbQueryDeviceInformation(WINUSB_INTERFACE_HANDLE usb, ULONG type, PULONG length, PVOID buffer)
{
    DWORD error = 0;
    {
        World& w = W();
        Guard guard(w.lock);
        const Instance* instance = InstanceOfUsb(w, usb);
        if (!instance)
            error = ERROR_INVALID_HANDLE;
        else if (type != DEVICE_SPEED || !length || *length < 1 || !buffer) {
            w.misuse.push_back("device information query other than the speed byte");
            error = ERROR_INVALID_PARAMETER;
        } else if (instance->speedError)
            error = instance->speedError;
        else {
            *static_cast<UCHAR*>(buffer) = SpeedHigh;
            *length = 1;
        }
    }
    return error ? Fail(error) : TRUE;
}

BOOL WINAPI UsbQueryInterfaceSettings(WINUSB_INTERFACE_HANDLE usb, UCHAR alternate, PUSB_INTERFACE_DESCRIPTOR descriptor)
{
    DWORD error = 0;
    {
        World& w = W();
        Guard guard(w.lock);
        const Instance* instance = InstanceOfUsb(w, usb);
        if (!instance)
            error = ERROR_INVALID_HANDLE;
        else if (alternate != 0 || !descriptor)
            error = ERROR_NO_MORE_ITEMS;
        else if (instance->settingsError)
            error = instance->settingsError;
        else {
            *descriptor = USB_INTERFACE_DESCRIPTOR{};
            descriptor->bLength = sizeof(USB_INTERFACE_DESCRIPTOR);
            descriptor->bDescriptorType = USB_INTERFACE_DESCRIPTOR_TYPE;
            descriptor->bNumEndpoints = static_cast<UCHAR>(Endpoints(*instance).size());
            descriptor->bInterfaceClass = 0xFF;
        }
    }
    return error ? Fail(error) : TRUE;
}

BOOL WINAPI UsbQueryPipe(WINUSB_INTERFACE_HANDLE usb, UCHAR alternate, UCHAR index, PWINUSB_PIPE_INFORMATION pipe)
{
    DWORD error = 0;
    {
        World& w = W();
        Guard guard(w.lock);
        const Instance* instance = InstanceOfUsb(w, usb);
        if (!instance)
            error = ERROR_INVALID_HANDLE;
        else if (alternate != 0 || !pipe || index >= Endpoints(*instance).size())
            error = ERROR_NO_MORE_ITEMS;
        else if (instance->pipeQueryFails)
            error = ERROR_GEN_FAILURE;
        else
            *pipe = Endpoints(*instance)[index];
    }
    return error ? Fail(error) : TRUE;
}

BOOL WINAPI UsbGetDescriptor(WINUSB_INTERFACE_HANDLE usb, UCHAR type, UCHAR index, USHORT language, PUCHAR buffer,
                             ULONG length, PULONG transferred)
{
    DWORD error = 0;
    {
        World& w = W();
        Guard guard(w.lock);
        const Instance* instance = InstanceOfUsb(w, usb);
        if (!instance)
            error = ERROR_INVALID_HANDLE;
        else if (type != USB_STRING_DESCRIPTOR_TYPE || index != 3 || language != 0x0409 || !buffer || !transferred) {
            w.misuse.push_back("string descriptor read other than serial string 3 in language 0x0409");
            error = ERROR_INVALID_PARAMETER;
        } else if (instance->descriptorError)
            error = instance->descriptorError;
        else {
            Bytes descriptor(2 + 2 * instance->serial.size());
            descriptor[0] = static_cast<uint8_t>(std::min<size_t>(descriptor.size(), 255));
            descriptor[1] = USB_STRING_DESCRIPTOR_TYPE;
            for (size_t i = 0; i < instance->serial.size(); ++i) {
                descriptor[2 + 2 * i] = static_cast<uint8_t>(instance->serial[i] & 0xFF);
                descriptor[3 + 2 * i] = static_cast<uint8_t>(instance->serial[i] >> 8);
            }
            const ULONG count = static_cast<ULONG>(std::min<size_t>(length, descriptor.size()));
            std::memcpy(buffer, descriptor.data(), count);
            *transferred = count;
        }
    }
    return error ? Fail(error) : TRUE;
}

BOOL WINAPI UsbWritePipe(WINUSB_INTERFACE_HANDLE usb, UCHAR pipe, PUCHAR buffer, ULONG length, PULONG transferred,
                         LPOVERLAPPED overlapped)
{
    DWORD error = 0;
    Responder responder;
    Bytes transfer;
    {
        World& w = W();
        Guard guard(w.lock);
        if (!InstanceOfUsb(w, usb))
            error = ERROR_INVALID_HANDLE;
        else if (pipe != PipeOut || !buffer || overlapped) {
            w.misuse.push_back("write other than a synchronous one on the OUT pipe");
            error = ERROR_INVALID_PARAMETER;
        } else {
            transfer.assign(buffer, buffer + length);
            w.out.push_back(transfer);
            w.changed.notify_all();
            if (!w.writeErrors.empty()) {
                error = w.writeErrors.front();
                w.writeErrors.pop_front();
            } else {
                responder = w.responder;
            }
        }
    }
    if (error)
        return Fail(error);
    if (transferred)
        *transferred = length;
    if (responder)
        responder(transfer);
    return TRUE;
}

BOOL WINAPI UsbReadPipe(WINUSB_INTERFACE_HANDLE usb, UCHAR pipe, PUCHAR buffer, ULONG length, PULONG transferred,
                        LPOVERLAPPED overlapped)
{
    DWORD error = 0;
    {
        World& w = W();
        Guard guard(w.lock);
        if (!InstanceOfUsb(w, usb)) {
            error = ERROR_INVALID_HANDLE;
        } else if (pipe != PipeIn || !buffer || !overlapped || !overlapped->hEvent) {
            w.misuse.push_back("read other than an overlapped one on the IN pipe");
            error = ERROR_INVALID_PARAMETER;
        } else if (w.pending) {
            w.misuse.push_back("second read while one is pending");
            error = ERROR_BUSY;
        } else {
            // Starting an overlapped operation resets its event, as the platform does.
            ResetEvent(overlapped->hEvent);
            overlapped->Internal = StillPending;
            overlapped->InternalHigh = 0;
            w.pending = PendingRead{overlapped, buffer, length};
            if (!w.inQueue.empty()) {
                InItem item = std::move(w.inQueue.front());
                w.inQueue.pop_front();
                CompletePending(w, item.error ? nullptr : &item.bytes, item.error);
                if (item.error)
                    error = item.error;
                else if (transferred)
                    *transferred = static_cast<ULONG>(overlapped->InternalHigh);
            } else {
                error = ERROR_IO_PENDING;
                w.changed.notify_all();
            }
        }
    }
    return error ? Fail(error) : TRUE;
}

BOOL WINAPI UsbAbortPipe(WINUSB_INTERFACE_HANDLE usb, UCHAR pipe)
{
    DWORD error = 0;
    {
        World& w = W();
        Guard guard(w.lock);
        if (!InstanceOfUsb(w, usb))
            error = ERROR_INVALID_HANDLE;
        else if (pipe != PipeIn) {
            w.misuse.push_back("abort of a pipe other than the IN pipe");
            error = ERROR_INVALID_PARAMETER;
        } else {
            ++w.aborts;
            if (w.pending && w.blockOnAbort) {
                Bytes block = std::move(*w.blockOnAbort);
                w.blockOnAbort.reset();
                CompletePending(w, &block, 0);
            } else if (w.pending && !w.abortLeavesPending) {
                CompletePending(w, nullptr, ERROR_OPERATION_ABORTED);
            }
        }
    }
    return error ? Fail(error) : TRUE;
}

BOOL WINAPI GetOverlappedResultFake(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait)
{
    World& w = W();
    {
        Guard guard(w.lock);
        if (!w.files.count(file) || !overlapped || !transferred) {
            w.misuse.push_back("overlapped result without the device's file handle");
            guard.unlock();
            return Fail(ERROR_INVALID_PARAMETER);
        }
    }
    if (wait && WaitForSingleObject(overlapped->hEvent, FakeWaitLimitMs) != WAIT_OBJECT_0) {
        Guard guard(w.lock);
        w.misuse.push_back("waited for a read that never finished");
        guard.unlock();
        return Fail(ERROR_IO_INCOMPLETE);
    }
    DWORD error = 0;
    {
        Guard guard(w.lock);
        if (overlapped->Internal == StillPending) {
            error = ERROR_IO_INCOMPLETE;
        } else {
            *transferred = static_cast<DWORD>(overlapped->InternalHigh);
            error = static_cast<DWORD>(overlapped->Internal);
        }
    }
    return error ? Fail(error) : TRUE;
}

const PlatformOps FakeOps = {
    .getClassDevs = GetClassDevs,
    .enumDeviceInterfaces = EnumDeviceInterfaces,
    .getDeviceInterfaceDetail = GetDeviceInterfaceDetail,
    .destroyDeviceInfoList = DestroyDeviceInfoList,
    .createFile = CreateFileFake,
    .closeHandle = CloseHandleFake,
    .createEvent = CreateEventFake,
    .usbInitialize = UsbInitialize,
    .usbFree = UsbFree,
    .usbQueryDeviceInformation = UsbQueryDeviceInformation,
    .usbQueryInterfaceSettings = UsbQueryInterfaceSettings,
    .usbQueryPipe = UsbQueryPipe,
    .usbGetDescriptor = UsbGetDescriptor,
    .usbWritePipe = UsbWritePipe,
    .usbReadPipe = UsbReadPipe,
    .usbAbortPipe = UsbAbortPipe,
    .waitForMultipleObjects = WaitForMultipleObjects,
    .getOverlappedResult = GetOverlappedResultFake,
    .wideCharToMultiByte = WideCharToMultiByte,
};

template <typename Predicate>
bool WaitUntil(DWORD timeoutMs, Predicate predicate)
{
    World& w = W();
    Guard guard(w.lock);
    return w.changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return predicate(w); });
}

} // namespace

const PlatformOps& Ops()
{
    return FakeOps;
}

void Reset()
{
    World& w = W();
    Guard guard(w.lock);
    ForgetEverything(w);
    w.instances = {Instance{}};
    w.classInstalled = true;
    w.presentSetFails = false;
    w.eventCreationFails = false;
    w.inQueue.clear();
    w.blockOnAbort.reset();
    w.abortLeavesPending = false;
    w.freeLeavesPending = false;
    w.out.clear();
    w.writeErrors.clear();
    w.responder = nullptr;
    w.aborts = 0;
    w.opens = 0;
    w.classFlags.clear();
    w.lastCreate = {};
    w.lastDetailSize = 0;
    w.misuse.clear();
}

void SetInstances(std::vector<Instance> instances)
{
    World& w = W();
    Guard guard(w.lock);
    w.instances = std::move(instances);
}

void SetClassInstalled(bool installed)
{
    World& w = W();
    Guard guard(w.lock);
    w.classInstalled = installed;
}

void SetPresentSetFails(bool fails)
{
    World& w = W();
    Guard guard(w.lock);
    w.presentSetFails = fails;
}

void SetEventCreationFails(bool fails)
{
    World& w = W();
    Guard guard(w.lock);
    w.eventCreationFails = fails;
}

std::wstring SerialOfLength(size_t characters)
{
    static const wchar_t digits[] = L"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::wstring serial;
    for (size_t i = 0; i < characters; ++i)
        serial += digits[i % 36];
    return serial;
}

void QueueInBlock(Bytes block)
{
    World& w = W();
    Guard guard(w.lock);
    if (w.pending && w.inQueue.empty())
        CompletePending(w, &block, 0);
    else
        w.inQueue.push_back({std::move(block), 0});
}

void QueueReadError(DWORD code)
{
    World& w = W();
    Guard guard(w.lock);
    if (w.pending && w.inQueue.empty())
        CompletePending(w, nullptr, code);
    else
        w.inQueue.push_back({{}, code});
}

bool WaitForPendingRead(ULONG length, DWORD timeoutMs)
{
    return WaitUntil(timeoutMs, [length](World& w) { return w.pending && w.pending->length == length; });
}

ULONG PendingReadLength()
{
    World& w = W();
    Guard guard(w.lock);
    return w.pending ? w.pending->length : 0;
}

size_t QueuedInItems()
{
    World& w = W();
    Guard guard(w.lock);
    return w.inQueue.size();
}

void SetFreeLeavesReadPending(bool leaves)
{
    World& w = W();
    Guard guard(w.lock);
    w.freeLeavesPending = leaves;
}

void SetAbortLeavesReadPending(bool leaves)
{
    World& w = W();
    Guard guard(w.lock);
    w.abortLeavesPending = leaves;
}

void SetBlockCompletingOnAbort(Bytes block)
{
    World& w = W();
    Guard guard(w.lock);
    w.blockOnAbort = std::move(block);
}

std::vector<Bytes> OutTransfers()
{
    World& w = W();
    Guard guard(w.lock);
    return w.out;
}

void ClearOutTransfers()
{
    World& w = W();
    Guard guard(w.lock);
    w.out.clear();
}

bool WaitForOutTransfers(size_t count, DWORD timeoutMs)
{
    return WaitUntil(timeoutMs, [count](World& w) { return w.out.size() >= count; });
}

void QueueWriteError(DWORD code)
{
    World& w = W();
    Guard guard(w.lock);
    w.writeErrors.push_back(code);
}

void SetResponder(Responder responder)
{
    World& w = W();
    Guard guard(w.lock);
    w.responder = std::move(responder);
}

OpenHandles CurrentlyOpen()
{
    World& w = W();
    Guard guard(w.lock);
    return {static_cast<int>(w.sets.size()), static_cast<int>(w.files.size()), static_cast<int>(w.usbs.size()),
            static_cast<int>(w.events.size())};
}

int AbortCount()
{
    World& w = W();
    Guard guard(w.lock);
    return w.aborts;
}

int OpenCount()
{
    World& w = W();
    Guard guard(w.lock);
    return w.opens;
}

std::vector<DWORD> ClassDevsFlags()
{
    World& w = W();
    Guard guard(w.lock);
    return w.classFlags;
}

CreateFileCall LastCreateFile()
{
    World& w = W();
    Guard guard(w.lock);
    return w.lastCreate;
}

DWORD LastDetailRecordSize()
{
    World& w = W();
    Guard guard(w.lock);
    return w.lastDetailSize;
}

std::vector<std::string> Misuse()
{
    World& w = W();
    Guard guard(w.lock);
    return w.misuse;
}

} // namespace FakePlatform
