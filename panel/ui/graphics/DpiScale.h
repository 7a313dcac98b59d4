// The one rule by which the panel's windows follow the display's scaling: every place, size and
// font height of the windows' 96-DPI tables multiplied by one factor, rounded to the nearest
// pixel. At the factor 1 every value stays exactly as written. No window code.
#pragma once

#include <cstdint>

constexpr int32_t BaseDpi = 96; // the DPI the windows' tables are written for

struct DpiScale {
    double Factor = 1.0;
};

// A rectangle by its place and size, as the tables hold them.
struct ScaledRect {
    int32_t X, Y, Width, Height;
};

// The factor of a display DPI (dpi / 96); a DPI of zero or less is taken as 96.
DpiScale ScaleForDpi(int32_t dpi);

// The scale reduced, where needed, so that a window of width96 x height96 at 96 DPI fits a room of
// roomWidth x roomHeight pixels (a monitor's work area); never enlarged, and left as it is for an
// empty room.
DpiScale FitScale(DpiScale wanted, int32_t width96, int32_t height96, int32_t roomWidth, int32_t roomHeight);

// A 96-DPI value at the scale, rounded half away from zero (font heights are negative at times).
int32_t Scale(DpiScale scale, int32_t pixels96);
// A font height (negative: character height) at the scale, rounded toward zero: glyph advances
// are whole pixels, and a font rounded up writes wider than its scaled box.
int32_t ScaleFontHeight(DpiScale scale, int32_t height96);
// Place and size each scaled on their own: an edge lands within a pixel of the scaled edge.
ScaledRect ScaleRect(DpiScale scale, ScaledRect rect96);

bool operator==(DpiScale a, DpiScale b);
