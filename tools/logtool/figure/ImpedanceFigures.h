// The log tool's impedance pictures: Bode (|Z| and phase against frequency, two panels sharing a
// log frequency axis) and Nyquist (-Z'' against Z', one ohm as long on both axes). Measured
// curves are drawn as markers, fitted ones as lines.
#pragma once

#include "Figure.h"

#include <complex>
#include <string>
#include <vector>

struct PlotCurve {
    std::string label;                            // legend entry
    std::vector<double> frequency;                // Hz
    std::vector<std::complex<double>> impedance;  // ohm, Z'' negative for a capacitive object
    bool line = false;                            // a fitted curve: a line; measured data: markers
};

Figure MakeBodeFigure(const std::vector<PlotCurve>& curves, const std::string& title);
Figure MakeNyquistFigure(const std::vector<PlotCurve>& curves, const std::string& title);

// `count` frequencies spaced evenly on a log scale from `low` to `high` (both > 0), for drawing
// a fitted model as a smooth line.
std::vector<double> LogSpacedFrequencies(double low, double high, size_t count);
