// The main window's child controls, drawn widgets and fonts, built once while the window is
// created.
#pragma once

#include <windows.h>

#include "DpiScale.h"
#include "GdiOwners.h"

struct MainWindowState;

// The three fonts the controls are given, kept in the main window's record; all are deleted when
// the window is destroyed.
struct LayoutFonts {
    OwnedFont Tahoma;      // controls 1100..1157
    OwnedFont Fixedsys;    // the status text edit
    OwnedFont CourierNew;  // the impedance table's header and frequency list
};

// Creates every control (after the status bar), the drawn widgets in their places, the gain
// lists, the trackbar settings, the initial check states and the fonts, the widgets and fonts
// kept in the window's record, all at the record's scale. Returns false when a control could not
// be created.
bool CreateMainControls(HWND mainWindow, HINSTANCE instance, const char* const* gainNames, MainWindowState& state);

// After the record's scale changed: every control moved to its place at the scale, the fonts
// made again for it, the button icons set again and the drawn widgets made anew (empty until
// the next batch of spectra draws them).
void ScaleMainControls(HWND mainWindow, MainWindowState& state);

// A control's place and size at 96 DPI, from the layout table (all zero for an id it lacks).
ScaledRect MainControlRect96(int id);

// The font height of 9 points at a fixed 96 pixels per inch.
int CourierFontHeight();
