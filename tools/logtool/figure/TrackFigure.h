// The tracking picture: one panel per fitted parameter, its value against time, with a band of
// plus and minus one standard error. Long recordings are drawn as lines thinned per pixel column,
// so every peak stays visible.
#pragma once

#include "Figure.h"

#include <string>
#include <vector>

struct TrackSeries {
    std::string name, unit;           // "R1", "Ω"
    std::vector<double> time;         // s
    std::vector<double> value;
    std::vector<double> error;        // standard errors; empty, or NaN where unknown
};

Figure MakeTrackFigure(const std::vector<TrackSeries>& series, const std::string& title);
