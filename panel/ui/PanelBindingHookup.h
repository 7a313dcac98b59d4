// Binds the processing routines' window hooks (GlobalCtrl::Hooks) to the real main window: its
// status bar, message boxes, the log labels, the connection state and the LOG DATA and CONNECT
// DEVICE buttons.
#pragma once

#include <windows.h>

struct GlobalCtrl;

void BindPanelToMainWindow(GlobalCtrl* ctrl, HWND mainWindow);
// Leaves every hook unbound, so nothing reaches a window that is going away.
void UnbindPanel(GlobalCtrl* ctrl);
