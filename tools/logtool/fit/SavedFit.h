// The result a `kalvix-log fit --json` run wrote, read back: its circuit text and the value of
// each parameter by name, so a picture can draw that fit without fitting again.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct SavedFit {
    std::string circuit;                                   // as the file names it
    std::vector<std::pair<std::string, double>> values;    // parameter name, value
};

// False with an error saying what is wrong and where ("not JSON at character 17", "parameter 2
// has no number \"value\"").
bool ParseSavedFit(std::string_view json, SavedFit& fit, std::string& error);
