// The small drawing steps the widgets share. Their surfaces are OffscreenSurface (GdiOwners.h).
#pragma once

#include "Widgets.h"

// Invalidates (x, y, x + width, y + height) in the owner without erasing; nothing for no owner.
void InvalidateWidget(HWND owner, int32_t x, int32_t y, int32_t width, int32_t height);

// Fills the rectangle with the menu colour, the main window's background.
void FillMenuColour(HDC dc, int32_t width, int32_t height);
