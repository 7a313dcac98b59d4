#include "ConfigurationView.h"

#include "ConfigurationText.h"
#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "LibraryBinding.h"
#include "MainControls.h"
#include "OwnedWindow.h"
#include "ResourceIds.h"
#include "StatusBar.h"
#include "WindowDpi.h"

namespace {

constexpr DWORD ViewTextStyle =
    WS_CHILD | WS_VISIBLE | WS_HSCROLL | ES_MULTILINE | ES_NOHIDESEL | ES_READONLY | LayoutEditBit;
static_assert(ViewTextStyle == 0x50100B04);

constexpr OwnedWindowPlan ViewPlan{IDS_CONF_VIEW_WINDOW_CLASS, "Device Configuration Data", 600, 345, IdViewConf};
constexpr ScaledRect ViewTextRect{7, 7, 580, 301};

// Connected, and neither a measurement nor an external-trigger run going.
bool ConnectedAndIdle(HWND mainWindow)
{
    return IsDown(mainWindow, IdConnectDeviceButton) && !IsDown(mainWindow, IdStart) && !IsDown(mainWindow, IdExtTrigger);
}

// The record the view was created with, kept in the window's user data.
GlobalCtrl* CtrlOf(HWND window)
{
    return reinterpret_cast<GlobalCtrl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* create)
{
    GlobalCtrl* ctrl = static_cast<GlobalCtrl*>(create->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(ctrl));
    ctrl->ConfViewWindow = window;
    const ScaledRect text = ScaleRect(OwnedWindowScale(window, ViewPlan), ViewTextRect);
    CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", nullptr, ViewTextStyle, text.X, text.Y, text.Width, text.Height, window,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdConfViewText)), create->hInstance, nullptr);
    return 0;
}

void OnDpiChanged(HWND window, WPARAM wParam, LPARAM lParam)
{
    const DpiScale scale = FollowOwnedDpiChange(window, ViewPlan, wParam, lParam);
    PlaceChildAtScale(GetDlgItem(window, IdConfViewText), scale, ViewTextRect);
}

// WM_CLOSE clears the handle before destroying; WM_DESTROY alone comes when the main window
// takes the view down with it.
void ForgetView(HWND window)
{
    GlobalCtrl* ctrl = CtrlOf(window);
    if (ctrl && ctrl->ConfViewWindow == window)
        ctrl->ConfViewWindow = nullptr;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
}

void OnClose(HWND window)
{
    if (GlobalCtrl* ctrl = CtrlOf(window))
        EnableOpener(ctrl, IdViewConf);
    ForgetView(window);
    DestroyWindow(window);
}

} // namespace

int32_t RefreshConfiguration(GlobalCtrl* ctrl)
{
    if (ConnectedAndIdle(ctrl->MainWindow)) {
        // Read aside, into the whole room the command may write, so that a refused read leaves
        // the program's copy as it was.
        ConfigurationReadRoom room{};
        if (const char* text = CallKalvix(CMD_READ_CONFIGURATION, 0, nullptr, &room)) {
            ShowStatusMessage(ctrl->MainWindow, text, 0);
            return -1;
        }
        ctrl->Configuration = room.configuration;
        ComputeMeasurementFrequencies(ctrl->Configuration, CurrentDivider(ctrl), ctrl->Frequencies);
        char text[ScratchTextSize];
        TextSink sink = MakeTextSink(text, sizeof text);
        FormatFrequencyList(sink, ctrl->Frequencies);
        SetDlgItemTextA(ctrl->MainWindow, IdFrequencyList, text);
    }
    if (ctrl->ConfViewWindow) {
        // Cut to fit the 1024-character text the view has always been given.
        char text[ScratchTextSize];
        TextSink sink = MakeTextSink(text, sizeof text);
        FormatConfigurationView(sink, ctrl->AfeArea, ctrl->Configuration);
        SetDlgItemTextA(ctrl->ConfViewWindow, IdConfViewText, text);
    }
    return 0;
}

void OpenConfigurationView(GlobalCtrl* ctrl)
{
    // One view at a time.
    if (ctrl->ConfViewWindow)
        return;
    OpenOwnedWindow(ctrl, ViewPlan);
    RefreshConfiguration(ctrl);
}

LRESULT CALLBACK ConfViewWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_CLOSE:
        OnClose(window);
        return 0;
    case WM_DESTROY:
        ForgetView(window);
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(window, wParam, lParam);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
