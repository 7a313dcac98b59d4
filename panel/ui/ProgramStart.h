// The program's start: window classes, the main window, the message loop.
#pragma once

#include <windows.h>

constexpr size_t ProgramNameSize = 32;
constexpr int MainWindowWidth = 1100;
constexpr int MainWindowHeight = 730;
constexpr DWORD MainWindowStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// Registers the three window classes and creates and shows the main window; every failure has
// been shown in its message box and leaves no window behind. Returns the main window or null.
HWND StartControlPanel(HINSTANCE instance, int showCommand);

// Runs the message loop until the quit message; returns its exit code.
int RunMessageLoop();

// Start and loop: the program entry's whole work. 0 when the start fails.
int RunControlPanel(HINSTANCE instance, int showCommand);

// Takes the three classes away again (for a program that starts the panel more than once in
// one process, as the tests do).
void UnregisterControlPanelClasses(HINSTANCE instance);
