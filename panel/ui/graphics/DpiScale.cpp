#include "DpiScale.h"

#include <algorithm>
#include <cmath>

DpiScale ScaleForDpi(int32_t dpi)
{
    return DpiScale{dpi > 0 ? static_cast<double>(dpi) / BaseDpi : 1.0};
}

DpiScale FitScale(DpiScale wanted, int32_t width96, int32_t height96, int32_t roomWidth, int32_t roomHeight)
{
    if (width96 <= 0 || height96 <= 0 || roomWidth <= 0 || roomHeight <= 0)
        return wanted;
    const double widest = static_cast<double>(roomWidth) / width96;
    const double tallest = static_cast<double>(roomHeight) / height96;
    return DpiScale{std::min({wanted.Factor, widest, tallest})};
}

int32_t Scale(DpiScale scale, int32_t pixels96)
{
    return static_cast<int32_t>(std::lround(pixels96 * scale.Factor));
}

int32_t ScaleFontHeight(DpiScale scale, int32_t height96)
{
    return static_cast<int32_t>(std::trunc(height96 * scale.Factor));
}

ScaledRect ScaleRect(DpiScale scale, ScaledRect rect96)
{
    return ScaledRect{Scale(scale, rect96.X), Scale(scale, rect96.Y), Scale(scale, rect96.Width),
                      Scale(scale, rect96.Height)};
}

bool operator==(DpiScale a, DpiScale b)
{
    return a.Factor == b.Factor;
}
