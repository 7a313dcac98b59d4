// The shipped library's platform: SetupAPI finds the device interface, kernel32 opens, waits and
// converts, WinUSB moves the bytes.
#include "PlatformOps.h"

const PlatformOps DefaultPlatformOps = {
    .getClassDevs = SetupDiGetClassDevsA,
    .enumDeviceInterfaces = SetupDiEnumDeviceInterfaces,
    .getDeviceInterfaceDetail = SetupDiGetDeviceInterfaceDetailA,
    .destroyDeviceInfoList = SetupDiDestroyDeviceInfoList,

    .createFile = CreateFileA,
    .closeHandle = CloseHandle,
    .createEvent = CreateEventA,

    .usbInitialize = WinUsb_Initialize,
    .usbFree = WinUsb_Free,
    .usbQueryDeviceInformation = WinUsb_QueryDeviceInformation,
    .usbQueryInterfaceSettings = WinUsb_QueryInterfaceSettings,
    .usbQueryPipe = WinUsb_QueryPipe,
    .usbGetDescriptor = WinUsb_GetDescriptor,
    .usbWritePipe = WinUsb_WritePipe,
    .usbReadPipe = WinUsb_ReadPipe,
    .usbAbortPipe = WinUsb_AbortPipe,

    .waitForMultipleObjects = WaitForMultipleObjects,
    .getOverlappedResult = GetOverlappedResult,
    .wideCharToMultiByte = WideCharToMultiByte,
};

// SetupAPI and WinUSB run no threads of this library.
void PlatformUnloading() {}
