#include "KramersKronig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <numbers>
#include <sstream>

namespace {

using Complex = std::complex<double>;
using Circuit = std::function<Complex(double omega)>;

constexpr double Pi = std::numbers::pi;
const Complex J(0, 1);

Complex ParallelRC(double r, double tau, double omega) { return r / (1.0 + J * omega * tau); }
double TauAt(double frequency) { return 1 / (2 * Pi * frequency); }

const std::vector<double> DeviceFrequencies = {1000,  2000,  3000,   4000,   7000,   12000,  19000, 32000,
                                               52000, 85000, 139000, 228000, 373000, 611000, 1000000};

std::vector<double> LogSpaced(double low, double high, int count)
{
    std::vector<double> frequencies(count);
    for (int i = 0; i < count; ++i)
        frequencies[i] = low * std::pow(high / low, double(i) / (count - 1));
    return frequencies;
}
const std::vector<double> WideFrequencies = LogSpaced(0.1, 1e6, 50);

Spectrum SpectrumOf(const std::vector<double>& frequencies, const Circuit& circuit)
{
    Spectrum spectrum;
    spectrum.frequency = frequencies;
    for (const double f : frequencies)
        spectrum.impedance.push_back(circuit(2 * Pi * f));
    return spectrum;
}

struct NamedCircuit {
    const char* name;
    Circuit impedance;
};

// Their time constants lie within both the device's window and the wide one.
const NamedCircuit ValidCircuits[] = {
    {"R-p(R,C)", [](double w) { return 20.0 + ParallelRC(100, TauAt(30e3), w); }},
    {"R-p(R,C)-p(R,C)", [](double w) { return 10.0 + ParallelRC(100, TauAt(5e3), w) + ParallelRC(50, TauAt(200e3), w); }},
    {"R-Zarc n=0.8", [](double w) { return 10.0 + 100.0 / (1.0 + std::pow(J * w * TauAt(30e3), 0.8)); }},
    {"R-L-p(R,C)", [](double w) { return 5.0 + J * w * 20e-6 + ParallelRC(50, TauAt(15e3), w); }},
};

const KkFitMode AllModes[] = {KkFitMode::Real, KkFitMode::Imag, KkFitMode::Complex};

KkResult Check(const Spectrum& spectrum, const KkOptions& options)
{
    KkResult result;
    std::string error;
    EXPECT_TRUE(RunKramersKronig(spectrum, options, result, error)) << error;
    EXPECT_EQ(result.residualsReal.size(), spectrum.frequency.size());
    EXPECT_EQ(result.residualsImag.size(), spectrum.frequency.size());
    return result;
}

double LargestResidual(const KkResult& result)
{
    double largest = 0;
    for (size_t i = 0; i < result.residualsReal.size(); ++i)
        largest = std::max({largest, std::abs(result.residualsReal[i]), std::abs(result.residualsImag[i])});
    return largest;
}

// The circuit as it would be measured while its parallel resistance drifts by 20 % from the first
// frequency of the sweep to the last.
Spectrum DriftingSpectrum(const std::vector<double>& frequencies)
{
    Spectrum spectrum;
    spectrum.frequency = frequencies;
    for (size_t i = 0; i < frequencies.size(); ++i) {
        const double drift = 1 + 0.2 * double(i) / double(frequencies.size() - 1);
        spectrum.impedance.push_back(20.0 + ParallelRC(100 * drift, TauAt(30e3) * drift, 2 * Pi * frequencies[i]));
    }
    return spectrum;
}

Spectrum ReadTwoZarcReference()
{
    std::ifstream file(KALVIX_SOURCE_DIR "/tests/logtool/data/two-zarc-synthetic.csv");
    EXPECT_TRUE(file) << "reference data missing";
    Spectrum spectrum;
    std::string line;
    std::getline(file, line);   // header
    while (std::getline(file, line)) {
        std::replace(line.begin(), line.end(), ',', ' ');
        std::istringstream fields(line);
        double index = 0, f = 0, re = 0, im = 0;
        if (fields >> index >> f >> re >> im) {
            spectrum.frequency.push_back(f);
            spectrum.impedance.emplace_back(re, im);
        }
    }
    return spectrum;
}

} // namespace

TEST(KramersKronig, ConsistentCircuitsPassInEveryModeAtBothFrequencySets)
{
    for (const NamedCircuit& circuit : ValidCircuits)
        for (const auto* frequencies : {&DeviceFrequencies, &WideFrequencies})
            for (const KkFitMode mode : AllModes) {
                SCOPED_TRACE(std::string(circuit.name) + ", " + std::to_string(frequencies->size()) +
                             " frequencies, fit " + KkFitModeName(mode));
                const KkResult result = Check(SpectrumOf(*frequencies, circuit.impedance), {.mode = mode});
                EXPECT_TRUE(result.valid) << "largest residual " << LargestResidual(result);
                EXPECT_LT(LargestResidual(result), 0.01);
                EXPECT_GE(result.M, 1);
                EXPECT_EQ(result.resistances.size(), size_t(result.M));
                EXPECT_EQ(result.tau.size(), size_t(result.M));
            }
}

TEST(KramersKronig, ObjectChangingDuringTheSweepFails)
{
    for (const auto* frequencies : {&DeviceFrequencies, &WideFrequencies})
        for (const KkFitMode mode : AllModes) {
            SCOPED_TRACE(std::to_string(frequencies->size()) + " frequencies, fit " + KkFitModeName(mode));
            const KkResult result = Check(DriftingSpectrum(*frequencies), {.mode = mode});
            EXPECT_FALSE(result.valid);
            EXPECT_GT(LargestResidual(result), 0.01);
        }
}
