// kalvix-log track LOG --circuit C: every spectrum of a recording fitted in order, as a table of
// the parameters against MeasCount and time, and a picture of them.
#include "CommandLine.h"
#include "Commands.h"
#include "data/CsvText.h"
#include "figure/FigureFile.h"
#include "FitSettings.h"
#include "OutputFile.h"
#include "Progress.h"
#include "data/SeriesThinning.h"
#include "SpectrumSource.h"
#include "figure/TrackFigure.h"
#include "fit/TrackFitting.h"
#include "fit/ParameterUnits.h"

#include <cstdio>
#include <filesystem>

namespace {

const char* const TrackHelp =
    "usage: kalvix-log track LOG --circuit C -o FILE.csv [--every N | --mean N] [--range A:B]\n"
    "                        [--weight unit|modulus|proportional] [--fix NAME=VALUE ...]\n"
    "                        [--guess NAME=VALUE ...] [--plot FILE.png|FILE.svg] [--threads N]\n\n"
    "Fits the circuit to every spectrum of the log in order (or every Nth, or the complex mean of\n"
    "each block of N), each started from the result of the one before, so that two similar\n"
    "elements keep their identity from one spectrum to the next; the work is spread over all\n"
    "cores (--threads sets how many). The first spectrum is fitted from several starts, as fit\n"
    "does (--guess and --fix as there).\n\n"
    "The table (CSV, RFC 4180) has one row per fitted spectrum: MeasCount, time_s (MeasCount\n"
    "times the spectrum period of the header), spectra (with --mean), each parameter and its\n"
    "standard error (NAME, NAME_stderr), chi2_reduced, and status: ok, 'not converged', or why\n"
    "the spectrum could not be fitted (its values are then empty; the row is kept).\n"
    "--plot draws each parameter against time, with a band of one standard error.\n";

void AppendOptionalNumber(std::string& out, bool present, double value)
{
    out += ',';
    if (present)
        AppendCsvNumber(out, value);
}

} // namespace

int RunTrackCommand(const Arguments& arguments)
{
    if (WantsHelp(arguments)) {
        std::fputs(TrackHelp, stdout);
        return ExitSuccess;
    }
    CommandGrammar grammar{{"-o", "--every", "--mean", "--plot", "--threads"}, {}, {}, 1, 1};
    AddSourceOptions(grammar);
    AddFitOptions(grammar);
    const CommandLine line(arguments, grammar);
    if (line.Has("--spectrum") || line.Has("--columns"))
        throw UsageError("track takes --range A:B (and reads measurement logs only)");
    if (!line.Has("-o"))
        throw UsageError("-o FILE.csv is missing: where the table goes");
    if (const auto plot = line.Value("--plot"); plot && PictureFormatOf(*plot) == PictureFormat::Unknown)
        throw UsageError("--plot needs a .png or .svg file name, not \"" + *plot + "\"");
    const Circuit circuit = ReadCircuitOption(line);
    const FitOptions options = ReadFitOptions(line, circuit);
    const SpectrumThinning thinning = ReadSpectrumThinning(line);
    const uint64_t every = thinning.every, meanOf = thinning.meanOf;  // plain names: lambdas capture them
    TrackSettings settings;
    settings.threads = static_cast<unsigned>(line.Integer("--threads", 1, 256).value_or(0));

    SpectrumSource source(line);
    if (!source.IsLog())
        throw InputError(source.Path() + ": not a measurement log (track fits recordings)");
    const int32_t divider = source.Header()->divider;
    OutputFile output(*line.Value("-o"));

    std::string text = "MeasCount,time_s";
    if (meanOf)
        text += ",spectra";
    for (const std::string& name : circuit.parameterNames)
        text += ',' + name + ',' + name + "_stderr";
    text += ",chi2_reduced,status";
    EndCsvRow(text);

    // Every spectrum (or every Nth, or block means) as the fitter asks for the next.
    uint64_t seen = 0;
    ProgressBar progress("track");
    auto next = [&](TrackItem& item) {
        Spectrum spectrum;
        while (source.Next(spectrum)) {
            progress.Update(source.Progress());
            if (seen++ % every != 0)
                continue;
            if (!meanOf) {
                item.spectrum = std::move(spectrum);
                item.spectra = 1;
                return true;
            }
            if (item.spectra == 0 || item.spectrum.impedance.empty()) {
                item.spectrum = std::move(spectrum);
                item.spectra = 1;
            } else {
                for (size_t i = 0; i < item.spectrum.impedance.size(); ++i)
                    item.spectrum.impedance[i] += spectrum.impedance[i];
                ++item.spectra;
            }
            if (item.spectra == meanOf)
                break;
        }
        if (!meanOf || item.spectrum.impedance.empty())
            return false;
        for (auto& value : item.spectrum.impedance)
            value /= static_cast<double>(item.spectra);
        return true;
    };

    std::vector<ThinnedSeries> series(circuit.parameterNames.size());
    uint64_t fitted = 0, failed = 0, notConverged = 0;
    auto take = [&](const TrackItem& item, const TrackOutcome& outcome) {
        const double time = divider > 0 ? static_cast<double>(item.spectrum.measCount) * divider / 1000.0 : 0.0;
        text += std::to_string(item.spectrum.measCount);
        AppendOptionalNumber(text, divider > 0, time);
        if (meanOf)
            text += ',' + std::to_string(item.spectra);
        for (size_t p = 0; p < circuit.parameterNames.size(); ++p) {
            const bool present = outcome.fitted;
            AppendOptionalNumber(text, present, present ? outcome.fit.parameters[p].value : 0.0);
            AppendOptionalNumber(text, present, present ? outcome.fit.parameters[p].stdError : 0.0);
            if (present)
                series[p].Add({time, outcome.fit.parameters[p].value, outcome.fit.parameters[p].stdError});
        }
        AppendOptionalNumber(text, outcome.fitted, outcome.fitted ? outcome.fit.chi2Reduced : 0.0);
        text += ',';
        if (!outcome.fitted) {
            AppendCsvField(text, outcome.error);
            ++failed;
        } else if (!outcome.fit.converged) {
            text += "not converged";
            ++notConverged;
        } else {
            text += "ok";
        }
        EndCsvRow(text);
        output.WriteWhenFull(text);
        ++fitted;
    };
    RunTrack(circuit, options, settings, next, take);
    progress.Finish();
    output.Write(text);
    output.Commit();

    if (const auto plot = line.Value("--plot")) {
        std::vector<TrackSeries> tracks;
        for (size_t p = 0; p < series.size(); ++p) {
            TrackSeries track{circuit.parameterNames[p], ParameterUnit(circuit, p), {}, {}, {}};
            for (const SeriesPoint& point : series[p].Points()) {
                track.time.push_back(point.time);
                track.value.push_back(point.value);
                track.error.push_back(point.error);
            }
            tracks.push_back(std::move(track));
        }
        std::string error;
        if (!WriteFigure(MakeTrackFigure(tracks, circuit.text + " over " + std::filesystem::path(source.Path()).filename().string()), *plot, error))
            throw InputError(*plot + ": " + error);
    }
    std::fprintf(stderr, "track: %llu spectra fitted", static_cast<unsigned long long>(fitted - failed));
    if (notConverged)
        std::fprintf(stderr, ", %llu of them not converged", static_cast<unsigned long long>(notConverged));
    if (failed)
        std::fprintf(stderr, ", %llu could not be fitted (their rows say why)", static_cast<unsigned long long>(failed));
    std::fputc('\n', stderr);
    return ExitSuccess;
}
