// What the processing routines need from the main window, as a table of functions that the
// window code binds: status bar messages, message boxes, control texts and check states. Tests
// bind their own functions to observe the calls. An unbound entry does nothing (a check state
// reads as 0).
#pragma once

#include "LogFormat.h"

#include <cstdint>

// Controls of the main window that the processing routines touch.
constexpr int32_t IdConnectDevice = 1102;
constexpr int32_t IdLogData = 1109;
constexpr int32_t IdLogEntryCountLabel = 1110;
constexpr int32_t IdLogFileLabel = 1111;

// Message box kinds, with the platform's icon values.
constexpr uint32_t BoxIconError = 0x10;
constexpr uint32_t BoxIconWarning = 0x30;
constexpr uint32_t BoxIconInformation = 0x40;

struct PanelHooks {
    void* context;
    // Status bar: notice 0 is the error form (part 5, red), 1 the notice form (part 3).
    void (*ShowStatusMessage)(void* context, const char* text, int32_t notice);
    void (*ShowMessageBox)(void* context, const char* text, const char* caption, uint32_t icon);
    void (*SetControlText)(void* context, int32_t controlId, const char* text);
    int32_t (*IsButtonChecked)(void* context, int32_t controlId);
    void (*SetButtonCheck)(void* context, int32_t controlId, int32_t checked);
    // WM_COMMAND with the control id to the main window; returns after it was handled.
    void (*SendCommand)(void* context, int32_t controlId);
    void (*ReadLogSettings)(void* context, LogSettings* settings);
    // Unbound: the system's local time.
    void (*GetLocalTime)(void* context, LogTime* time);
};

// The program's one binding; the main window fills it at creation.
extern PanelHooks PanelBinding;

void PanelShowStatus(const char* text, int32_t notice);
void PanelMessageBox(const char* text, const char* caption, uint32_t icon);
void PanelSetText(int32_t controlId, const char* text);
int32_t PanelIsChecked(int32_t controlId);
void PanelSetCheck(int32_t controlId, int32_t checked);
void PanelSendCommand(int32_t controlId);
// Clears a button's check and sends its command, as if the operator had released it.
void PanelReleaseButton(int32_t controlId);
