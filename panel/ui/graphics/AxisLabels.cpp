#include "AxisLabels.h"

#include "TextFormat.h"

#include <cmath>

namespace {

// The labels have always shown a NaN as "nan", whatever its sign bit.
double WithoutNanSign(double value)
{
    return std::isnan(value) ? std::fabs(value) : value;
}

} // namespace

void FormatXLabel(float x, char (&text)[AxisLabelSize])
{
    TextSink sink = MakeTextSink(text, AxisLabelSize);
    const double value = WithoutNanSign(x);
    // The frequencies are single-precision values, and so is the 999.8 they are compared with.
    if (x >= 1000000.0f)
        Print(sink, "{:>3.0f}M", value / 1000000.0);
    else if (x > 999.8f)
        Print(sink, "{:>3.0f}k", value / 1000.0);
    else
        Print(sink, "{:>3.0f}", value);
}

void FormatYLabel(double value, char (&text)[AxisLabelSize])
{
    TextSink sink = MakeTextSink(text, AxisLabelSize);
    value = WithoutNanSign(value);
    if (value >= 1000000)
        Print(sink, "{:>5.2f}M", value / 1000000);
    else if (value > 999.8)
        Print(sink, "{:>5.2f}k", value / 1000);
    else
        Print(sink, "{:>5.2f}", value);
}
