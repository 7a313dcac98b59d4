#include "PanelBindingHookup.h"

#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "PanelHooks.h"
#include "StatusBar.h"

#include <commctrl.h>

namespace {

HWND MainOf(void* context)
{
    return static_cast<HWND>(context);
}

void ShowStatusHook(void* context, const char* text, int32_t notice)
{
    ShowStatusMessage(MainOf(context), text, notice);
}

void MessageBoxHook(void* context, const char* text, const char* caption, uint32_t icon)
{
    MessageBoxA(MainOf(context), text, caption, icon);
}

void SetLabel(void* context, int controlId, const char* text)
{
    SetDlgItemTextA(MainOf(context), controlId, text);
}

bool IsChecked(void* context, int controlId)
{
    return IsDlgButtonChecked(MainOf(context), controlId) == BST_CHECKED;
}

// The button comes up and its command runs, as when the operator releases it.
void ReleaseButton(void* context, int controlId)
{
    CheckDlgButton(MainOf(context), controlId, BST_UNCHECKED);
    SendMessageA(MainOf(context), WM_COMMAND, MAKEWPARAM(controlId, 0), 0);
}

void ReadLogSettingsHook(void* context, LogSettings* settings)
{
    HWND window = MainOf(context);
    int32_t position = static_cast<int32_t>(SendDlgItemMessageA(window, IdExcitationTrackbar, TBM_GETPOS, 0, 0));
    int32_t maximum = static_cast<int32_t>(SendDlgItemMessageA(window, IdExcitationTrackbar, TBM_GETRANGEMAX, 0, 0));
    settings->excitationLevel = maximum - position;
    settings->gainCodeA = static_cast<int32_t>(SendDlgItemMessageA(window, IdGainA, CB_GETCURSEL, 0, 0));
    settings->gainCodeB = static_cast<int32_t>(SendDlgItemMessageA(window, IdGainB, CB_GETCURSEL, 0, 0));
    settings->onExtTrigger = IsChecked(context, IdExtTrigger) ? 1 : 0;
    settings->onBattery = IsChecked(context, IdBattery) ? 1 : 0;
    settings->compensationState = IsChecked(context, IdEnableComp) ? 1 : 0;
    settings->measureCompState = IsChecked(context, IdMeasureComp) ? 1 : 0;
}

} // namespace

void BindPanelToMainWindow(GlobalCtrl* ctrl, HWND mainWindow)
{
    PanelHooks& hooks = ctrl->Hooks;
    hooks = PanelHooks{};
    hooks.context = mainWindow;
    hooks.ShowStatusMessage = ShowStatusHook;
    hooks.ShowMessageBox = MessageBoxHook;
    hooks.ShowLogEntryCount = [](void* context, const char* text) { SetLabel(context, IdLogEntryCount, text); };
    hooks.ShowLogFileName = [](void* context, const char* text) { SetLabel(context, IdLogFileName, text); };
    hooks.IsDeviceConnected = [](void* context) -> int32_t { return IsChecked(context, IdConnectDeviceButton) ? 1 : 0; };
    hooks.RefuseLogging = [](void* context) { CheckDlgButton(MainOf(context), IdLogDataButton, BST_UNCHECKED); };
    hooks.SwitchLoggingOff = [](void* context) { ReleaseButton(context, IdLogDataButton); };
    hooks.Disconnect = [](void* context) { ReleaseButton(context, IdConnectDeviceButton); };
    hooks.ReadLogSettings = ReadLogSettingsHook;
}

void UnbindPanel(GlobalCtrl* ctrl)
{
    ctrl->Hooks = PanelHooks{};
}
