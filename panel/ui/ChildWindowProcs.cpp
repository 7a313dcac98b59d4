#include "ChildWindowProcs.h"

// Not built yet: the configuration view and the I2C bus control windows. Until they are,
// nothing opens these windows; the procedures only give their classes a valid handler.
LRESULT CALLBACK ConfViewWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK I2CControlWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
