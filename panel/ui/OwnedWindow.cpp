#include "OwnedWindow.h"

#include "GlobalCtrl.h"

HWND OpenOwnedWindow(GlobalCtrl* ctrl, const OwnedWindowPlan& plan)
{
    HWND mainWindow = ctrl->MainWindow;
    RECT CurCoord{};
    GetWindowRect(mainWindow, &CurCoord);
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(mainWindow, GWLP_HINSTANCE));
    char className[64] = {};
    LoadStringA(instance, plan.ClassNameId, className, sizeof className);
    HWND window = CreateWindowExA(WS_EX_DLGMODALFRAME, className, plan.Title, WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
                                  CurCoord.left + 20, CurCoord.top + 20, plan.Width, plan.Height, mainWindow, nullptr,
                                  instance, ctrl);
    // A window that closed itself while being created has already enabled the button again.
    if (window)
        EnableWindow(GetDlgItem(mainWindow, plan.OpenerId), FALSE);
    return window;
}

void EnableOpener(GlobalCtrl* ctrl, int openerId)
{
    EnableWindow(GetDlgItem(ctrl->MainWindow, openerId), TRUE);
}
