// GET STATUS, BATTERY, EN COMP / MEAS COMP, 10X, the gain lists, the GPIO buttons, "Enable AFE
// Detection", the excitation mode radios and the two trackbars.
#include "AfeDetection.h"
#include "ConfigurationView.h"
#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "LibraryBinding.h"
#include "MainCommands.h"
#include "MainControls.h"
#include "MainWindowState.h"
#include "PanelRules.h"
#include "StatusBar.h"
#include "TextFormat.h"

#include <commctrl.h>

namespace {

struct GpioButtons {
    int level;
    int direction;
};
constexpr GpioButtons GpioLineButtons[] = {
    {IdGpioLevel1, IdGpioDirection1},
    {IdGpioLevel2, IdGpioDirection2},
    {IdGpioLevel3, IdGpioDirection3},
};

struct ExcitationMode {
    int radio;
    int32_t rangeMax;
    int32_t tickFrequency;
    int32_t selectionStart; // at the switch
    int32_t position;       // at the switch
    uint32_t command;
};
constexpr ExcitationMode ExcitationModes[] = {
    {IdRadioP, ExcitationRangeP, 16, 165, 165, CMD_SET_EXCITATION},
    {IdRadioD, ExcitationRangeD, 205, 0, 0, CommandExcitationD},
};

const ExcitationMode* CheckedExcitationMode(HWND window)
{
    for (const ExcitationMode& mode : ExcitationModes)
        if (IsDown(window, mode.radio))
            return &mode;
    return nullptr;
}

void ShowExcitationLevel(HWND window, int32_t level)
{
    char text[40];
    TextSink sink = MakeTextSink(text, sizeof text);
    Print(sink, "Excitation Level\r\n{}", static_cast<uint32_t>(level));
    SetDlgItemTextA(window, IdExcitationLabel, text);
}

bool SendsDivider(int trackbarCode)
{
    switch (trackbarCode) {
    case TB_LINEUP:
    case TB_LINEDOWN:
    case TB_PAGEUP:
    case TB_PAGEDOWN:
    case TB_TOP:
    case TB_BOTTOM:
    case TB_THUMBPOSITION: return true;
    default: return false;
    }
}

void SetExcitationSelection(HWND window, int32_t from, int32_t to)
{
    SendDlgItemMessageA(window, IdExcitationTrackbar, TBM_SETSEL, TRUE, MAKELPARAM(from, to));
}

} // namespace

const char* SendGpioMask(HWND window, GlobalCtrl* ctrl)
{
    bool levels[3];
    bool directions[3];
    for (int line = 0; line < 3; ++line) {
        levels[line] = IsDown(window, GpioLineButtons[line].level);
        directions[line] = IsDown(window, GpioLineButtons[line].direction);
    }
    return CallKalvix(CMD_SET_GPIO, GpioMask(levels, directions), &ctrl->GpioStatusWord, nullptr);
}

void OnGetStatus(HWND window)
{
    SetDlgItemTextA(window, IdStatusText, "");
    SetStatusPartText(window, StatusPartError, "");
    SetTimer(window, TimerDeviceInfo, 100, nullptr);
}

void OnBattery(HWND window)
{
    if (IsDown(window, IdBattery)) {
        if (Report(window, CallKalvix(CMD_SET_BATTERY, 1, nullptr, nullptr))) {
            SetDown(window, IdBattery, false);
            return;
        }
        SetCaption(window, IdBattery, "USB");
        return;
    }
    SetCaption(window, IdBattery, "BATTERY");
    Report(window, CallKalvix(CMD_SET_BATTERY, 0, nullptr, nullptr));
}

void OnCompensation(HWND window, int id)
{
    // EN COMP asks for compensation (1), MEAS COMP for measuring it (2); each excludes the other.
    const int other = id == IdEnableComp ? IdMeasureComp : IdEnableComp;
    const uint32_t value = id == IdEnableComp ? 1 : 2;
    if (IsDown(window, id)) {
        if (Report(window, CallKalvix(CMD_SET_COMPENSATION, value, nullptr, nullptr))) {
            SetDown(window, id, false);
            return;
        }
        EnableControl(window, other, false);
        return;
    }
    Report(window, CallKalvix(CMD_SET_COMPENSATION, 0, nullptr, nullptr));
    EnableControl(window, other, true);
}

void On10x(HWND window)
{
    // A refused change (no device, most often) puts the button back, so it never shows 10X while
    // the device is not in it.
    const bool down = IsDown(window, Id10x);
    if (Report(window, CallKalvix(CMD_SET_10X, down ? 1 : 0, nullptr, nullptr)))
        SetDown(window, Id10x, !down);
}

void OnGainSelected(HWND window)
{
    Report(window, CallKalvix(CMD_SET_GAINS, GainCode(ListSelection(window, IdGainA), ListSelection(window, IdGainB)),
                              nullptr, nullptr));
}

void OnGpioLevel(HWND window, int id)
{
    if (Report(window, SendGpioMask(window, MainCtrlOf(window))))
        SetDown(window, id, false);
}

void OnGpioDirection(HWND window, int id)
{
    int level = 0;
    for (const GpioButtons& line : GpioLineButtons)
        if (line.direction == id)
            level = line.level;
    if (IsDown(window, id)) {
        if (Report(window, SendGpioMask(window, MainCtrlOf(window)))) {
            SetDown(window, level, false);
            SetDown(window, id, false);
            return;
        }
        SetCaption(window, id, "O");
        EnableControl(window, level, true);
        return;
    }
    SetCaption(window, id, "I");
    EnableControl(window, level, false);
    Report(window, SendGpioMask(window, MainCtrlOf(window)));
}

void OnAfeDetectionBox(HWND window, GlobalCtrl* ctrl)
{
    if (IsDown(window, IdAfeDetection)) {
        if (IsDown(window, IdGpioDirection3)) {
            SetDown(window, IdGpioDirection3, false);
            SetCaption(window, IdGpioDirection3, "I");
            Report(window, SendGpioMask(window, ctrl));
        }
        EnableControl(window, IdGpioDirection3, false);
        EnableControl(window, IdGpioLevel3, false);
        ReadAfeAndLoadShunt(ctrl, 0);
        return;
    }
    EnableControl(window, IdGpioDirection3, true);
    ForgetAfeRecord(ctrl);
}

void OnExcitationMode(HWND window, int id)
{
    if (!IsDown(window, id))
        return;
    for (const ExcitationMode& mode : ExcitationModes) {
        if (mode.radio != id)
            continue;
        HWND trackbar = GetDlgItem(window, IdExcitationTrackbar);
        SendMessageA(trackbar, TBM_SETRANGE, TRUE, MAKELPARAM(0, mode.rangeMax));
        SendMessageA(trackbar, TBM_SETTICFREQ, mode.tickFrequency, 0);
        SetExcitationSelection(window, mode.selectionStart, mode.rangeMax);
        SendMessageA(trackbar, TBM_SETPOS, TRUE, mode.position);
        ShowExcitationLevel(window, mode.rangeMax - mode.position);
    }
}

void OnExcitationScroll(HWND window)
{
    const ExcitationMode* mode = CheckedExcitationMode(window);
    if (!mode)
        return;
    const int32_t position = TrackbarPosition(window, IdExcitationTrackbar);
    SetExcitationSelection(window, position, mode->rangeMax);
    ShowExcitationLevel(window, mode->rangeMax - position);
    Report(window, CallKalvix(mode->command, static_cast<uint32_t>(mode->rangeMax - position), nullptr, nullptr));
}

void OnDividerScroll(HWND window, GlobalCtrl* ctrl, int code)
{
    const int32_t position = TrackbarPosition(window, IdDividerTrackbar);
    ctrl->DividerIndex = static_cast<uint16_t>(position < 0 ? 0 : position >= static_cast<int32_t>(DividerCount) ? DividerCount - 1 : position);
    const uint16_t divider = CurrentDivider(ctrl);
    char text[64];
    TextSink label = MakeTextSink(text, sizeof text);
    Print(label, "Samplrate\r\nDivider\r\n{}", divider);
    SetDlgItemTextA(window, IdDividerLabel, text);
    TextSink period = MakeTextSink(text, sizeof text);
    Print(period, "Measurement Period {:>5.3f}s", divider / 1000.0);
    SetStatusPartText(window, StatusPartPeriod, text);

    // Tracking and the end of a move only move the label: the device gets a divider on every
    // step (arrow keys, page keys or a click beside the thumb, Home, End) and when the thumb is
    // let go, so the device, the label and the log header's divider always agree.
    if (!SendsDivider(code))
        return;
    EnableControl(window, IdDividerTrackbar, false);
    if (Report(window, CallKalvix(CMD_SET_DIVIDER, divider, nullptr, nullptr))) {
        EnableControl(window, IdDividerTrackbar, true);
        return;
    }
    PauseMs(2);
    RefreshConfiguration(ctrl);
    // The shunt values belong to the measurement frequencies, which moved with the divider.
    if (IsDown(window, IdAfeDetection) && !IsDown(window, IdGpioLevel3))
        ReadAfeAndLoadShunt(ctrl, 2);
    EnableControl(window, IdDividerTrackbar, true);
}
