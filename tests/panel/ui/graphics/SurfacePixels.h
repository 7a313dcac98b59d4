// Reading and saving the pictures the widgets draw into their surfaces.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class OffscreenSurface;

// The colour of one pixel of a surface as an RGB value.
COLORREF PixelAt(const OffscreenSurface& surface, int32_t x, int32_t y);

// The whole surface as 0x00RRGGBB pixels, top row first.
std::vector<uint32_t> PixelsOf(const OffscreenSurface& surface, int32_t width, int32_t height);

// Counts the pixels of one colour inside (left, top) .. (right, bottom), end excluded.
int32_t CountColour(const OffscreenSurface& surface, COLORREF colour, int32_t left, int32_t top, int32_t right, int32_t bottom);

// Writes the surface as a BMP file beside the test program; returns the path written or an
// empty text.
std::string SaveBitmap(const OffscreenSurface& surface, int32_t width, int32_t height, const char* fileName);

COLORREF MenuColour();
