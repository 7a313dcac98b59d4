#include "DeviceWatch.h"

#include "AfeDetection.h"
#include "FrameFormat.h"
#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "LibraryBinding.h"
#include "LogWriter.h"
#include "MainControls.h"
#include "MainWindowState.h"
#include "PanelRules.h"
#include "StatusBar.h"

namespace {

// Every control a measurement run disabled comes back, and the panel disconnects.
void DisconnectLostDevice(HWND window)
{
    if (IsDown(window, IdStart)) {
        SetDown(window, IdStart, false);
        SetCaption(window, IdStart, "START");
        for (int id : {IdExtTrigger, IdLoadShunt, IdLoadComp, IdGetStatus, IdDividerTrackbar, IdRadioP, IdRadioD,
                       IdLoadDac, IdLoadPhase})
            EnableControl(window, id, true);
    }
    if (IsDown(window, IdExtTrigger)) {
        SetDown(window, IdExtTrigger, false);
        SetCaption(window, IdExtTrigger, "EXT TRIGGER");
        for (int id : {IdStart, IdLoadShunt, IdLoadComp, IdGetStatus, IdDividerTrackbar})
            EnableControl(window, id, true);
    }
    SetDown(window, IdConnectDeviceButton, false);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IdConnectDeviceButton, 0), 0);
}

} // namespace

void StartDeviceWatch(HWND mainWindow)
{
    if (MainWindowState* state = MainStateOf(mainWindow))
        state->Watch = DeviceWatchState{};
    SetTimer(mainWindow, TimerDeviceWatch, 50, nullptr);
}

void StopDeviceWatch(HWND mainWindow)
{
    KillTimer(mainWindow, TimerDeviceWatch);
}

void OnDeviceWatchTick(GlobalCtrl* ctrl)
{
    HWND window = ctrl->MainWindow;
    MainWindowState* state = MainStateOf(window);
    if (!state)
        return;
    DeviceWatchState& watch = state->Watch;
    if (ReadLibraryWord(ctrl->LibraryErrorWord) != 0) {
        const char* text = CallKalvix(CMD_GET_STATUS, 0, &ctrl->LibraryErrorWord, nullptr);
        if (Report(window, text) && ReportsDeviceLoss(text)) {
            // The panel is disconnected now; the rest of the tick would only talk to no device.
            DisconnectLostDevice(window);
            return;
        }
    }

    const uint32_t gpio = ReadLibraryWord(ctrl->GpioStatusWord);
    if (gpio != watch.SavedGpioStatus) {
        watch.SavedGpioStatus = gpio;
        DetectAfe(ctrl, gpio);
        if (!(gpio & GpioBatteryModeBit) && IsDown(window, IdBattery)) {
            SetDown(window, IdBattery, false);
            SetCaption(window, IdBattery, "BATTERY");
        }
    }

    if (TakeActivityCounter(ProgramActivityCounters.bytesSent) != 0)
        ShowTransferActivity(window, 1);
    const uint32_t received = TakeActivityCounter(ProgramActivityCounters.bytesReceived);
    if (received != 0) {
        ShowTransferActivity(window, 2);
        UpdateThroughput(ctrl, received);
        watch.IdleTicks = 0;
    } else {
        if (watch.IdleTicks == 2)
            UpdateThroughput(ctrl, 0);
        ++watch.IdleTicks;
    }

    CheckLogSize(ctrl);
}

void OnDeviceInfoTick(GlobalCtrl* ctrl)
{
    HWND window = ctrl->MainWindow;
    KillTimer(window, TimerDeviceInfo);
    const char* text = CallKalvix(CMD_GET_DEVICE_INFO, 0, nullptr, ctrl->DeviceIdentification);
    if (!Report(window, text))
        SetDlgItemTextA(window, IdStatusText, ctrl->DeviceIdentification);
}
