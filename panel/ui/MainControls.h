// Reading and setting the main window's controls by id, and the one way library texts are
// reported, so every handler states its steps in the same words.
#pragma once

#include <windows.h>

#include <cstdint>

struct GlobalCtrl;

bool IsDown(HWND mainWindow, int id);            // a toggle, check box or radio that is checked
void SetDown(HWND mainWindow, int id, bool down);
void EnableControl(HWND mainWindow, int id, bool enable);
void SetCaption(HWND mainWindow, int id, const char* text);
int32_t TrackbarPosition(HWND mainWindow, int id);
int32_t ListSelection(HWND mainWindow, int id);

// A library text, if there is one, goes to the status bar in the error form. Returns true when
// the library refused (there was a text).
bool Report(HWND mainWindow, const char* text);

// The pause the device gets between requests: a plain sleep, so no timer can run in between.
void PauseMs(DWORD milliseconds);

// The divider the divider trackbar stands at, from the record's divider index.
uint16_t CurrentDivider(const GlobalCtrl* ctrl);
