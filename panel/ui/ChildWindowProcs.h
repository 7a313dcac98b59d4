// Window procedures of the configuration view and the I2C bus control windows, whose classes
// the program registers at start-up. The windows themselves are opened from the main window.
#pragma once

#include <windows.h>

LRESULT CALLBACK ConfViewWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK I2CControlWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
