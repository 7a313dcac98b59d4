// Where the main window meets its drawn widgets (graph panels, text panels, level bars): their
// places and set-up on the main window, and the registry calls of creation, painting and
// destruction. Every call names the widget set of the window it works for.
#pragma once

#include <windows.h>

struct WidgetSet;

void CreateModuleGraphPanel(WidgetSet& widgets, HWND mainWindow);
void CreatePhaseGraphPanel(WidgetSet& widgets, HWND mainWindow);
void CreateValueTablePanel(WidgetSet& widgets, HWND mainWindow, int fontHeight);
void CreateChannelLevelBars(WidgetSet& widgets, HWND mainWindow);
void CreateStatusValuesPanel(WidgetSet& widgets, HWND mainWindow);
