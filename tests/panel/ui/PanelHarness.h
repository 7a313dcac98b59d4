// Drives the control panel inside the test process: opens and closes its main window, reads
// controls and status bar parts, and takes the pixels a window has drawn. Waits, pictures,
// files and the catcher of message boxes come from tests/support.
#pragma once

#include "BmpFile.h"
#include "GlobalCtrl.h"
#include "MessageBoxes.h"
#include "Picture.h"
#include "ScratchFiles.h"
#include "Waits.h"

#include <windows.h>

#include <string>

// Takes a quit message that a destroyed main window left in the queue.
void DrainQuit();

// The panel started the program's way (classes, window, shown); null on failure.
HWND OpenPanel();
void ClosePanel(HWND mainWindow);

// The records kept in the state of this process's main window, from any thread: its shared
// record and its spectrum buffer; null while there is no such window or it has none (before its
// creation made them, once its destruction freed them).
GlobalCtrl* PanelCtrl();
SpectrumRecord* PanelDataBuff();

RECT ControlRectInClient(HWND mainWindow, int id);
std::string WindowText(HWND window);
std::string ClassNameOf(HWND window);
std::string StatusPartText(HWND mainWindow, int part);
HICON StatusPartIcon(HWND mainWindow, int part);

// True once no window of the calling thread waits to be painted.
bool NothingToPaint();

// What a window has drawn, read from the window's own device context (so nothing waits for the
// screen to catch up): the whole window with its frame, or its client area with client (0, 0) at
// the picture's (0, 0). Child windows are included.
Picture CaptureWindow(HWND window);
Picture CaptureClient(HWND window);
