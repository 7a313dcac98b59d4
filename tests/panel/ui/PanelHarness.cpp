#include "PanelHarness.h"

#include "MainWindowState.h"
#include "ProgramStart.h"

#include <commctrl.h>

namespace {

// The main window of this process, or null; other processes' panels are left alone.
HWND OwnMainWindow()
{
    for (HWND found = FindWindowExA(nullptr, nullptr, "MainWindowClass", nullptr); found;
         found = FindWindowExA(nullptr, found, "MainWindowClass", nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(found, &process);
        if (process == GetCurrentProcessId())
            return found;
    }
    return nullptr;
}

} // namespace

GlobalCtrl* PanelCtrl()
{
    HWND window = OwnMainWindow();
    return window ? MainCtrlOf(window) : nullptr;
}

SpectrumRecord* PanelDataBuff()
{
    HWND window = OwnMainWindow();
    return window ? MainDataBuffOf(window) : nullptr;
}

void DrainQuit()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

HWND OpenPanel()
{
    HWND window = StartControlPanel(GetModuleHandleA(nullptr), SW_SHOW);
    DrainQuit();
    if (window) {
        SetForegroundWindow(window);
        PumpUntil(NothingToPaint, 5000);
    }
    return window;
}

void ClosePanel(HWND mainWindow)
{
    if (mainWindow && IsWindow(mainWindow))
        DestroyWindow(mainWindow);
    DrainQuit();
    UnregisterControlPanelClasses(GetModuleHandleA(nullptr));
}

RECT ControlRectInClient(HWND mainWindow, int id)
{
    RECT rect{};
    GetWindowRect(GetDlgItem(mainWindow, id), &rect);
    MapWindowPoints(nullptr, mainWindow, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string WindowText(HWND window)
{
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassNameOf(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string StatusPartText(HWND mainWindow, int part)
{
    HWND bar = GetDlgItem(mainWindow, 1100);
    LRESULT length = SendMessageA(bar, SB_GETTEXTLENGTHA, part, 0);
    std::string text(LOWORD(length) + 1, '\0');
    SendMessageA(bar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text.data()));
    text.resize(LOWORD(length));
    return text;
}

HICON StatusPartIcon(HWND mainWindow, int part)
{
    return reinterpret_cast<HICON>(SendDlgItemMessageA(mainWindow, 1100, SB_GETICON, part, 0));
}

bool NothingToPaint()
{
    return (HIWORD(GetQueueStatus(QS_PAINT)) & QS_PAINT) == 0;
}

Picture CaptureWindow(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    HDC dc = GetWindowDC(window);
    Picture picture = CopyPicture(dc, 0, 0, rect.right - rect.left, rect.bottom - rect.top);
    ReleaseDC(window, dc);
    return picture;
}

Picture CaptureClient(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    Picture picture = CopyPicture(dc, 0, 0, client.right, client.bottom);
    ReleaseDC(window, dc);
    return picture;
}
