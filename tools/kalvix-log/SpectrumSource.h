// The spectra a command works on, from a measurement log or from a plain CSV of frequency, Z'
// and Z'' (--columns F,RE,IM). A log is streamed: spectra are handed over one at a time.
// Selection: --spectrum N (the spectrum whose MeasCount is N) or --range A:B (MeasCount A to B).
#pragma once

#include "CommandLine.h"
#include "LogReader.h"
#include "data/Spectrum.h"

#include <functional>
#include <memory>
#include <string>

// --every N (keep the first, the N+1st, ...) and --mean N (complex means of blocks of N), which
// exclude each other: UsageError when both are given or a count is not a whole number from 1.
struct SpectrumThinning {
    uint64_t every = 1;
    uint64_t meanOf = 0;   // 0: no means
};
SpectrumThinning ReadSpectrumThinning(const CommandLine& line);

// The options every spectrum-reading command accepts, added to its grammar.
void AddSourceOptions(CommandGrammar& grammar);   // --spectrum, --range, --columns

class SpectrumSource {
public:
    // Opens the file named by the first positional argument; a log when its first line is a log
    // header field, a CSV otherwise. InputError when it cannot be read.
    explicit SpectrumSource(const CommandLine& line);
    ~SpectrumSource();

    bool IsLog() const;
    const LogHeaderRead* Header() const;   // nullptr for a CSV
    const std::string& Path() const;
    // The next selected spectrum; false after the last. Rows the reader skipped are warned
    // about on stderr at the end (file and line).
    bool Next(Spectrum& spectrum);
    // The record behind the spectrum last returned (logs only).
    const SpectrumRecord& Record() const;
    // Fraction of the file read, for progress display.
    double Progress() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The one spectrum a single-spectrum command (fit, check, plot without a range) works on:
// --spectrum N, the complex mean of the spectra of --range A:B, or else the first spectrum of the
// file. `description` says which ("MeasCount 17", "mean of 50 spectra, MeasCount 0 to 49",
// "the first spectrum, MeasCount 0"). InputError when there is no such spectrum.
Spectrum SelectOneSpectrum(const CommandLine& line, std::string& description);
