#include "PanelBindingHookup.h"

#include "ControlIds.h"
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

void SetTextHook(void* context, int32_t controlId, const char* text)
{
    SetDlgItemTextA(MainOf(context), controlId, text);
}

int32_t IsCheckedHook(void* context, int32_t controlId)
{
    return IsDlgButtonChecked(MainOf(context), controlId) == BST_CHECKED ? 1 : 0;
}

void SetCheckHook(void* context, int32_t controlId, int32_t checked)
{
    CheckDlgButton(MainOf(context), controlId, checked ? BST_CHECKED : BST_UNCHECKED);
}

void SendCommandHook(void* context, int32_t controlId)
{
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
    settings->onExtTrigger = IsCheckedHook(context, IdExtTrigger);
    settings->onBattery = IsCheckedHook(context, IdBattery);
    settings->compensationState = IsCheckedHook(context, IdEnableComp);
    settings->measureCompState = IsCheckedHook(context, IdMeasureComp);
}

} // namespace

void BindPanelToMainWindow(HWND mainWindow)
{
    PanelBinding = PanelHooks{};
    PanelBinding.context = mainWindow;
    PanelBinding.ShowStatusMessage = ShowStatusHook;
    PanelBinding.ShowMessageBox = MessageBoxHook;
    PanelBinding.SetControlText = SetTextHook;
    PanelBinding.IsButtonChecked = IsCheckedHook;
    PanelBinding.SetButtonCheck = SetCheckHook;
    PanelBinding.SendCommand = SendCommandHook;
    PanelBinding.ReadLogSettings = ReadLogSettingsHook;
}

void UnbindPanel()
{
    PanelBinding = PanelHooks{};
}
