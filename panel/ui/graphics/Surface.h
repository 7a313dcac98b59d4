// Off-screen surfaces and the small drawing steps the widgets share.
#pragma once

#include "Widgets.h"

// A surface of width x height compatible with the owner's screen (the screen's when the owner
// is null); false, with nothing held, when the system cannot make it.
bool CreateSurface(HWND owner, int32_t width, int32_t height, Surface& surface);
void ReleaseSurface(Surface& surface);
bool SurfaceExists(const Surface& surface);

// Invalidates (x, y, x + width, y + height) in the owner without erasing; nothing for no owner.
void InvalidateWidget(HWND owner, int32_t x, int32_t y, int32_t width, int32_t height);

// Fills the rectangle with the menu colour, the main window's background.
void FillMenuColour(HDC dc, int32_t width, int32_t height);
