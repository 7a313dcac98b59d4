// The extra windows the main window opens from a button (the configuration view, the I2C
// window): top-level windows owned by the main window, placed beside its top-left corner.
#pragma once

#include <windows.h>

#include "DpiScale.h"

struct GlobalCtrl;

struct OwnedWindowPlan {
    UINT ClassNameId;    // string table id of the class name
    const char* Title;
    int Width;           // at 96 DPI
    int Height;
    int OpenerId;        // the main window's button that opens it
};

// Creates the window 20 pixels right of and below the main window's top-left corner, its size
// at the main window's display scale (WindowDpi.h), with the class name from the string table
// and GlobalCtrl as its creation parameter, and disables the opening button while it exists.
// Null (the button left alone) when it could not be created.
HWND OpenOwnedWindow(GlobalCtrl* ctrl, const OwnedWindowPlan& plan);

// The opening button enabled again when the window closes.
void EnableOpener(GlobalCtrl* ctrl, int openerId);

// The scale the window of the plan lays its controls out at.
DpiScale OwnedWindowScale(HWND window, const OwnedWindowPlan& plan);
// WM_DPICHANGED of the window of the plan: moved and sized for the new DPI; returns its scale.
DpiScale FollowOwnedDpiChange(HWND window, const OwnedWindowPlan& plan, WPARAM wParam, LPARAM lParam);
