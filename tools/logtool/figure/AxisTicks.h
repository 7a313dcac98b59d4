// Tick values and labels of a plot axis: "nice" steps (1, 2, 5 times a power of ten) on a linear
// axis, decades (with 2..9 between them unlabelled) on a log10 axis. Labels use '.' whatever the
// locale; "^{..}" in a label marks a superscript (10^{-6}).
#pragma once

#include "Figure.h"

#include <string>
#include <vector>

struct AxisTick {
    double value = 0;
    std::string label;   // empty for a minor tick
};

// Ticks inside [low, high] (low < high; both > 0 for Log10), with about `maxLabels` labelled
// ticks at most.
std::vector<AxisTick> AxisTicks(AxisScale scale, double low, double high, double maxLabels);

// Labels of linear ticks `step` apart: as many decimals as the step needs ("0.25", "-5", "1200").
std::string FormatLinearTick(double value, double step);
// Label of the power of ten `exponent`: "0.01" .. "100k", "1M" within 1e-3..1e6, "10^{7}" beyond.
std::string FormatDecadeTick(int exponent);
// Label of a log-axis tick between decades (2, 5, 20, 0.5, 2k ...).
std::string FormatLogTick(double value);
