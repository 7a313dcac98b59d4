// kalvix-log track LOG --circuit C: every spectrum of a recording fitted in order, as a table of
// the parameters against MeasCount and time, and a picture of them.
#include "CommandLine.h"
#include "Commands.h"
#include "figure/FigureFile.h"
#include "FitSettings.h"
#include "OutputFile.h"
#include "OutputNames.h"
#include "data/PathText.h"
#include "Progress.h"
#include "SpectrumSource.h"
#include "figure/TrackFigure.h"
#include "fit/TrackTable.h"

#include <fmt/format.h>
#include <cstdio>
#include <optional>

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
    const ThinningSettings thinningSettings = ReadThinningSettings(line);
    TrackSettings settings;
    settings.threads = static_cast<unsigned>(line.Integer("--threads", 1, 256).value_or(0));
    RefuseOverlappingFiles({{"the recording", line.Positional()[0]}},
                           {{"-o", *line.Value("-o")}, {"--plot", line.Value("--plot").value_or("")}});

    SpectrumSource source(ReadSourceSettings(line));
    if (!source.IsLog())
        throw InputError(source.Path() + ": not a measurement log (track fits recordings)");
    OutputFile output(*line.Value("-o"));
    std::optional<OutputFile> picture;
    if (const auto plot = line.Value("--plot"))
        picture.emplace(*plot);

    TrackTable table(circuit, source.Header()->divider, thinningSettings.meanOf != 0);
    std::string text;
    table.AppendHeader(text);

    // Every spectrum (or every Nth, or block means) as the fitter asks for the next.
    SpectrumThinning thinning(thinningSettings);
    ProgressBar progress("track");
    auto next = [&](TrackItem& item) {
        Spectrum spectrum;
        while (!thinning.Ready() && source.Next(spectrum)) {
            progress.Update(source.Progress());
            thinning.Offer(spectrum);
        }
        if (!thinning.FinishLastBlock())
            return false;
        ThinnedSpectrum kept = thinning.Take();
        item.spectrum = std::move(kept.spectrum);
        item.spectra = kept.spectra;
        return true;
    };
    auto take = [&](const TrackItem& item, const TrackOutcome& outcome) {
        table.AppendRow(text, item, outcome);
        output.WriteWhenFull(text);
    };
    RunTrack(circuit, options, settings, next, take);
    progress.Finish();
    if (table.Rows() == 0)
        throw InputError(source.NothingSelected());
    output.Write(text);
    output.Commit();

    if (picture)
        WriteFigureTo(*picture, MakeTrackFigure(table.Series(), circuit.text + " over " + FileNameOf(source.Path())));
    const uint64_t fitted = table.Rows(), failed = table.Unfitted(), notConverged = table.NotConverged();
    fmt::print(stderr, "track: {} spectra fitted", fitted - failed);
    if (notConverged)
        fmt::print(stderr, ", {} of them not converged", notConverged);
    if (failed)
        fmt::print(stderr, ", {} could not be fitted (their rows say why)", failed);
    std::fputc('\n', stderr);
    if (failed == fitted)
        throw InputError(source.Path() + ": none of its " + std::to_string(fitted) +
                         " spectra could be fitted (the status column of " + *line.Value("-o") + " says why)");
    return ExitSuccess;
}
