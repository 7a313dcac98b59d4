// The operations the USB transport needs of the platform, as one table of function pointers with
// the platform's own signatures. The shipped library fills it with SetupAPI and WinUSB; the
// software device fills it with its emulation; tests fill it with a scripted fake. The transport
// calls these operations only through Platform().
#pragma once

#include <windows.h>
#include <setupapi.h>
#include <winusb.h>

struct PlatformOps {
    HDEVINFO (WINAPI* getClassDevs)(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags);
    BOOL (WINAPI* enumDeviceInterfaces)(HDEVINFO set, PSP_DEVINFO_DATA info, const GUID* classGuid,
                                        DWORD index, PSP_DEVICE_INTERFACE_DATA interfaceData);
    BOOL (WINAPI* getDeviceInterfaceDetail)(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                            PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                            PDWORD requiredSize, PSP_DEVINFO_DATA info);
    BOOL (WINAPI* destroyDeviceInfoList)(HDEVINFO set);

    HANDLE (WINAPI* createFile)(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile);
    BOOL (WINAPI* closeHandle)(HANDLE handle);
    HANDLE (WINAPI* createEvent)(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name);

    BOOL (WINAPI* usbInitialize)(HANDLE file, PWINUSB_INTERFACE_HANDLE usb);
    BOOL (WINAPI* usbFree)(WINUSB_INTERFACE_HANDLE usb);
    BOOL (WINAPI* usbQueryDeviceInformation)(WINUSB_INTERFACE_HANDLE usb, ULONG informationType,
                                             PULONG length, PVOID buffer);
    BOOL (WINAPI* usbQueryInterfaceSettings)(WINUSB_INTERFACE_HANDLE usb, UCHAR alternateSetting,
                                             PUSB_INTERFACE_DESCRIPTOR descriptor);
    BOOL (WINAPI* usbQueryPipe)(WINUSB_INTERFACE_HANDLE usb, UCHAR alternateSetting, UCHAR pipeIndex,
                                PWINUSB_PIPE_INFORMATION pipe);
    BOOL (WINAPI* usbGetDescriptor)(WINUSB_INTERFACE_HANDLE usb, UCHAR type, UCHAR index, USHORT language,
                                    PUCHAR buffer, ULONG length, PULONG transferred);
    BOOL (WINAPI* usbWritePipe)(WINUSB_INTERFACE_HANDLE usb, UCHAR pipe, PUCHAR buffer, ULONG length,
                                PULONG transferred, LPOVERLAPPED overlapped);
    BOOL (WINAPI* usbReadPipe)(WINUSB_INTERFACE_HANDLE usb, UCHAR pipe, PUCHAR buffer, ULONG length,
                               PULONG transferred, LPOVERLAPPED overlapped);
    BOOL (WINAPI* usbAbortPipe)(WINUSB_INTERFACE_HANDLE usb, UCHAR pipe);

    DWORD (WINAPI* waitForMultipleObjects)(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);
    BOOL (WINAPI* getOverlappedResult)(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait);
    int (WINAPI* wideCharToMultiByte)(UINT codePage, DWORD flags, LPCWCH wide, int wideLength, LPSTR text,
                                      int textLength, LPCCH defaultChar, LPBOOL usedDefault);
};

// The table the binary was linked with: exactly one filling defines it.
extern const PlatformOps DefaultPlatformOps;

// Called by the library's entry point when the library is being unloaded (FreeLibrary, under the
// loader lock), before it closes its device: a filling that runs threads of its own makes them
// end from then on without needing the loader lock. Each filling defines it.
void PlatformUnloading();

// The table the transport uses; DefaultPlatformOps unless a test swapped it.
const PlatformOps& Platform();

// Swaps the table (nullptr restores DefaultPlatformOps). For tests; not thread-safe against a
// connected device.
void UsePlatformOps(const PlatformOps* ops);
