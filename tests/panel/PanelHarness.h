// Drives the control panel inside the test process: opens and closes its main window, reads
// controls and status bar parts, catches and dismisses message boxes, and takes the pixels a
// window has drawn. Waits, pictures and files come from tests/support.
#pragma once

#include "BmpFile.h"
#include "Picture.h"
#include "ScratchFiles.h"
#include "Waits.h"

#include <windows.h>

#include <string>
#include <vector>

struct CaughtBox {
    std::string Text;
    std::string Caption;
    HWND Owner;
    bool ErrorIcon;
    bool WarningIcon;
};

// While installed, every message box the test thread opens is recorded and answered with OK (or
// Yes/No when the box asks, as set). File dialogs are told apart: each is recorded by its title
// and answered with the next queued file name (OK), or cancelled when none is queued.
struct BoxCatcher {
    BoxCatcher();
    ~BoxCatcher();
    BoxCatcher(const BoxCatcher&) = delete;
    BoxCatcher& operator=(const BoxCatcher&) = delete;
    std::vector<CaughtBox> Boxes() const;
    std::vector<std::string> FileDialogTitles() const;
    void QueueFileName(const std::string& path);
    void AnswerYes(bool yes);
};

// Takes a quit message that a destroyed main window left in the queue.
void DrainQuit();

// The panel started the program's way (classes, window, shown); null on failure.
HWND OpenPanel();
void ClosePanel(HWND mainWindow);

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
