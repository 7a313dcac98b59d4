// The platform seam of the USB transport: every SetupAPI, WinUSB and kernel operation the
// transport (UsbTransport.cpp, its only caller) performs for the device goes through this table,
// always fetched with Platform(). Each member has the platform function's own signature and
// meaning. Three fillings exist: the shipped library's (WinUsbPlatform.cpp: the system's
// functions themselves), the software device's (emulator/EmulatedPlatform.cpp) and the tests'
// scripted fake (tests/support/FakePlatform.cpp).
//
// What holds for every member:
// - A failure is FALSE, INVALID_HANDLE_VALUE or null with the thread's last error set, as the
//   system does; where a failure leaves the last error 0 the transport takes a code of its own
//   (ERROR_GEN_FAILURE unless a member names another).
//   ERROR_ACCESS_DENIED from any step of an open means "held by another program" to
//   OpenFirstFreeDevice, which then tries the next instance: an open gives it for nothing else.
// - The transport releases what it got exactly once (device sets, the WinUSB interface, the file
//   and the read event) and passes a filling only handles that filling gave out, except the
//   library's own WakeEvent (a kernel event from CreateEventA), which it waits on beside the read
//   event.
// - Reads are overlapped, writes synchronous. usbReadPipe gets the device's OVERLAPPED, whose
//   hEvent is the manual-reset read event from createEvent. A read that cannot finish at once
//   gives ERROR_IO_PENDING; the filling resets the event when a read starts and finishes the read
//   (with its bytes, its error, or ERROR_OPERATION_ABORTED when aborted or freed) by storing the
//   outcome for getOverlappedResult and then setting the event; after that it touches neither the
//   OVERLAPPED nor the buffer. Events are therefore real kernel events. One read is pending at a
//   time.
// - Threads: the open runs on a caller's thread inside KalvixControl (CMD_CONNECT); the reader
//   (AcquisitionThread) reads, waits and aborts; any caller's thread writes (every command that
//   sends), while a read is pending on the reader's thread; the teardown runs on a caller's thread
//   (CMD_DISCONNECT, a failed connect) or in the library's entry point at process detach, after
//   the reader has ended. Every member must be safe to call concurrently with the others, and none
//   may wait for a thread of the library.
// - Process detach runs under the loader lock: at FreeLibrary after PlatformUnloading(), so no
//   member used by the teardown (usbWritePipe, usbAbortPipe, waitForMultipleObjects,
//   getOverlappedResult, usbFree, closeHandle) may then need the loader lock; at process end the
//   system has already ended every other thread, perhaps inside the filling holding its locks, so
//   those members must not wait for such a lock then.
//
// A filling other than the system's must give the system's last-error codes where the transport
// looks at them (named at each member), reset and set the read event as above, finish a pending
// read on usbAbortPipe and on usbFree, and pass closeHandle of a handle it did not give out to the
// system (or refuse it). The software device's filling completes reads on a pump thread of its own,
// which is why PlatformUnloading exists; the fake completes them on the thread that queues a block
// or error (a test's, or a writer's through its responder).
#pragma once

#include <windows.h>
#include <setupapi.h>
#include <winusb.h>

struct PlatformOps {
    // FindDevicePath (open, caller's thread): a set of the present interfaces of the class
    // (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE; enumerator and parent null). Success is a set, which
    // may be empty. On INVALID_HANDLE_VALUE it is asked again with DIGCF_DEVICEINTERFACE alone,
    // only to tell the failures apart: failing too gives ERROR_DEV_NOT_EXIST (class not
    // installed), else ERROR_DEVICE_NOT_CONNECTED. The last error is not looked at.
    HDEVINFO (WINAPI* getClassDevs)(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags);

    // FindDevicePath: the interface at `index` (the instance index 0..HighestDeviceIndex), info
    // null, interfaceData->cbSize set. TRUE with *interfaceData filled for
    // getDeviceInterfaceDetail. Any failure (ERROR_NO_MORE_ITEMS past the last interface; the code
    // is not looked at) gives ERROR_DEVICE_NOT_CONNECTED, which also ends OpenFirstFreeDevice's walk
    // over the instances.
    BOOL (WINAPI* enumDeviceInterfaces)(HDEVINFO set, PSP_DEVINFO_DATA info, const GUID* classGuid,
                                        DWORD index, PSP_DEVICE_INTERFACE_DATA interfaceData);

    // FindDevicePath, twice. The size query (detail null, detailSize 0, info null) is expected to
    // fail with ERROR_INSUFFICIENT_BUFFER and store the record's size in *requiredSize (TRUE is
    // taken too); another code is FindDevicePath's result, and a size with no room for a path gives
    // ERROR_INVALID_DATA. The fetch gets a zeroed record of that size whose cbSize is
    // sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A), its fixed fields (requiredSize and info null): TRUE
    // with DevicePath filled; a failure's code is FindDevicePath's result. A path with no
    // terminator inside the record, or too long for DevicePathCapacity, gives
    // ERROR_INSUFFICIENT_BUFFER.
    BOOL (WINAPI* getDeviceInterfaceDetail)(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                            PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                            PDWORD requiredSize, PSP_DEVINFO_DATA info);

    // FindDevicePath: releases each set getClassDevs gave, once, on the thread that got it. The
    // result is ignored.
    BOOL (WINAPI* destroyDeviceInfoList)(HDEVINFO set);

    // OpenDevicePath (from OpenUsbDevice, caller's thread): the path FindDevicePath found, with
    // GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, no security attributes,
    // OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, no template. Success is a handle
    // that is neither INVALID_HANDLE_VALUE nor null (null would pass as open). On
    // INVALID_HANDLE_VALUE the last error ends the open: ERROR_ACCESS_DENIED (an instance held by
    // another program) moves OpenFirstFreeDevice to the next index up to HighestDeviceIndex; any
    // other code is the connect's RESULT_SYSTEM_ERROR code.
    HANDLE (WINAPI* createFile)(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile);

    // Closes the device's file handle and its read event: in CloseUsbDevice (the teardown; the
    // event only once no read is outstanding on it) and when OpenUsbDevice fails half-way (caller's
    // thread). Only closing the file is looked at: its failure's code (ERROR_INVALID_HANDLE when
    // none) is CloseUsbDevice's result, and so CMD_DISCONNECT's. The software device ends its pump
    // here with the last open file.
    BOOL (WINAPI* closeHandle)(HANDLE handle);

    // OpenUsbDevice, last step: the device's read event (no security attributes, manual-reset, not
    // signalled, unnamed). It must be a kernel event the system can wait on beside WakeEvent. Null
    // ends the open with its last error.
    HANDLE (WINAPI* createEvent)(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name);

    // OpenUsbDevice, after createFile: the WinUSB interface of the opened file. TRUE with *usb set;
    // FALSE ends the open with its last error (the file is closed again).
    BOOL (WINAPI* usbInitialize)(HANDLE file, PWINUSB_INTERFACE_HANDLE usb);

    // Releases the interface: in CloseUsbDevice (teardown, after the reader has ended or, at process
    // end, been ended) and when OpenUsbDevice fails after usbInitialize. Freeing must finish a read
    // still pending on the interface (ERROR_OPERATION_ABORTED, its event set): CloseUsbDevice relies
    // on it for a read an abort did not end, and waits AbortFinishWaitMs for that before it leaves
    // the device record and its read event to the filling for good. The result is ignored.
    BOOL (WINAPI* usbFree)(WINUSB_INTERFACE_HANDLE usb);

    // OpenUsbDevice: DEVICE_SPEED into one UCHAR (*length 1). TRUE with the speed, kept in
    // UsbDevice::speed; FALSE ends the open with its last error.
    BOOL (WINAPI* usbQueryDeviceInformation)(WINUSB_INTERFACE_HANDLE usb, ULONG informationType,
                                             PULONG length, PVOID buffer);

    // FindPipes (OpenUsbDevice): alternate setting 0. TRUE with the descriptor, whose bNumEndpoints
    // is the number of usbQueryPipe calls that follow; FALSE ends the open with its last error.
    BOOL (WINAPI* usbQueryInterfaceSettings)(WINUSB_INTERFACE_HANDLE usb, UCHAR alternateSetting,
                                             PUSB_INTERFACE_DESCRIPTOR descriptor);

    // FindPipes: endpoint `pipeIndex`, 0..bNumEndpoints-1, of alternate setting 0 into a zeroed
    // record. The result is not looked at: a failure leaves the record zeroed, i.e. a control pipe.
    // Every endpoint must be a bulk pipe, one of them IN (direction bit set) and one OUT; otherwise
    // the open fails with ERROR_NOT_SAME_DEVICE.
    BOOL (WINAPI* usbQueryPipe)(WINUSB_INTERFACE_HANDLE usb, UCHAR alternateSetting, UCHAR pipeIndex,
                                PWINUSB_PIPE_INFORMATION pipe);

    // OpenFirstFreeDevice, once the device is open: the serial number string
    // (USB_STRING_DESCRIPTOR_TYPE, SerialStringIndex, LanguageEnglishUs) into StringDescriptorSize
    // bytes. TRUE with *transferred; the text is bounded by both *transferred and the descriptor's
    // length byte. FALSE only leaves the serial empty: the connect still succeeds.
    BOOL (WINAPI* usbGetDescriptor)(WINUSB_INTERFACE_HANDLE usb, UCHAR type, UCHAR index, USHORT language,
                                    PUCHAR buffer, ULONG length, PULONG transferred);

    // WritePipe, from SendRequest: one request frame to the OUT pipe, synchronous (overlapped null),
    // on the thread of the command that sends it (any caller's thread inside KalvixControl, while a
    // read is pending on the reader's), and from ShutdownDevice to leave the device idle
    // (CMD_DISCONNECT, or process detach under the loader lock). TRUE once sent (*transferred is not
    // looked at); FALSE's last error is the command's RESULT_SYSTEM_ERROR code
    // (ERROR_INVALID_PARAMETER when none). The teardown ignores failures.
    BOOL (WINAPI* usbWritePipe)(WINUSB_INTERFACE_HANDLE usb, UCHAR pipe, PUCHAR buffer, ULONG length,
                                PULONG transferred, LPOVERLAPPED overlapped);

    // ReadPipe, on the reader thread: up to `length` bytes (the ReadLength of the moment) from the IN
    // pipe into ReceiveBuffer, with the device's OVERLAPPED (zeroed, hEvent the read event). TRUE:
    // finished at once, *transferred bytes. FALSE with ERROR_IO_PENDING: under way (see the top).
    // Another code is the read's result, as is a failure getOverlappedResult reports:
    // ERROR_GEN_FAILURE, ERROR_DEVICE_NOT_CONNECTED and ERROR_BAD_COMMAND (a device failing or pulled
    // out) end the reader, which posts STATUS_DEVICE_NOT_FUNCTIONING; any other is dropped and the
    // read repeated after FailedReadPauseMs.
    BOOL (WINAPI* usbReadPipe)(WINUSB_INTERFACE_HANDLE usb, UCHAR pipe, PUCHAR buffer, ULONG length,
                               PULONG transferred, LPOVERLAPPED overlapped);

    // FinishAbortedRead: the IN pipe, to end a pending read that ReadPipe gives up on (woken by
    // WakeEvent, i.e. a command changing the read length or a teardown; a wait timed out or failed)
    // on the reader thread, and in CloseUsbDevice a read left outstanding before. It must make the
    // read finish (ERROR_OPERATION_ABORTED, or with its bytes if it completed first) and set its
    // event, at once if it can: after AbortFinishWaitMs the read is left outstanding and ReadPipe
    // gives ERROR_IO_INCOMPLETE, without reading, until it has finished. The result is ignored.
    BOOL (WINAPI* usbAbortPipe)(WINUSB_INTERFACE_HANDLE usb, UCHAR pipe);

    // The waits for the read event, with the system's results. ReadPipe (reader thread): the read
    // event and WakeEvent, waitAll FALSE, INFINITE from the reader. WAIT_OBJECT_0: the read finished.
    // Anything else aborts the read, keeping bytes that came meanwhile; if none came,
    // WAIT_OBJECT_0 + 1 (woken) gives success with 0 bytes, WAIT_TIMEOUT is the read's result, and
    // WAIT_FAILED gives its last error. CollectAbortedRead (reader thread or teardown): the read
    // event alone for AbortFinishWaitMs; anything but WAIT_OBJECT_0 leaves the read outstanding.
    // Both other fillings pass it to the system.
    DWORD (WINAPI* waitForMultipleObjects)(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

    // ReadPipe and CollectAbortedRead, once the read event is set: the device's file handle and
    // OVERLAPPED, wait FALSE. TRUE with the bytes read; FALSE with the read's code:
    // ERROR_OPERATION_ABORTED for an aborted or freed read, the device's error, or
    // ERROR_IO_INCOMPLETE for one not finished. In ReadPipe the code is the read's result (see
    // usbReadPipe); after an abort any failure means only that no bytes came.
    BOOL (WINAPI* getOverlappedResult)(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait);

    // OpenFirstFreeDevice: the serial's UTF-16 characters (at most SerialTextCapacity - 1) to CP_ACP
    // with WC_NO_BEST_FIT_CHARS, no default character, into a buffer with room for multi-byte code
    // pages. The number of bytes written; 0 (a failure) gives an empty serial. At most
    // SerialTextCapacity - 1 bytes are kept.
    int (WINAPI* wideCharToMultiByte)(UINT codePage, DWORD flags, LPCWCH wide, int wideLength, LPSTR text,
                                      int textLength, LPCCH defaultChar, LPBOOL usedDefault);
};

// The table the binary was linked with; exactly one filling defines it: WinUsbPlatform.cpp in the
// shipped library and in the transport and library test programs (the fake is installed over it
// with UsePlatformOps), EmulatedPlatform.cpp wherever the emulator is linked in.
extern const PlatformOps DefaultPlatformOps;

// Called by the library's entry point at DLL_PROCESS_DETACH when the library is being freed
// (FreeLibrary, not the end of the process), under the loader lock, before the teardown closes the
// device. A filling that runs threads of its own makes them end from then on without needing the
// loader lock (the software device's pump parks, and its closer ends it with an APC). Defined
// beside DefaultPlatformOps; the shipped filling has nothing to do.
void PlatformUnloading();

// The table the transport calls: the one UsePlatformOps set, else DefaultPlatformOps. Any thread;
// each transport routine fetches it once and keeps that table throughout.
const PlatformOps& Platform();

// Makes `ops` the table Platform() gives (nullptr: DefaultPlatformOps again); it must outlive its
// use. For tests, while no device is open: handles of one table mean nothing to another, and a
// routine already running keeps the table it fetched.
void UsePlatformOps(const PlatformOps* ops);
