// What the main window keeps for as long as it exists: made at the start of WM_CREATE, freed at
// the end of WM_DESTROY and found from the window's handle. Everything in it belongs to the main
// window's thread, except the handled-batch count, which others may read.
#pragma once

#include <windows.h>

#include "BatchHandling.h"
#include "DeviceWatch.h"
#include "GlobalCtrl.h"
#include "KernelOwners.h"
#include "MainLayout.h"
#include "StatusBar.h"
#include "Widgets.h"

struct MainWindowState {
    // The program's shared record and the spectrum buffer the poll thread fills, made in
    // WM_CREATE and freed in WM_DESTROY before the library is unloaded; null before and after.
    GlobalCtrl* GlobalCtrlPtr;
    SpectrumRecord* DataBuffPtr;
    // The device library, loaded in WM_CREATE and freed last in WM_DESTROY; BoundLibrary lends
    // its entries to every thread meanwhile.
    OwnedModule Library;
    WidgetSet Widgets;
    LayoutFonts Fonts;
    StatusIndicators Status;
    DeviceWatchState Watch;
    BatchTracking Batches;
    // The run now going was started in excitation mode "D": only then is the D-mode level
    // reset after STOP.
    bool RunStartedInModeD;
    // The window's display scale (WindowDpi.h): its controls, fonts and widgets are laid out at
    // it; set in WM_CREATE and on WM_DPICHANGED.
    DpiScale Scale;
};

// Makes the window's record (every field zero or at its start value); false without memory.
bool AttachMainWindowState(HWND mainWindow);
// Frees it; the window has none afterwards.
void FreeMainWindowState(HWND mainWindow);
// The window's record; null before WM_CREATE made it and after WM_DESTROY freed it.
MainWindowState* MainStateOf(HWND mainWindow);
// The shared record and the spectrum buffer kept in it; null while the window has none.
GlobalCtrl* MainCtrlOf(HWND mainWindow);
SpectrumRecord* MainDataBuffOf(HWND mainWindow);
