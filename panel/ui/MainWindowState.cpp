#include "MainWindowState.h"

#include <new>

bool AttachMainWindowState(HWND mainWindow)
{
    MainWindowState* state = new (std::nothrow) MainWindowState{};
    if (!state)
        return false;
    SetWindowLongPtrA(mainWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    return true;
}

void FreeMainWindowState(HWND mainWindow)
{
    delete MainStateOf(mainWindow);
    SetWindowLongPtrA(mainWindow, GWLP_USERDATA, 0);
}

MainWindowState* MainStateOf(HWND mainWindow)
{
    return reinterpret_cast<MainWindowState*>(GetWindowLongPtrA(mainWindow, GWLP_USERDATA));
}

GlobalCtrl* MainCtrlOf(HWND mainWindow)
{
    const MainWindowState* state = MainStateOf(mainWindow);
    return state ? state->GlobalCtrlPtr : nullptr;
}

SpectrumRecord* MainDataBuffOf(HWND mainWindow)
{
    const MainWindowState* state = MainStateOf(mainWindow);
    return state ? state->DataBuffPtr : nullptr;
}
