#include "AfeDetection.h"

#include "AfeProcessing.h"
#include "ConfigurationView.h"
#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "LibraryBinding.h"
#include "MainControls.h"
#include "PanelRules.h"

namespace {

struct GpioLine {
    int line;
    int levelButton;
    int directionButton;
};
constexpr GpioLine GpioLines[] = {
    {1, IdGpioLevel1, IdGpioDirection1},
    {2, IdGpioLevel2, IdGpioDirection2},
    {3, IdGpioLevel3, IdGpioDirection3},
};

} // namespace

void ForgetAfeRecord(GlobalCtrl* ctrl)
{
    ResetAfeArea(ctrl->AfeArea);
    RefreshConfiguration(ctrl);
}

int32_t ReadAfeAndLoadShunt(GlobalCtrl* ctrl, uint32_t pauseMs)
{
    const int32_t read = ReadAfeRecord(ctrl, LibraryI2cBus(&BoundLibrary.Control));
    if (read != 0) {
        ForgetAfeRecord(ctrl);
        return read;
    }
    Report(ctrl->MainWindow, CallKalvix(CMD_LOAD_SHUNT, 0, nullptr, ctrl->Configuration.Shunt));
    if (pauseMs)
        PauseMs(pauseMs);
    RefreshConfiguration(ctrl);
    return 0;
}

void DetectAfe(GlobalCtrl* ctrl, uint32_t gpio)
{
    HWND window = ctrl->MainWindow;
    for (const GpioLine& line : GpioLines)
        if (!IsDown(window, line.directionButton))
            SetDown(window, line.levelButton, GpioLineHigh(gpio, line.line));
    if (!IsDown(window, IdAfeDetection))
        return;

    if (IsDown(window, IdGpioLevel3)) { // presence line high: no AFE
        if (ctrl->AfePresent) {
            ctrl->AfePresent = 0;
            ResetAfeArea(ctrl->AfeArea);
            PauseMs(2);
            RefreshConfiguration(ctrl);
        }
        return;
    }
    if (ctrl->AfePresent)
        return;
    // Set before the read: a record that fails is not read again until the AFE is unplugged.
    ctrl->AfePresent = 1;
    ReadAfeAndLoadShunt(ctrl, 2);
}
