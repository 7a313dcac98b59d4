#include "I2cWindow.h"

// Being built: the window's controls and transfers.
void OpenI2cWindow(GlobalCtrl*) {}

LRESULT CALLBACK I2CControlWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
