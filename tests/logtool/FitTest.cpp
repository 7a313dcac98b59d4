// Equivalent-circuit fits: recovery of known values, interval coverage under noise, the reference
// two-arc spectrum, --fix and --guess, warm starts, bad options, the JSON and text reports.
#include "fit/Circuit.h"
#include "fit/Fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <clocale>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

// Every allocation of the test program is counted, to show the warm fit's hot path needs none.
// (GCC takes the free() of the replaced delete for a mismatch with new; it is the pair.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
std::atomic<long> Allocations{0};

void* operator new(std::size_t size)
{
    Allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
#pragma GCC diagnostic pop

namespace {

using Complex = std::complex<double>;

long AllocationCount()
{
    return Allocations.load();
}

const std::vector<double> DeviceFrequencies = {1000,   2000,   3000,   4000,   7000,   12000,  19000,  32000,
                                               52000,  85000,  139000, 228000, 373000, 611000, 1000000};

std::vector<double> LogSpaced(double from, double to, int count)
{
    std::vector<double> frequencies;
    for (int i = 0; i < count; ++i)
        frequencies.push_back(from * std::pow(to / from, static_cast<double>(i) / (count - 1)));
    return frequencies;
}

Circuit Parse(const std::string& text)
{
    Circuit circuit;
    std::string error;
    EXPECT_TRUE(ParseCircuit(text, circuit, error)) << error;
    return circuit;
}

// The circuit's spectrum at `frequencies`, with complex Gaussian noise of `relative` * |Z| on each
// of Z' and Z'' when relative > 0.
Spectrum Synthetic(const Circuit& circuit, const std::vector<double>& values, const std::vector<double>& frequencies,
                   double relative = 0.0, std::mt19937* random = nullptr)
{
    Spectrum spectrum;
    spectrum.frequency = frequencies;
    std::normal_distribution<double> normal(0.0, 1.0);
    for (const double f : frequencies) {
        Complex z = CircuitImpedance(circuit, values.data(), f);
        if (relative > 0.0) {
            const double sd = relative * std::abs(z);
            const double re = normal(*random) * sd;
            const double im = normal(*random) * sd;
            z += Complex(re, im);
        }
        spectrum.impedance.push_back(z);
    }
    return spectrum;
}

// A noisy spectrum of R0-p(R1,CPE1) at the device's frequencies and its fit from the automatic
// starts: the ground for the warm-start tests.
struct CpeArcFit {
    Circuit circuit;
    Spectrum spectrum;
    FitResult cold;
};

CpeArcFit FittedCpeArc(const std::vector<double>& truth, unsigned seed, double noise)
{
    CpeArcFit fit{Parse("R0-p(R1,CPE1)"), {}, {}};
    std::mt19937 random(seed);
    fit.spectrum = Synthetic(fit.circuit, truth, DeviceFrequencies, noise, &random);
    std::string error;
    EXPECT_TRUE(FitCircuit(fit.circuit, fit.spectrum, FitOptions{}, fit.cold, error)) << error;
    return fit;
}

struct Truth {
    const char* circuit;
    std::vector<double> values;
};

// Every element type inside a sensible circuit, with its features inside 1 kHz .. 1 MHz.
const Truth Truths[] = {
    {"R0-p(R1,C1)", {10.0, 100.0, 5e-8}},              // corner 32 kHz
    {"R0-C1", {10.0, 1e-6}},                           // |Z_C| = R0 at 16 kHz
    {"R0-L1", {10.0, 1e-5}},                           // wL = R0 at 160 kHz
    {"R0-p(R1,L1)", {10.0, 100.0, 1e-4}},              // corner 160 kHz
    {"R0-p(R1,CPE1)", {10.0, 100.0, 1e-6, 0.8}},       // corner 16 kHz
    {"R0-CPE1", {5.0, 2e-6, 0.75}},
    {"R0-W1", {10.0, 3000.0}},
    {"R0-Wo1", {10.0, 100.0, 1e-5}},
    {"R0-Ws1", {10.0, 100.0, 1e-5}},
    {"R0-K1", {10.0, 100.0, 1e-5}},
    {"R0-Zarc1", {10.0, 100.0, 1e-5, 0.8}},
    {"R0-p(R1,C1)-p(R2,C2)", {10.0, 100.0, 1e-6, 50.0, 4e-8}},    // corners 1.6 kHz and 80 kHz
    {"R0-Zarc1-Zarc2", {10.0, 80.0, 1e-4, 0.85, 40.0, 1e-6, 0.9}},
    {"R0-p(R1,CPE1)-W1", {10.0, 100.0, 1e-6, 0.85, 2000.0}},
    {"L0-R0-p(R1,C1)", {2e-6, 10.0, 100.0, 5e-8}},
    {"R0-p(R1-Wo1,C1)", {10.0, 50.0, 100.0, 1e-4, 1e-7}},
};

void ExpectRecovered(const Truth& truth, const std::vector<double>& frequencies, const char* what)
{
    const Circuit circuit = Parse(truth.circuit);
    ASSERT_EQ(circuit.ParameterCount(), truth.values.size()) << truth.circuit;
    const Spectrum spectrum = Synthetic(circuit, truth.values, frequencies);
    for (const Weighting weighting : {Weighting::Modulus, Weighting::Unit, Weighting::Proportional}) {
        FitOptions options;
        options.weighting = weighting;
        FitResult result;
        std::string error;
        ASSERT_TRUE(FitCircuit(circuit, spectrum, options, result, error)) << error;
        EXPECT_TRUE(result.converged) << truth.circuit << " " << what;
        EXPECT_TRUE(result.warnings.empty()) << truth.circuit << " " << what << ": " << result.warnings.front();
        for (size_t i = 0; i < truth.values.size(); ++i)
            EXPECT_NEAR(result.values[i] / truth.values[i], 1.0, 1e-6)
                << truth.circuit << " " << circuit.parameterNames[i] << ", " << what << ", "
                << WeightingName(weighting) << " weighting, " << result.starts << " starts";
    }
}

TEST(Fit, RecoversEveryElementAtTheDeviceFrequencies)
{
    for (const Truth& truth : Truths)
        ExpectRecovered(truth, DeviceFrequencies, "15 device frequencies");
}

TEST(Fit, RecoversEveryElementAtFiftyLogSpacedFrequencies)
{
    for (const Truth& truth : Truths)
        ExpectRecovered(truth, LogSpaced(1e3, 1e6, 50), "50 frequencies");
}

TEST(Fit, IntervalsHoldTheTruthAtTheirConfidenceUnderNoise)
{
    const Circuit circuit = Parse("R0-p(R1,C1)");
    const std::vector<double> truth = {10.0, 100.0, 5e-8};
    std::mt19937 random(20261210);
    const int trials = 200;
    std::vector<int> covered(truth.size(), 0);
    double chi2Sum = 0.0;
    FitResult result;
    for (int trial = 0; trial < trials; ++trial) {
        const Spectrum spectrum = Synthetic(circuit, truth, DeviceFrequencies, 0.005, &random);
        std::string error;
        ASSERT_TRUE(FitCircuit(circuit, spectrum, FitOptions{}, result, error)) << error;
        chi2Sum += result.chi2Reduced;
        for (size_t i = 0; i < truth.size(); ++i)
            if (result.parameters[i].ciLow <= truth[i] && truth[i] <= result.parameters[i].ciHigh)
                ++covered[i];
    }
    for (size_t i = 0; i < truth.size(); ++i) {
        const double fraction = static_cast<double>(covered[i]) / trials;
        EXPECT_GE(fraction, 0.88) << circuit.parameterNames[i];
        EXPECT_LE(fraction, 0.99) << circuit.parameterNames[i];
        std::printf("[ coverage ] %s %.1f%%\n", circuit.parameterNames[i].c_str(), 100.0 * fraction);
    }
    // Modulus weighting with noise 0.5% of |Z| on each part: reduced chi-square near 0.005^2.
    EXPECT_NEAR(chi2Sum / trials / (0.005 * 0.005), 1.0, 0.1);
}

// The reference spectrum, read with a few lines of its own (index, f, Z', Z''; a header row).
Spectrum ReadTwoZarc()
{
    Spectrum spectrum;
    std::ifstream file(std::string(KALVIX_SOURCE_DIR) + "/tests/logtool/data/two-zarc-synthetic.csv");
    EXPECT_TRUE(file.good());
    std::string line;
    std::getline(file, line);   // header
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string index, f, re, im;
        if (!std::getline(fields, index, ',') || !std::getline(fields, f, ',') || !std::getline(fields, re, ',') ||
            !std::getline(fields, im, ','))
            continue;
        spectrum.frequency.push_back(std::stod(f));
        spectrum.impedance.emplace_back(std::stod(re), std::stod(im));
    }
    return spectrum;
}

TEST(Fit, ReferenceTwoZarcSpectrumLandsOnItsTruth)
{
    const Spectrum spectrum = ReadTwoZarc();
    ASSERT_EQ(spectrum.frequency.size(), 81u);
    const Circuit circuit = Parse("R0-Zarc1-Zarc2");
    FitOptions options;
    options.weighting = Weighting::Unit;
    FitResult result;
    std::string error;
    ASSERT_TRUE(FitCircuit(circuit, spectrum, options, result, error)) << error;
    EXPECT_TRUE(result.converged);
    EXPECT_EQ(result.points, 81u);
    EXPECT_EQ(result.degreesOfFreedom, 162 - 7);
    const std::vector<double> truth = {10.0, 50.0, 0.1, 0.8, 50.0, 1e-4, 0.8};
    for (size_t i = 0; i < truth.size(); ++i) {
        const ParameterEstimate& p = result.parameters[i];
        EXPECT_LT(std::abs(p.value - truth[i]), 4.0 * p.stdError) << p.name << " " << p.value << " +- " << p.stdError;
        EXPECT_LT(p.stdError, 0.05 * truth[i]) << p.name;
        EXPECT_FALSE(p.undetermined) << p.name;
    }
    // Noise sd 0.5 ohm on each part: reduced chi-square near 0.25 (sd of the estimate ~ 0.25 * 0.11).
    EXPECT_NEAR(result.chi2Reduced, 0.25, 0.25 * 0.35) << result.chi2Reduced;
    EXPECT_TRUE(result.warnings.empty());
    std::printf("[ two-zarc ] chi2_reduced %.4f ssr %.3f, %d starts\n", result.chi2Reduced, result.ssr, result.starts);
    for (const ParameterEstimate& p : result.parameters)
        std::printf("[ two-zarc ] %-8s %.6g +- %.3g [%.6g, %.6g]\n", p.name.c_str(), p.value, p.stdError, p.ciLow, p.ciHigh);
}

TEST(Fit, FixedParametersStayPutAndFreeDegreesOfFreedom)
{
    const Circuit circuit = Parse("R0-p(R1,CPE1)");
    const std::vector<double> truth = {10.0, 100.0, 1e-6, 0.8};
    std::mt19937 random(7);
    const Spectrum spectrum = Synthetic(circuit, truth, DeviceFrequencies, 0.005, &random);
    FitOptions options;
    options.fixed = {{"CPE1_1", 0.8}, {"R0", 10.0}};
    FitResult result;
    std::string error;
    ASSERT_TRUE(FitCircuit(circuit, spectrum, options, result, error)) << error;
    EXPECT_EQ(result.degreesOfFreedom, 30 - 2);
    EXPECT_EQ(result.values[0], 10.0);
    EXPECT_EQ(result.values[3], 0.8);
    EXPECT_TRUE(result.parameters[0].fixed);
    EXPECT_TRUE(result.parameters[3].fixed);
    EXPECT_FALSE(result.parameters[1].fixed);
    EXPECT_EQ(result.parameters[3].stdError, 0.0);
    EXPECT_EQ(result.parameters[3].ciLow, 0.8);
    EXPECT_NEAR(result.values[1] / 100.0, 1.0, 0.02);
    EXPECT_NEAR(result.values[2] / 1e-6, 1.0, 0.05);
    // An exponent may be fixed at 1 exactly: the CPE is then a capacitor.
    options.fixed = {{"CPE1_1", 1.0}};
    ASSERT_TRUE(FitCircuit(circuit, spectrum, options, result, error)) << error;
    EXPECT_EQ(result.values[3], 1.0);
}

TEST(Fit, GuessesStartTheFitAndFarGuessesStillConverge)
{
    const Circuit circuit = Parse("R0-p(R1,C1)");
    const std::vector<double> truth = {10.0, 100.0, 5e-8};
    const Spectrum spectrum = Synthetic(circuit, truth, DeviceFrequencies);
    FitOptions options;
    options.guess = {{"R0", 3.0}, {"R1", 1000.0}, {"C1", 1e-9}};
    FitResult result;
    std::string error;
    ASSERT_TRUE(FitCircuit(circuit, spectrum, options, result, error)) << error;
    EXPECT_GT(result.starts, 1);   // the guesses are the first start, not the only one
    for (size_t i = 0; i < truth.size(); ++i)
        EXPECT_NEAR(result.values[i] / truth[i], 1.0, 1e-6) << circuit.parameterNames[i];
    EXPECT_FALSE(result.parameters[1].fixed);
}

TEST(Fit, GuessesDoNotHoldTheOtherStarts)
{
    // A guess far off (a time constant six decades away) no longer confines every start: the fit
    // still reaches the minimum the unguided fit finds, while --fix keeps holding its value.
    const Circuit circuit = Parse("R0-p(R1,CPE1)-p(R2,CPE2)");
    const std::vector<double> truth = {10.0, 100.0, 1e-5, 0.85, 300.0, 1e-3, 0.75};
    std::mt19937 random(5);
    const Spectrum spectrum = Synthetic(circuit, truth, DeviceFrequencies, 0.002, &random);
    FitResult free, guessed, fixed;
    std::string error;
    ASSERT_TRUE(FitCircuit(circuit, spectrum, FitOptions{}, free, error)) << error;
    FitOptions options;
    options.guess = {{"CPE1_0", 10.0}, {"CPE1_1", 0.2}};
    ASSERT_TRUE(FitCircuit(circuit, spectrum, options, guessed, error)) << error;
    EXPECT_LE(guessed.ssr, free.ssr * (1.0 + 1e-6));
    options.guess.clear();
    options.fixed = {{"CPE1_1", 0.2}};
    ASSERT_TRUE(FitCircuit(circuit, spectrum, options, fixed, error)) << error;
    EXPECT_EQ(fixed.values[3], 0.2);
}

TEST(Fit, IntervalsStayInsideTheParametersRange)
{
    // A poorly determined fit (few points, much noise): every interval lies inside the
    // parameter's range and around its value; exponents' intervals below 1.
    const Circuit circuit = Parse("R0-p(R1,CPE1)");
    std::mt19937 random(9);
    const Spectrum spectrum = Synthetic(circuit, {10.0, 100.0, 1e-6, 0.995}, DeviceFrequencies, 0.05, &random);
    FitResult result;
    std::string error;
    ASSERT_TRUE(FitCircuit(circuit, spectrum, FitOptions{}, result, error)) << error;
    for (const ParameterEstimate& p : result.parameters) {
        EXPECT_GE(p.ciLow, 0.0) << p.name;
        EXPECT_LE(p.ciLow, p.value) << p.name;
        EXPECT_GE(p.ciHigh, p.value) << p.name;
    }
    EXPECT_LT(result.parameters[3].ciHigh, 1.0);
    EXPECT_GT(result.parameters[3].ciLow, 0.0);
    // Well determined values keep their usual width: log-space and linear agree to first order.
    const ParameterEstimate& r1 = result.parameters[1];
    const double t = StudentT975(result.degreesOfFreedom);
    EXPECT_NEAR((r1.ciHigh - r1.ciLow) / (2.0 * t * r1.stdError), 1.0, 0.05);
}

TEST(Fit, IntervalsAreTakenInTheFittedVariableWhereALinearOneLeavesTheRange)
{
    // Few points and much noise: value -+ t * se would cross the range's edge (an exponent's 1, a
    // positive parameter's 0); the interval taken in the fitted variable stays inside, symmetric
    // there (the logit of an exponent, the logarithm of a positive parameter).
    const struct {
        const char* circuit;
        std::vector<double> truth;
        std::vector<double> frequencies;
        double noise;
        unsigned seed;
        size_t parameter;
        bool linearCrossesOne;   // else: crosses 0
    } cases[] = {
        {"R0-p(R1,CPE1)", {10.0, 100.0, 1e-6, 0.97}, LogSpaced(100.0, 1e5, 6), 0.04, 2, 3, true},   // CPE1_1 0.965 +- 0.040
        {"R0-p(R1,C1)", {3.0, 100.0, 5e-8}, LogSpaced(3e3, 1e5, 6), 0.02, 1, 0, false},         // R0 1.77 +- 1.80
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.circuit);
        const Circuit circuit = Parse(c.circuit);
        std::mt19937 random(c.seed);
        const Spectrum spectrum = Synthetic(circuit, c.truth, c.frequencies, c.noise, &random);
        FitResult result;
        std::string error;
        ASSERT_TRUE(FitCircuit(circuit, spectrum, FitOptions{}, result, error)) << error;
        const ParameterEstimate& p = result.parameters[c.parameter];
        const double halfWidth = StudentT975(result.degreesOfFreedom) * p.stdError;
        if (c.linearCrossesOne) {
            EXPECT_GT(p.value + halfWidth, 1.0);
            EXPECT_LT(p.ciHigh, 1.0);
            const auto logit = [](double x) { return std::log(x / (1.0 - x)); };
            EXPECT_NEAR(logit(p.ciLow) + logit(p.ciHigh), 2.0 * logit(p.value), 1e-9);
        } else {
            EXPECT_LT(p.value - halfWidth, 0.0);
            EXPECT_NEAR(std::log(p.ciLow) + std::log(p.ciHigh), 2.0 * std::log(p.value), 1e-9);
        }
        EXPECT_GT(p.ciLow, 0.0);
        EXPECT_LT(p.ciLow, p.value);
        EXPECT_GT(p.ciHigh, p.value);
    }
}

TEST(Fit, WarmStartTracksAndFallsBackWhenItFails)
{
    const std::vector<double> truth = {10.0, 100.0, 1e-6, 0.8};
    const auto [circuit, spectrum, cold] = FittedCpeArc(truth, 11, 0.002);
    FitResult warm;
    std::string error;
    EXPECT_FALSE(cold.warmStarted);
    EXPECT_GT(cold.starts, 1);
    // From the previous spectrum's values (here: nearby ones), one run.
    std::vector<double> previous = {11.0, 90.0, 1.2e-6, 0.82};
    FitOptions options;
    options.previous = &previous;
    ASSERT_TRUE(FitCircuit(circuit, spectrum, options, warm, error)) << error;
    EXPECT_TRUE(warm.warmStarted);
    EXPECT_EQ(warm.starts, 1);
    for (size_t i = 0; i < truth.size(); ++i)
        EXPECT_NEAR(warm.values[i] / cold.values[i], 1.0, 1e-6) << circuit.parameterNames[i];
    // A hopeless previous result: the multistart takes over and finds the same answer.
    previous = {1e6, 1e-3, 1e3, 0.01};
    ASSERT_TRUE(FitCircuit(circuit, spectrum, options, warm, error)) << error;
    EXPECT_FALSE(warm.warmStarted);
    EXPECT_GT(warm.starts, 1);
    for (size_t i = 0; i < truth.size(); ++i)
        EXPECT_NEAR(warm.values[i] / cold.values[i], 1.0, 1e-6) << circuit.parameterNames[i];
}

TEST(Fit, WarmStartLeavesAnExponentsEdgeAndGivesWayToALowerFreshResult)
{
    const auto [circuit, spectrum, cold] = FittedCpeArc({10.0, 100.0, 1e-6, 0.97}, 13, 0.001);
    FitResult warm;
    std::string error;
    // The previous spectrum's exponent ran to 1: the warm run can move it back.
    std::vector<double> previous = {10.0, 100.0, 1e-6, 1.0};
    FitOptions options;
    options.previous = &previous;
    ASSERT_TRUE(FitCircuit(circuit, spectrum, options, warm, error)) << error;
    EXPECT_NEAR(warm.values[3], cold.values[3], 1e-6);
    EXPECT_LE(warm.ssr, cold.ssr * (1.0 + 1e-6));
    // Asked to compare: the multistart runs as well (more than the one start), and the result is
    // never above the fresh one.
    previous = {11.0, 95.0, 1.1e-6, 0.95};
    options.compareWithFresh = true;
    ASSERT_TRUE(FitCircuit(circuit, spectrum, options, warm, error)) << error;
    EXPECT_GT(warm.starts, 1);
    EXPECT_LE(warm.ssr, cold.ssr * (1.0 + 1e-9));
}

struct BadOptionCase {
    std::vector<std::pair<std::string, double>> fixed, guess;
    std::vector<double> previous;
    const char* error;
};

TEST(Fit, BadOptionsAreRefusedWithAReason)
{
    const Circuit circuit = Parse("R0-p(R1,CPE1)");
    const Spectrum spectrum = Synthetic(circuit, {10.0, 100.0, 1e-6, 0.8}, DeviceFrequencies);
    const BadOptionCase cases[] = {
        {{{"R9", 1.0}}, {}, {}, "--fix: the circuit R0-p(R1,CPE1) has no parameter \"R9\" (it has R0 R1 CPE1_0 CPE1_1)"},
        {{}, {{"CPE1", 1.0}}, {}, "--guess: the circuit R0-p(R1,CPE1) has no parameter \"CPE1\" (it has R0 R1 CPE1_0 CPE1_1)"},
        {{{"R0", -1.0}}, {}, {}, "--fix R0=-1: R0 must be a positive number"},
        {{{"R0", 0.0}}, {}, {}, "--fix R0=0: R0 must be a positive number"},
        {{}, {{"CPE1_1", 1.5}}, {}, "--guess CPE1_1=1.5: CPE1_1 must be an exponent in (0, 1]"},
        {{{"R1", 5.0}, {"R1", 6.0}}, {}, {}, "--fix R1 is given twice"},
        {{{"R1", 5.0}}, {{"R1", 6.0}}, {}, "R1 is both fixed and guessed"},
        {{}, {}, {1.0, 2.0}, "the previous result has 2 values, the circuit 4 parameters"},
        {{}, {}, {1.0, 2.0, 3.0, 0.0}, "the previous value of CPE1_1 is not an exponent in (0, 1]"},
    };
    for (const BadOptionCase& c : cases) {
        FitOptions options;
        options.fixed = c.fixed;
        options.guess = c.guess;
        if (!c.previous.empty())
            options.previous = &c.previous;
        FitResult result;
        std::string error;
        EXPECT_FALSE(CheckFitOptions(circuit, options, error));
        EXPECT_EQ(error, c.error);
        error.clear();
        EXPECT_FALSE(FitCircuit(circuit, spectrum, options, result, error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(Fit, BadDataIsRefusedWithAReason)
{
    const Circuit circuit = Parse("R0-p(R1,CPE1)");
    std::string error;
    FitResult result;
    Spectrum tiny = Synthetic(circuit, {10.0, 100.0, 1e-6, 0.8}, {1e3, 1e4});
    EXPECT_FALSE(FitCircuit(circuit, tiny, FitOptions{}, result, error));
    EXPECT_EQ(error, "fewer data than free parameters: 2 frequencies give 4 real data, 4 free parameters need at least 5");
    FitOptions fixing;
    fixing.fixed = {{"CPE1_1", 0.8}};
    EXPECT_TRUE(FitCircuit(circuit, tiny, fixing, result, error)) << error;
    EXPECT_EQ(result.degreesOfFreedom, 1);

    Spectrum broken = Synthetic(circuit, {10.0, 100.0, 1e-6, 0.8}, DeviceFrequencies);
    broken.impedance[4] = Complex(std::nan(""), 1.0);
    EXPECT_FALSE(FitCircuit(circuit, broken, FitOptions{}, result, error));
    EXPECT_EQ(error, "the impedance at 7000 Hz is not a finite number");
    broken.impedance[4] = 0.0;
    EXPECT_FALSE(FitCircuit(circuit, broken, FitOptions{}, result, error));
    EXPECT_EQ(error, "the impedance at 7000 Hz is zero, which modulus weighting cannot divide by");
    broken.frequency[2] = -5.0;
    EXPECT_FALSE(FitCircuit(circuit, broken, FitOptions{}, result, error));
    EXPECT_EQ(error, "frequency 3 of the spectrum is not a positive number");
}

TEST(Fit, WeightingNames)
{
    Weighting weighting;
    EXPECT_TRUE(ParseWeighting("unit", weighting));
    EXPECT_EQ(weighting, Weighting::Unit);
    EXPECT_TRUE(ParseWeighting("modulus", weighting));
    EXPECT_EQ(weighting, Weighting::Modulus);
    EXPECT_TRUE(ParseWeighting("proportional", weighting));
    EXPECT_EQ(weighting, Weighting::Proportional);
    EXPECT_FALSE(ParseWeighting("Modulus", weighting));
    EXPECT_FALSE(ParseWeighting("", weighting));
    EXPECT_NEAR(StudentT975(1), 12.7062, 1e-4);
    EXPECT_NEAR(StudentT975(27), 2.0518, 1e-4);
    EXPECT_NEAR(StudentT975(100000), 1.95998, 1e-4);
}

TEST(FitReport, JsonHasTheAgreedShapeAndFullPrecision)
{
    const Circuit circuit = Parse("R0-p(R1,C1)");
    FitResult result;
    result.parameters = {{"R0", 10.5, 0.25, 10.0, 11.0, false, false},
                         {"R1", 0.1, std::numeric_limits<double>::infinity(), -1.0, 2.0, false, true},
                         {"C1", 5.000000000000001e-08, 0.0, 5.000000000000001e-08, 5.000000000000001e-08, true, false}};
    result.ssr = 0.125;
    result.chi2Reduced = std::nan("");
    result.points = 15;
    result.degreesOfFreedom = 28;
    result.residuals = {{0.5, -0.25}};
    result.warnings = {"R1: \"quoted\""};
    result.converged = true;
    const std::string json = JsonText(FitResultDocument(circuit, result));
    EXPECT_EQ(json,
              "{\"circuit\":\"R0-p(R1,C1)\",\"parameters\":["
              "{\"name\":\"R0\",\"value\":10.5,\"stderr\":0.25,\"ci95\":[10,11],\"fixed\":false,\"undetermined\":false},"
              "{\"name\":\"R1\",\"value\":0.1,\"stderr\":null,\"ci95\":[-1,2],\"fixed\":false,\"undetermined\":true},"
              "{\"name\":\"C1\",\"value\":5.000000000000001e-08,\"stderr\":0,\"ci95\":[5.000000000000001e-08,"
              "5.000000000000001e-08],\"fixed\":true,\"undetermined\":false}],"
              "\"chi2_reduced\":null,\"ssr\":0.125,\"points\":15,\"dof\":28,\"weighting\":\"modulus\","
              "\"converged\":true,\"residuals\":[[0.5,-0.25]],\"warnings\":[\"R1: \\\"quoted\\\"\"]}");
    // A locale with decimal commas changes nothing (where the system has one).
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "German_Germany.1252")) {
        EXPECT_EQ(JsonText(FitResultDocument(circuit, result)), json);
        std::setlocale(LC_ALL, "C");
    }
}

TEST(FitReport, ParametersTheDataCannotSeeAreWarnedAboutInResultAndReport)
{
    // Two arcs fitted to a spectrum of one: the second arc is not determined.
    const Circuit circuit = Parse("R0-p(R1,C1)-p(R2,C2)");
    std::mt19937 random(3);
    const Spectrum spectrum = Synthetic(Parse("R0-p(R1,C1)"), {10.0, 100.0, 5e-8}, DeviceFrequencies, 0.005, &random);
    FitOptions options;
    options.fixed = {{"R0", 10.0}};
    FitResult result;
    std::string error;
    ASSERT_TRUE(FitCircuit(circuit, spectrum, options, result, error)) << error;
    size_t undetermined = 0;
    for (const ParameterEstimate& p : result.parameters) {
        if (!p.undetermined)
            continue;
        ++undetermined;
        EXPECT_FALSE(p.fixed);
        EXPECT_TRUE(std::any_of(result.warnings.begin(), result.warnings.end(),
                                [&](const std::string& w) { return w.rfind(p.name + ": the data cannot determine it", 0) == 0; }))
            << p.name;
    }
    // The spare arc does not vanish: it turns into a series capacitor (R1 runs off to the top of
    // its range, the one value the data cannot see), which takes up a little of the noise. That
    // is the lowest minimum: exactly the one of R0-p(R1,C1)-C2, below the one-arc fit's.
    EXPECT_EQ(undetermined, 1u);
    EXPECT_TRUE(result.parameters[1].undetermined);
    EXPECT_GT(result.values[1], 1e50);
    FitResult oneArc, arcAndCapacitor;
    ASSERT_TRUE(FitCircuit(Parse("R0-p(R1,C1)"), spectrum, options, oneArc, error)) << error;
    ASSERT_TRUE(FitCircuit(Parse("R0-p(R1,C1)-C2"), spectrum, options, arcAndCapacitor, error)) << error;
    EXPECT_LT(result.ssr, oneArc.ssr * 0.95);
    EXPECT_NEAR(result.ssr / arcAndCapacitor.ssr, 1.0, 1e-6);
    EXPECT_NEAR(result.values[2] / arcAndCapacitor.values[3], 1.0, 1e-4);   // C1 is the series capacitor
    const std::string text = FitResultText(circuit, spectrum, result);
    for (const char* expected : {"circuit   R0-p(R1,C1)-p(R2,C2)\n", "weighting modulus, 15 frequencies, 26 degrees of freedom\n",
                                 "R0                    10         fixed\n", "  undetermined\n", "reduced chi-square ",
                                 "residuals, data - model:\n", "\n           1e+06", "\nwarning: R"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
}

TEST(FitReport, ParametersRunningToTheirRangesEdgeAreWarnedAbout)
{
    // Data of R0-p(R1,C1) fitted with a CPE (its exponent goes to 1) and with a needless series
    // capacitor (its capacitance goes to infinity).
    const Circuit rc = Parse("R0-p(R1,C1)");
    const Spectrum spectrum = Synthetic(rc, {10.0, 100.0, 5e-8}, DeviceFrequencies);
    const struct {
        const char* circuit;
        const char* name;
        const char* warning;
    } cases[] = {
        {"R0-p(R1,CPE1)", "CPE1_1", " ran to 1, the edge of its range: the element behaves as an ideal one"},
        {"R0-p(R1,C1)-C2", "C2", ", where it no longer changes the impedance: the circuit may hold an element"},
    };
    for (const auto& c : cases) {
        FitResult result;
        std::string error;
        ASSERT_TRUE(FitCircuit(Parse(c.circuit), spectrum, FitOptions{}, result, error)) << error;
        EXPECT_TRUE(std::any_of(result.warnings.begin(), result.warnings.end(),
                                [&](const std::string& w) {
                                    return w.rfind(c.name, 0) == 0 && w.find(c.warning) != std::string::npos;
                                }))
            << c.circuit << ": " << (result.warnings.empty() ? "no warnings" : result.warnings[0]);
    }
}

// Warm-started fits as `track` runs them, through a slowly drifting recording: every one stays a
// single run (no fallback to the multistart), agrees with a cold fit, and allocates no memory once
// the result's storage exists. Prints the rate.
void ExpectWarmTracking(const char* text, const std::vector<double>& truth)
{
    const Circuit circuit = Parse(text);
    std::mt19937 random(5);
    std::vector<Spectrum> spectra;
    for (int i = 0; i < 200; ++i) {
        std::vector<double> drifting = truth;
        drifting[1] *= 1.0 + 0.002 * i;   // R1 drifts by 40% over the recording
        spectra.push_back(Synthetic(circuit, drifting, DeviceFrequencies, 0.005, &random));
    }
    FitResult result, cold;
    std::string error;
    ASSERT_TRUE(FitCircuit(circuit, spectra[0], FitOptions{}, result, error)) << error;
    std::vector<double> previous = result.values;
    FitOptions options;
    options.previous = &previous;
    const int passes = 20;
    long fallbacks = 0;
    const long allocationsBefore = AllocationCount();
    const auto start = std::chrono::steady_clock::now();
    for (int pass = 0; pass < passes; ++pass) {
        for (const Spectrum& spectrum : spectra) {
            if (!FitCircuit(circuit, spectrum, options, result, error))
                ADD_FAILURE() << error;
            fallbacks += result.warmStarted ? 0 : 1;
            std::copy(result.values.begin(), result.values.end(), previous.begin());
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long allocations = AllocationCount() - allocationsBefore;
    EXPECT_EQ(fallbacks, 0) << text;
    EXPECT_EQ(allocations, 0) << text;
    for (size_t i = 1; i < spectra.size(); i += 37) {
        ASSERT_TRUE(FitCircuit(circuit, spectra[i - 1], FitOptions{}, result, error)) << error;
        previous = result.values;   // the neighbour's answer
        ASSERT_TRUE(FitCircuit(circuit, spectra[i], FitOptions{}, cold, error)) << error;
        ASSERT_TRUE(FitCircuit(circuit, spectra[i], options, result, error)) << error;
        EXPECT_TRUE(result.warmStarted);
        for (size_t k = 0; k < truth.size(); ++k)
            EXPECT_NEAR(result.values[k] / cold.values[k], 1.0, 1e-6) << text << " " << circuit.parameterNames[k];
    }
    std::printf("[ speed ] %s: %.0f warm-started fits/s at 15 frequencies\n", text,
                passes * static_cast<double>(spectra.size()) / seconds);
}

TEST(FitTracking, WarmStartsStayFastAndAgreeWithColdFits)
{
    ExpectWarmTracking("R0-p(R1,C1)", {10.0, 100.0, 5e-8});
    ExpectWarmTracking("R0-p(R1,CPE1)", {10.0, 100.0, 1e-6, 0.8});
}

} // namespace
