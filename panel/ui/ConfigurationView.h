// The device configuration as the program keeps it, and the window that shows it: re-reading the
// configuration block, the measurement frequencies and their list beside the impedance numbers,
// and the "Device Configuration Data" view with the AFE record and the shunt and compensation
// tables.
#pragma once

#include <windows.h>

#include <cstdint>

struct GlobalCtrl;

// The view's read-only text box.
constexpr int IdConfViewText = 1141;

// While connected and idle, reads the configuration block back from the device, recomputes the
// 15 measurement frequencies and shows them in the frequency list; then, if the view is open,
// refreshes its text. 0, or -1 when the library refused the read (its text shown, nothing changed).
int32_t RefreshConfiguration(GlobalCtrl* ctrl);

// VIEW CONF: opens the view beside the main window, disables VIEW CONF while it exists and fills it.
void OpenConfigurationView(GlobalCtrl* ctrl);

LRESULT CALLBACK ConfViewWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
