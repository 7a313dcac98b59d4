#include "ConfigurationView.h"

#include "ConfigurationText.h"
#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "LibraryBinding.h"
#include "MainControls.h"
#include "OwnedWindow.h"
#include "ResourceIds.h"
#include "StatusBar.h"

namespace {

// The record the open view was created with.
GlobalCtrl* ConfViewCtrl = nullptr;

constexpr DWORD ViewTextStyle = 0x50100B04; // child, visible, horizontal scroll bar, multi-line, no-hide-selection, read-only

// Connected, and neither a measurement nor an external-trigger run going.
bool ConnectedAndIdle(HWND mainWindow)
{
    return IsDown(mainWindow, IdConnectDeviceButton) && !IsDown(mainWindow, IdStart) && !IsDown(mainWindow, IdExtTrigger);
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* create)
{
    ConfViewCtrl = static_cast<GlobalCtrl*>(create->lpCreateParams);
    ConfViewCtrl->ConfViewWindow = window;
    CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", nullptr, ViewTextStyle, 7, 7, 580, 301, window,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdConfViewText)), create->hInstance, nullptr);
    return 0;
}

// WM_CLOSE clears the handle before destroying; WM_DESTROY alone comes when the main window
// takes the view down with it.
void ForgetView(HWND window)
{
    if (ConfViewCtrl && ConfViewCtrl->ConfViewWindow == window)
        ConfViewCtrl->ConfViewWindow = nullptr;
    ConfViewCtrl = nullptr;
}

void OnClose(HWND window)
{
    if (ConfViewCtrl)
        EnableOpener(ConfViewCtrl, IdViewConf);
    ForgetView(window);
    DestroyWindow(window);
}

} // namespace

int32_t RefreshConfiguration(GlobalCtrl* ctrl)
{
    if (ConnectedAndIdle(ctrl->MainWindow)) {
        // Read aside, so that a refused read leaves the program's copy as it was.
        DeviceConfiguration configuration{};
        if (char* text = CallKalvix(CMD_READ_CONFIGURATION, 0, nullptr, &configuration)) {
            ShowStatusMessage(ctrl->MainWindow, text, 0);
            return -1;
        }
        ctrl->Configuration = configuration;
        ComputeMeasurementFrequencies(ctrl->Configuration, CurrentDivider(ctrl), ctrl->Frequencies);
        TextSink sink = MakeTextSink(ctrl->Text, ScratchTextSize);
        FormatFrequencyList(sink, ctrl->Frequencies);
        SetDlgItemTextA(ctrl->MainWindow, IdFrequencyList, ctrl->Text);
    }
    if (ctrl->ConfViewWindow) {
        TextSink sink = MakeTextSink(ctrl->Text, ScratchTextSize);
        FormatConfigurationView(sink, ctrl->AfeArea, ctrl->Configuration);
        SetDlgItemTextA(ctrl->ConfViewWindow, IdConfViewText, ctrl->Text);
    }
    return 0;
}

void OpenConfigurationView(GlobalCtrl* ctrl)
{
    // One view at a time: the record it was created with is kept program-wide.
    if (ctrl->ConfViewWindow)
        return;
    OpenOwnedWindow(ctrl, OwnedWindowPlan{IDS_CONF_VIEW_WINDOW_CLASS, "Device Configuration Data", 600, 345, IdViewConf});
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
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
