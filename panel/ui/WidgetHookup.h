// Where the main window meets its drawn widgets (graph panels, text panels, level bars): their
// places and set-up on the main window, and the registry calls of creation, painting and
// destruction. Every call names the widget set of the window it works for; places, sizes and
// font heights are the 96-DPI ones at the window's scale.
#pragma once

#include <windows.h>

#include "DpiScale.h"

struct WidgetSet;

void CreateModuleGraphPanel(WidgetSet& widgets, HWND mainWindow, DpiScale scale);
void CreatePhaseGraphPanel(WidgetSet& widgets, HWND mainWindow, DpiScale scale);
void CreateValueTablePanel(WidgetSet& widgets, HWND mainWindow, DpiScale scale, int fontHeight96);
void CreateChannelLevelBars(WidgetSet& widgets, HWND mainWindow, DpiScale scale);
void CreateStatusValuesPanel(WidgetSet& widgets, HWND mainWindow, DpiScale scale);
