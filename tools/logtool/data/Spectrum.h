// One impedance spectrum as the log tool works on it: frequencies in Hz and the complex impedance
// at each, Z = Z' + jZ'' in ohm, Z'' negative for a capacitive object.
#pragma once

#include <complex>
#include <cstdint>
#include <vector>

struct Spectrum {
    std::vector<double> frequency;                 // Hz
    std::vector<std::complex<double>> impedance;   // ohm, one per frequency
    uint64_t measCount = 0;                        // the log's MeasCount (first of a block mean)
    uint64_t line = 0;                             // where it was read (first line of a block)
};

// Z from the log's module (ohm) and phase (degree).
std::complex<double> ImpedanceFromPolar(double module, double phaseDegree);
