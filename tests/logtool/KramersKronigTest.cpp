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

// Z'' alone pins the series resistance and the fastest element loosely (its Z'' and the
// inductance's differ only near the highest frequency), so noise-free spectra with a process near
// the top of the window keep up to about 2.5 % of residual there in the imag fit.
KkOptions OptionsFor(KkFitMode mode) { return {.mode = mode, .threshold = mode == KkFitMode::Imag ? 0.03 : 0.01}; }

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

double RmsOhm(const std::vector<double>& residuals, const Spectrum& spectrum)
{
    double sum = 0;
    for (size_t i = 0; i < residuals.size(); ++i)
        sum += std::norm(residuals[i] * std::abs(spectrum.impedance[i]));
    return std::sqrt(sum / double(residuals.size()));
}

} // namespace

TEST(KramersKronig, ConsistentCircuitsPassInEveryModeAtBothFrequencySets)
{
    for (const NamedCircuit& circuit : ValidCircuits)
        for (const auto* frequencies : {&DeviceFrequencies, &WideFrequencies})
            for (const KkFitMode mode : AllModes) {
                SCOPED_TRACE(std::string(circuit.name) + ", " + std::to_string(frequencies->size()) +
                             " frequencies, fit " + KkFitModeName(mode));
                const KkResult result = Check(SpectrumOf(*frequencies, circuit.impedance), OptionsFor(mode));
                EXPECT_TRUE(result.valid) << "largest residual " << LargestResidual(result);
                EXPECT_EQ(result.resistances.size(), size_t(result.M));
                EXPECT_EQ(result.tau.size(), size_t(result.M));
            }
}

TEST(KramersKronig, ObjectChangingDuringTheSweepFails)
{
    for (const auto* frequencies : {&DeviceFrequencies, &WideFrequencies})
        for (const KkFitMode mode : AllModes) {
            SCOPED_TRACE(std::to_string(frequencies->size()) + " frequencies, fit " + KkFitModeName(mode));
            const KkOptions options = OptionsFor(mode);
            const KkResult result = Check(DriftingSpectrum(*frequencies), options);
            EXPECT_FALSE(result.valid);
            EXPECT_GT(LargestResidual(result), 2 * options.threshold);
        }
}

// A spectrum made by the test's own model at the time constants of M = 5 gives back its values.
TEST(KramersKronig, ModelSpectrumGivesBackItsElementsInEveryMode)
{
    const double r0 = 12, inductance = 3e-6;
    const std::vector<double> resistances = {40, 5, 80, 20, 60};
    const double tauMin = TauAt(WideFrequencies.back()), tauMax = TauAt(WideFrequencies.front());
    const Circuit model = [&](double w) {
        Complex z = r0 + J * w * inductance;
        for (size_t k = 0; k < resistances.size(); ++k)
            z += ParallelRC(resistances[k], tauMin * std::pow(tauMax / tauMin, k / 4.0), w);
        return z;
    };
    for (const KkFitMode mode : AllModes) {
        SCOPED_TRACE(KkFitModeName(mode));
        const KkResult result = Check(SpectrumOf(WideFrequencies, model), {.mode = mode, .fixedM = 5});
        EXPECT_NEAR(result.r0, r0, 1e-6);
        EXPECT_NEAR(result.inductance, inductance, 1e-12);
        ASSERT_EQ(result.resistances.size(), resistances.size());
        for (size_t k = 0; k < resistances.size(); ++k) {
            EXPECT_NEAR(result.resistances[k], resistances[k], 1e-6);
            EXPECT_NEAR(result.tau[k], tauMin * std::pow(tauMax / tauMin, k / 4.0), 1e-12 * result.tau[k]);
        }
        EXPECT_LT(LargestResidual(result), 1e-9);
        EXPECT_TRUE(result.valid);
    }
}

TEST(KramersKronig, SingleElementSitsInTheMiddleOfTheWindow)
{
    const KkResult result = Check(SpectrumOf(DeviceFrequencies, ValidCircuits[0].impedance), {.fixedM = 1});
    ASSERT_EQ(result.tau.size(), 1u);
    EXPECT_NEAR(result.tau[0], TauAt(std::sqrt(1e3 * 1e6)), 1e-12 * result.tau[0]);
}

TEST(KramersKronig, TwoZarcReferenceLeavesResidualsOfTheNoise)
{
    const double noise = 0.5;   // ohm, the reference's standard deviation
    const Spectrum reference = ReadTwoZarcReference();
    ASSERT_EQ(reference.frequency.size(), 81u);
    double smallest = INFINITY;
    for (const Complex z : reference.impedance)
        smallest = std::min(smallest, std::abs(z));
    for (const KkFitMode mode : AllModes) {
        SCOPED_TRACE(KkFitModeName(mode));
        const KkResult result = Check(reference, {.mode = mode, .threshold = 4 * noise / smallest});
        EXPECT_TRUE(result.valid);
        EXPECT_FALSE(result.tooFewPoints);
        for (const auto* residuals : {&result.residualsReal, &result.residualsImag}) {
            EXPECT_GT(RmsOhm(*residuals, reference), 0.5 * noise);
            EXPECT_LT(RmsOhm(*residuals, reference), 2 * noise);
        }
        EXPECT_FALSE(Check(reference, {.mode = mode}).valid) << "5 % noise at 1 MHz passes 1 %";
    }
}

// M is the first element count after which mu never again rises above c.
TEST(KramersKronig, ElementCountFollowsTheMuRule)
{
    const Spectrum reference = ReadTwoZarcReference();
    for (const double c : {0.0, 0.5, 0.85, 0.95, 1.0})
        for (const int maxM : {5, 50}) {
            SCOPED_TRACE("c " + std::to_string(c) + ", maxM " + std::to_string(maxM));
            const KkResult result = Check(reference, {.c = c, .maxM = maxM});
            ASSERT_EQ(result.muTried.size(), size_t(maxM));
            ASSERT_GE(result.M, 1);
            for (size_t m = result.M; m <= result.muTried.size(); ++m)
                EXPECT_TRUE(result.muTried[m - 1] <= c || m == result.muTried.size()) << "mu above c at M " << m;
            EXPECT_TRUE(result.M == 1 || result.muTried[result.M - 2] > c) << "M could be smaller";
            double positive = 0, negative = 0;
            for (const double r : result.resistances)
                (r < 0 ? negative : positive) += std::abs(r);
            EXPECT_DOUBLE_EQ(result.mu, negative == 0 ? 1 : 1 - negative / positive);
            EXPECT_DOUBLE_EQ(result.mu, result.muTried[result.M - 1]);
            if (c == 1.0) {
                EXPECT_EQ(result.M, 1);
            } else if (c == 0.0) {
                EXPECT_EQ(result.M, maxM);
            }
        }
}

TEST(KramersKronig, FrequencyOrderDoesNotMatter)
{
    const Spectrum ascending = ReadTwoZarcReference();
    const KkResult expected = Check(ascending, {});
    std::vector<size_t> order(ascending.frequency.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = (i * 37) % order.size();   // 37 and 81 share no factor: a permutation
    Spectrum shuffled;
    for (const size_t i : order) {
        shuffled.frequency.push_back(ascending.frequency[i]);
        shuffled.impedance.push_back(ascending.impedance[i]);
    }
    const KkResult result = Check(shuffled, {});
    EXPECT_EQ(result.M, expected.M);
    EXPECT_NEAR(result.mu, expected.mu, 1e-9);
    EXPECT_EQ(result.valid, expected.valid);
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(result.frequency[i], ascending.frequency[order[i]]);
        EXPECT_NEAR(result.residualsReal[i], expected.residualsReal[order[i]], 1e-9);
        EXPECT_NEAR(result.residualsImag[i], expected.residualsImag[order[i]], 1e-9);
    }
}

TEST(KramersKronig, SparseSpectraCarryANote)
{
    const struct {
        const char* name;
        Spectrum spectrum;
        bool tooFew, limited;
        const char* note;
    } cases[] = {
        {"3 frequencies over 3 decades", SpectrumOf({1e3, 3e4, 1e6}, ValidCircuits[0].impedance), true, true, "per decade"},
        {"Zarc at 15 frequencies", SpectrumOf(DeviceFrequencies, ValidCircuits[2].impedance), true, true, "M stopped at 13"},
        {"two-zarc reference", ReadTwoZarcReference(), false, false, ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const KkResult result = Check(test.spectrum, {});
        EXPECT_EQ(result.tooFewPoints, test.tooFew);
        EXPECT_EQ(result.limitedByPoints, test.limited);
        EXPECT_NE(result.note.find(test.note), std::string::npos) << result.note;
        EXPECT_EQ(result.note.empty(), !test.tooFew);
    }
}

TEST(KramersKronig, BadInputIsRefusedAndLeavesTheResultAlone)
{
    const Spectrum good = SpectrumOf(DeviceFrequencies, ValidCircuits[0].impedance);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* expected;
        std::function<void(Spectrum&, KkOptions&)> spoil;
    } cases[] = {
        {"at least 3 frequencies", [](Spectrum& s, KkOptions&) { s.frequency.resize(2); s.impedance.resize(2); }},
        {"15 frequencies but 14 impedances", [](Spectrum& s, KkOptions&) { s.impedance.pop_back(); }},
        {"(0 Hz) is not a finite number above 0", [](Spectrum& s, KkOptions&) { s.frequency[3] = 0; }},
        {"(-1000 Hz) is not", [](Spectrum& s, KkOptions&) { s.frequency[0] = -1000; }},
        {"(inf Hz) is not", [](Spectrum& s, KkOptions&) { s.frequency[4] = INFINITY; }},
        {"1000 Hz appears twice", [](Spectrum& s, KkOptions&) { s.frequency[5] = 1000; }},
        {"at 4000 Hz is not a finite number", [=](Spectrum& s, KkOptions&) { s.impedance[3] = {nan, 1}; }},
        {"at 7000 Hz is not a finite number", [](Spectrum& s, KkOptions&) { s.impedance[4] = {1, -INFINITY}; }},
        {"at 12000 Hz is 0", [](Spectrum& s, KkOptions&) { s.impedance[5] = 0; }},
        {"c must lie from 0 to 1", [](Spectrum&, KkOptions& o) { o.c = 1.5; }},
        {"c must lie from 0 to 1", [=](Spectrum&, KkOptions& o) { o.c = nan; }},
        {"threshold must be a number above 0", [](Spectrum&, KkOptions& o) { o.threshold = 0; }},
        {"most RC elements must be 1 or more", [](Spectrum&, KkOptions& o) { o.maxM = 0; }},
        {"carry at most 13 RC elements", [](Spectrum&, KkOptions& o) { o.fixedM = 14; }},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.expected);
        Spectrum spectrum = good;
        KkOptions options;
        test.spoil(spectrum, options);
        KkResult result;
        result.M = -7;
        std::string error;
        EXPECT_FALSE(RunKramersKronig(spectrum, options, result, error));
        EXPECT_NE(error.find(test.expected), std::string::npos) << error;
        EXPECT_EQ(result.M, -7);
        EXPECT_TRUE(result.residualsReal.empty());
    }
}
