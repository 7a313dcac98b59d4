#include "WindowDpi.h"

#include <algorithm>

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);

// Windows 10 and later have it; older systems (and some Wine versions) do not.
GetDpiForWindowFunction DpiForWindowEntry()
{
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? reinterpret_cast<GetDpiForWindowFunction>(
                        reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")))
                  : nullptr;
}

int32_t ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : BaseDpi;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi;
}

RECT WorkAreaOfMonitor(HMONITOR monitor)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor && GetMonitorInfoA(monitor, &info))
        return info.rcWork;
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

void MoveWindowTo(HWND window, int x, int y, int width, int height)
{
    SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

int32_t WindowDpi(HWND window)
{
    static const GetDpiForWindowFunction dpiForWindow = DpiForWindowEntry();
    if (dpiForWindow && window) {
        if (const UINT dpi = dpiForWindow(window))
            return static_cast<int32_t>(dpi);
    }
    return ScreenDpi();
}

RECT WorkAreaOf(HWND window)
{
    return WorkAreaOfMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

RECT WorkAreaAt(const RECT& place)
{
    return WorkAreaOfMonitor(MonitorFromRect(&place, MONITOR_DEFAULTTONEAREST));
}

DpiScale WindowScaleAt(int32_t dpi, const RECT& workArea, int32_t width96, int32_t height96)
{
    return FitScale(ScaleForDpi(dpi), width96, height96, workArea.right - workArea.left,
                    workArea.bottom - workArea.top);
}

DpiScale WindowScale(HWND window, int32_t width96, int32_t height96)
{
    return WindowScaleAt(WindowDpi(window), WorkAreaOf(window), width96, height96);
}

void SizeWindowToScale(HWND window, DpiScale scale, int32_t width96, int32_t height96)
{
    RECT now{};
    GetWindowRect(window, &now);
    const int width = Scale(scale, width96);
    const int height = Scale(scale, height96);
    const RECT work = WorkAreaOf(window);
    // Kept inside the work area where it would reach past its right or bottom edge.
    const int x = std::max<int>(work.left, std::min<int>(now.left, work.right - width));
    const int y = std::max<int>(work.top, std::min<int>(now.top, work.bottom - height));
    if (width != now.right - now.left || height != now.bottom - now.top || x != now.left || y != now.top)
        MoveWindowTo(window, x, y, width, height);
}

DpiScale FollowDpiChange(HWND window, WPARAM wParam, LPARAM lParam, int32_t width96, int32_t height96)
{
    const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
    const DpiScale scale = WindowScaleAt(HIWORD(wParam), WorkAreaAt(suggested), width96, height96);
    MoveWindowTo(window, suggested.left, suggested.top, Scale(scale, width96), Scale(scale, height96));
    SizeWindowToScale(window, scale, width96, height96);
    return scale;
}

void PlaceChildAtScale(HWND child, DpiScale scale, ScaledRect rect96)
{
    const ScaledRect r = ScaleRect(scale, rect96);
    MoveWindowTo(child, r.X, r.Y, r.Width, r.Height);
}
