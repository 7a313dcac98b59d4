#include "ConfigurationView.h"

#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "LibraryBinding.h"
#include "MainControls.h"
#include "TextFormat.h"

// Being built: the view window. The configuration read-back is here already.
int32_t RefreshConfiguration(GlobalCtrl* ctrl)
{
    HWND window = ctrl->MainWindow;
    if (IsDown(window, IdConnectDeviceButton) && !IsDown(window, IdStart) && !IsDown(window, IdExtTrigger)) {
        if (Report(window, CallKalvix(CMD_READ_CONFIGURATION, 0, nullptr, &ctrl->Configuration)))
            return -1;
        const float divider = CurrentDivider(ctrl);
        TextSink list = MakeTextSink(ctrl->Text, sizeof ctrl->Text);
        for (int i = 0; i < 15; ++i) {
            ctrl->Frequencies[i] = static_cast<int32_t>(ctrl->Configuration.FrequencyCodes[i] * 1000) / divider;
            PutFixed(list, ctrl->Frequencies[i], 11, 2);
            PutText(list, "Hz\n");
        }
        SetDlgItemTextA(window, IdFrequencyList, ctrl->Text);
    }
    return 0;
}

void OpenConfigurationView(GlobalCtrl*) {}

LRESULT CALLBACK ConfViewWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
