// Binds the processing routines' window hooks to the real main window: its status bar, message
// boxes, control texts, check states and commands.
#pragma once

#include <windows.h>

void BindPanelToMainWindow(HWND mainWindow);
// Leaves every hook unbound, so nothing reaches a window that is going away.
void UnbindPanel();
