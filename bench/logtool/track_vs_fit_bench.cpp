// How often `track`'s chained fits end above what `fit` finds for the same spectrum: drifting
// synthetic recordings (every value moving smoothly from one set to another over the recording,
// with noise), tracked in chunks as the track command does, and every spectrum also fitted on its
// own from the automatic starts.
//
//   track_vs_fit_bench [spectra per recording, 300] [chunk size, 256]
//
// Prints per recording how many tracked fits end more than 1% above the fresh fit's sum of
// squares (and how many below it), the worst ratio, and the time per spectrum of each (one thread).
#include "FitBenchSpectra.h"
#include "fit/Fit.h"
#include "fit/TrackFitting.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct DriftingRecording {
    const char* circuit;
    std::vector<double> from, to;   // the values at the first and the last spectrum
    double noise;                   // relative, on each of Z' and Z''
};

// Positive values move geometrically, exponents linearly.
std::vector<double> ValuesAt(const Circuit& circuit, const DriftingRecording& r, double share)
{
    std::vector<double> values(r.from.size());
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = circuit.parameterKinds[i] == ParameterKind::Exponent
                        ? r.from[i] + share * (r.to[i] - r.from[i])
                        : r.from[i] * std::pow(r.to[i] / r.from[i], share);
    return values;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv)
{
    const size_t count = argc > 1 ? static_cast<size_t>(std::atoi(argv[1])) : 300;
    const size_t chunk = argc > 2 ? static_cast<size_t>(std::atoi(argv[2])) : 256;
    const DriftingRecording recordings[] = {
        // Two CPE arcs whose time constants cross while one exponent runs up to 1.
        {"R0-p(R1,CPE1)-p(R2,CPE2)", {10, 100, 1e-5, 0.85, 300, 1e-3, 0.75}, {12, 300, 1e-4, 0.99, 80, 1e-4, 0.9}, 0.005},
        // Two CPE arcs, the second shrinking to almost nothing.
        {"R0-p(R1,CPE1)-p(R2,CPE2)", {10, 100, 1e-5, 0.85, 300, 1e-3, 0.75}, {10, 100, 1e-5, 0.85, 0.5, 1e-3, 0.75}, 0.005},
        // One CPE arc whose exponent reaches 1.
        {"R0-p(R1,CPE1)", {10, 100, 1e-6, 0.9}, {10, 150, 2e-6, 0.999}, 0.003},
        // A finite-length Warburg inside the arc's branch, its time constant moving two decades.
        {"R0-p(R1-Wo1,CPE1)", {10, 50, 200, 0.2, 1e-5, 0.9}, {10, 80, 100, 20.0, 2e-5, 0.8}, 0.005},
        // A battery-like circuit of 9 parameters, charge transfer growing.
        {"L0-R0-p(R1,CPE1)-p(R2,CPE2)-W1", {1e-6, 0.02, 0.01, 0.5, 0.8, 0.03, 20, 0.7, 0.005},
         {1e-6, 0.02, 0.012, 0.5, 0.85, 0.09, 10, 0.65, 0.008}, 0.003},
        // Two Zarcs whose time constants pass each other, at 0.5% and at 1% noise.
        {"R0-Zarc1-Zarc2", {3, 20, 1e-4, 0.8, 80, 0.05, 0.7}, {3, 60, 0.2, 0.9, 40, 1e-4, 0.8}, 0.005},
        {"R0-Zarc1-Zarc2", {3, 20, 1e-4, 0.8, 80, 0.05, 0.7}, {3, 60, 0.2, 0.9, 40, 1e-4, 0.8}, 0.01},
        // Two RC arcs trading places, with a Warburg tail.
        {"R0-p(R1,C1)-p(R2,C2)-W1", {5, 40, 1e-6, 200, 1e-4, 30}, {5, 200, 1e-4, 40, 1e-6, 60}, 0.005},
    };
    const std::vector<double> frequencies = LogFrequencies(0.01, 1e5, 40);
    size_t totalAbove = 0, totalFits = 0;
    double trackSeconds = 0.0, fitSeconds = 0.0;
    std::printf("%-32s %8s %8s %10s %12s %12s %8s\n", "circuit", "above1%", "below1%", "worst", "track ms", "fit ms",
                "fresh");
    for (const DriftingRecording& r : recordings) {
        const Circuit circuit = ParseOrExit(r.circuit);
        std::mt19937 random(7);
        std::vector<Spectrum> spectra;
        for (size_t i = 0; i < count; ++i)
            spectra.push_back(SimulateSpectrum(circuit, ValuesAt(circuit, r, static_cast<double>(i) / (count - 1)),
                                               frequencies, r.noise, random));

        std::vector<double> tracked(count, std::nan("")), fresh(count, std::nan(""));
        size_t next = 0, freshRuns = 0;
        auto begin = std::chrono::steady_clock::now();
        RunTrack(
            circuit, FitOptions{}, TrackSettings{chunk, 1},
            [&](TrackItem& item) {
                if (next == count)
                    return false;
                item.spectrum = spectra[next];
                item.spectrum.measCount = next++;
                return true;
            },
            [&](const TrackItem& item, const TrackOutcome& outcome) {
                if (outcome.fitted)
                    tracked[item.spectrum.measCount] = outcome.fit.ssr;
                freshRuns += outcome.fitted && outcome.fit.starts > 1 ? 1 : 0;
            });
        const double trackTime = Seconds(begin);
        begin = std::chrono::steady_clock::now();
        FitResult result;
        std::string error;
        for (size_t i = 0; i < count; ++i)
            if (FitCircuit(circuit, spectra[i], FitOptions{}, result, error))
                fresh[i] = result.ssr;
        const double fitTime = Seconds(begin);

        size_t above = 0, below = 0;
        double worst = 0.0;
        for (size_t i = 0; i < count; ++i) {
            const double ratio = tracked[i] / fresh[i];
            above += !(ratio <= 1.01) ? 1 : 0;   // a failed track fit counts as above
            below += ratio < 0.99 ? 1 : 0;
            worst = std::max(worst, std::isfinite(ratio) ? ratio : 0.0);
        }
        std::printf("%-32s %8zu %8zu %10.4f %12.3f %12.3f %8zu\n", r.circuit, above, below, worst,
                    1e3 * trackTime / count, 1e3 * fitTime / count, freshRuns);
        totalAbove += above;
        totalFits += count;
        trackSeconds += trackTime;
        fitSeconds += fitTime;
    }
    std::printf("\nabove fit by more than 1%%: %zu of %zu; track %.3f ms, fit %.3f ms per spectrum\n", totalAbove,
                totalFits, 1e3 * trackSeconds / totalFits, 1e3 * fitSeconds / totalFits);
    return 0;
}
