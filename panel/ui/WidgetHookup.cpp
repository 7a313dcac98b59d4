#include "WidgetHookup.h"

#include "Widgets.h"

namespace {

ScaledRect At(DpiScale scale, int32_t x, int32_t y, int32_t width, int32_t height)
{
    return ScaleRect(scale, ScaledRect{x, y, width, height});
}

void CreateScaledGraph(WidgetSet& widgets, HWND mainWindow, DpiScale scale, int32_t index, const char* title, int32_t y)
{
    const ScaledRect r = At(scale, 500, y, 585, 300);
    CreateGraphPanel(widgets, mainWindow, index, title, r.X, r.Y, r.Width, r.Height, scale);
}

void CreateScaledBar(WidgetSet& widgets, HWND mainWindow, DpiScale scale, int32_t index, int32_t x)
{
    const ScaledRect r = At(scale, x, 542, 40, 108);
    CreateLevelBar(widgets, mainWindow, index, r.X, r.Y, static_cast<uint32_t>(r.Width),
                   static_cast<uint32_t>(r.Height), 4095);
}

void CreateScaledText(WidgetSet& widgets, HWND mainWindow, DpiScale scale, int32_t index, ScaledRect place96,
                      const char* text, int32_t fontHeight96, const char* face)
{
    const ScaledRect r = ScaleRect(scale, place96);
    CreateTextPanel(widgets, mainWindow, index, r.X, r.Y, r.Width, r.Height, text, ScaleFontHeight(scale, fontHeight96), face);
}

} // namespace

void CreateModuleGraphPanel(WidgetSet& widgets, HWND mainWindow, DpiScale scale)
{
    CreateScaledGraph(widgets, mainWindow, scale, 0, "MODULE (ohm)", 10);
}

void CreatePhaseGraphPanel(WidgetSet& widgets, HWND mainWindow, DpiScale scale)
{
    CreateScaledGraph(widgets, mainWindow, scale, 1, "PHASE (degree)", 340);
}

void CreateValueTablePanel(WidgetSet& widgets, HWND mainWindow, DpiScale scale, int fontHeight96)
{
    CreateScaledText(widgets, mainWindow, scale, 1, ScaledRect{120, 402, 200, 248}, nullptr, fontHeight96, "Courier New");
}

void CreateChannelLevelBars(WidgetSet& widgets, HWND mainWindow, DpiScale scale)
{
    CreateScaledBar(widgets, mainWindow, scale, 0, 350);
    CreateScaledBar(widgets, mainWindow, scale, 1, 400);
}

void CreateStatusValuesPanel(WidgetSet& widgets, HWND mainWindow, DpiScale scale)
{
    CreateScaledText(widgets, mainWindow, scale, 0, ScaledRect{350, 382, 130, 140},
                     "MeasCount:\nProcPeriod[us]:\nMaxChA:\nMinChA:\nMaxChB:\nMinChB:\nChargerStatus:\n"
                     "BatteryLevel[mV]:\nSysErrors:\nGPIOStatus:",
                     13, "Tahoma");
}
