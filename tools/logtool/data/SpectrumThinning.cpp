#include "SpectrumThinning.h"

#include <utility>

SpectrumThinning::SpectrumThinning(ThinningSettings settings) : settings_(settings)
{
    if (settings_.every == 0)
        settings_.every = 1;
}

SpectrumThinning::Step SpectrumThinning::Offer(const Spectrum& spectrum)
{
    if (offered_++ % settings_.every != 0)
        return Step::Skipped;
    if (settings_.meanOf == 0) {
        current_.spectrum = spectrum;
        current_.spectra = 1;
        current_.lastMeasCount = spectrum.measCount;
        ready_ = true;
        return Step::Started;
    }
    // A block's sum starts from zero, so every mean is the same arithmetic whatever its size.
    const bool starts = current_.spectra == 0;
    if (starts) {
        current_.spectrum.frequency = spectrum.frequency;
        current_.spectrum.measCount = spectrum.measCount;
        current_.spectrum.line = spectrum.line;
        current_.spectrum.impedance.assign(spectrum.impedance.size(), {});
    }
    for (size_t i = 0; i < spectrum.impedance.size() && i < current_.spectrum.impedance.size(); ++i)
        current_.spectrum.impedance[i] += spectrum.impedance[i];
    current_.lastMeasCount = spectrum.measCount;
    if (++current_.spectra == settings_.meanOf)
        FinishLastBlock();
    return starts ? Step::Started : Step::Added;
}

bool SpectrumThinning::FinishLastBlock()
{
    if (ready_ || current_.spectra == 0)
        return ready_;
    if (settings_.meanOf != 0)
        for (auto& value : current_.spectrum.impedance)
            value /= static_cast<double>(current_.spectra);
    ready_ = true;
    return true;
}

ThinnedSpectrum SpectrumThinning::Take()
{
    ready_ = false;
    ThinnedSpectrum taken = std::move(current_);
    current_ = {};
    return taken;
}
