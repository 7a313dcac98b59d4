#include "SessionDriver.h"

#include "BatchHandling.h"
#include "GlobalCtrl.h"

#include <commctrl.h>

#include <cstdlib>

bool Click(HWND mainWindow, int id)
{
    HWND control = GetDlgItem(mainWindow, id);
    if (!control || !IsWindowEnabled(control))
        return false;
    SendMessageA(control, BM_CLICK, 0, 0);
    return true;
}

void ChooseListItem(HWND mainWindow, int id, int index)
{
    HWND list = GetDlgItem(mainWindow, id);
    SendMessageA(list, CB_SETCURSEL, index, 0);
    SendMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void ScrollTrackbar(HWND mainWindow, int id, int code, int position)
{
    HWND trackbar = GetDlgItem(mainWindow, id);
    SendMessageA(trackbar, TBM_SETPOS, TRUE, position);
    SendMessageA(mainWindow, WM_VSCROLL, MAKEWPARAM(code, position), reinterpret_cast<LPARAM>(trackbar));
}

void RightClick(HWND mainWindow, int x, int y)
{
    SendMessageA(mainWindow, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
}

bool IsChecked(HWND mainWindow, int id)
{
    return IsDlgButtonChecked(mainWindow, id) == BST_CHECKED;
}

bool IsEnabled(HWND mainWindow, int id)
{
    return IsWindowEnabled(GetDlgItem(mainWindow, id)) != FALSE;
}

std::string ControlText(HWND mainWindow, int id)
{
    return WindowText(GetDlgItem(mainWindow, id));
}

bool WaitForBatches(uint32_t since, uint32_t count, DWORD timeoutMs)
{
    return PumpUntil([&] { return HandledSpectrumBatches(PanelCtrl() ? PanelCtrl()->MainWindow : nullptr) - since >= count; }, timeoutMs);
}

std::vector<uint32_t> LoggedMeasCounts(const std::string& logText)
{
    std::vector<uint32_t> counts;
    const std::string columns = "\tCount\t\t\t";
    size_t at = logText.find(columns);
    if (at == std::string::npos)
        return counts;
    at = logText.find("\r\n", at);
    while (at != std::string::npos && at + 2 < logText.size()) {
        const size_t start = at + 2;
        const size_t end = logText.find("\r\n", start);
        const std::string row = logText.substr(start, end == std::string::npos ? std::string::npos : end - start);
        counts.push_back(static_cast<uint32_t>(std::strtoll(row.c_str(), nullptr, 10)));
        at = end;
    }
    return counts;
}
