#include "MainLayout.h"

#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "MainWindowState.h"
#include "ProgramIcons.h"
#include "WidgetHookup.h"
#include "WindowDpi.h"

#include <commctrl.h>

#include <initializer_list>
#include <utility>

namespace {

constexpr DWORD Group = BS_GROUPBOX;
constexpr DWORD Push = BS_PUSHBUTTON;
constexpr DWORD Toggle = BS_AUTOCHECKBOX | BS_PUSHLIKE;
constexpr DWORD Check = BS_AUTOCHECKBOX;
constexpr DWORD Radio = BS_AUTORADIOBUTTON;
constexpr DWORD IconButton = BS_ICON;
constexpr DWORD ReadOnlyEdit = ES_READONLY | ES_AUTOHSCROLL | LayoutEditBit;
constexpr DWORD DropList = CBS_DROPDOWNLIST | WS_TABSTOP;
constexpr DWORD VerticalTrackbar = TBS_VERT | TBS_LEFT | TBS_AUTOTICKS | TBS_FIXEDLENGTH;

// Drawn widgets made right after a row's control.
enum class ThenCreate { Nothing, ModuleGraph, PhaseGraph, ValueTable, LevelBars };

struct ControlRow {
    int Id;
    const char* ClassName;
    const char* Caption;
    DWORD Style;
    int X, Y, Width, Height;
    ThenCreate Then;
};

constexpr ControlRow Rows[] = {
    // logo frame
    {IdLogoFrame, "BUTTON", nullptr, Group, 10, 8, 180, 43, ThenCreate::Nothing},
    // interface control
    {IdInterfaceGroup, "BUTTON", "Interface Control", Group, 10, 53, 180, 149, ThenCreate::Nothing},
    {IdConnectDeviceButton, "BUTTON", "CONNECT DEVICE", Toggle, 20, 70, 160, 30, ThenCreate::Nothing},
    {IdDisplayData, "BUTTON", "Display Data", Check, 20, 110, 90, 20, ThenCreate::Nothing},
    {IdAfeDetection, "BUTTON", "Enable AFE Detection", Check, 20, 135, 130, 20, ThenCreate::Nothing},
    {IdViewConf, "BUTTON", "VIEW CONF", Push, 20, 162, 75, 30, ThenCreate::Nothing},
    {Id10x, "BUTTON", "10X", Toggle, 105, 162, 75, 30, ThenCreate::Nothing},
    // configuration data and logging
    {IdConfigLogGroup, "BUTTON", "Device Configuration Data and Logging", Group, 200, 10, 290, 192, ThenCreate::Nothing},
    {IdConfigFileButton, "BUTTON", nullptr, IconButton, 210, 30, 30, 30, ThenCreate::Nothing},
    {IdConfigPathEdit, "EDIT", "Select file ...", ReadOnlyEdit, 250, 30, 228, 30, ThenCreate::Nothing},
    {IdLoadShunt, "BUTTON", "LD SHUNT", Push, 210, 70, 60, 30, ThenCreate::Nothing},
    {IdLoadComp, "BUTTON", "LD COMP", Push, 280, 70, 60, 30, ThenCreate::Nothing},
    {IdLoadDac, "BUTTON", "LD DAC", Push, 350, 70, 60, 30, ThenCreate::Nothing},
    {IdLoadPhase, "BUTTON", "LD PHASE", Push, 420, 70, 60, 30, ThenCreate::Nothing},
    {IdEtchedLine, "STATIC", nullptr, SS_SUNKEN, 210, 110, 270, 2, ThenCreate::Nothing},
    {IdLogFileButton, "BUTTON", nullptr, IconButton, 210, 122, 30, 30, ThenCreate::Nothing},
    {IdLogPathEdit, "EDIT", "Select log file directory ...", ReadOnlyEdit, 250, 122, 228, 30, ThenCreate::Nothing},
    {IdLogDataButton, "BUTTON", "LOG DATA", Toggle, 210, 162, 100, 30, ThenCreate::Nothing},
    {IdLogEntryCount, "STATIC", "Log Entry Count:", SS_LEFT, 320, 162, 158, 15, ThenCreate::Nothing},
    {IdLogFileName, "STATIC", "Log:", SS_ENDELLIPSIS, 320, 177, 158, 15, ThenCreate::ModuleGraph},
    // module graph's scale controls
    {IdModuleScaleLabel, "STATIC", "Y Scale: MAX MIN", SS_LEFT, 500, 314, 105, 17, ThenCreate::Nothing},
    {IdModuleScale, "EDIT", "1100 900", LayoutEditBit, 610, 312, 110, 18, ThenCreate::Nothing},
    {IdModuleFixedScale, "BUTTON", "Fixed Scale", Check, 725, 311, 80, 20, ThenCreate::Nothing},
    {IdModuleXLog, "BUTTON", "X Logarithmic Scale", Check, 805, 311, 115, 20, ThenCreate::Nothing},
    {IdModuleYLog, "BUTTON", "Y Logarithmic Scale", Check, 930, 311, 115, 20, ThenCreate::PhaseGraph},
    // phase graph's scale controls
    {IdPhaseScaleLabel, "STATIC", "Y Scale: MAX MIN", SS_LEFT, 500, 644, 105, 17, ThenCreate::Nothing},
    {IdPhaseScale, "EDIT", "2 -2", LayoutEditBit, 610, 642, 110, 18, ThenCreate::Nothing},
    {IdPhaseFixedScale, "BUTTON", "Fixed Scale", Check, 725, 641, 80, 20, ThenCreate::Nothing},
    {IdPhaseXLog, "BUTTON", "X Logarithmic Scale", Check, 805, 641, 115, 20, ThenCreate::Nothing},
    // device controls
    {IdDeviceControlsGroup, "BUTTON", "Device Controls", Group, 10, 204, 480, 161, ThenCreate::Nothing},
    {IdStart, "BUTTON", "START", Toggle, 20, 222, 60, 30, ThenCreate::Nothing},
    {IdRadioP, "BUTTON", "P", Radio, 90, 221, 30, 16, ThenCreate::Nothing},
    {IdRadioD, "BUTTON", "D", Radio, 90, 238, 30, 16, ThenCreate::Nothing},
    {IdGetStatus, "BUTTON", "GET STATUS", Push, 20, 262, 100, 30, ThenCreate::Nothing},
    {IdStatusText, "EDIT", nullptr, ES_MULTILINE | ES_READONLY | LayoutEditBit, 20, 302, 200, 53, ThenCreate::Nothing},
    {IdGpioLevel1, "BUTTON", "1", Toggle | WS_DISABLED, 130, 222, 30, 30, ThenCreate::Nothing},
    {IdGpioLevel2, "BUTTON", "2", Toggle | WS_DISABLED, 160, 222, 30, 30, ThenCreate::Nothing},
    {IdGpioLevel3, "BUTTON", "3", Toggle | WS_DISABLED, 190, 222, 30, 30, ThenCreate::Nothing},
    {IdGpioDirection1, "BUTTON", "I", Toggle, 130, 262, 30, 30, ThenCreate::Nothing},
    {IdGpioDirection2, "BUTTON", "I", Toggle, 160, 262, 30, 30, ThenCreate::Nothing},
    {IdGpioDirection3, "BUTTON", "I", Toggle | WS_DISABLED, 190, 262, 30, 30, ThenCreate::Nothing},
    {IdExtTrigger, "BUTTON", "EXT TRIGGER", Toggle, 230, 222, 80, 30, ThenCreate::Nothing},
    {IdBattery, "BUTTON", "BATTERY", Toggle, 230, 262, 80, 30, ThenCreate::Nothing},
    {IdEnableComp, "BUTTON", "EN COMP", Toggle, 230, 302, 80, 21, ThenCreate::Nothing},
    {IdMeasureComp, "BUTTON", "MEAS COMP", Toggle, 230, 333, 80, 21, ThenCreate::Nothing},
    {IdI2c, "BUTTON", "I2C", Push, 320, 222, 60, 30, ThenCreate::Nothing},
    {IdGainALabel, "STATIC", "Gain CH-A:", SS_CENTER, 320, 262, 60, 17, ThenCreate::Nothing},
    {IdGainA, "COMBOBOX", nullptr, DropList, 320, 279, 60, 105, ThenCreate::Nothing},
    {IdGainBLabel, "STATIC", "Gain CH-B:", SS_CENTER, 320, 316, 60, 17, ThenCreate::Nothing},
    {IdGainB, "COMBOBOX", nullptr, DropList, 320, 333, 60, 105, ThenCreate::Nothing},
    {IdDividerTrackbar, TRACKBAR_CLASSA, "Divider", VerticalTrackbar, 388, 222, 40, 90, ThenCreate::Nothing},
    {IdDividerLabel, "STATIC", "Samplrate\r\nDivider\r\n1", SS_CENTER, 383, 313, 50, 41, ThenCreate::Nothing},
    {IdExcitationTrackbar, TRACKBAR_CLASSA, "Excitation Level", VerticalTrackbar | TBS_ENABLESELRANGE, 438, 222, 40, 90, ThenCreate::Nothing},
    {IdExcitationLabel, "STATIC", "Excitation\r\nLevel\r\n90", SS_CENTER, 436, 313, 48, 41, ThenCreate::Nothing},
    // impedance data
    {IdImpedanceGroup, "BUTTON", "Impedance Data", Group, 10, 367, 320, 293, ThenCreate::Nothing},
    {IdColumnHeader, "STATIC", "  Frequency   |   Module   |    Phase   |", SS_LEFT, 20, 385, 300, 18, ThenCreate::Nothing},
    {IdFrequencyList, "STATIC", nullptr, SS_RIGHT, 20, 402, 98, 248, ThenCreate::ValueTable},
    // measurement status data
    {IdStatusDataGroup, "BUTTON", "Measurement Status Data", Group, 340, 367, 150, 293, ThenCreate::Nothing},
    {IdChannelHeader, "STATIC", "  CH-A        CH-B", SS_LEFT, 350, 524, 90, 17, ThenCreate::LevelBars},
};

// Fixedsys is asked for at its default height (0) at the factor 1; scaled, from its 15-pixel
// cell at 96 DPI.
constexpr int FixedsysCellHeight = 15;

void CreateWidgetsAfter(WidgetSet& widgets, HWND mainWindow, DpiScale scale, ThenCreate what)
{
    switch (what) {
    case ThenCreate::Nothing:
        break;
    case ThenCreate::ModuleGraph:
        CreateModuleGraphPanel(widgets, mainWindow, scale);
        break;
    case ThenCreate::PhaseGraph:
        CreatePhaseGraphPanel(widgets, mainWindow, scale);
        break;
    case ThenCreate::ValueTable:
        CreateValueTablePanel(widgets, mainWindow, scale, CourierFontHeight());
        break;
    case ThenCreate::LevelBars:
        CreateChannelLevelBars(widgets, mainWindow, scale);
        break;
    }
}

// Every drawn widget in its place, in the order the rows name them.
void CreateWidgets(HWND mainWindow, MainWindowState& state)
{
    for (const ControlRow& row : Rows)
        CreateWidgetsAfter(state.Widgets, mainWindow, state.Scale, row.Then);
    CreateStatusValuesPanel(state.Widgets, mainWindow, state.Scale);
}

void SetFont(HWND control, const OwnedFont& font)
{
    if (control)
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
}

void SetButtonIcons(HWND mainWindow)
{
    SendDlgItemMessageA(mainWindow, IdConfigFileButton, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(Icons.ConfigFile));
    SendDlgItemMessageA(mainWindow, IdLogFileButton, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(Icons.LogFile));
}

// The fonts made for the scale and given to their controls; the former fonts are deleted after
// the controls have the new ones.
void SetFonts(HWND mainWindow, const DpiScale scale, LayoutFonts& fonts)
{
    LayoutFonts made;
    made.Tahoma = MakeOwnedFont(ScaleFontHeight(scale, 13), "Tahoma", ANSI_CHARSET);
    for (int id = FirstTahomaId; id <= LastTahomaId; ++id)
        SetFont(GetDlgItem(mainWindow, id), made.Tahoma);
    made.Fixedsys = MakeOwnedFont(scale == DpiScale{} ? 0 : ScaleFontHeight(scale, FixedsysCellHeight), "Fixedsys", ANSI_CHARSET);
    SetFont(GetDlgItem(mainWindow, IdStatusText), made.Fixedsys);
    made.CourierNew = MakeOwnedFont(ScaleFontHeight(scale, CourierFontHeight()), "Courier New", ANSI_CHARSET);
    SetFont(GetDlgItem(mainWindow, IdFrequencyList), made.CourierNew);
    SetFont(GetDlgItem(mainWindow, IdColumnHeader), made.CourierNew);
    fonts = std::move(made);
}

void SetUpControls(HWND mainWindow, const char* const* gainNames)
{
    SetButtonIcons(mainWindow);
    for (int id : {IdDisplayData, IdAfeDetection, IdModuleXLog, IdModuleYLog, IdPhaseXLog, IdRadioP})
        CheckDlgButton(mainWindow, id, BST_CHECKED);
    for (int id : {IdGainA, IdGainB}) {
        for (size_t i = 0; i < GainCount; ++i)
            SendDlgItemMessageA(mainWindow, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(gainNames[i]));
        SendDlgItemMessageA(mainWindow, id, CB_SETCURSEL, 0, 0);
    }
    HWND divider = GetDlgItem(mainWindow, IdDividerTrackbar);
    SendMessageA(divider, TBM_SETTHUMBLENGTH, 20, 0);
    SendMessageA(divider, TBM_SETRANGE, TRUE, MAKELPARAM(0, DividerCount - 1));
    SendMessageA(divider, TBM_SETTICFREQ, 3, 0);
    SendMessageA(divider, TBM_SETPOS, TRUE, 0);
    HWND excitation = GetDlgItem(mainWindow, IdExcitationTrackbar);
    SendMessageA(excitation, TBM_SETTHUMBLENGTH, 24, 0);
    SendMessageA(excitation, TBM_SETRANGE, TRUE, MAKELPARAM(0, ExcitationRangeP));
    SendMessageA(excitation, TBM_SETTICFREQ, 16, 0);
    // The selection band runs from the thumb to the bottom of the bar.
    SendMessageA(excitation, TBM_SETSEL, TRUE, MAKELPARAM(165, ExcitationRangeP));
    SendMessageA(excitation, TBM_SETPOS, TRUE, 165);
}

} // namespace

int CourierFontHeight()
{
    return -MulDiv(9, 96, 72);
}

bool CreateMainControls(HWND mainWindow, HINSTANCE instance, const char* const* gainNames, MainWindowState& state)
{
    for (const ControlRow& row : Rows) {
        DWORD exStyle = lstrcmpA(row.ClassName, "EDIT") == 0 ? WS_EX_CLIENTEDGE : 0;
        const ScaledRect r = ScaleRect(state.Scale, ScaledRect{row.X, row.Y, row.Width, row.Height});
        HWND control = CreateWindowExA(exStyle, row.ClassName, row.Caption, WS_CHILD | WS_VISIBLE | row.Style, r.X,
                                       r.Y, r.Width, r.Height, mainWindow,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.Id)), instance, nullptr);
        if (!control)
            return false;
    }
    CreateWidgets(mainWindow, state);
    SetUpControls(mainWindow, gainNames);
    SetFonts(mainWindow, state.Scale, state.Fonts);
    return true;
}

void ScaleMainControls(HWND mainWindow, MainWindowState& state)
{
    for (const ControlRow& row : Rows)
        PlaceChildAtScale(GetDlgItem(mainWindow, row.Id), state.Scale, ScaledRect{row.X, row.Y, row.Width, row.Height});
    SetFonts(mainWindow, state.Scale, state.Fonts);
    SetButtonIcons(mainWindow);
    ReleaseWidgets(state.Widgets);
    CreateWidgets(mainWindow, state);
    InvalidateRect(mainWindow, nullptr, TRUE);
}

ScaledRect MainControlRect96(int id)
{
    for (const ControlRow& row : Rows) {
        if (row.Id == id)
            return ScaledRect{row.X, row.Y, row.Width, row.Height};
    }
    return ScaledRect{};
}
