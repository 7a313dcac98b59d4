// The extra windows the main window opens from a button (the configuration view, the I2C
// window): top-level windows owned by the main window, placed beside its top-left corner.
#pragma once

#include <windows.h>

struct GlobalCtrl;

struct OwnedWindowPlan {
    UINT ClassNameId;    // string table id of the class name
    const char* Title;
    int Width;
    int Height;
    int OpenerId;        // the main window's button that opens it
};

// Creates the window 20 pixels right of and below the main window's top-left corner, with the
// class name from the string table and GlobalCtrl as its creation parameter, and disables
// the opening button while it exists. Null (the button left alone) when it could not be created.
HWND OpenOwnedWindow(GlobalCtrl* ctrl, const OwnedWindowPlan& plan);

// The opening button enabled again when the window closes.
void EnableOpener(GlobalCtrl* ctrl, int openerId);
