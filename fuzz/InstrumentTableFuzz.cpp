// Any text read as another instrument's file: it reads or gives a reason, and what it reads is
// finite with positive frequencies, every sweep non-empty and numbered in order.
#include "data/InstrumentTable.h"
#include "FuzzInput.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    InstrumentFormatOf(text);
    HasImpedanceTitles(text);
    UnreadFormatNamed(text);
    std::vector<Spectrum> spectra;
    std::string error;
    if (!ParseInstrumentTable(text, spectra, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(!spectra.empty());
    for (size_t s = 0; s < spectra.size(); ++s) {
        const Spectrum& spectrum = spectra[s];
        FUZZ_CHECK(spectrum.measCount == s);
        FUZZ_CHECK(!spectrum.frequency.empty() && spectrum.frequency.size() == spectrum.impedance.size());
        for (size_t i = 0; i < spectrum.frequency.size(); ++i)
            FUZZ_CHECK(spectrum.frequency[i] > 0 && std::isfinite(spectrum.frequency[i]) &&
                       std::isfinite(spectrum.impedance[i].real()) && std::isfinite(spectrum.impedance[i].imag()));
    }
    return 0;
}
