#include "SyntheticRecording.h"

#include "LogFormat.h"
#include "TextFormat.h"

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace {

const float Frequencies[15] = {1000,  2000,  3000,   4000,   7000,   12000,  19000,  32000,
                               52000, 85000, 139000, 228000, 373000, 611000, 1000000};

} // namespace

std::string SyntheticHeader(int divider)
{
    static const float Shunt[30] = {}, Comp[30] = {};
    std::vector<char> buffer(1 << 16);
    TextSink header = MakeTextSink(buffer.data(), buffer.size());
    FormatLogHeader(header, {"recording.txt", {2026, 12, 10, 8, 0, 0}, "Kalvix synthetic recording", "KX0", "none",
                             divider, 90, "1x", "1x", 0, 0, 0, 0, Frequencies, Shunt, Comp});
    return std::string(buffer.data(), header.length);
}

SpectrumRecord SyntheticSpectrum(SyntheticSpectra& spectra, uint64_t count, double r1)
{
    const double r0 = 100, c1 = 1e-8;
    SpectrumRecord record{};
    record.MeasCount = static_cast<uint32_t>(count);
    record.ProcPeriod = 1000;
    record.MaxChA = 2399, record.MinChA = 1697, record.MaxChB = 2368, record.MinChB = 1728;
    record.BatteryLevel = 4030;
    record.ChargerStatus = 1;
    for (int k = 0; k < 15; ++k) {
        const double omega = 2 * std::numbers::pi * Frequencies[k];
        const std::complex<double> z = r0 + r1 / std::complex<double>(1.0, omega * r1 * c1);
        record.Module[k] = static_cast<float>(std::abs(z) * (1 + spectra.noise(spectra.random)));
        record.Phase[k] = static_cast<float>(std::arg(z) * 180 / std::numbers::pi + spectra.noise(spectra.random) * 57.3);
    }
    return record;
}

void AppendSyntheticRow(std::string& rows, const SpectrumRecord& record)
{
    char row[512];
    TextSink sink = MakeTextSink(row, sizeof row);
    FormatLogRow(sink, record);
    rows.append(row, sink.length);
}
