// What the main window's controls do: WM_COMMAND by control id, the two trackbars' WM_VSCROLL and
// the right click on the impedance numbers. Each handler reads its button's state, so a
// WM_COMMAND the program sends itself acts like the operator's click.
#pragma once

#include <windows.h>

struct GlobalCtrl;

void OnMainCommand(HWND mainWindow, int id, int notification);
void OnMainVScroll(HWND mainWindow, HWND trackbar, int code);
void OnMainRightButton(HWND mainWindow, LPARAM position);

// Handlers, by the control group they belong to.
void OnConnectDevice(HWND mainWindow, GlobalCtrl* ctrl);
void OnStart(HWND mainWindow, GlobalCtrl* ctrl);
void OnExtTrigger(HWND mainWindow, GlobalCtrl* ctrl);
void OnGetStatus(HWND mainWindow);
void OnBattery(HWND mainWindow);
void OnCompensation(HWND mainWindow, int id);
void On10x(HWND mainWindow);
void OnGainSelected(HWND mainWindow);
void OnGpioLevel(HWND mainWindow, int id);
void OnGpioDirection(HWND mainWindow, int id);
void OnAfeDetectionBox(HWND mainWindow, GlobalCtrl* ctrl);
void OnExcitationMode(HWND mainWindow, int id);
void OnExcitationScroll(HWND mainWindow);
void OnDividerScroll(HWND mainWindow, GlobalCtrl* ctrl, int code);
void OnChooseFile(HWND mainWindow, int id);
void OnLoadTable(HWND mainWindow, GlobalCtrl* ctrl, int id);
void OnLogData(HWND mainWindow, GlobalCtrl* ctrl);

// The GPIO mask of the six GPIO buttons to the device (CMD_SET_GPIO, registering GpioStatusWord).
const char* SendGpioMask(HWND mainWindow, GlobalCtrl* ctrl);
