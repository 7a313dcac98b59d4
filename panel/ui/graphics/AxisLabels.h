// Number labels of the graph axes. No window code.
#pragma once

#include <cstddef>

// Room for any label, including values far outside the usual range ("%5.2f" of -1e30 and the
// like), so no label is ever cut or overflows.
constexpr size_t AxisLabelSize = 64;

// Frequency label: "%3.0fM" of x/1e6 from 1e6 up, "%3.0fk" of x/1000 above 999.8, else "%3.0f".
void FormatXLabel(float x, char (&text)[AxisLabelSize]);

// Scale value label: "%5.2fM", "%5.2fk" or "%5.2f" by the same rule.
void FormatYLabel(double value, char (&text)[AxisLabelSize]);
