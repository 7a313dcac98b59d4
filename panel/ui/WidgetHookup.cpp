#include "WidgetHookup.h"

#if KALVIX_HAVE_PANEL_GRAPHICS
#include "Widgets.h"

void ResetMainWidgets()
{
    ResetWidgets();
}

void CreateModuleGraphPanel(HWND mainWindow)
{
    CreateGraphPanel(mainWindow, 0, "MODULE (ohm)", 500, 10, 585, 300);
}

void CreatePhaseGraphPanel(HWND mainWindow)
{
    CreateGraphPanel(mainWindow, 1, "PHASE (degree)", 500, 340, 585, 300);
}

void CreateValueTablePanel(HWND mainWindow, int fontHeight)
{
    CreateTextPanel(mainWindow, 1, 120, 402, 200, 248, nullptr, fontHeight, "Courier New");
}

void CreateChannelLevelBars(HWND mainWindow)
{
    CreateLevelBar(mainWindow, 0, 350, 542, 40, 108, 4095);
    CreateLevelBar(mainWindow, 1, 400, 542, 40, 108, 4095);
}

void CreateStatusValuesPanel(HWND mainWindow)
{
    CreateTextPanel(mainWindow, 0, 350, 382, 130, 140,
                    "MeasCount:\nProcPeriod[us]:\nMaxChA:\nMinChA:\nMaxChB:\nMinChB:\nChargerStatus:\n"
                    "BatteryLevel[mV]:\nSysErrors:\nGPIOStatus:",
                    13, "Tahoma");
}

void PaintMainWidgets(HDC dc)
{
    PaintWidgets(dc);
}

void ReleaseMainWidgets()
{
    ReleaseWidgets();
}

bool MainWidgetsAvailable()
{
    return true;
}

#else
// Built without the widget drawing code: the widgets' places stay empty.
void ResetMainWidgets() {}
void CreateModuleGraphPanel(HWND) {}
void CreatePhaseGraphPanel(HWND) {}
void CreateValueTablePanel(HWND, int) {}
void CreateChannelLevelBars(HWND) {}
void CreateStatusValuesPanel(HWND) {}
void PaintMainWidgets(HDC) {}
void ReleaseMainWidgets() {}
bool MainWidgetsAvailable()
{
    return false;
}
#endif
