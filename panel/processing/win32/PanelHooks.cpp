#include "PanelHooks.h"

#include <windows.h>

void PanelShowStatus(const PanelHooks& hooks, const char* text, int32_t notice)
{
    if (hooks.ShowStatusMessage)
        hooks.ShowStatusMessage(hooks.context, text, notice);
}

void PanelMessageBox(const PanelHooks& hooks, const char* text, const char* caption, uint32_t icon)
{
    if (hooks.ShowMessageBox)
        hooks.ShowMessageBox(hooks.context, text, caption, icon);
}

void PanelShowLogEntryCount(const PanelHooks& hooks, const char* text)
{
    if (hooks.ShowLogEntryCount)
        hooks.ShowLogEntryCount(hooks.context, text);
}

void PanelShowLogFileName(const PanelHooks& hooks, const char* text)
{
    if (hooks.ShowLogFileName)
        hooks.ShowLogFileName(hooks.context, text);
}

bool PanelDeviceConnected(const PanelHooks& hooks)
{
    return hooks.IsDeviceConnected && hooks.IsDeviceConnected(hooks.context) != 0;
}

void PanelRefuseLogging(const PanelHooks& hooks)
{
    if (hooks.RefuseLogging)
        hooks.RefuseLogging(hooks.context);
}

void PanelSwitchLoggingOff(const PanelHooks& hooks)
{
    if (hooks.SwitchLoggingOff)
        hooks.SwitchLoggingOff(hooks.context);
}

void PanelDisconnect(const PanelHooks& hooks)
{
    if (hooks.Disconnect)
        hooks.Disconnect(hooks.context);
}

LogSettings PanelLogSettings(const PanelHooks& hooks)
{
    LogSettings settings{};
    if (hooks.ReadLogSettings)
        hooks.ReadLogSettings(hooks.context, &settings);
    return settings;
}

uint64_t PanelTickCount(const PanelHooks& hooks)
{
    return hooks.ReadTickCount ? hooks.ReadTickCount(hooks.context) : GetTickCount64();
}
