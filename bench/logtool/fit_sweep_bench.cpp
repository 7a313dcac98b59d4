// How often the automatic fit reaches the best minimum: circuits of 4 to 9 parameters on spectra
// simulated from known values with noise and on public measured spectra, under unit and modulus
// weighting, each compared with a referee that runs many random starts to convergence.
//
//   fit_sweep_bench [data folder] [random starts per case]
//
// The data folder holds battery-zplot-measured.csv (bench/logtool/data) and
// two-zarc-synthetic.csv (tests/logtool/data is searched next to it). A case is a hit when the
// automatic fit's sum of squares is within 1e-4 (relative) of the best either of them found.
#include "FitBenchSpectra.h"
#include "fit/Fit.h"
#include "fit/FitProblem.h"
#include "fit/FitStarts.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
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

// The best sum of squares from `count` random starts: each automatic start with every free
// parameter multiplied by 10^U(-2, 2) (exponents drawn from U(0.3, 1)), run to convergence.
double Referee(const Circuit& circuit, const Spectrum& spectrum, Weighting weighting, int count, unsigned seed,
               std::vector<double>& bestValues)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> decades(-2.0, 2.0), exponent(0.3, 1.0);
    const std::vector<std::vector<double>> starts = BuildStarts(circuit, spectrum);
    const size_t n = circuit.ParameterCount();
    std::vector<bool> isFreeVector(n, true);
    bool isFree[FitMaxParameters];
    for (size_t i = 0; i < n; ++i)
        isFree[i] = true;
    FitProblem problem(circuit, spectrum, weighting);
    const double tiny = 1e-28 * problem.DataNorm();
    double best = std::numeric_limits<double>::infinity();
    FitVector theta;
    for (int r = 0; r < count; ++r) {
        std::vector<double> start = starts[static_cast<size_t>(r) % starts.size()];
        for (size_t i = 0; i < n; ++i)
            start[i] = circuit.parameterKinds[i] == ParameterKind::Exponent ? exponent(random)
                                                                             : start[i] * std::pow(10.0, decades(random));
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

} // namespace

int main(int argc, char** argv)
{
    const std::string folder = argc > 1 ? argv[1] : "bench/logtool/data";
    const int refereeStarts = argc > 2 ? std::atoi(argv[2]) : 300;
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

    int hits = 0, total = 0;
    double autoSeconds = 0.0;
    std::printf("%-20s %-32s %-8s %12s %12s %8s %6s\n", "data", "circuit", "weight", "auto ssr", "referee", "ratio",
                "starts");
    for (const SweepCase& c : cases) {
        const Circuit circuit = ParseOrExit(c.circuit);
        for (const Weighting weighting : {Weighting::Unit, Weighting::Modulus}) {
            FitOptions options;
            options.weighting = weighting;
            FitResult result;
            std::string error;
            const auto begin = std::chrono::steady_clock::now();
            if (!FitCircuit(circuit, c.spectrum, options, result, error)) {
                std::printf("%-20s %-32s fit failed: %s\n", c.data.c_str(), c.circuit.c_str(), error.c_str());
                ++total;
                continue;
            }
            autoSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            std::vector<double> refereeValues;
            const double referee = Referee(circuit, c.spectrum, weighting, refereeStarts,
                                           12345u + static_cast<unsigned>(total), refereeValues);
            const double best = std::min(referee, result.ssr);
            const bool hit = result.ssr <= best * (1.0 + 1e-4) + 1e-300;
            hits += hit ? 1 : 0;
            ++total;
            std::printf("%-20s %-32s %-8s %12.5g %12.5g %8.4f %6d%s\n", c.data.c_str(), c.circuit.c_str(),
                        WeightingName(weighting), result.ssr, referee, result.ssr / best, result.starts,
                        hit ? "" : "  MISS");
            if (!hit)
                for (size_t i = 0; i < refereeValues.size(); ++i)
                    std::printf("    %-8s automatic %12.5g   referee %12.5g\n", circuit.parameterNames[i].c_str(),
                                result.values[i], refereeValues[i]);
        }
    }
    std::printf("\nhit rate: %d of %d; automatic fits %.1f ms each on average\n", hits, total,
                1e3 * autoSeconds / std::max(total, 1));
    return 0;
}
