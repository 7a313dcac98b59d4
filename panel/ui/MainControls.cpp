#include "MainControls.h"

#include "GlobalCtrl.h"
#include "StatusBar.h"

#include <commctrl.h>

bool IsDown(HWND mainWindow, int id)
{
    return IsDlgButtonChecked(mainWindow, id) == BST_CHECKED;
}

void SetDown(HWND mainWindow, int id, bool down)
{
    CheckDlgButton(mainWindow, id, down ? BST_CHECKED : BST_UNCHECKED);
}

void EnableControl(HWND mainWindow, int id, bool enable)
{
    EnableWindow(GetDlgItem(mainWindow, id), enable ? TRUE : FALSE);
}

void SetCaption(HWND mainWindow, int id, const char* text)
{
    SetDlgItemTextA(mainWindow, id, text);
}

int32_t TrackbarPosition(HWND mainWindow, int id)
{
    return static_cast<int32_t>(SendDlgItemMessageA(mainWindow, id, TBM_GETPOS, 0, 0));
}

int32_t ListSelection(HWND mainWindow, int id)
{
    return static_cast<int32_t>(SendDlgItemMessageA(mainWindow, id, CB_GETCURSEL, 0, 0));
}

bool Report(HWND mainWindow, const char* text)
{
    if (!text)
        return false;
    ShowStatusMessage(mainWindow, text, 0);
    return true;
}

void PauseMs(DWORD milliseconds)
{
    Sleep(milliseconds);
}

uint16_t CurrentDivider(const GlobalCtrl* ctrl)
{
    return ctrl->DividerIndex < DividerCount ? ctrl->DividerTable[ctrl->DividerIndex] : ctrl->DividerTable[0];
}
