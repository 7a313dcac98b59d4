// Times the live view's fits and validity tests on a synthetic recording at the device's fastest
// rate (1000 spectra a second): a two-RC circuit whose resistances drift, with 0.1 % noise on the
// module and 0.05 degree on the phase, fitted and tested in blocks of one second. The spectra are
// added as fast as they come out of memory, so the worker first falls behind and then catches up;
// what it costs is measured apart from the waiting.
//
//   live_fits_bench [SECONDS]     (seconds of recording, 600 unless given)
#include "live/LiveAnalysis.h"
#include "live/LiveResults.h"

#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double Period_s = 0.001;
const double Frequencies[15] = {1000,  2000,  3000,   4000,   7000,   12000,  19000, 32000,
                                52000, 85000, 140000, 230000, 370000, 610000, 1000000};

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv)
{
    const uint64_t seconds = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 600;
    if (seconds == 0) {
        std::fputs("usage: live_fits_bench [SECONDS]\n", stderr);
        return 2;
    }
    const uint64_t spectra = static_cast<uint64_t>(std::llround(static_cast<double>(seconds) / Period_s));

    LiveAnalysisSettings settings;
    Circuit circuit;
    std::string error;
    if (!ParseCircuit("R0-p(R1,C1)-p(R2,C2)", circuit, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    settings.circuit = circuit;
    settings.check = true;
    settings.every_s = 1.0;
    LiveAnalysis analysis(settings);
    analysis.Restart(Period_s, std::vector<double>(std::begin(Frequencies), std::end(Frequencies)));

    // The records first, so that making them is not timed (one second's worth, reused with drift
    // applied through the count).
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<SpectrumRecord> records(1000);
    const auto makeRecord = [&](uint64_t count, SpectrumRecord& record) {
        const double t = static_cast<double>(count) * Period_s;
        const double r1 = 500 * (1 + 0.2 * std::sin(t / 600)), r2 = 2000 * (1 + 0.1 * t / 3600);
        for (size_t k = 0; k < 15; ++k) {
            const double omega = 2 * std::numbers::pi * Frequencies[k];
            const std::complex<double> z = 50.0 + r1 / std::complex<double>(1.0, omega * r1 * 2e-9) +
                                           r2 / std::complex<double>(1.0, omega * r2 * 1e-8);
            record.Module[k] = static_cast<float>(std::abs(z) * (1 + 1e-3 * noise(random)));
            record.Phase[k] = static_cast<float>(std::arg(z) * 180 / std::numbers::pi + 0.05 * noise(random));
        }
    };

    double adding_s = 0;
    const auto started = Clock::now();
    for (uint64_t first = 0; first < spectra; first += records.size()) {
        const uint64_t count = std::min<uint64_t>(records.size(), spectra - first);
        for (uint64_t i = 0; i < count; ++i)
            makeRecord(first + i, records[i]);
        const auto adding = Clock::now();
        for (uint64_t i = 0; i < count; ++i)
            analysis.Add(first + i, records[i]);
        adding_s += Seconds(adding);
    }
    analysis.Flush();
    while (analysis.Progress().blocksPending != 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const double caughtUp_s = Seconds(started);

    const LiveAnalysisProgress progress = analysis.Progress();
    const double addPerSpectrum_s = adding_s / static_cast<double>(spectra);
    const double workPerBlock_s = progress.busy_s / static_cast<double>(progress.blocksDone);
    const double share = addPerSpectrum_s * 1000 + workPerBlock_s / settings.every_s;
    const size_t perBlock = sizeof(LiveBlockRecord) + circuit.ParameterCount() * sizeof(LiveParameterValue);
    std::printf("%llu spectra in %llu blocks of 1 s, %s with --check\n", static_cast<unsigned long long>(spectra),
                static_cast<unsigned long long>(progress.blocksDone), circuit.text.c_str());
    std::printf("Add: %.3f us per spectrum (%.2f %% of a core at 1000 spectra/s)\n", addPerSpectrum_s * 1e6,
                addPerSpectrum_s * 1000 * 100);
    std::printf("worker: %.3f ms per block (fit and test; %.2f %% of a core at one block a second)\n",
                workPerBlock_s * 1e3, workPerBlock_s / settings.every_s * 100);
    std::printf("following 1000 spectra/s: %.2f %% of one core\n", share * 100);
    std::printf("the whole recording added and analysed after %.2f s (making its records included)\n", caughtUp_s);
    std::printf("results: %zu bytes (%.1f per block); a block costs %zu bytes, a day of blocks %.1f MiB\n",
                progress.bytes, static_cast<double>(progress.bytes) / static_cast<double>(progress.blocksDone), perBlock,
                86400.0 * static_cast<double>(perBlock) / (1 << 20));

    const Json series = analysis.Series(0, static_cast<double>(seconds), 2000);
    size_t notOk = 0;
    for (const Json& status : series["fits"]["status"])
        notOk += status != "ok";
    size_t invalid = 0;
    for (const Json& valid : series["validity"]["valid"])
        invalid += valid != true;
    std::printf("first block: M %s, mu %s, largest residual %s\n", series["validity"]["M"][0].dump().c_str(),
                series["validity"]["mu"][0].dump().c_str(), series["validity"]["largest_residual"][0].dump().c_str());
    std::printf("of %zu blocks shown: %zu not ok, %zu not valid\n", series["fits"]["status"].size(), notOk, invalid);
    return 0;
}
