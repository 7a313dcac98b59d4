#include "WidgetHookup.h"

#include "Widgets.h"

void CreateModuleGraphPanel(WidgetSet& widgets, HWND mainWindow)
{
    CreateGraphPanel(widgets, mainWindow, 0, "MODULE (ohm)", 500, 10, 585, 300);
}

void CreatePhaseGraphPanel(WidgetSet& widgets, HWND mainWindow)
{
    CreateGraphPanel(widgets, mainWindow, 1, "PHASE (degree)", 500, 340, 585, 300);
}

void CreateValueTablePanel(WidgetSet& widgets, HWND mainWindow, int fontHeight)
{
    CreateTextPanel(widgets, mainWindow, 1, 120, 402, 200, 248, nullptr, fontHeight, "Courier New");
}

void CreateChannelLevelBars(WidgetSet& widgets, HWND mainWindow)
{
    CreateLevelBar(widgets, mainWindow, 0, 350, 542, 40, 108, 4095);
    CreateLevelBar(widgets, mainWindow, 1, 400, 542, 40, 108, 4095);
}

void CreateStatusValuesPanel(WidgetSet& widgets, HWND mainWindow)
{
    CreateTextPanel(widgets, mainWindow, 0, 350, 382, 130, 140,
                    "MeasCount:\nProcPeriod[us]:\nMaxChA:\nMinChA:\nMaxChB:\nMinChB:\nChargerStatus:\n"
                    "BatteryLevel[mV]:\nSysErrors:\nGPIOStatus:",
                    13, "Tahoma");
}
