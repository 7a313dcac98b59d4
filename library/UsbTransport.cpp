#include "UsbTransport.h"

#include "LibraryState.h"

#include <cstdlib>
#include <cstring>
#include <new>

const GUID DevGUID = {0xD7024F71, 0x28DE, 0x4E81, {0x8A, 0x6B, 0x11, 0x3C, 0xA2, 0xBF, 0xB6, 0x0D}};

namespace {

constexpr DWORD PresentInterfaces = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;
constexpr DWORD AllInterfaces = DIGCF_DEVICEINTERFACE;
constexpr DWORD OverlappedNormal = FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL;
constexpr USHORT LanguageEnglishUs = 0x0409;
constexpr UCHAR SerialStringIndex = 3;
constexpr ULONG StringDescriptorSize = 34; // 2-byte header and up to 16 UTF-16 characters
constexpr int SerialTextCapacity = 16;     // 15 characters and the terminating zero

// The codes callers and operators see for the failures of an open.
static_assert(ERROR_DEV_NOT_EXIST == 55 && ERROR_DEVICE_NOT_CONNECTED == 1167);
static_assert(ERROR_NOT_ENOUGH_MEMORY == 8 && ERROR_INSUFFICIENT_BUFFER == 122);
static_assert(ERROR_NOT_SAME_DEVICE == 17 && ERROR_ACCESS_DENIED == 5);

// The thread's last error, or `fallback` when a failing call left none.
DWORD LastErrorOr(DWORD fallback)
{
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

// Releases a half-opened device and keeps the last error of the step that failed, so the caller
// of OpenUsbDevice sees why the open failed and not what the clean-up did.
UsbDevice* AbandonOpen(UsbDevice* device, DWORD error)
{
    const PlatformOps& ops = Platform();
    if (device->readEvent)
        ops.closeHandle(device->readEvent);
    if (device->usbHandle)
        ops.usbFree(device->usbHandle);
    if (device->fileHandle != INVALID_HANDLE_VALUE && device->fileHandle != nullptr)
        ops.closeHandle(device->fileHandle);
    delete device;
    SetLastError(error);
    return nullptr;
}

// Finds the IN and OUT pipes of alternate setting 0; only bulk pipes are accepted.
DWORD FindPipes(UsbDevice& device)
{
    const PlatformOps& ops = Platform();
    USB_INTERFACE_DESCRIPTOR iface{};
    if (!ops.usbQueryInterfaceSettings(device.usbHandle, 0, &iface))
        return LastErrorOr(ERROR_GEN_FAILURE);

    for (UCHAR index = 0; index < iface.bNumEndpoints; ++index) {
        // A failed query leaves the record zeroed, i.e. a control pipe, which is refused below.
        WINUSB_PIPE_INFORMATION pipe{};
        ops.usbQueryPipe(device.usbHandle, 0, index, &pipe);
        if (pipe.PipeType != UsbdPipeTypeBulk)
            return ERROR_NOT_SAME_DEVICE;
        if (USB_ENDPOINT_DIRECTION_IN(pipe.PipeId))
            device.pipeIn = pipe.PipeId;
        else
            device.pipeOut = pipe.PipeId;
    }
    // Without both pipes every read or write would go to the control pipe.
    if (device.pipeIn == 0 || device.pipeOut == 0)
        return ERROR_NOT_SAME_DEVICE;
    return ERROR_SUCCESS;
}

// Waits, at most AbortFinishWaitMs, for a read that was aborted to finish; true once it has, with
// the bytes it brought (0 when it was cancelled).
bool CollectAbortedRead(UsbDevice& device, ULONG* transferred)
{
    const PlatformOps& ops = Platform();
    *transferred = 0;
    if (ops.waitForMultipleObjects(1, &device.readEvent, FALSE, AbortFinishWaitMs) != WAIT_OBJECT_0) {
        device.readOutstanding = true;
        return false;
    }
    device.readOutstanding = false;
    DWORD count = 0;
    if (ops.getOverlappedResult(device.fileHandle, &device.readOverlapped, &count, FALSE))
        *transferred = count;
    return true;
}

// Ends a read that is still pending: aborts the IN pipe and waits, at most AbortFinishWaitMs,
// until the platform has finished with the buffer and the OVERLAPPED record. A read that
// completed in the meantime keeps its bytes; otherwise nothing was transferred. Returns whether
// the read has finished; one that has not stays outstanding.
bool FinishAbortedRead(UsbDevice& device, ULONG* transferred)
{
    const PlatformOps& ops = Platform();
    *transferred = 0;
    ops.usbAbortPipe(device.usbHandle, device.pipeIn);
    return CollectAbortedRead(device, transferred);
}

// Hands a finished read's bytes (never more than were asked for) to the caller.
DWORD TakeReadBytes(const UsbDevice& device, void* buffer, ULONG count, ULONG* transferred)
{
    const ULONG kept = count < ReadCapacity ? count : ReadCapacity;
    std::memcpy(buffer, device.readBytes, kept);
    *transferred = kept;
    return ERROR_SUCCESS;
}

} // namespace

DWORD FindDevicePath(DWORD index, const GUID& guid, char* path, size_t capacity)
{
    const PlatformOps& ops = Platform();
    if (!path || capacity == 0)
        return ERROR_INVALID_PARAMETER;
    path[0] = '\0';

    HDEVINFO set = ops.getClassDevs(&guid, nullptr, nullptr, PresentInterfaces);
    if (set == INVALID_HANDLE_VALUE) {
        HDEVINFO all = ops.getClassDevs(&guid, nullptr, nullptr, AllInterfaces);
        if (all == INVALID_HANDLE_VALUE)
            return ERROR_DEV_NOT_EXIST; // the interface class is not installed
        ops.destroyDeviceInfoList(all);
        return ERROR_DEVICE_NOT_CONNECTED; // installed, but no device attached
    }

    DWORD result = ERROR_SUCCESS;
    PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail = nullptr;
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof(interfaceData);
    DWORD requiredLength = 0;
    constexpr DWORD headerSize = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

    if (!ops.enumDeviceInterfaces(set, nullptr, &guid, index, &interfaceData)) {
        result = ERROR_DEVICE_NOT_CONNECTED;
    } else if (!ops.getDeviceInterfaceDetail(set, &interfaceData, nullptr, 0, &requiredLength, nullptr)
               && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        result = LastErrorOr(ERROR_GEN_FAILURE);
    } else if (requiredLength <= headerSize) {
        result = ERROR_INVALID_DATA; // no room for even an empty path
    } else if (!(detail = static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(std::calloc(1, requiredLength)))) {
        result = ERROR_NOT_ENOUGH_MEMORY;
    } else {
        // The size field holds the size of the fixed part of the record (8 on 64-bit Windows).
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!ops.getDeviceInterfaceDetail(set, &interfaceData, detail, requiredLength, nullptr, nullptr)) {
            result = LastErrorOr(ERROR_GEN_FAILURE);
        } else {
            // The path may lack its terminator; never look past the record.
            const size_t length = strnlen(detail->DevicePath, requiredLength - headerSize);
            if (length >= capacity || length == requiredLength - headerSize) {
                result = ERROR_INSUFFICIENT_BUFFER;
            } else {
                std::memcpy(path, detail->DevicePath, length);
                path[length] = '\0';
            }
        }
    }

    std::free(detail);
    ops.destroyDeviceInfoList(set);
    return result;
}

HANDLE OpenDevicePath(DWORD index, const GUID& guid)
{
    char path[DevicePathCapacity];
    const DWORD error = FindDevicePath(index, guid, path, sizeof(path));
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    return Platform().createFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, OverlappedNormal, nullptr);
}

UsbDevice* OpenUsbDevice(const GUID& guid, DWORD index)
{
    const PlatformOps& ops = Platform();
    UsbDevice* device = new (std::nothrow) UsbDevice{};
    if (!device) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }

    device->fileHandle = OpenDevicePath(index, guid);
    if (device->fileHandle == INVALID_HANDLE_VALUE)
        return AbandonOpen(device, LastErrorOr(ERROR_GEN_FAILURE));

    WINUSB_INTERFACE_HANDLE usb = nullptr;
    if (!ops.usbInitialize(device->fileHandle, &usb))
        return AbandonOpen(device, LastErrorOr(ERROR_GEN_FAILURE));
    device->usbHandle = usb;

    ULONG speedLength = sizeof(device->speed);
    UCHAR speed = 0;
    if (!ops.usbQueryDeviceInformation(device->usbHandle, DEVICE_SPEED, &speedLength, &speed))
        return AbandonOpen(device, LastErrorOr(ERROR_GEN_FAILURE));
    device->speed = speed;

    const DWORD pipeError = FindPipes(*device);
    if (pipeError != ERROR_SUCCESS)
        return AbandonOpen(device, pipeError);

    device->readEvent = ops.createEvent(nullptr, TRUE, FALSE, nullptr);
    if (!device->readEvent)
        return AbandonOpen(device, LastErrorOr(ERROR_GEN_FAILURE));
    return device;
}

DWORD CloseUsbDevice(UsbDevice* device)
{
    if (!device)
        return ERROR_INVALID_PARAMETER;
    const PlatformOps& ops = Platform();
    ULONG ignored = 0;
    if (device->readOutstanding)
        FinishAbortedRead(*device, &ignored);
    if (device->usbHandle)
        ops.usbFree(device->usbHandle);
    // Freeing the interface ends whatever an abort did not.
    if (device->readOutstanding)
        CollectAbortedRead(*device, &ignored);
    const bool leftToPlatform = device->readOutstanding;
    if (device->readEvent && !leftToPlatform)
        ops.closeHandle(device->readEvent);
    DWORD result = ERROR_SUCCESS;
    if (!ops.closeHandle(device->fileHandle))
        result = LastErrorOr(ERROR_INVALID_HANDLE);
    if (!leftToPlatform)
        delete device;
    return result;
}

DWORD OpenFirstFreeDevice(LibraryState& state, char* serial)
{
    UCHAR deviceStrDesc[StringDescriptorSize] = {};
    if (serial)
        serial[0] = '\0';

    state.deviceIndex = 0;
    UsbDevice* device = nullptr;
    for (;;) {
        device = OpenUsbDevice(DevGUID, state.deviceIndex);
        if (device)
            break;
        const DWORD error = LastErrorOr(ERROR_GEN_FAILURE);
        if (error != ERROR_ACCESS_DENIED || state.deviceIndex >= HighestDeviceIndex)
            return error;
        ++state.deviceIndex;
    }
    state.device = device;

    const PlatformOps& ops = Platform();
    ULONG received = 0;
    if (!ops.usbGetDescriptor(device->usbHandle, USB_STRING_DESCRIPTOR_TYPE, SerialStringIndex, LanguageEnglishUs,
                              deviceStrDesc, sizeof(deviceStrDesc), &received))
        received = 0;
    if (!serial)
        return ERROR_SUCCESS;

    // The descriptor's own length and the bytes received both bound the text.
    ULONG descriptorLength = received < deviceStrDesc[0] ? received : deviceStrDesc[0];
    if (descriptorLength > sizeof(deviceStrDesc))
        descriptorLength = sizeof(deviceStrDesc);
    int characters = descriptorLength > 2 ? static_cast<int>((descriptorLength - 2) / 2) : 0;
    if (characters > SerialTextCapacity - 1)
        characters = SerialTextCapacity - 1;

    WCHAR wide[SerialTextCapacity] = {};
    std::memcpy(wide, deviceStrDesc + 2, characters * sizeof(WCHAR));
    // Converted with room for multi-byte code pages, then cut to what the caller can take.
    char text[SerialTextCapacity * 4] = {};
    const int length = characters > 0
        ? ops.wideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, characters, text, sizeof(text) - 1,
                                  nullptr, nullptr)
        : 0;
    const int kept = length < SerialTextCapacity - 1 ? (length > 0 ? length : 0) : SerialTextCapacity - 1;
    std::memcpy(serial, text, kept);
    serial[kept] = '\0';
    return ERROR_SUCCESS;
}

DWORD ReadPipe(UsbDevice* device, void* buffer, ULONG length, ULONG* transferred, DWORD timeoutMs,
               HANDLE wakeEvent)
{
    if (!device || !buffer || !transferred || length == 0 || length > ReadCapacity)
        return ERROR_INVALID_PARAMETER;
    *transferred = 0;
    const PlatformOps& ops = Platform();

    // A read given up on earlier may still own the record and its buffer: nothing is read until it
    // has finished. What it brought is kept when it fits what this call asks for.
    if (device->readOutstanding) {
        ULONG late = 0;
        if (!CollectAbortedRead(*device, &late))
            return ERROR_IO_INCOMPLETE;
        if (late > 0 && late <= length && device->outstandingBuffer == buffer)
            return TakeReadBytes(*device, buffer, late, transferred);
    }

    OVERLAPPED& sOverlapped = device->readOverlapped;
    sOverlapped = OVERLAPPED{};
    sOverlapped.hEvent = device->readEvent;
    ULONG count = 0;
    if (ops.usbReadPipe(device->usbHandle, device->pipeIn, device->readBytes, length, &count, &sOverlapped))
        return TakeReadBytes(*device, buffer, count, transferred);
    const DWORD error = LastErrorOr(ERROR_GEN_FAILURE);
    if (error != ERROR_IO_PENDING)
        return error;

    const HANDLE phSignals[2] = {device->readEvent, wakeEvent};
    const DWORD waited = ops.waitForMultipleObjects(wakeEvent ? 2 : 1, phSignals, FALSE, timeoutMs);
    if (waited == WAIT_OBJECT_0) {
        DWORD done = 0;
        if (!ops.getOverlappedResult(device->fileHandle, &sOverlapped, &done, FALSE))
            return LastErrorOr(ERROR_GEN_FAILURE);
        return TakeReadBytes(*device, buffer, done, transferred);
    }

    // Woken, timed out or failed: the read is abandoned. A read that completed just before the
    // abort keeps its bytes.
    const DWORD waitError = waited == WAIT_FAILED ? LastErrorOr(ERROR_GEN_FAILURE) : waited;
    ULONG finished = 0;
    if (!FinishAbortedRead(*device, &finished)) {
        device->outstandingBuffer = buffer;
        return ERROR_IO_INCOMPLETE;
    }
    if (finished > 0)
        return TakeReadBytes(*device, buffer, finished, transferred);
    if (wakeEvent && waited == WAIT_OBJECT_0 + 1)
        return ERROR_SUCCESS;
    return waitError;
}

BOOL WritePipe(UsbDevice* device, const void* bytes, ULONG length, ULONG* written)
{
    if (!device || !bytes || !written || length == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *written = 0;
    // WinUSB takes a non-const buffer but only reads it for an OUT transfer.
    return Platform().usbWritePipe(device->usbHandle, device->pipeOut,
                                   static_cast<PUCHAR>(const_cast<void*>(bytes)), length, written, nullptr);
}
