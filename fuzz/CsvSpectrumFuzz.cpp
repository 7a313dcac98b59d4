// Any text read as a CSV spectrum with any columns: it reads or gives a reason, and what it
// reads is finite with positive frequencies.
#include "data/CsvSpectrum.h"
#include "FuzzInput.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    CsvColumns columns;
    columns.frequency = 1 + input.Below(4);
    columns.real = 1 + input.Below(4);
    columns.imaginary = 1 + input.Below(4);
    const std::string text(reinterpret_cast<const char*>(data), size);
    LooksLikeCsvOfNumbers(text);
    Spectrum spectrum;
    std::string error;
    if (!ParseCsvSpectrum(text, columns, spectrum, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(!spectrum.frequency.empty() && spectrum.frequency.size() == spectrum.impedance.size());
    for (size_t i = 0; i < spectrum.frequency.size(); ++i)
        FUZZ_CHECK(spectrum.frequency[i] > 0 && std::isfinite(spectrum.frequency[i]) &&
                   std::isfinite(spectrum.impedance[i].real()) && std::isfinite(spectrum.impedance[i].imag()));
    return 0;
}
