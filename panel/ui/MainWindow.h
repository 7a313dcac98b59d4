// The main window's procedure: creation (records, library, controls), painting, timers, status
// messages from other threads, and the orderly take-down.
#pragma once

#include <windows.h>

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// True when the last main window creation failed and already told the operator why.
bool MainCreationFailureShown();
