// kalvix-log csv LOG: the log as comma-separated values, wide or long.
#include "CommandLine.h"
#include "Commands.h"
#include "data/CsvText.h"
#include "OutputFile.h"
#include "OutputNames.h"
#include "Progress.h"
#include "SpectrumSource.h"

#include <fmt/format.h>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

const char* const CsvHelp =
    "usage: kalvix-log csv LOG [-o FILE] [--range A:B] [--every N] [--mean N] [--long]\n\n"
    "Writes the spectra of a measurement log as comma-separated values (RFC 4180, CR LF, '.' as\n"
    "decimal point whatever the locale) to FILE, or to standard output without -o.\n\n"
    "  wide (default)  one row per spectrum: MeasCount, time_s, then |Z| (ohm) and phase (degree)\n"
    "                  as logged, Z' and Z'' (ohm) for every frequency, then the status columns\n"
    "                  (PPeriod_us, MaxA, MinA, MaxB, MinB, SysErr, GPIO, Battery_mV, ChargeStatus)\n"
    "  --long          one row per spectrum and frequency: MeasCount, time_s, frequency_Hz,\n"
    "                  Zmod_ohm, phase_deg, Zre_ohm, Zim_ohm (for data-frame users)\n"
    "  --range A:B     only the spectra with MeasCount A to B (either side may be left empty)\n"
    "  --every N       only every Nth spectrum (the first, the N+1st, ...)\n"
    "  --mean N        the complex mean of each block of N spectra (a last, shorter block too);\n"
    "                  MeasCount and status are the block's first, a column 'spectra' counts it\n\n"
    "time_s is MeasCount times the spectrum period (FrequencyDivider, in ms) of the header;\n"
    "MeasCount goes on past 4294967295 where the device's counter wraps. LOG may be - for\n"
    "standard input. A selection without a spectrum is an error (exit code 1).\n";

void AppendFrequencyTitle(std::string& out, const char* what, float frequency)
{
    out += ',';
    out += what;
    out += '_';
    AppendShortestFixed(out, frequency);
    out += "Hz";
}

// |Z| and phase as given (logged, or of a block's complex mean), then Z' and Z''.
void AppendValues(std::string& out, float module, float phase, std::complex<double> z)
{
    const float values[] = {module, phase, static_cast<float>(z.real()), static_cast<float>(z.imag())};
    for (const float value : values) {
        out += ',';
        AppendShortest(out, value);
    }
}

void AppendTime(std::string& out, uint64_t measCount, int32_t divider)
{
    out += ',';
    if (divider > 0)
        AppendShortest(out, static_cast<double>(measCount) * divider / 1000.0);
}

void AppendStatus(std::string& out, const SpectrumRecord& record)
{
    // The record's fields are packed: each is copied (unary +) rather than bound by reference.
    fmt::format_to(std::back_inserter(out), ",{},{},{},{},{},0x{:04X},0x{:02X},{},{}", +record.ProcPeriod,
                   +record.MaxChA, +record.MinChA, +record.MaxChB, +record.MinChB, +record.SysErrors,
                   +record.GPIOStatus, +record.BatteryLevel, +record.ChargerStatus);
}

} // namespace

int RunCsvCommand(const Arguments& arguments)
{
    if (WantsHelp(arguments)) {
        std::fputs(CsvHelp, stdout);
        return ExitSuccess;
    }
    CommandGrammar grammar{{"-o", "--every", "--mean"}, {"--long"}, {}, 1, 1};
    AddSourceOptions(grammar);
    const CommandLine line(arguments, grammar);
    if (line.Has("--spectrum") || line.Has("--columns"))
        throw UsageError("csv takes --range A:B (and reads measurement logs only)");
    const ThinningSettings thinningSettings = ReadThinningSettings(line);
    const bool means = thinningSettings.meanOf != 0;
    const bool longForm = line.Has("--long");
    const std::string outputPath = line.Value("-o").value_or("-");
    RefuseOverlappingFiles({{"the recording", line.Positional()[0]}}, {{"-o", outputPath}});

    SpectrumSource source(ReadSourceSettings(line));
    if (!source.IsLog())
        throw InputError(source.Path() + ": not a measurement log (csv exports logs)");
    const LogHeaderRead& header = *source.Header();
    OutputFile output(outputPath);

    std::string text = "MeasCount";
    if (means)
        text += ",spectra";
    text += ",time_s";
    if (longForm) {
        text += ",frequency_Hz,Zmod_ohm,phase_deg,Zre_ohm,Zim_ohm";
    } else {
        for (const float frequency : header.frequencies)
            for (const char* what : {"Zmod", "phase", "Zre", "Zim"})
                AppendFrequencyTitle(text, what, frequency);
        text += ",PPeriod_us,MaxA,MinA,MaxB,MinB,SysErr,GPIO,Battery_mV,ChargeStatus";
    }
    EndCsvRow(text);

    // A kept spectrum's module and phase are copied as logged; a block mean's come from its
    // complex mean.
    auto appendPoint = [&](const SpectrumRecord& first, const std::complex<double>& z, size_t k) {
        if (means)
            AppendValues(text, static_cast<float>(std::abs(z)), static_cast<float>(std::arg(z) * 180 / std::numbers::pi), z);
        else
            AppendValues(text, first.Module[k], first.Phase[k], z);
    };
    uint64_t rows = 0;
    auto writeRow = [&](const SpectrumRecord& first, const ThinnedSpectrum& kept) {
        const std::vector<std::complex<double>>& z = kept.spectrum.impedance;
        for (size_t i = 0; i < (longForm ? z.size() : 1); ++i) {
            text += std::to_string(kept.spectrum.measCount);
            if (means)
                text += ',' + std::to_string(kept.spectra);
            AppendTime(text, kept.spectrum.measCount, header.divider);
            if (longForm) {
                text += ',';
                AppendShortestFixed(text, header.frequencies[i]);
                appendPoint(first, z[i], i);
            } else {
                for (size_t k = 0; k < z.size(); ++k)
                    appendPoint(first, z[k], k);
                AppendStatus(text, first);
            }
            EndCsvRow(text);
        }
        ++rows;
        output.WriteWhenFull(text);
    };

    ProgressBar progress("csv");
    SpectrumThinning thinning(thinningSettings);
    SpectrumRecord first{};   // the record of the kept spectrum, or of a block's first
    auto writeReady = [&] {
        writeRow(first, thinning.Take());
    };
    Spectrum spectrum;
    while (source.Next(spectrum)) {
        progress.Update(source.Progress());
        if (thinning.Offer(spectrum) == SpectrumThinning::Step::Started)
            first = source.Record();
        if (thinning.Ready())
            writeReady();
    }
    if (thinning.FinishLastBlock())
        writeReady();
    progress.Finish();
    if (rows == 0)
        throw InputError(source.NothingSelected());
    output.Write(text);
    output.Commit();
    return ExitSuccess;
}
