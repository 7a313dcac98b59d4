#include "MainWindow.h"

#include "ControlIds.h"
#include "DeviceWatch.h"
#include "GlobalCtrl.h"
#include "LibraryBinding.h"
#include "LogWriter.h"
#include "MainCommands.h"
#include "MainControls.h"
#include "MainLayout.h"
#include "MainWindowState.h"
#include "PanelBindingHookup.h"
#include "ProgramStart.h"
#include "ProgramIcons.h"
#include "BatchHandling.h"
#include "SpectrumPoll.h"
#include "StatusBar.h"
#include "WidgetHookup.h"
#include "WindowDpi.h"

#include <commctrl.h>

namespace {

// A start-up failure inside WM_CREATE: tell the operator (and the creator, when it passed a flag
// as the creation parameter) and close the window again.
LRESULT FailCreation(HWND window, const CREATESTRUCTA* create, const char* text)
{
    MessageBoxA(window, text, "Error!", MB_ICONERROR);
    if (create->lpCreateParams)
        *static_cast<bool*>(create->lpCreateParams) = true;
    SendMessageA(window, WM_CLOSE, 0, 0);
    return 0;
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* create)
{
    if (!AttachMainWindowState(window))
        return FailCreation(window, create, "Window Creation Failed!");
    MainWindowState& state = *MainStateOf(window);
    state.GlobalCtrlPtr = CreateGlobalCtrl(window);
    if (!state.GlobalCtrlPtr)
        return FailCreation(window, create, "Error allocating memory for GlobalCtrl!");
    state.DataBuffPtr = CreateDataBuff();
    if (!state.DataBuffPtr)
        return FailCreation(window, create, "Error allocating memory for DataBuffPtr!");

    LibraryBindResult bound = BindKalvixLibrary(KalvixLibraryFile, &ProgramActivityCounters, &state.Library, &BoundLibrary);
    if (bound != LibraryBindResult::Bound)
        return FailCreation(window, create, BindFailureText(bound));

    InitCommonControls();
    LoadProgramIcons(create->hInstance);
    state.Scale = WindowScale(window, MainWindowWidth, MainWindowHeight);
    LoadScaledIcons(create->hInstance, state.Scale);
    SizeWindowToScale(window, state.Scale, MainWindowWidth, MainWindowHeight);
    if (!CreateStatusBar(window, create->hInstance, state.Scale) ||
        !CreateMainControls(window, create->hInstance, state.GlobalCtrlPtr->GainNames, state))
        return FailCreation(window, create, "Window Creation Failed!");

    CallKalvix(CMD_GET_STATUS, 0, &state.GlobalCtrlPtr->LibraryErrorWord, nullptr);
    state.GlobalCtrlPtr->SpectrumBuffer = state.DataBuffPtr;
    BindPanelToMainWindow(state.GlobalCtrlPtr, window);
    return 0;
}

// A measurement or trigger run is stopped and its poll thread has ended before the device is
// disconnected and the records it uses are freed; the wait keeps handling the thread's
// synchronous sends to this window.
void StopMeasurementRun(HWND window, GlobalCtrl* ctrl)
{
    if (!ctrl)
        return;
    if (IsDown(window, IdStart))
        CallKalvix(CMD_STOP_MEASUREMENT, 0, nullptr, nullptr);
    if (IsDown(window, IdExtTrigger))
        CallKalvix(CMD_EXT_TRIGGER, 0, nullptr, nullptr);
    EndPollThread(ctrl);
}

// The records are freed, and the library unloaded, in this order; a window whose creation failed
// before its state was made has none of them.
void OnDestroy(HWND window)
{
    MainWindowState* state = MainStateOf(window);
    GlobalCtrl* ctrl = state ? state->GlobalCtrlPtr : nullptr;
    StopMeasurementRun(window, ctrl);
    // A running log keeps every row: what waits in its buffer is written before the records go.
    if (ctrl && (ctrl->LogFile || ctrl->LogBuffer))
        StopLog(ctrl);
    if (IsDown(window, IdConnectDeviceButton))
        CallKalvix(CMD_DISCONNECT, 0, nullptr, nullptr);
    DiscardQueuedStatusTexts(window);
    if (ctrl) {
        UnbindPanel(ctrl);
        FreeGlobalCtrl(ctrl);
        state->GlobalCtrlPtr = nullptr;
    }
    if (state && state->DataBuffPtr) {
        FreeDataBuff(state->DataBuffPtr);
        state->DataBuffPtr = nullptr;
    }
    KillTimer(window, TimerStatusReset);
    KillTimer(window, TimerDeviceInfo);
    KillTimer(window, TimerDeviceWatch);
    KillTimer(window, TimerSentReset);
    KillTimer(window, TimerReceivedReset);
    KillTimer(window, TimerLogFlush);
    if (state)
        UnbindKalvixLibrary(&state->Library, &BoundLibrary);
    else
        BoundLibrary = KalvixLibrary{};
    FreeMainWindowState(window);
    PostQuitMessage(0);
}

void OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    const MainWindowState* state = MainStateOf(window);
    if (state)
        PaintWidgets(state->Widgets, dc);
    if (Icons.Logo) {
        const ScaledRect logo = ScaleRect(state ? state->Scale : DpiScale{}, ScaledRect{61, 22, 77, 23});
        DrawIconEx(dc, logo.X, logo.Y, Icons.Logo, logo.Width, logo.Height, 0, nullptr, DI_NORMAL);
    }
    EndPaint(window, &paint);
}

// Labels, check boxes, radios and group boxes are drawn on the window's own background colour
// rather than the button face colour, which differs from it on some systems.
LRESULT PaintControlOnWindowBackground(HDC dc)
{
    SetBkColor(dc, GetSysColor(COLOR_MENU));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_MENU));
}

// The window moved to a monitor of another DPI (or the display's scaling changed): it takes the
// suggested place, and everything in it is laid out again at the new scale.
void OnDpiChanged(HWND window, WPARAM wParam, LPARAM lParam)
{
    MainWindowState* state = MainStateOf(window);
    if (!state)
        return;
    const bool noticeLit = StatusNoticeLit(window);
    state->Scale = FollowDpiChange(window, wParam, lParam, MainWindowWidth, MainWindowHeight);
    LoadScaledIcons(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)), state->Scale);
    ScaleStatusBar(window, state->Scale, noticeLit);
    ScaleMainControls(window, *state);
}

void OnTimer(HWND window, UINT_PTR timerId)
{
    if (HandleStatusTimer(window, timerId))
        return;
    GlobalCtrl* ctrl = MainCtrlOf(window);
    if (!ctrl)
        return;
    if (timerId == TimerDeviceWatch)
        OnDeviceWatchTick(ctrl);
    else if (timerId == TimerDeviceInfo)
        OnDeviceInfoTick(ctrl);
    else if (timerId == TimerLogFlush)
        WriteOverdueLogRows(ctrl);
}

} // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_SIZE:
        SendDlgItemMessageA(window, IdStatusBar, WM_SIZE, 0, 0);
        return 0;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_TIMER:
        OnTimer(window, wParam);
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(window, wParam, lParam);
        return 0;
    case WM_USER:
        if (const MainWindowState* state = MainStateOf(window); state && state->GlobalCtrlPtr && state->DataBuffPtr)
            HandleSpectrumBatch(state->GlobalCtrlPtr, state->DataBuffPtr, static_cast<uint32_t>(lParam));
        return 0;
    case WM_COMMAND:
        OnMainCommand(window, LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_VSCROLL:
        OnMainVScroll(window, reinterpret_cast<HWND>(lParam), LOWORD(wParam));
        return 0;
    case WM_RBUTTONDOWN:
        OnMainRightButton(window, lParam);
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return PaintControlOnWindowBackground(reinterpret_cast<HDC>(wParam));
    case WmStatusText:
        HandleStatusTextMessage(window, wParam, lParam);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
