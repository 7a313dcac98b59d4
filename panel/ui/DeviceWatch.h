// The main window's background watch while a device is connected (timer 502, every 50 ms):
// library errors and device loss, GPIO changes, transfer activity and rate, the log size; and
// the delayed fetch of the device identification after GET STATUS (timer 501).
#pragma once

#include <windows.h>

#include <cstdint>

struct GlobalCtrl;

// Kept in the main window's record.
struct DeviceWatchState {
    uint32_t SavedGpioStatus = 0xFFFFFFFF; // the GPIO word the last tick saw
    uint32_t IdleTicks = 0;                // ticks in a row without received bytes
};

// Starts the watch for a new connection; its first tick always sees a GPIO change.
void StartDeviceWatch(HWND mainWindow);
void StopDeviceWatch(HWND mainWindow);

void OnDeviceWatchTick(GlobalCtrl* ctrl);
void OnDeviceInfoTick(GlobalCtrl* ctrl);
