// Pictures copied from a device context (the screen, or an off-screen surface), as 0x00RRGGBB
// pixels with the top row first, and what tests look at in them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

struct Picture {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;
    uint32_t At(int x, int y) const; // 0xFFFFFFFF outside the picture
};

// The width x height pixels at (x, y) of the source context.
Picture CopyPicture(HDC source, int x, int y, int width, int height);

// The pixels of an area, row by row, the end excluded.
std::vector<uint32_t> PixelsIn(const Picture& picture, RECT area);
int CountPixels(const Picture& picture, RECT area, bool (*kind)(uint32_t));

// A COLORREF (0x00BBGGRR) as a picture's pixel value.
constexpr uint32_t RgbOf(COLORREF colour)
{
    return (uint32_t{GetRValue(colour)} << 16) | (uint32_t{GetGValue(colour)} << 8) | GetBValue(colour);
}

// Kinds of pixels the drawn widgets use, with room for anti-aliased and dithered edges.
constexpr uint32_t RedOf(uint32_t rgb) { return (rgb >> 16) & 0xFF; }
constexpr uint32_t GreenOf(uint32_t rgb) { return (rgb >> 8) & 0xFF; }
constexpr uint32_t BlueOf(uint32_t rgb) { return rgb & 0xFF; }
inline bool IsRedPixel(uint32_t rgb) { return RedOf(rgb) > 200 && GreenOf(rgb) < 60 && BlueOf(rgb) < 60; }
inline bool IsGreenPixel(uint32_t rgb) { return GreenOf(rgb) > 200 && RedOf(rgb) < 60 && BlueOf(rgb) < 60; }
inline bool IsBluePixel(uint32_t rgb) { return BlueOf(rgb) > 200 && RedOf(rgb) < 60 && GreenOf(rgb) < 60; }
inline bool IsDarkPixel(uint32_t rgb) { return RedOf(rgb) < 80 && GreenOf(rgb) < 80 && BlueOf(rgb) < 80; }
