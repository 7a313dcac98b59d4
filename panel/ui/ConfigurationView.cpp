#include "ConfigurationView.h"

// Being built: the view window and the configuration read-back.
int32_t RefreshConfiguration(GlobalCtrl*)
{
    return 0;
}

void OpenConfigurationView(GlobalCtrl*) {}

LRESULT CALLBACK ConfViewWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
