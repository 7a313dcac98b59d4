// How often the automatic fit reaches the best minimum: circuits of 4 to 9 parameters on spectra
// simulated from known values with noise and on public measured spectra, under unit and modulus
// weighting, each compared with two referees that run many random starts to convergence (one
// scattered around the automatic starts, one drawn from wide ranges independent of them).
//
//   fit_sweep_bench [data folder] [random starts per case and referee, 200]
//
// The data folder holds battery-zplot-measured.csv (bench/logtool/data) and
// two-zarc-synthetic.csv (tests/logtool/data is searched next to it). A case is a hit when the
// automatic fit's sum of squares is within 1e-4 (relative) of the best any of them found.
#include "FitBenchSpectra.h"
#include "fit/Fit.h"
#include "fit/FitProblem.h"
#include "fit/FitStarts.h"
#include "fit/ParameterUnits.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Complex = std::complex<double>;

struct SweepCase {
    std::string data;      // what the spectrum is
    std::string circuit;
    Spectrum spectrum;
};

Spectrum Simulate(const Circuit& circuit, const std::vector<double>& values, double noise, unsigned seed)
{
    std::mt19937 random(seed);
    return SimulateSpectrum(circuit, values, LogFrequencies(0.01, 1e5, 50), noise, random);
}

// A CSV of frequency, Z', Z'' after one header line; the first column is skipped when there are four.
bool ReadCsv(const std::string& path, Spectrum& spectrum)
{
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line))
        return false;
    while (std::getline(in, line)) {
        std::vector<double> cells;
        std::stringstream fields(line);
        for (std::string cell; std::getline(fields, cell, ',');)
            cells.push_back(std::stod(cell));
        const size_t first = cells.size() == 4 ? 1 : 0;
        spectrum.frequency.push_back(cells[first]);
        spectrum.impedance.emplace_back(cells[first + 1], cells[first + 2]);
    }
    return !spectrum.frequency.empty();
}

// The best sum of squares from `count` starts, each filled in by `draw` (start number, values),
// run to convergence.
double BestOfStarts(const Circuit& circuit, const Spectrum& spectrum, Weighting weighting, int count,
                    const std::function<void(int, std::vector<double>&)>& draw, std::vector<double>& bestValues)
{
    const size_t n = circuit.ParameterCount();
    bool isFree[FitMaxParameters];
    for (size_t i = 0; i < n; ++i)
        isFree[i] = true;
    FitProblem problem(circuit, spectrum, weighting);
    const double tiny = 1e-28 * problem.DataNorm();
    double best = std::numeric_limits<double>::infinity();
    FitVector theta;
    std::vector<double> start(n);
    for (int r = 0; r < count; ++r) {
        draw(r, start);
        problem.Setup(start.data(), isFree);
        problem.ThetaFromFull(start.data(), theta);
        const RunOutcome outcome = RunLevenbergMarquardt(problem, theta, 2000, tiny);
        if (std::isfinite(outcome.ssr) && outcome.ssr < best) {
            best = outcome.ssr;
            problem.SetTheta(theta);
            bestValues.assign(problem.Full(), problem.Full() + n);
        }
    }
    return best;
}

// Referee 1: each automatic start in turn with every value multiplied by 10^U(-2, 2) (exponents
// drawn from U(0.3, 1)).
double ScatteredReferee(const Circuit& circuit, const Spectrum& spectrum, Weighting weighting, int count,
                        unsigned seed, std::vector<double>& bestValues)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> decades(-2.0, 2.0), exponent(0.3, 1.0);
    const std::vector<std::vector<double>> starts = BuildStarts(circuit, spectrum);
    return BestOfStarts(circuit, spectrum, weighting, count, [&](int r, std::vector<double>& start) {
        start = starts[static_cast<size_t>(r) % starts.size()];
        for (size_t i = 0; i < start.size(); ++i)
            start[i] = circuit.parameterKinds[i] == ParameterKind::Exponent ? exponent(random)
                                                                             : start[i] * std::pow(10.0, decades(random));
    }, bestValues);
}

// Referee 2, independent of the automatic starts: every value log-uniform in a range set by the
// spectrum's scales alone (|Z| from 1e-3 of the smallest to 10 times the largest, omega over the
// measured window, a decade beyond for time constants), exponents from U(0.1, 1).
double RandomRangeReferee(const Circuit& circuit, const Spectrum& spectrum, Weighting weighting, int count,
                          unsigned seed, std::vector<double>& bestValues)
{
    double zLow = std::numeric_limits<double>::infinity(), zHigh = 0.0;
    for (const Complex z : spectrum.impedance) {
        zLow = std::min(zLow, 1e-3 * std::abs(z));
        zHigh = std::max(zHigh, 10.0 * std::abs(z));
    }
    const auto [fLow, fHigh] = std::minmax_element(spectrum.frequency.begin(), spectrum.frequency.end());
    const double wLow = 2.0 * std::numbers::pi * *fLow, wHigh = 2.0 * std::numbers::pi * *fHigh;
    std::vector<std::pair<double, double>> ranges;
    for (size_t i = 0; i < circuit.ParameterCount(); ++i) {
        const std::string unit = ParameterUnit(circuit, i);
        if (unit == "Ω")
            ranges.emplace_back(zLow, zHigh);
        else if (unit == "F" || unit == "F s^(n-1)")   // 1/(Q w^n) within |Z|'s range, any n in (0, 1]
            ranges.emplace_back(1.0 / (zHigh * std::max(wHigh, 1.0)), 1.0 / (zLow * std::min(wLow, 1.0)));
        else if (unit == "H")
            ranges.emplace_back(zLow / wHigh, zHigh / wLow);
        else if (unit == "s")
            ranges.emplace_back(0.1 / wHigh, 10.0 / wLow);
        else if (unit == "Ω s^-1/2")
            ranges.emplace_back(zLow * std::sqrt(wLow), zHigh * std::sqrt(wHigh));
        else if (unit.empty())
            ranges.emplace_back(0.1, 1.0);
        else {
            std::fprintf(stderr, "no range for a parameter in %s\n", unit.c_str());
            std::exit(2);
        }
    }
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> share(0.0, 1.0);
    return BestOfStarts(circuit, spectrum, weighting, count, [&](int, std::vector<double>& start) {
        for (size_t i = 0; i < start.size(); ++i) {
            const auto [low, high] = ranges[i];
            start[i] = circuit.parameterKinds[i] == ParameterKind::Exponent ? low + share(random) * (high - low)
                                                                             : low * std::pow(high / low, share(random));
        }
    }, bestValues);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string folder = argc > 1 ? argv[1] : "bench/logtool/data";
    const int refereeStarts = argc > 2 ? std::atoi(argv[2]) : 200;
    std::vector<SweepCase> cases;

    // Simulated: circuit, true values; 0.5% noise, two noise draws each.
    const std::vector<std::pair<std::string, std::vector<double>>> simulated = {
        {"R0-p(R1,CPE1)-p(R2,CPE2)", {10, 100, 1e-5, 0.85, 300, 1e-3, 0.75}},
        {"R0-p(R1,C1)-p(R2,C2)-W1", {5, 40, 1e-6, 200, 1e-4, 30}},
        {"R0-p(R1-Wo1,CPE1)", {10, 50, 200, 2.0, 1e-5, 0.9}},
        {"R0-p(R1-Ws1,CPE1)", {10, 50, 200, 2.0, 1e-5, 0.9}},
        {"R0-Zarc1-Zarc2", {3, 20, 1e-4, 0.8, 80, 0.05, 0.7}},
        {"L0-R0-p(R1,CPE1)-p(R2,CPE2)-W1", {1e-6, 0.02, 0.01, 0.5, 0.8, 0.03, 20, 0.7, 0.005}},
        {"R0-p(R1,CPE1)-Wo1", {20, 100, 2e-5, 0.85, 150, 10}},
        {"R0-p(R1,C1)-W1", {5, 100, 1e-6, 50}},
    };
    for (const auto& [text, values] : simulated)
        for (unsigned seed : {1u, 2u})
            cases.push_back({"simulated #" + std::to_string(seed), text, Simulate(ParseOrExit(text), values, 0.005, seed)});

    Spectrum battery, twoZarc;
    if (ReadCsv(folder + "/battery-zplot-measured.csv", battery)) {
        for (const char* text : {"L0-R0-p(R1,CPE1)-p(R2,CPE2)-W1", "L0-R0-p(R1-Wo1,CPE1)", "L0-R0-p(R1,C1)-p(R2,C2)-W1",
                                 "L0-R0-p(R1,CPE1)-p(R2,CPE2)", "L0-R0-p(R1-Ws1,CPE1)"})
            cases.push_back({"measured battery", text, battery});
    } else {
        std::fprintf(stderr, "no %s/battery-zplot-measured.csv: measured cases left out\n", folder.c_str());
    }
    if (ReadCsv(folder + "/../../../tests/logtool/data/two-zarc-synthetic.csv", twoZarc)) {
        for (const char* text : {"R0-p(R1,CPE1)-p(R2,CPE2)", "R0-Zarc1-Zarc2", "R0-p(R1-Wo1,CPE1)", "R0-p(R1-Ws1,CPE1)"})
            cases.push_back({"published two-arc", text, twoZarc});
    }

    // A fit is a hit against a referee when its ssr is within 1e-4 of the lower of the two; the
    // last count is against the best that any of the three found.
    int hitsScattered = 0, hitsRandom = 0, hits = 0, total = 0;
    double autoSeconds = 0.0;
    std::printf("%-20s %-32s %-8s %12s %12s %12s %8s %6s\n", "data", "circuit", "weight", "auto ssr", "scattered",
                "random", "ratio", "starts");
    for (const SweepCase& c : cases) {
        const Circuit circuit = ParseOrExit(c.circuit);
        for (const Weighting weighting : {Weighting::Unit, Weighting::Modulus}) {
            FitOptions options;
            options.weighting = weighting;
            FitResult result;
            std::string error;
            const auto begin = std::chrono::steady_clock::now();
            ++total;
            if (!FitCircuit(circuit, c.spectrum, options, result, error)) {
                std::printf("%-20s %-32s fit failed: %s\n", c.data.c_str(), c.circuit.c_str(), error.c_str());
                continue;
            }
            autoSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            const unsigned seed = 12345u + static_cast<unsigned>(total - 1);
            std::vector<double> scatteredValues, randomValues;
            const double scattered =
                ScatteredReferee(circuit, c.spectrum, weighting, refereeStarts, seed, scatteredValues);
            const double random = RandomRangeReferee(circuit, c.spectrum, weighting, refereeStarts, seed, randomValues);
            const auto within = [&](double referee) { return result.ssr <= std::min(referee, result.ssr) * (1.0 + 1e-4) + 1e-300; };
            const double best = std::min({scattered, random, result.ssr});
            const bool hit = within(best);
            hitsScattered += within(scattered) ? 1 : 0;
            hitsRandom += within(random) ? 1 : 0;
            hits += hit ? 1 : 0;
            std::printf("%-20s %-32s %-8s %12.5g %12.5g %12.5g %8.4f %6d%s\n", c.data.c_str(), c.circuit.c_str(),
                        WeightingName(weighting), result.ssr, scattered, random, result.ssr / best, result.starts,
                        hit ? "" : "  MISS");
            if (!hit) {
                const std::vector<double>& refereeValues = scattered <= random ? scatteredValues : randomValues;
                for (size_t i = 0; i < refereeValues.size(); ++i)
                    std::printf("    %-8s automatic %12.5g   referee %12.5g\n", circuit.parameterNames[i].c_str(),
                                result.values[i], refereeValues[i]);
            }
        }
    }
    std::printf("\nhits: %d of %d against the scattered referee, %d against the random one, %d against both; "
                "automatic fits %.1f ms each on average\n",
                hitsScattered, total, hitsRandom, hits, 1e3 * autoSeconds / std::max(total, 1));
    return 0;
}
