#include "SpectrumSource.h"

#include "data/CsvSpectrum.h"

#include <fmt/format.h>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

constexpr uint64_t LargestCsvBytes = 256ull << 20;  // one spectrum; anything larger is not one

// A log starts with a header field line ("LogName=  ..."); a CSV line holds no '='.
bool LooksLikeLog(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return true;  // the log reader reports why it cannot be opened
    char start[512] = {};
    const size_t got = std::fread(start, 1, sizeof start - 1, file);
    std::fclose(file);
    const std::string_view text(start, got);
    const std::string_view firstLine = text.substr(0, text.find('\n'));
    return firstLine.find('=') != std::string_view::npos || got == 0;
}

} // namespace

struct SpectrumSource::State {
    std::string path;
    bool isLog = false;
    LogStream log;
    SpectrumRecord record{};
    Spectrum csvSpectrum;
    bool csvTaken = false;
    CountRange range;
    bool single = false;      // --spectrum N: stop after the first match
    bool done = false;
};

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
    if (const auto text = line.Value("--columns")) {
        CsvColumns columns;
        if (!ParseCsvColumns(*text, columns))
            throw UsageError("--columns needs three distinct column numbers F,RE,IM (from 1), not \"" + *text + "\"");
        settings.columns = columns;
    }
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

    state.isLog = LooksLikeLog(state.path);
    if (state.isLog) {
        if (settings.columns)
            throw UsageError("--columns is for CSV files; " + state.path + " is a measurement log");
        std::string error;
        if (!state.log.Open(state.path, error))
            throw InputError(state.path + ": " + error);
        if (!state.log.Header().hasFrequencies)
            throw InputError(state.path + ": the header has no readable Frequencies= line");
        return;
    }
    std::ifstream file(state.path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file || text.str().size() > LargestCsvBytes)
        throw InputError(state.path + ": cannot read the file" +
                         (text.str().size() > LargestCsvBytes ? " (larger than a spectrum's CSV can be)" : ""));
    std::string error;
    if (!ParseCsvSpectrum(text.str(), settings.columns.value_or(CsvColumns{}), state.csvSpectrum, error))
        throw InputError(state.path + ": " + error);
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

const SpectrumRecord& SpectrumSource::Record() const
{
    return state_->record;
}

double SpectrumSource::Progress() const
{
    const LogStream& log = state_->log;
    if (!state_->isLog)
        return state_->csvTaken ? 1.0 : 0.0;
    return log.FileSize() ? static_cast<double>(log.BytesRead()) / static_cast<double>(log.FileSize()) : 1.0;
}

bool SpectrumSource::Next(Spectrum& spectrum)
{
    State& state = *state_;
    if (state.done)
        return false;
    if (!state.isLog) {
        state.done = true;
        spectrum = state.csvSpectrum;
        state.csvTaken = true;
        return true;
    }
    while (state.log.Next(state.record)) {
        const uint64_t count = state.record.MeasCount;
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
    if (!thinning.FinishLastBlock()) {
        if (settings.spectrum)
            throw InputError(source.Path() + ": no spectrum with MeasCount " + settings.spectrumText);
        throw InputError(source.Path() + (settings.range ? ": no spectrum in the range " + settings.rangeText
                                                          : ": no spectra"));
    }
    const ThinnedSpectrum selected = thinning.Take();
    if (!source.IsLog())
        description = "the spectrum of " + source.Path();
    else if (!settings.range)
        description = (settings.spectrum ? "MeasCount " : "the first spectrum, MeasCount ") +
                      std::to_string(selected.spectrum.measCount);
    else
        description = "mean of " + std::to_string(selected.spectra) + " spectra, MeasCount " +
                      std::to_string(selected.spectrum.measCount) + " to " + std::to_string(selected.lastMeasCount);
    return selected.spectrum;
}
