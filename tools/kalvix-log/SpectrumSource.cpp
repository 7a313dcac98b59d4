#include "SpectrumSource.h"

#include "MeasCountAxis.h"
#include "TextInput.h"
#include "data/CsvSpectrum.h"
#include "data/InstrumentTable.h"

#include <fmt/format.h>
#include <cstdio>

namespace {

// The rest of a CSV file, whose first bytes were judged, into a spectrum.
void ReadCsvFile(TextLines& lines, const std::string& path, const CsvColumns& columns, Spectrum& spectrum)
{
    CsvSpectrumReading reading;
    reading.columns = columns;
    std::string error;
    TextLine line;
    while (lines.Next(line))
        if (!ReadCsvSpectrumLine(reading, line.text, line.number, error))
            throw InputError(path + ": " + error);
    if (!lines.ReadError().empty())
        throw InputError(path + ": " + lines.ReadError());
    if (!FinishCsvSpectrum(reading, error))
        throw InputError(path + ": " + error);
    spectrum = std::move(reading.spectrum);
}

// The rest of an instrument's file (or a CSV with titles) into its sweeps; errors name the format.
void ReadInstrumentFile(TextLines& lines, const std::string& path, const std::string& format,
                        std::vector<Spectrum>& spectra)
{
    const std::string where = path + ": " + (format == "CSV" ? std::string() : "a " + format + " file, but ");
    InstrumentTableReading reading;
    std::string error;
    TextLine line;
    while (lines.Next(line))
        if (!ReadInstrumentTableLine(reading, line.text, line.number, error))
            throw InputError(where + error);
    if (!lines.ReadError().empty())
        throw InputError(path + ": " + lines.ReadError());
    if (!FinishInstrumentTable(reading, error))
        throw InputError(where + error);
    spectra = std::move(reading.spectra);
}

} // namespace

struct SpectrumSource::State {
    std::string path;
    bool isLog = false;
    LogStream log;
    SpectrumRecord record{};
    Spectrum csvSpectrum;
    bool csvTaken = false;
    std::string format;                 // of an instrument's file or a CSV with titles ("" otherwise)
    std::vector<Spectrum> sweeps;       // its spectra
    size_t nextSweep = 0;
    CountRange range;
    bool single = false;      // --spectrum N: stop after the first match
    bool done = false;
    MeasCountAxis axis;
    std::string selection;    // what was asked for, for "no spectrum ..." ("" for all)
};

const char* const SourceFilesHelp =
    "\nfiles read (judged by their content, not their name):\n"
    "  a measurement log of the panel; --spectrum N and --range A:B pick by MeasCount\n"
    "  Gamry .DTA (ZCURVE), BioLogic .mpt, ZPlot/ZView .z, Z60W data files, VersaStudio .par,\n"
    "  CH Instruments text, and CSVs whose first line titles the columns (Autolab/NOVA exports):\n"
    "  the frequency and Z', Z'' (or -Z'') or |Z| and the phase are found by their titles; a file\n"
    "  with several sweeps gives spectra 0..n-1 for --spectrum N and --range A:B\n"
    "  a CSV without such titles: frequency, Z', Z'' in columns 1,2,3, separated by ',', ';', tabs\n"
    "  or blanks; where ',' does not separate, a decimal comma is read (1000;12,5;-3,25)\n"
    "  Ivium .idf/.ids and PalmSens .pssession are refused by their name: export them as text\n"
    "--columns F,RE,IM  the columns of such a CSV, counted from 1; -IM for a column of -Z''\n"
    "                   (1,2,-3)\n"
    "--polar            the CSV's second and third columns (or RE and IM of --columns) hold |Z|\n"
    "                   and the phase in degrees\n";

ThinningSettings ReadThinningSettings(const CommandLine& line)
{
    if (line.Has("--every") && line.Has("--mean"))
        throw UsageError("--every and --mean cannot be given together");
    return {static_cast<uint64_t>(line.Integer("--every", 1, UINT32_MAX).value_or(1)),
            static_cast<uint64_t>(line.Integer("--mean", 1, UINT32_MAX).value_or(0))};
}

void AddSourceOptions(CommandGrammar& grammar)
{
    grammar.valueOptions.insert(grammar.valueOptions.end(), {"--spectrum", "--range", "--columns"});
    grammar.flags.push_back("--polar");
}

SourceSettings ReadSourceSettings(const CommandLine& line)
{
    SourceSettings settings;
    settings.path = line.Positional().at(0);
    if (line.Has("--spectrum") && line.Has("--range"))
        throw UsageError("--spectrum and --range cannot be given together");
    if (const auto count = line.Integer("--spectrum", 0, UINT32_MAX)) {
        settings.spectrum = static_cast<uint64_t>(*count);
        settings.spectrumText = *line.Value("--spectrum");
    }
    if (const auto range = line.Value("--range")) {
        settings.range = ParseCountRange(*range);
        settings.rangeText = *range;
    }
    CsvColumns columns;
    columns.polar = line.Has("--polar");
    if (const auto text = line.Value("--columns")) {
        if (!ParseCsvColumns(*text, columns))
            throw UsageError("--columns needs three distinct column numbers F,RE,IM (from 1; -IM for a column of "
                             "-Z''), not \"" + *text + "\"");
        if (columns.polar && columns.negativeImaginary)
            throw UsageError("--polar reads |Z| and the phase; -IM is for a column of -Z''");
    }
    if (line.Has("--columns") || columns.polar)
        settings.columns = columns;
    return settings;
}

SpectrumSource::SpectrumSource(const SourceSettings& settings) : state_(std::make_unique<State>())
{
    State& state = *state_;
    state.path = settings.path;
    if (settings.spectrum) {
        state.range = {*settings.spectrum, *settings.spectrum};
        state.single = true;
    }
    if (settings.range)
        state.range = *settings.range;

    if (settings.spectrum)
        state.selection = " with MeasCount " + settings.spectrumText;
    else if (settings.range)
        state.selection = " in the range " + settings.rangeText;

    TextLines lines;
    std::string error;
    if (!lines.Open(state.path, error))
        throw InputError(state.path + ": " + error);
    state.isLog = LooksLikeLogStart(lines.Start());
    if (state.isLog) {
        if (settings.columns)
            throw UsageError("--columns and --polar are for CSV files; " + state.path + " is a measurement log");
        if (!state.log.Open(std::move(lines), state.path, error))
            throw InputError(state.path + ": " + error);
        const LogHeaderRead& header = state.log.Header();
        if (!header.hasFrequencies)
            throw InputError(state.path + (header.frequenciesLine
                                               ? ": line " + std::to_string(header.frequenciesLine) + ": " +
                                                     header.frequenciesProblem
                                               : ": the header has no Frequencies= line"));
        return;
    }
    const std::string format = InstrumentFormatOf(lines.Start());
    if (!format.empty() || (!settings.columns && HasImpedanceTitles(lines.Start()))) {
        if (settings.columns)
            throw UsageError("--columns and --polar are for CSV files without column titles; " + state.path +
                             " is a " + format + " file, whose titles name its columns");
        state.format = format.empty() ? "CSV" : format;
        ReadInstrumentFile(lines, state.path, state.format, state.sweeps);
        const std::string count = std::to_string(state.sweeps.size());
        if (settings.spectrum)
            state.selection = " number " + settings.spectrumText + " (the file holds " + count + ", numbered from 0)";
        else if (settings.range)
            state.selection = " in the range " + settings.rangeText + " (the file holds " + count + ", numbered from 0)";
        return;
    }
    if (const std::string unread = UnreadFormatNamed(state.path); !unread.empty())
        throw InputError(state.path + ": the name says " + unread +
                         ", a format kalvix-log does not read: export the spectrum as text or CSV with column titles");
    if (!LooksLikeCsvOfNumbers(lines.Start()))
        throw InputError(state.path + ": not a measurement log or a CSV of numbers");
    ReadCsvFile(lines, state.path, settings.columns.value_or(CsvColumns{}), state.csvSpectrum);
    if (settings.spectrum || settings.range)
        throw UsageError("--spectrum and --range pick spectra of a measurement log; a CSV holds one");
}

SpectrumSource::~SpectrumSource()
{
    if (!state_->isLog)
        return;
    const LogStream& log = state_->log;
    for (const LogProblem& problem : log.Problems())
        fmt::print(stderr, "{}:{}: skipped: {}\n", state_->path, problem.line, problem.reason);
    if (log.ProblemCount() > log.Problems().size())
        fmt::print(stderr, "{}: {} more rows skipped\n", state_->path, log.ProblemCount() - log.Problems().size());
    if (!log.ReadError().empty())
        fmt::print(stderr, "{}: {}\n", state_->path, log.ReadError());
}

std::string SpectrumSource::NothingSelected() const
{
    return state_->path + ": no spectrum" + (state_->selection.empty() ? std::string(" in the file") : state_->selection);
}

bool SpectrumSource::IsLog() const
{
    return state_->isLog;
}

const LogHeaderRead* SpectrumSource::Header() const
{
    return state_->isLog ? &state_->log.Header() : nullptr;
}

const std::string& SpectrumSource::Path() const
{
    return state_->path;
}

const std::string& SpectrumSource::Format() const
{
    return state_->format;
}

const SpectrumRecord& SpectrumSource::Record() const
{
    return state_->record;
}

double SpectrumSource::Progress() const
{
    const LogStream& log = state_->log;
    if (!state_->format.empty())
        return state_->sweeps.empty() ? 1.0 : static_cast<double>(state_->nextSweep) / static_cast<double>(state_->sweeps.size());
    if (!state_->isLog)
        return state_->csvTaken ? 1.0 : 0.0;
    return log.FileSize() ? static_cast<double>(log.BytesRead()) / static_cast<double>(log.FileSize()) : 1.0;
}

bool SpectrumSource::Next(Spectrum& spectrum)
{
    State& state = *state_;
    if (state.done)
        return false;
    while (!state.format.empty() && state.nextSweep < state.sweeps.size()) {
        const size_t index = state.nextSweep++;
        if (index < state.range.first || index > state.range.last)
            continue;
        state.done = state.single;
        spectrum = state.sweeps[index];
        return true;
    }
    if (!state.format.empty()) {
        state.done = true;
        return false;
    }
    if (!state.isLog) {
        state.done = true;
        spectrum = state.csvSpectrum;
        state.csvTaken = true;
        return true;
    }
    while (state.log.Next(state.record)) {
        const uint64_t count = AdvanceMeasCount(state.axis, state.record.MeasCount).count;
        if (count < state.range.first || count > state.range.last)
            continue;
        state.done = state.single;
        const LogHeaderRead& header = state.log.Header();
        spectrum.frequency.assign(header.frequencies, header.frequencies + MeasurementFrequencyCount);
        spectrum.impedance.resize(MeasurementFrequencyCount);
        for (size_t i = 0; i < MeasurementFrequencyCount; ++i)
            spectrum.impedance[i] = ImpedanceFromPolar(state.record.Module[i], state.record.Phase[i]);
        spectrum.measCount = count;
        spectrum.line = state.log.LineNumber();
        return true;
    }
    if (!state.log.ReadError().empty())
        throw InputError(state.path + ": " + state.log.ReadError());
    state.done = true;
    return false;
}

Spectrum SelectOneSpectrum(const SourceSettings& settings, std::string& description)
{
    SpectrumSource source(settings);
    // Without --range the first spectrum selected; with it, the complex mean of the range's.
    SpectrumThinning thinning({1, settings.range ? UINT64_MAX : 0});
    Spectrum spectrum;
    while (!thinning.Ready() && source.Next(spectrum))
        thinning.Offer(spectrum);
    if (!thinning.FinishLastBlock())
        throw InputError(source.NothingSelected());
    const ThinnedSpectrum selected = thinning.Take();
    if (!source.Format().empty() && settings.range)
        description = "mean of " + std::to_string(selected.spectra) + " spectra of " + source.Path() + ", " +
                      std::to_string(selected.spectrum.measCount) + " to " + std::to_string(selected.lastMeasCount);
    else if (!source.Format().empty())
        description = "spectrum " + std::to_string(selected.spectrum.measCount) + " of " + source.Path() + " (" +
                      source.Format() + ")";
    else if (!source.IsLog())
        description = "the spectrum of " + source.Path();
    else if (!settings.range)
        description = (settings.spectrum ? "MeasCount " : "the first spectrum, MeasCount ") +
                      std::to_string(selected.spectrum.measCount);
    else
        description = "mean of " + std::to_string(selected.spectra) + " spectra, MeasCount " +
                      std::to_string(selected.spectrum.measCount) + " to " + std::to_string(selected.lastMeasCount);
    return selected.spectrum;
}
