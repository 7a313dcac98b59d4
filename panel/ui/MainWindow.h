// The main window's procedure: creation (records, library, controls), painting, timers, status
// messages from other threads, and the orderly take-down.
#pragma once

#include <windows.h>

// The creation parameter, when not null, points to a bool that WM_CREATE sets when it fails and
// has already told the operator why.
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
