#include "SpectrumSource.h"

#include "data/CsvSpectrum.h"

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

SpectrumThinning ReadSpectrumThinning(const CommandLine& line)
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

SpectrumSource::SpectrumSource(const CommandLine& line) : state_(std::make_unique<State>())
{
    State& state = *state_;
    state.path = line.Positional().at(0);
    if (line.Has("--spectrum") && line.Has("--range"))
        throw UsageError("--spectrum and --range cannot be given together");
    if (const auto count = line.Integer("--spectrum", 0, UINT32_MAX)) {
        state.range = {static_cast<uint64_t>(*count), static_cast<uint64_t>(*count)};
        state.single = true;
    }
    if (const auto range = line.Value("--range"))
        state.range = ParseCountRange(*range);

    CsvColumns columns;
    if (const auto text = line.Value("--columns"); text && !ParseCsvColumns(*text, columns))
        throw UsageError("--columns needs three distinct column numbers F,RE,IM (from 1), not \"" + *text + "\"");

    state.isLog = LooksLikeLog(state.path);
    if (state.isLog) {
        if (line.Has("--columns"))
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
    if (!ParseCsvSpectrum(text.str(), columns, state.csvSpectrum, error))
        throw InputError(state.path + ": " + error);
    if (line.Has("--spectrum") || line.Has("--range"))
        throw UsageError("--spectrum and --range pick spectra of a measurement log; a CSV holds one");
}

SpectrumSource::~SpectrumSource()
{
    if (!state_->isLog)
        return;
    const LogStream& log = state_->log;
    for (const LogProblem& problem : log.Problems())
        std::fprintf(stderr, "%s:%llu: skipped: %s\n", state_->path.c_str(),
                     static_cast<unsigned long long>(problem.line), problem.reason.c_str());
    if (log.ProblemCount() > log.Problems().size())
        std::fprintf(stderr, "%s: %llu more rows skipped\n", state_->path.c_str(),
                     static_cast<unsigned long long>(log.ProblemCount() - log.Problems().size()));
    if (!log.ReadError().empty())
        std::fprintf(stderr, "%s: %s\n", state_->path.c_str(), log.ReadError().c_str());
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

Spectrum SelectOneSpectrum(const CommandLine& line, std::string& description)
{
    SpectrumSource source(line);
    Spectrum first;
    if (!source.Next(first)) {
        if (line.Has("--spectrum"))
            throw InputError(source.Path() + ": no spectrum with MeasCount " + *line.Value("--spectrum"));
        throw InputError(source.Path() + (line.Has("--range") ? ": no spectrum in the range " + *line.Value("--range")
                                                               : ": no spectra"));
    }
    if (!source.IsLog()) {
        description = "the spectrum of " + source.Path();
        return first;
    }
    if (!line.Has("--range")) {
        description = (line.Has("--spectrum") ? "MeasCount " : "the first spectrum, MeasCount ") +
                      std::to_string(first.measCount);
        return first;
    }
    // The complex mean of every spectrum in the range.
    Spectrum mean = first, next;
    uint64_t count = 1, last = first.measCount;
    while (source.Next(next)) {
        for (size_t i = 0; i < mean.impedance.size(); ++i)
            mean.impedance[i] += next.impedance[i];
        last = next.measCount;
        ++count;
    }
    for (auto& value : mean.impedance)
        value /= static_cast<double>(count);
    description = "mean of " + std::to_string(count) + " spectra, MeasCount " + std::to_string(first.measCount) +
                  " to " + std::to_string(last);
    return mean;
}
