// Checks of a window laid out at a display scale: each control at its 96-DPI place times the
// factor, its text fitting its width, the drawn graphs at their scaled places, the window inside
// its work area. Shared by the tests that change the DPI by message and those run at 144 DPI.
#pragma once

#include <windows.h>

#include <initializer_list>

// The factor the tests expect: dpi / 96, reduced so that a window of width96 x height96 fits the
// work area (written out here as the operator's guide states it).
double ExpectedFactor(int dpi, const RECT& workArea, int width96, int height96);
RECT ScreenWorkArea();

// The main window's controls, each at its 96-DPI rectangle (MainControlRect96) times the factor
// within a pixel; the captions fit their controls in the controls' own fonts; the fonts are the
// 96-DPI heights times the factor (rounded toward zero).
void ExpectMainLayoutAt(HWND mainWindow, double factor);
// Every control of an owned window at its 96-DPI rectangle times the factor, within a pixel.
struct ChildPlace {
    int Id;
    int X, Y, W, H;
};
void ExpectChildrenAt(HWND window, std::initializer_list<ChildPlace> places96, double factor);
// The graph panels drawn at their scaled places: black plot and white Y axis inside each.
void ExpectGraphsDrawnAt(HWND mainWindow, double factor);
// The window's frame inside the work area.
void ExpectInside(HWND window, const RECT& workArea);

// The 96-DPI places of the owned windows' controls.
extern const std::initializer_list<ChildPlace> ViewPlaces96;
extern const std::initializer_list<ChildPlace> I2cPlaces96;
