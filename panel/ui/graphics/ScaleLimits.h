// Y scale limits of a graph: the margin, the held limits that keep an automatic scale from
// jumping with every spectrum, and the rounding of limits to plain numbers. No window code.
#pragma once

#include <cstdint>

// The held limits start at the far ends of the single-precision range, so the first drawing
// always takes its input limits.
constexpr double HeldUpperStart = -3.4028234663852886e38;
constexpr double HeldLowerStart = 3.4028234663852886e38;

struct HeldLimits {
    double Upper;
    double Lower;
};

// The Y range a drawing is made with: Top and Bottom after margin, hysteresis and (linear only)
// rounding; on the logarithmic scale the decade snapping comes later (SnapLogScale).
struct ScaleLimits {
    double Top;
    double Bottom;
};

// Widens the value by the factor (outwards: an upper limit grows, a lower one shrinks, whatever
// their sign) and rounds it outwards to three significant digits for values of 100 and more, to
// whole numbers below.
double RoundScaleLimit(double value, bool upwards, double factor);

// The fraction by which the limits are widened, 0.01 to 0.1 (NaN when both are zero).
double MarginFactor(double top, double bottom);

// Input limits of the values: the fixed pair when fixedMin < fixedMax, else the extremes of the
// finite Y values (NaN for both when there is none).
ScaleLimits InputLimits(const float* y, int32_t count, float fixedMax, float fixedMin);

// Margin, hysteresis against the held limits (updated here) and, on a linear scale, rounding.
ScaleLimits ChooseScale(ScaleLimits input, bool yLogarithmic, HeldLimits& held);

// Logarithmic scale: clamps to 0.01 .. 1e8 and snaps both limits outwards to whole decades, the
// bottom always at least one decade below the top.
ScaleLimits SnapLogScale(ScaleLimits limits);

// Number of whole decades between two powers of ten (top above bottom).
int32_t DecadeCount(ScaleLimits limits);
