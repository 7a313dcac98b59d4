#include "StatusBar.h"

#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "MainWindowState.h"
#include "ProgramIcons.h"
#include "TextFormat.h"
#include "Throughput.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <cstring>
#include <new>

namespace {

constexpr int StatusWidths[StatusPartCount] = {200, 226, 310, 440, 600, -1};

HWND StatusBarOf(HWND mainWindow)
{
    return GetDlgItem(mainWindow, IdStatusBar);
}

void SetPartText(HWND mainWindow, int part, const char* text)
{
    SendMessageA(StatusBarOf(mainWindow), SB_SETTEXTA, part, reinterpret_cast<LPARAM>(text));
}

void SetPartIcon(HWND mainWindow, int part, HICON icon)
{
    SendMessageA(StatusBarOf(mainWindow), SB_SETICON, part, reinterpret_cast<LPARAM>(icon));
}

void ShowOnMainThread(HWND mainWindow, const char* text, int32_t notice)
{
    if (notice == 0) {
        SetPartText(mainWindow, StatusPartError, text);
        SendMessageA(StatusBarOf(mainWindow), SB_SETBKCOLOR, 0, StatusErrorColour);
    } else {
        SetPartText(mainWindow, StatusPartNotice, text);
        SetPartIcon(mainWindow, StatusPartNotice, Icons.NoticeOn);
    }
    SetTimer(mainWindow, TimerStatusReset, 500, nullptr);
}

void SetScaledParts(HWND bar, DpiScale scale)
{
    int widths[StatusPartCount];
    for (int part = 0; part < StatusPartCount; ++part)
        widths[part] = StatusWidths[part] < 0 ? StatusWidths[part] : Scale(scale, StatusWidths[part]);
    SendMessageA(bar, SB_SETPARTS, StatusPartCount, reinterpret_cast<LPARAM>(widths));
}

HICON ActivityIconOf(uint8_t flags)
{
    static constexpr ActivityIcon ByFlags[4] = {ActivityNone, ActivitySent, ActivityReceived, ActivityBoth};
    return Icons.Activity[ByFlags[flags & 3]];
}

} // namespace

HWND CreateStatusBar(HWND mainWindow, HINSTANCE instance, DpiScale scale)
{
    HWND bar = CreateWindowExA(0, STATUSCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, mainWindow,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdStatusBar)), instance, nullptr);
    if (!bar)
        return nullptr;
    // A themed bar paints its own background and would never show the error colour.
    SetWindowTheme(bar, L" ", L" ");
    SetScaledParts(bar, scale);
    SetPartText(mainWindow, StatusPartConnection, "DISCONNECTED");
    SetPartIcon(mainWindow, StatusPartActivity, Icons.Activity[ActivityNone]);
    SetPartText(mainWindow, StatusPartRate, "   0 Kb/sec");
    SetPartIcon(mainWindow, StatusPartNotice, Icons.NoticeOff);
    SetPartText(mainWindow, StatusPartPeriod, "Measurement Period 0.001s");
    return bar;
}

bool StatusNoticeLit(HWND mainWindow)
{
    return reinterpret_cast<HICON>(SendMessageA(StatusBarOf(mainWindow), SB_GETICON, StatusPartNotice, 0)) == Icons.NoticeOn;
}

void ScaleStatusBar(HWND mainWindow, DpiScale scale, bool noticeLit)
{
    HWND bar = StatusBarOf(mainWindow);
    SetScaledParts(bar, scale);
    SetPartIcon(mainWindow, StatusPartActivity, ActivityIconOf(CurrentActivityFlags(mainWindow)));
    SetPartIcon(mainWindow, StatusPartNotice, noticeLit ? Icons.NoticeOn : Icons.NoticeOff);
    SendMessageA(bar, WM_SIZE, 0, 0);
}

void SetStatusPartText(HWND mainWindow, int part, const char* text)
{
    SetPartText(mainWindow, part, text);
}

void ShowStatusMessage(HWND mainWindow, const char* text, int32_t notice)
{
    if (!text)
        return;
    if (GetWindowThreadProcessId(mainWindow, nullptr) == GetCurrentThreadId()) {
        ShowOnMainThread(mainWindow, text, notice);
        return;
    }
    // Controls belong to the main thread: hand it a copy of the text, which the library may
    // overwrite with this thread's next call.
    size_t size = std::strlen(text) + 1;
    char* copy = new (std::nothrow) char[size];
    if (!copy)
        return;
    std::memcpy(copy, text, size);
    if (!PostMessageA(mainWindow, WmStatusText, static_cast<WPARAM>(notice), reinterpret_cast<LPARAM>(copy)))
        delete[] copy;
}

void HandleStatusTextMessage(HWND mainWindow, WPARAM wParam, LPARAM lParam)
{
    char* text = reinterpret_cast<char*>(lParam);
    ShowOnMainThread(mainWindow, text, static_cast<int32_t>(wParam));
    delete[] text;
}

void DiscardQueuedStatusTexts(HWND mainWindow)
{
    MSG message;
    while (PeekMessageA(&message, mainWindow, WmStatusText, WmStatusText, PM_REMOVE))
        delete[] reinterpret_cast<char*>(message.lParam);
}

void ShowTransferActivity(HWND mainWindow, int32_t kind)
{
    MainWindowState* state = MainStateOf(mainWindow);
    if (!state)
        return;
    uint8_t& flags = state->Status.ActivityFlags;
    if (kind == 1) {
        if (!(flags & 1)) {
            SetPartIcon(mainWindow, StatusPartActivity, Icons.Activity[(flags & 2) ? ActivityBoth : ActivitySent]);
            flags |= 1;
        }
        SetTimer(mainWindow, TimerSentReset, 200, nullptr);
    } else if (kind == 2) {
        if (!(flags & 2)) {
            SetPartIcon(mainWindow, StatusPartActivity, Icons.Activity[(flags & 1) ? ActivityBoth : ActivityReceived]);
            flags |= 2;
        }
        SetTimer(mainWindow, TimerReceivedReset, 200, nullptr);
    }
}

void UpdateThroughput(GlobalCtrl* ctrl, uint32_t bytes)
{
    MainWindowState* state = MainStateOf(ctrl->MainWindow);
    if (!state)
        return;
    SYSTEMTIME now;
    GetSystemTime(&now);
    uint32_t rate = 0;
    const uint32_t nowMs = MillisecondsOfDay(now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    if (!ThroughputTick(state->Status.RateMeter, bytes, nowMs, &rate))
        return;
    char text[32];
    TextSink sink = MakeTextSink(text, sizeof text);
    Print(sink, "{: 4} Kb/sec", static_cast<int>(rate));
    SetPartText(ctrl->MainWindow, StatusPartRate, text);
}

bool HandleStatusTimer(HWND mainWindow, UINT_PTR timerId)
{
    MainWindowState* state = MainStateOf(mainWindow);
    if (!state)
        return false;
    uint8_t& flags = state->Status.ActivityFlags;
    switch (timerId) {
    case TimerStatusReset:
        SetPartText(mainWindow, StatusPartNotice, "");
        SetPartIcon(mainWindow, StatusPartNotice, Icons.NoticeOff);
        SendMessageA(StatusBarOf(mainWindow), SB_SETBKCOLOR, 0, CLR_DEFAULT);
        KillTimer(mainWindow, TimerStatusReset);
        return true;
    case TimerSentReset:
        SetPartIcon(mainWindow, StatusPartActivity, Icons.Activity[(flags & 2) ? ActivityReceived : ActivityNone]);
        KillTimer(mainWindow, TimerSentReset);
        flags &= ~1;
        return true;
    case TimerReceivedReset:
        SetPartIcon(mainWindow, StatusPartActivity, Icons.Activity[(flags & 1) ? ActivitySent : ActivityNone]);
        KillTimer(mainWindow, TimerReceivedReset);
        flags &= ~2;
        return true;
    default:
        return false;
    }
}

uint8_t CurrentActivityFlags(HWND mainWindow)
{
    const MainWindowState* state = MainStateOf(mainWindow);
    return state ? state->Status.ActivityFlags : 0;
}
