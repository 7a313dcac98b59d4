// One fitted parameter of a tracked recording against time, as its picture draws it.
#pragma once

#include <string>
#include <vector>

struct TrackSeries {
    std::string name, unit;           // "R1", "Ω"
    std::vector<double> time;         // s
    std::vector<double> value;
    std::vector<double> error;        // standard errors; empty, or NaN where unknown
};
