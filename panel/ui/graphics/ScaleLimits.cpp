#include "ScaleLimits.h"

#include <cmath>

double RoundScaleLimit(double value, bool upwards, double factor)
{
    // Widening moves the limit outwards: away from zero for an upper limit above zero, towards
    // it for one below zero, and the other way round for a lower limit.
    bool grow = upwards == (value >= 0);
    double v = grow ? value * factor : value / factor;
    double exponent = std::trunc(std::log10(std::fabs(v))) - 2;
    // A zero, infinite or NaN value gives a non-finite exponent; it rounds in whole numbers.
    if (!(exponent >= 0 && exponent <= 10))
        exponent = 0;
    double unit = std::pow(10.0, exponent);
    return upwards ? std::ceil(v / unit) * unit : std::floor(v / unit) * unit;
}

double MarginFactor(double top, double bottom)
{
    double m = std::fabs(top) <= std::fabs(bottom) ? std::fabs(bottom / top) - 1
                                                   : std::fabs(top / bottom) - 1;
    if (m > 0.1)
        m = 0.1;
    if (m < 0.01)
        m = 0.01;
    return m;
}

ScaleLimits InputLimits(const float* y, int32_t count, float fixedMax, float fixedMin)
{
    if (fixedMin < fixedMax)
        return {fixedMax, fixedMin};
    ScaleLimits limits{NAN, NAN};
    for (int32_t i = 0; y && i < count; ++i) {
        double v = y[i];
        if (!std::isfinite(v))
            continue; // a broken value must not stretch or poison the scale
        if (!(v <= limits.Top))
            limits.Top = v;
        if (!(v >= limits.Bottom))
            limits.Bottom = v;
    }
    return limits;
}

ScaleLimits ChooseScale(ScaleLimits input, bool yLogarithmic, HeldLimits& held)
{
    double top = input.Top;
    double bottom = input.Bottom;
    double m = MarginFactor(top, bottom);

    // Outside the band around the held limit the new limit replaces it. NaN compares false,
    // so all-zero data (0/0 margin) or no data never replace a held limit.
    if (std::fabs(top) < std::fabs((1 - m) * held.Upper) || std::fabs(top) > std::fabs((1 + m) * held.Upper))
        held.Upper = top;
    top = held.Upper + std::fabs(held.Upper * m);
    if (std::fabs(bottom) < std::fabs((1 - m) * held.Lower) || std::fabs(bottom) > std::fabs((1 + m) * held.Lower))
        held.Lower = bottom;
    bottom = held.Lower - std::fabs(held.Lower * m);

    if (!std::isfinite(m))
        return {NAN, NAN}; // nothing sensible to draw with this input
    if (yLogarithmic)
        return {top, bottom};

    if (top - bottom < 1)
        return {1, -1};
    double r;
    if (top < 0 || bottom < 0) {
        if (top - bottom < 2) {
            top += 1;
            bottom -= 1;
        } else {
            double d = (top - bottom) / 10;
            top += d;
            bottom -= d;
        }
        r = 1.1;
    } else {
        r = (top / bottom - 1) / 5 + 1;
        if (r > 1.1)
            r = 1.1;
    }
    return {RoundScaleLimit(top, true, r), RoundScaleLimit(bottom, false, r)};
}

ScaleLimits SnapLogScale(ScaleLimits limits)
{
    double top = limits.Top;
    double bottom = limits.Bottom;
    if (top > 1e8)
        top = 9e7;
    if (top < 0.1)
        top = 0.09;
    if (bottom < 0.01)
        bottom = 0.02;
    for (int k = -2; k <= 8; ++k) {
        double upper = std::pow(10.0, k);
        double lower = std::pow(10.0, k - 1);
        if (lower < top && top < upper)
            top = upper;
        if (lower < bottom && bottom < upper)
            bottom = lower;
    }
    // Data above the highest decade would leave the bottom at or above the top and the scale
    // without a single decade; keep one decade under the top instead.
    if (!(bottom < top))
        bottom = top / 10;
    return {top, bottom};
}

int32_t DecadeCount(ScaleLimits limits)
{
    // Both limits are powers of ten; the small allowance keeps 9.999999999 decades from
    // truncating to 9.
    return static_cast<int32_t>(std::trunc(std::log10(limits.Top / limits.Bottom) + 1e-9));
}
