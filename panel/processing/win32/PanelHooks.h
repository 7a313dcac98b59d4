// What the processing routines need from the main window, as a table of functions that the window
// binds into GlobalCtrl::Hooks when it is created and clears when it goes: status bar messages,
// message boxes, the two log labels, the connection state and the buttons processing may let go
// of. Tests bind their own functions to observe the calls. An unbound entry does nothing (the
// device then reads as not connected).
#pragma once

#include "LogFormat.h"

#include <cstdint>

struct PanelHooks {
    void* context;
    // Status bar: notice 0 is the error form (part 5, red), 1 the notice form (part 3).
    void (*ShowStatusMessage)(void* context, const char* text, int32_t notice);
    // A message box owned by the main window; icon is one of the MB_ICON* values.
    void (*ShowMessageBox)(void* context, const char* text, const char* caption, uint32_t icon);
    void (*ShowLogEntryCount)(void* context, const char* text); // "Log Entry Count: n"
    void (*ShowLogFileName)(void* context, const char* text);   // "Log: name", or "Log:"
    int32_t (*IsDeviceConnected)(void* context);                // CONNECT DEVICE is down
    // LOG DATA unticked while it is being pressed: the log is refused, nothing else happens.
    void (*RefuseLogging)(void* context);
    // LOG DATA released as if by the operator: the button comes up and the log is stopped.
    void (*SwitchLoggingOff)(void* context);
    // CONNECT DEVICE released as if by the operator: the device is disconnected.
    void (*Disconnect)(void* context);
    void (*ReadLogSettings)(void* context, LogSettings* settings);
    // Unbound: the system's local time.
    void (*GetLocalTime)(void* context, LogTime* time);
    // Milliseconds of a clock that never goes back. Unbound: GetTickCount64.
    uint64_t (*ReadTickCount)(void* context);
};

void PanelShowStatus(const PanelHooks& hooks, const char* text, int32_t notice);
void PanelMessageBox(const PanelHooks& hooks, const char* text, const char* caption, uint32_t icon);
void PanelShowLogEntryCount(const PanelHooks& hooks, const char* text);
void PanelShowLogFileName(const PanelHooks& hooks, const char* text);
bool PanelDeviceConnected(const PanelHooks& hooks);
void PanelRefuseLogging(const PanelHooks& hooks);
void PanelSwitchLoggingOff(const PanelHooks& hooks);
void PanelDisconnect(const PanelHooks& hooks);
// Zero settings when unbound.
LogSettings PanelLogSettings(const PanelHooks& hooks);
uint64_t PanelTickCount(const PanelHooks& hooks);
