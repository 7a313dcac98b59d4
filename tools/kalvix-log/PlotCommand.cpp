// kalvix-log plot LOG|CSV --bode|--nyquist -o FILE: a picture of spectra, with a fitted circuit.
#include "fit/Circuit.h"
#include "CommandLine.h"
#include "Commands.h"
#include "fit/Fit.h"
#include "figure/FigureFile.h"
#include "figure/FigureLayout.h"
#include "figure/ImpedanceFigures.h"
#include "data/PathText.h"
#include "data/SmallFile.h"
#include "OutputFile.h"
#include "OutputNames.h"
#include "render/PictureFont.h"
#include "ProgramDirectory.h"
#include "Progress.h"
#include "fit/SavedFit.h"
#include "SpectrumSource.h"

#include <fmt/format.h>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>

namespace {

const char* const PlotHelp =
    "usage: kalvix-log plot LOG|CSV (--bode | --nyquist) -o FILE.png|FILE.svg\n"
    "                       [--spectrum N | --range A:B] [--columns F,RE,IM]\n"
    "                       [--circuit C [--fit-from FIT.json]] [--title TEXT]\n\n"
    "Draws impedance spectra as a picture, PNG or SVG by the name given to -o:\n"
    "  --bode     |Z| on a log scale and the phase in degrees, against frequency on a log scale\n"
    "  --nyquist  -Z'' against Z', one ohm as long on both axes\n"
    "Measured spectra are drawn as markers, a fitted circuit as a line.\n\n"
    "which spectra: --spectrum N (the spectrum whose MeasCount is N), else the first spectrum of\n"
    "the file. --range A:B draws every spectrum of MeasCount A to B as a series of its own, in\n"
    "colours from dark to light; when the range holds more than 24, an evenly spaced 24 of them\n"
    "are drawn (stderr says so). A CSV of frequency, Z', Z'' holds one spectrum (--columns picks\n"
    "its columns, counted from 1).\n\n"
    "--circuit C        fits the circuit C to the spectrum (as kalvix-log fit does, modulus\n"
    "                   weighting) and draws the fitted impedance at 200 frequencies spaced\n"
    "                   evenly on a log scale over the data's span; not with --range\n"
    "--fit-from FIT     draws the circuit with the parameter values of FIT, a file written by\n"
    "                   kalvix-log fit --json, instead of fitting (--circuit may then be left out)\n"
    "--title TEXT       the picture's title (default: the file and the spectrum)\n\n"
    "A PNG's text is drawn with DejaVuSans.ttf, found beside the program; the environment\n"
    "variable KALVIX_LOG_FONT names another TrueType font. An SVG needs no font file.\n"
    "Points that cannot be drawn (not finite, or not positive on a log axis) are left out and\n"
    "counted on stderr.\n";

constexpr size_t MostSeries = 24;
constexpr size_t FitCurvePoints = 200;

PlotCurve CurveOf(const Spectrum& spectrum, std::string label)
{
    return {std::move(label), spectrum.frequency, spectrum.impedance, false};
}

// Every spectrum of the range, or an evenly spaced MostSeries of them. The spectra are kept
// with a stride that doubles (every second one dropped) whenever RangeCandidates are held, so
// memory stays small for a range of any length while the spectra drawn lie within a few percent
// of even spacing. Tells on stderr when not all are drawn.
// `numbered` says what a spectrum's number is: a log's MeasCount, an instrument file's sweep.
std::vector<Spectrum> ReadRange(const CommandLine& line, std::string& numbered)
{
    constexpr size_t RangeCandidates = 1024;
    SpectrumSource source(ReadSourceSettings(line));
    ProgressBar progress("reading");
    std::vector<Spectrum> kept;   // kept[i] is spectrum number i * stride of the range
    Spectrum spectrum, last;
    uint64_t total = 0, stride = 1;
    while (source.Next(spectrum)) {
        progress.Update(source.Progress());
        if (total % stride == 0) {
            kept.push_back(spectrum);
            if (kept.size() == RangeCandidates) {
                for (size_t i = 0; i < RangeCandidates / 2; ++i)
                    kept[i] = std::move(kept[2 * i]);
                kept.resize(RangeCandidates / 2);
                stride *= 2;
            }
        }
        last = spectrum;
        ++total;
    }
    progress.Finish();
    if (total == 0)
        throw InputError(source.NothingSelected());
    numbered = source.IsLog() ? "MeasCount" : "sweep";
    if (total <= MostSeries)
        return kept;
    std::vector<Spectrum> chosen;
    for (size_t k = 0; k < MostSeries; ++k) {
        const uint64_t wanted = static_cast<uint64_t>(std::llround(k * (total - 1.0) / (MostSeries - 1.0)));
        const uint64_t nearest = std::min<uint64_t>((wanted + stride / 2) / stride, kept.size() - 1);
        const bool lastIsNearer = total - 1 - wanted < (wanted > nearest * stride ? wanted - nearest * stride
                                                                                  : nearest * stride - wanted);
        chosen.push_back(lastIsNearer ? last : kept[nearest]);
    }
    fmt::print(stderr, "kalvix-log plot: the range holds {} spectra; {} of them, evenly spaced, are drawn\n", total,
               chosen.size());
    return chosen;
}

// A saved fit is a few kilobytes; anything past this is not one (and /dev/zero never ends).
constexpr size_t LargestSavedFitBytes = 1 << 20;

std::string ReadSavedFitFile(const std::string& path)
{
    std::string text;
    switch (ReadSmallFile(path, LargestSavedFitBytes, text)) {
    case SmallFileRead::CannotOpen:
        throw InputError("cannot open " + path);
    case SmallFileRead::CannotRead:
        throw InputError("cannot read " + path);
    case SmallFileRead::TooLarge:
        throw InputError(path + ": larger than a saved fit can be (1 MiB): not a fit result");
    case SmallFileRead::Read:
        break;
    }
    return text;
}

// The circuit to draw, with its parameter values when they come from a file.
struct CircuitToDraw {
    Circuit circuit;
    std::vector<double> values;   // empty until fitted, when not read from --fit-from
    std::string label;
};

// --circuit and --fit-from, checked before any spectrum is read.
CircuitToDraw PrepareCircuit(const CommandLine& line)
{
    CircuitToDraw draw;
    std::string error;
    const auto circuitText = line.Value("--circuit");
    if (circuitText && !ParseCircuit(*circuitText, draw.circuit, error))
        throw UsageError("--circuit \"" + *circuitText + "\": " + error);
    const auto fitFile = line.Value("--fit-from");
    if (!fitFile) {
        draw.label = "fit " + draw.circuit.text;
        return draw;
    }
    SavedFit saved;
    if (!ParseSavedFit(ReadSavedFitFile(*fitFile), saved, error))
        throw InputError(*fitFile + ": " + error);
    Circuit savedCircuit;
    if (!ParseCircuit(saved.circuit, savedCircuit, error))
        throw InputError(*fitFile + ": its circuit \"" + saved.circuit + "\": " + error);
    if (circuitText && savedCircuit.text != draw.circuit.text)
        throw InputError(*fitFile + " holds a fit of " + savedCircuit.text + ", not of " + draw.circuit.text);
    draw.circuit = savedCircuit;
    draw.values.assign(draw.circuit.ParameterCount(), NAN);
    for (const auto& [name, value] : saved.values) {
        const int index = draw.circuit.ParameterIndex(name);
        if (index < 0)
            throw InputError(*fitFile + ": " + draw.circuit.text + " has no parameter " + name);
        draw.values[index] = value;
    }
    for (size_t i = 0; i < draw.values.size(); ++i)
        if (!std::isfinite(draw.values[i]))
            throw InputError(*fitFile + ": no value for " + draw.circuit.parameterNames[i]);
    draw.label = draw.circuit.text + " (" + FileNameOf(*fitFile) + ")";
    return draw;
}

// Fits the circuit to the spectrum when its values did not come from a file.
void FitWhenNeeded(CircuitToDraw& draw, const Spectrum& spectrum, const std::string& where)
{
    if (!draw.values.empty())
        return;
    FitResult result;
    std::string error;
    if (!FitCircuit(draw.circuit, spectrum, FitOptions{}, result, error))
        throw InputError(where + ": the fit failed: " + error);
    for (const std::string& warning : result.warnings)
        fmt::print(stderr, "kalvix-log plot: fit: {}\n", warning);
    draw.values = result.values;
}

PlotCurve CircuitCurve(const Circuit& circuit, const std::vector<double>& values, const Spectrum& spectrum,
                       std::string label)
{
    double low = INFINITY, high = 0;
    for (double frequency : spectrum.frequency)
        if (std::isfinite(frequency) && frequency > 0) {
            low = std::min(low, frequency);
            high = std::max(high, frequency);
        }
    PlotCurve curve{std::move(label), LogSpacedFrequencies(low, high, FitCurvePoints), {}, true};
    for (double frequency : curve.frequency)
        curve.impedance.push_back(CircuitImpedance(circuit, values.data(), frequency));
    return curve;
}

} // namespace

int RunPlotCommand(const Arguments& arguments)
{
    if (WantsHelp(arguments)) {
        std::fputs(PlotHelp, stdout);
        std::fputs(SourceFilesHelp, stdout);
        return ExitSuccess;
    }
    CommandGrammar grammar{{"-o", "--circuit", "--fit-from", "--title"}, {"--bode", "--nyquist"}, {}, 1, 1};
    AddSourceOptions(grammar);
    const CommandLine line(arguments, grammar);

    if (line.Has("--bode") == line.Has("--nyquist"))
        throw UsageError("give one of --bode and --nyquist");
    const auto output = line.Value("-o");
    if (!output || output->empty())
        throw UsageError("-o FILE.png or -o FILE.svg is missing");
    const PictureFormat format = PictureFormatOf(*output);
    if (format == PictureFormat::Unknown)
        throw UsageError("-o needs a name ending in .png or .svg, not \"" + *output + "\"");
    RefuseOverlappingFiles({{"the file read", line.Positional()[0]}, {"--fit-from", line.Value("--fit-from").value_or("")}},
                           {{"-o", *output}});
    const bool drawCircuit = line.Has("--circuit") || line.Has("--fit-from");
    if (drawCircuit && line.Has("--range"))
        throw UsageError("--circuit and --fit-from draw the fit of one spectrum: use --spectrum N, not --range");
    std::optional<CircuitToDraw> circuit;
    if (drawCircuit)
        circuit = PrepareCircuit(line);
    // The font is looked for before the file is read, so a long read does not end in that error.
    SetPictureFontSearchDirectory(ProgramDirectory());
    std::string error;
    if (std::string fontPath; format == PictureFormat::Png && !FindPictureFont(fontPath, error))
        throw InputError(error);
    OutputFile picture(*output);

    std::vector<PlotCurve> curves;
    std::string title = FileNameOf(line.Positional()[0]);
    if (line.Has("--range")) {
        std::string numbered;
        const std::vector<Spectrum> spectra = ReadRange(line, numbered);
        for (const Spectrum& spectrum : spectra)
            curves.push_back(CurveOf(spectrum, numbered + " " + std::to_string(spectrum.measCount)));
        title += ": " + numbered + " " + std::to_string(spectra.front().measCount) + " to " +
                 std::to_string(spectra.back().measCount);
    } else {
        std::string description;
        const Spectrum spectrum = SelectOneSpectrum(ReadSourceSettings(line), description);
        curves.push_back(CurveOf(spectrum, "measured"));
        // A CSV's description names its path, which the title already holds.
        if (description.find(line.Positional()[0]) == std::string::npos)
            title += ": " + description;
        if (circuit) {
            FitWhenNeeded(*circuit, spectrum, line.Positional()[0] + " (" + description + ")");
            curves.push_back(CircuitCurve(circuit->circuit, circuit->values, spectrum, circuit->label));
        }
    }
    if (const auto custom = line.Value("--title"))
        title = *custom;

    const Figure figure = line.Has("--bode") ? MakeBodeFigure(curves, title) : MakeNyquistFigure(curves, title);
    for (const std::string& skipped : DescribeSkippedPoints(figure))
        fmt::print(stderr, "kalvix-log plot: {}\n", skipped);
    WriteFigureTo(picture, figure);
    return ExitSuccess;
}
