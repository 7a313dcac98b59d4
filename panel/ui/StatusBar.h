// The main window's status bar: its six parts, the one routine that shows library texts and
// notices, the transfer-activity icon and the received-data rate, and the timers that take
// these indications down again.
#pragma once

#include <windows.h>

#include "DpiScale.h"
#include "Throughput.h"

#include <cstdint>

struct GlobalCtrl;

// The transfer-activity icon's lit halves (bit 0 sent, bit 1 received) and the rate meter, kept
// in the main window's record.
struct StatusIndicators {
    uint8_t ActivityFlags;
    ThroughputMeter RateMeter;
};

// Private message that carries a status text from another thread to the main window: wParam
// the notice flag, lParam a heap copy of the text that the main window frees.
constexpr UINT WmStatusText = WM_APP + 1;

constexpr COLORREF StatusErrorColour = RGB(255, 0, 0);

// Creates the status bar (id 1100) with its parts, initial texts and icons.
// Part edges are at the scale (DpiScale.h).
HWND CreateStatusBar(HWND mainWindow, HINSTANCE instance, DpiScale scale);
// Whether the notice part shows its lit icon now; asked before the icons are loaded again.
bool StatusNoticeLit(HWND mainWindow);
// The part edges at a new scale and the part icons set again from the (newly loaded) icons.
void ScaleStatusBar(HWND mainWindow, DpiScale scale, bool noticeLit);

// Sets the text of one status bar part.
void SetStatusPartText(HWND mainWindow, int part, const char* text);

// notice 0 (error form): part 5 := text and the whole bar red; notice 1: part 3 := text with the
// notice icon. Either way the indication is taken down 500 ms after the last call. From another
// thread than the main window's the text is posted to the main window, which shows it.
void ShowStatusMessage(HWND mainWindow, const char* text, int32_t notice);

// kind 1: bytes were sent; kind 2: bytes were received. Lights the activity icon for 200 ms.
void ShowTransferActivity(HWND mainWindow, int32_t kind);

// One device watch tick's received bytes (0: nothing received lately) into the rate part.
void UpdateThroughput(GlobalCtrl* ctrl, uint32_t bytes);

// WM_TIMER 500, 503 and 504; returns false for other timers.
bool HandleStatusTimer(HWND mainWindow, UINT_PTR timerId);
// WmStatusText on the main window.
void HandleStatusTextMessage(HWND mainWindow, WPARAM wParam, LPARAM lParam);
// Frees the texts of status messages still queued: for a window that is going away, or from a
// poll thread that has ended.
void DiscardQueuedStatusTexts(HWND mainWindow);

// The activity flags of the main window (bit 0 sent lit, bit 1 received lit).
uint8_t CurrentActivityFlags(HWND mainWindow);
