#include "PanelHooks.h"

PanelHooks PanelBinding{};

void PanelShowStatus(const char* text, int32_t notice)
{
    if (PanelBinding.ShowStatusMessage)
        PanelBinding.ShowStatusMessage(PanelBinding.context, text, notice);
}

void PanelMessageBox(const char* text, const char* caption, uint32_t icon)
{
    if (PanelBinding.ShowMessageBox)
        PanelBinding.ShowMessageBox(PanelBinding.context, text, caption, icon);
}

void PanelSetText(int32_t controlId, const char* text)
{
    if (PanelBinding.SetControlText)
        PanelBinding.SetControlText(PanelBinding.context, controlId, text);
}

int32_t PanelIsChecked(int32_t controlId)
{
    return PanelBinding.IsButtonChecked ? PanelBinding.IsButtonChecked(PanelBinding.context, controlId) : 0;
}

void PanelSetCheck(int32_t controlId, int32_t checked)
{
    if (PanelBinding.SetButtonCheck)
        PanelBinding.SetButtonCheck(PanelBinding.context, controlId, checked);
}

void PanelSendCommand(int32_t controlId)
{
    if (PanelBinding.SendCommand)
        PanelBinding.SendCommand(PanelBinding.context, controlId);
}

void PanelReleaseButton(int32_t controlId)
{
    PanelSetCheck(controlId, 0);
    PanelSendCommand(controlId);
}
