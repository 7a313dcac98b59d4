#include "WidgetHookup.h"

#if KALVIX_HAVE_PANEL_GRAPHICS
#include "Widgets.h"

WidgetSet& MainWidgetSet()
{
    static WidgetSet widgets;
    return widgets;
}

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

void PaintMainWidgets(const WidgetSet& widgets, HDC dc)
{
    PaintWidgets(widgets, dc);
}

void ReleaseMainWidgets(WidgetSet& widgets)
{
    ReleaseWidgets(widgets);
}

bool MainWidgetsAvailable()
{
    return true;
}

#else
// Built without the widget drawing code: the set holds nothing and the widgets' places stay
// empty.
struct WidgetSet {};

WidgetSet& MainWidgetSet()
{
    static WidgetSet widgets;
    return widgets;
}

void CreateModuleGraphPanel(WidgetSet&, HWND) {}
void CreatePhaseGraphPanel(WidgetSet&, HWND) {}
void CreateValueTablePanel(WidgetSet&, HWND, int) {}
void CreateChannelLevelBars(WidgetSet&, HWND) {}
void CreateStatusValuesPanel(WidgetSet&, HWND) {}
void PaintMainWidgets(const WidgetSet&, HDC) {}
void ReleaseMainWidgets(WidgetSet&) {}
bool MainWidgetsAvailable()
{
    return false;
}
#endif
