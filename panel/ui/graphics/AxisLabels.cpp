#include "AxisLabels.h"

#include <cstdio>

void FormatXLabel(float x, char (&text)[AxisLabelSize])
{
    // The frequencies are single-precision values, and so is the 999.8 they are compared with.
    if (x >= 1000000.0f)
        std::snprintf(text, AxisLabelSize, "%3.0fM", x / 1000000.0);
    else if (x > 999.8f)
        std::snprintf(text, AxisLabelSize, "%3.0fk", x / 1000.0);
    else
        std::snprintf(text, AxisLabelSize, "%3.0f", static_cast<double>(x));
}

void FormatYLabel(double value, char (&text)[AxisLabelSize])
{
    if (value >= 1000000)
        std::snprintf(text, AxisLabelSize, "%5.2fM", value / 1000000);
    else if (value > 999.8)
        std::snprintf(text, AxisLabelSize, "%5.2fk", value / 1000);
    else
        std::snprintf(text, AxisLabelSize, "%5.2f", value);
}
