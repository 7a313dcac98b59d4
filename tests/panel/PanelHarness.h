// Drives the control panel inside the test process: opens and closes its main window, pumps
// messages, reads controls and status bar parts, catches and dismisses message boxes, and
// captures the window's pixels.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
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

void PumpFor(DWORD milliseconds);
// Pumps until the condition holds or the time is up; returns the condition's last value.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs);
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

// The folder of the test program, with a trailing backslash.
std::string TestFolder();

// The window's pixels as seen on the screen (0x00RRGGBB, top row first).
struct Capture {
    int Width = 0;
    int Height = 0;
    POINT ClientOrigin{}; // client (0, 0) in the capture
    std::vector<uint32_t> Pixels;
    uint32_t AtClient(int x, int y) const;
};
Capture CaptureWindow(HWND window);
bool SaveBmp(const Capture& capture, const std::string& path);
bool IsRedPixel(uint32_t rgb);
