// Writes a synthetic measurement log, exactly as the control panel writes one, of an object
// R0 + R1 || C1 measured at the device's 15 frequencies: for the log tool's benchmarks and for
// trying it on a recording of any length without a device.
//
//   make_recording OUT.txt SPECTRA [--divider D] [--noise-ppm P] [--step-at N] [--gap-every K]
//
// --step-at N: R1 grows by 20% from MeasCount N on; --gap-every K: one spectrum in K is lost
// (its MeasCount skipped), as when the host falls behind.
#include "SyntheticRecording.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

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
    const std::string header = SyntheticHeader(divider);
    std::fwrite(header.data(), 1, header.size(), file);

    SyntheticSpectra synthetic(noisePpm);
    std::string rows;
    unsigned long long count = 0;
    for (unsigned long long written = 0; written < spectra; ++count) {
        if (gapEvery && count % gapEvery == gapEvery - 1)
            continue;
        AppendSyntheticRow(rows, SyntheticSpectrum(synthetic, count, count >= stepAt ? 1200.0 : 1000.0));
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
