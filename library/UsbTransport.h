// Opening, reading, writing and closing the device through the platform operations table.
#pragma once

#include "PlatformOps.h"

#include <cstddef>
#include <cstdint>

struct LibraryState;

// The most bytes one read of the IN pipe may ask for.
constexpr ULONG ReadCapacity = 768;

// One open device; created by OpenUsbDevice, released by CloseUsbDevice. Its handles came from
// the platform operations and go back through them (closeHandle), never through the kernel
// owners: the software device and the tests' fake see, and may refuse, every close.
struct UsbDevice {
    HANDLE fileHandle;
    WINUSB_INTERFACE_HANDLE usbHandle;
    UCHAR speed;
    UCHAR pipeIn;     // endpoint address with bit 7 set
    UCHAR pipeOut;    // bit 7 clear
    HANDLE readEvent; // manual-reset, completes every overlapped read
    // The record of the read in progress and the bytes it reads into. Both live with the device,
    // not with the caller: an aborted read that does not finish within its bound keeps them until
    // it does, even after the device is closed and the caller's memory (the library's state, at an
    // unload) is gone. A finished read's bytes are copied out to the caller.
    OVERLAPPED readOverlapped;
    uint8_t readBytes[ReadCapacity];
    bool readOutstanding; // an aborted read has not finished yet
    void* outstandingBuffer; // the caller's buffer when that read was given up on
};

// How long an aborted read is given to finish before it is left outstanding.
constexpr DWORD AbortFinishWaitMs = 100;

// The device interface class {D7024F71-28DE-4E81-8A6B-113CA2BFB60D}.
extern const GUID DevGUID;

constexpr size_t DevicePathCapacity = 256;
constexpr DWORD HighestDeviceIndex = 16;

// Path of the index-th present interface of the class into `path` (capacity bytes): 0 or an
// error code: ERROR_DEV_NOT_EXIST (class not installed), ERROR_DEVICE_NOT_CONNECTED (no such
// instance), ERROR_NOT_ENOUGH_MEMORY, ERROR_INSUFFICIENT_BUFFER (path too long), ERROR_INVALID_DATA
// (no room for a path in the detail record), ERROR_INVALID_PARAMETER (no `path`), or the
// platform's own.
DWORD FindDevicePath(DWORD index, const GUID& guid, char* path, size_t capacity);

// FindDevicePath, then CreateFileA for overlapped read/write; invalid with the last error set.
HANDLE OpenDevicePath(DWORD index, const GUID& guid);

// A ready UsbDevice (pipes found, read event made), or nullptr with the last error set.
UsbDevice* OpenUsbDevice(const GUID& guid, DWORD index);

// Releases everything of the device: 0, or the error of closing its file handle;
// ERROR_INVALID_PARAMETER for nullptr. A read still outstanding after the handles are gone leaves
// the record (with its OVERLAPPED, read event and read bytes) to the platform, never freed, since
// the platform may still complete into it; no memory of the caller's is written then.
DWORD CloseUsbDevice(UsbDevice* device);

// Opens the lowest instance 0..HighestDeviceIndex no other program holds (an open that fails
// with ERROR_ACCESS_DENIED moves on to the next) into state.device and state.deviceIndex, and
// writes the serial text (string descriptor 3, at most 15 characters and a zero) to `serial`.
// 0 or an error code.
DWORD OpenFirstFreeDevice(LibraryState& state, char* serial);

// One read of `length` bytes (1..ReadCapacity, else ERROR_INVALID_PARAMETER) from the IN pipe into
// the device's own bytes, copied to `buffer` once it has finished. A set wake event ends a pending read with 0 bytes
// transferred and result 0 (the pipe is aborted). 0 or an error code. An aborted read that does
// not finish within AbortFinishWaitMs gives ERROR_IO_INCOMPLETE and stays outstanding; every later
// call first waits (bounded) for it to finish and gives ERROR_IO_INCOMPLETE again until it has,
// without reading. When it finishes with bytes into the same buffer, and no more than `length`,
// they are this call's result; otherwise they are dropped and a new read is made.
DWORD ReadPipe(UsbDevice* device, void* buffer, ULONG length, ULONG* transferred, DWORD timeoutMs,
               HANDLE wakeEvent);

// One synchronous write to the OUT pipe; the platform's success, with the count written.
BOOL WritePipe(UsbDevice* device, const void* bytes, ULONG length, ULONG* written);
