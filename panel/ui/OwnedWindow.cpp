#include "OwnedWindow.h"

#include "GlobalCtrl.h"
#include "WindowDpi.h"

HWND OpenOwnedWindow(GlobalCtrl* ctrl, const OwnedWindowPlan& plan)
{
    HWND mainWindow = ctrl->MainWindow;
    RECT CurCoord{};
    GetWindowRect(mainWindow, &CurCoord);
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(mainWindow, GWLP_HINSTANCE));
    char className[64] = {};
    LoadStringA(instance, plan.ClassNameId, className, sizeof className);
    const DpiScale scale = OwnedWindowScale(mainWindow, plan);
    HWND window = CreateWindowExA(WS_EX_DLGMODALFRAME, className, plan.Title, WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
                                  CurCoord.left + 20, CurCoord.top + 20, Scale(scale, plan.Width),
                                  Scale(scale, plan.Height), mainWindow, nullptr, instance, ctrl);
    // A window that closed itself while being created has already enabled the button again.
    if (window)
        EnableWindow(GetDlgItem(mainWindow, plan.OpenerId), FALSE);
    return window;
}

void EnableOpener(GlobalCtrl* ctrl, int openerId)
{
    EnableWindow(GetDlgItem(ctrl->MainWindow, openerId), TRUE);
}

DpiScale OwnedWindowScale(HWND window, const OwnedWindowPlan& plan)
{
    return WindowScale(window, plan.Width, plan.Height);
}

DpiScale FollowOwnedDpiChange(HWND window, const OwnedWindowPlan& plan, WPARAM wParam, LPARAM lParam)
{
    return FollowDpiChange(window, wParam, lParam, plan.Width, plan.Height);
}
