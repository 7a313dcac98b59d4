// The display scaling a window is shown at: its DPI, its monitor's work area, and the scale of a
// window whose 96-DPI size is given (DpiScale.h), reduced so that the window fits that work area.
#pragma once

#include <windows.h>

#include "DpiScale.h"

// The window's DPI: GetDpiForWindow where the system has it (looked up at run time), else the
// screen's LOGPIXELSY.
int32_t WindowDpi(HWND window);

// The work area of the monitor the window is on (of the one nearest to it).
RECT WorkAreaOf(HWND window);
RECT WorkAreaAt(const RECT& place);

// The scale of a window that is width96 x height96 at 96 DPI, shown at dpi in the work area.
DpiScale WindowScaleAt(int32_t dpi, const RECT& workArea, int32_t width96, int32_t height96);
// The same for the window's own DPI and monitor.
DpiScale WindowScale(HWND window, int32_t width96, int32_t height96);

// Gives the window its size at the scale and moves it, where needed, inside its work area.
// Nothing is changed at a scale whose size is the window's own.
void SizeWindowToScale(HWND window, DpiScale scale, int32_t width96, int32_t height96);

// WM_DPICHANGED: the scale of the new DPI (wParam) in the work area under the suggested
// rectangle (lParam); the window is moved there with its size at that scale, kept inside that
// work area.
DpiScale FollowDpiChange(HWND window, WPARAM wParam, LPARAM lParam, int32_t width96, int32_t height96);

// A child window moved to its 96-DPI place and size at the scale.
void PlaceChildAtScale(HWND child, DpiScale scale, ScaledRect rect96);
