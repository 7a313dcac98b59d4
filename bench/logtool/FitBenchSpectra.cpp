#include "FitBenchSpectra.h"

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>

Circuit ParseOrExit(const std::string& text)
{
    Circuit circuit;
    std::string error;
    if (!ParseCircuit(text, circuit, error)) {
        std::fprintf(stderr, "%s: %s\n", text.c_str(), error.c_str());
        std::exit(2);
    }
    return circuit;
}

std::vector<double> LogFrequencies(double from, double to, int count)
{
    std::vector<double> frequencies;
    for (int i = 0; i < count; ++i)
        frequencies.push_back(from * std::pow(to / from, static_cast<double>(i) / (count - 1)));
    return frequencies;
}

Spectrum SimulateSpectrum(const Circuit& circuit, const std::vector<double>& values,
                          const std::vector<double>& frequencies, double noise, std::mt19937& random)
{
    std::normal_distribution<double> normal(0.0, 1.0);
    Spectrum spectrum;
    spectrum.frequency = frequencies;
    for (const double f : frequencies) {
        const std::complex<double> z = CircuitImpedance(circuit, values.data(), f);
        const double sd = noise * std::abs(z);
        const double re = normal(random) * sd;
        const double im = normal(random) * sd;
        spectrum.impedance.push_back(z + std::complex<double>(re, im));
    }
    return spectrum;
}
