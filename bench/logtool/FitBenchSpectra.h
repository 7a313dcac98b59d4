// Spectra for the fit benchmarks: a circuit parsed (exiting on a bad one), log-spaced
// frequencies, and a circuit's spectrum with complex Gaussian noise proportional to |Z|.
#pragma once

#include "fit/Circuit.h"
#include "data/Spectrum.h"

#include <random>
#include <string>
#include <vector>

Circuit ParseOrExit(const std::string& text);
std::vector<double> LogFrequencies(double from, double to, int count);
Spectrum SimulateSpectrum(const Circuit& circuit, const std::vector<double>& values,
                          const std::vector<double>& frequencies, double noise, std::mt19937& random);
