// CONNECT DEVICE / DISCONNECT.
#include "AfeDetection.h"
#include "AfeProcessing.h"
#include "ConfigurationView.h"
#include "ControlIds.h"
#include "DeviceWatch.h"
#include "GlobalCtrl.h"
#include "LibraryBinding.h"
#include "MainCommands.h"
#include "MainControls.h"
#include "PanelRules.h"
#include "SpectrumPoll.h"
#include "StatusBar.h"
#include "TextFormat.h"

#include <cstring>

namespace {

void Connect(HWND window, GlobalCtrl* ctrl)
{
    uint32_t deviceIndex = 0;
    if (Report(window, CallKalvix(CMD_CONNECT, 0, &deviceIndex, ctrl->DeviceSerial))) {
        SetDown(window, IdConnectDeviceButton, false);
        return;
    }
    SetStatusPartText(window, StatusPartError, "");
    SetCaption(window, IdConnectDeviceButton, "DISCONNECT");
    char text[64];
    TextSink sink = MakeTextSink(text, sizeof text);
    Print(sink, "CONNECTED @ [{}] - {}", deviceIndex,
          std::string_view(ctrl->DeviceSerial, BoundedLength(ctrl->DeviceSerial, sizeof ctrl->DeviceSerial)));
    SetStatusPartText(window, StatusPartConnection, text);

    EnableControl(window, IdStart, false);
    Report(window, CallKalvix(CMD_SET_GPIO, 0, &ctrl->GpioStatusWord, nullptr));
    StartDeviceWatch(window);

    PauseMs(10);
    Report(window, CallKalvix(CMD_SET_BATTERY, 0, nullptr, nullptr));
    PauseMs(10);
    Report(window, CallKalvix(CMD_SET_COMPENSATION, 0, nullptr, nullptr));
    PauseMs(10);
    Report(window, CallKalvix(CMD_SET_GAINS, GainCode(ListSelection(window, IdGainA), ListSelection(window, IdGainB)),
                              nullptr, nullptr));
    PauseMs(10);
    Report(window, CallKalvix(CMD_SET_DIVIDER, CurrentDivider(ctrl), nullptr, nullptr));
    PauseMs(10);
    if (!Report(window, CallKalvix(CMD_GET_DEVICE_INFO, 0, nullptr, ctrl->DeviceIdentification))) {
        SetDlgItemTextA(window, IdStatusText, ctrl->DeviceIdentification);
        // An unsupported device is disconnected again from inside this call.
        CheckDeviceVersion(ctrl);
    }
    PauseMs(10);
    RefreshConfiguration(ctrl);
    EnableControl(window, IdStart, true);
}

void Disconnect(HWND window, GlobalCtrl* ctrl)
{
    // The first press only ends a running measurement; the device stays connected.
    for (int run : {IdStart, IdExtTrigger}) {
        if (IsDown(window, run)) {
            SetDown(window, run, false);
            SetDown(window, IdConnectDeviceButton, true);
            SendMessageA(window, WM_COMMAND, MAKEWPARAM(run, 0), 0);
            return;
        }
    }
    // Never disconnect under a poll thread: the batch it may be handing over is handled (and
    // logged) while this waits.
    EndPollThread(ctrl);
    if (IsDown(window, IdLogDataButton)) {
        SetDown(window, IdLogDataButton, false);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IdLogDataButton, 0), 0);
    }
    if (Report(window, CallKalvix(CMD_DISCONNECT, 0, nullptr, nullptr)))
        SetDown(window, IdConnectDeviceButton, false);

    StopDeviceWatch(window);
    UpdateThroughput(ctrl, 0);
    SetCaption(window, IdBattery, "BATTERY");
    SetDown(window, IdBattery, false);
    for (int id : {IdEnableComp, IdMeasureComp}) {
        SetDown(window, id, false);
        EnableControl(window, id, true);
    }
    SetCaption(window, IdConnectDeviceButton, "CONNECT DEVICE");
    SetStatusPartText(window, StatusPartConnection, "DISCONNECTED");
    SetDown(window, IdConnectDeviceButton, false);

    for (int id : {IdGpioLevel1, IdGpioLevel2, IdGpioLevel3, IdGpioDirection1, IdGpioDirection2, IdGpioDirection3})
        SetDown(window, id, false);
    for (int id : {IdGpioDirection1, IdGpioDirection2, IdGpioDirection3})
        SetCaption(window, id, "I");
    for (int id : {IdGpioLevel1, IdGpioLevel2, IdGpioLevel3, IdGpioDirection3})
        EnableControl(window, id, false);
    SetDown(window, IdAfeDetection, true);

    ForgetAfeRecord(ctrl);
    ctrl->AfePresent = 0;
    SetDlgItemTextA(window, IdStatusText, "");
    std::memset(ctrl->DeviceIdentification, 0, sizeof ctrl->DeviceIdentification);
    std::memset(ctrl->DeviceSerial, 0, sizeof ctrl->DeviceSerial);
}

} // namespace

void OnConnectDevice(HWND window, GlobalCtrl* ctrl)
{
    if (IsDown(window, IdConnectDeviceButton))
        Connect(window, ctrl);
    else
        Disconnect(window, ctrl);
}
