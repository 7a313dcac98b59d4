#include "MainCommands.h"

#include "ClipboardExport.h"
#include "ConfigurationView.h"
#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "I2cWindow.h"
#include "MainWindowState.h"

#include <commctrl.h>
#include <windowsx.h>

void OnMainCommand(HWND window, int id, int notification)
{
    GlobalCtrl* ctrl = MainCtrlOf(window);
    if (!ctrl)
        return;
    switch (id) {
    case IdConnectDeviceButton: OnConnectDevice(window, ctrl); break;
    case IdStart: OnStart(window, ctrl); break;
    case IdExtTrigger: OnExtTrigger(window, ctrl); break;
    case IdGetStatus: OnGetStatus(window); break;
    case IdBattery: OnBattery(window); break;
    case IdEnableComp:
    case IdMeasureComp: OnCompensation(window, id); break;
    case Id10x: On10x(window); break;
    case IdGainA:
    case IdGainB:
        if (notification == CBN_SELCHANGE)
            OnGainSelected(window);
        break;
    case IdGpioLevel1:
    case IdGpioLevel2:
    case IdGpioLevel3: OnGpioLevel(window, id); break;
    case IdGpioDirection1:
    case IdGpioDirection2:
    case IdGpioDirection3: OnGpioDirection(window, id); break;
    case IdAfeDetection: OnAfeDetectionBox(window, ctrl); break;
    case IdViewConf: OpenConfigurationView(ctrl); break;
    case IdI2c: OpenI2cWindow(ctrl); break;
    case IdConfigFileButton:
    case IdLogFileButton: OnChooseFile(window, id); break;
    case IdLoadShunt:
    case IdLoadComp:
    case IdLoadDac:
    case IdLoadPhase: OnLoadTable(window, ctrl, id); break;
    case IdLogDataButton: OnLogData(window, ctrl); break;
    case IdRadioP:
    case IdRadioD: OnExcitationMode(window, id); break;
    default: break;
    }
}

void OnMainVScroll(HWND window, HWND trackbar, int code)
{
    GlobalCtrl* ctrl = MainCtrlOf(window);
    if (!ctrl || !trackbar)
        return;
    switch (GetDlgCtrlID(trackbar)) {
    case IdExcitationTrackbar: OnExcitationScroll(window); break;
    case IdDividerTrackbar: OnDividerScroll(window, ctrl, code); break;
    default: break;
    }
}

void OnMainRightButton(HWND window, LPARAM position)
{
    GlobalCtrl* ctrl = MainCtrlOf(window);
    SpectrumRecord* records = MainDataBuffOf(window);
    if (!ctrl || !records)
        return;
    // Client coordinates, signed: the impedance numbers lie strictly inside (20, 402)-(320, 650).
    const int x = GET_X_LPARAM(position);
    const int y = GET_Y_LPARAM(position);
    if (!(x > 20 && x < 320 && y > 402 && y < 650))
        return;
    // Nothing is confirmed when the clipboard could not take the table.
    if (CopyImpedanceToClipboard(ctrl, records) == 0)
        MessageBoxA(nullptr, "Impedance data copied to clipboard!", "INFO", MB_ICONINFORMATION);
}
