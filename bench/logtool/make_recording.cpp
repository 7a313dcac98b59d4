// Writes a synthetic measurement log, exactly as the control panel writes one, of an object
// R0 + R1 || C1 measured at the device's 15 frequencies: for the log tool's benchmarks and for
// trying it on a recording of any length without a device.
//
//   make_recording OUT.txt SPECTRA [--divider D] [--noise-ppm P] [--step-at N] [--gap-every K]
//
// --step-at N: R1 grows by 20% from MeasCount N on; --gap-every K: one spectrum in K is lost
// (its MeasCount skipped), as when the host falls behind.
#include "LogFormat.h"
#include "TextFormat.h"

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

const float Frequencies[15] = {1000,  2000,  3000,   4000,   7000,   12000,  19000,  32000,
                               52000, 85000, 139000, 228000, 373000, 611000, 1000000};

int Usage()
{
    std::fputs("usage: make_recording OUT.txt SPECTRA [--divider D] [--noise-ppm P] [--step-at N] [--gap-every K]\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    const char* path = argv[1];
    const unsigned long long spectra = std::strtoull(argv[2], nullptr, 10);
    int divider = 1;
    double noisePpm = 1000;
    unsigned long long stepAt = ~0ull, gapEvery = 0;
    for (int i = 3; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--divider"))
            divider = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--noise-ppm"))
            noisePpm = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--step-at"))
            stepAt = std::strtoull(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--gap-every"))
            gapEvery = std::strtoull(argv[i + 1], nullptr, 10);
        else
            return Usage();
    }
    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        std::perror(path);
        return 1;
    }
    static const float Shunt[30] = {}, Comp[30] = {};
    std::vector<char> buffer(1 << 20);
    TextSink header = MakeTextSink(buffer.data(), buffer.size());
    FormatLogHeader(header, {"recording.txt", {2026, 12, 10, 8, 0, 0}, "Kalvix synthetic recording", "KX0", "none",
                             divider, 90, "1x", "1x", 0, 0, 0, 0, Frequencies, Shunt, Comp});
    std::fwrite(buffer.data(), 1, header.length, file);

    std::mt19937_64 random(1);
    std::normal_distribution<double> noise(0.0, noisePpm * 1e-6);
    const double r0 = 100, c1 = 1e-8;
    std::string rows;
    unsigned long long count = 0;
    for (unsigned long long written = 0; written < spectra; ++count) {
        if (gapEvery && count % gapEvery == gapEvery - 1)
            continue;
        const double r1 = count >= stepAt ? 1200.0 : 1000.0;
        SpectrumRecord record{};
        record.MeasCount = static_cast<uint32_t>(count);
        record.ProcPeriod = 1000;
        record.MaxChA = 2399, record.MinChA = 1697, record.MaxChB = 2368, record.MinChB = 1728;
        record.BatteryLevel = 4030;
        record.ChargerStatus = 1;
        for (int k = 0; k < 15; ++k) {
            const double omega = 2 * std::numbers::pi * Frequencies[k];
            const std::complex<double> z = r0 + r1 / std::complex<double>(1.0, omega * r1 * c1);
            record.Module[k] = static_cast<float>(std::abs(z) * (1 + noise(random)));
            record.Phase[k] = static_cast<float>(std::arg(z) * 180 / std::numbers::pi + noise(random) * 57.3);
        }
        char row[512];
        TextSink sink = MakeTextSink(row, sizeof row);
        FormatLogRow(sink, record);
        rows.append(row, sink.length);
        if (rows.size() > (1 << 20)) {
            std::fwrite(rows.data(), 1, rows.size(), file);
            rows.clear();
        }
        ++written;
    }
    std::fwrite(rows.data(), 1, rows.size(), file);
    if (std::fclose(file) != 0) {
        std::perror(path);
        return 1;
    }
    return 0;
}
