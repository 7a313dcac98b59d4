// Where the main window meets its drawn widgets (graph panels, text panels, level bars): their
// places and set-up on the main window, and the registry calls of creation, painting and
// destruction.
#pragma once

#include <windows.h>

void ResetMainWidgets();
void CreateModuleGraphPanel(HWND mainWindow);
void CreatePhaseGraphPanel(HWND mainWindow);
void CreateValueTablePanel(HWND mainWindow, int fontHeight);
void CreateChannelLevelBars(HWND mainWindow);
void CreateStatusValuesPanel(HWND mainWindow);
void PaintMainWidgets(HDC dc);
void ReleaseMainWidgets();

// True when the program is built with the widget drawing code.
bool MainWidgetsAvailable();
