// The main window's child controls, drawn widgets and fonts, built once while the window is
// created.
#pragma once

#include <windows.h>

// The three fonts the controls are given, kept in the main window's record; all are deleted when
// the window is destroyed.
struct LayoutFonts {
    HFONT Tahoma;      // controls 1100..1157
    HFONT Fixedsys;    // the status text edit
    HFONT CourierNew;  // the impedance table's header and frequency list
};

// Creates every control (after the status bar), the drawn widgets in their places, the gain
// lists, the trackbar settings, the initial check states and the fonts, made into `fonts`.
// Returns false when a control could not be created.
bool CreateMainControls(HWND mainWindow, HINSTANCE instance, const char* const* gainNames, LayoutFonts& fonts);
void DeleteLayoutFonts(LayoutFonts& fonts);

// The font height of 9 points at a fixed 96 pixels per inch.
int CourierFontHeight();
