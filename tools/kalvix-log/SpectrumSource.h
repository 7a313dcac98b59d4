// The spectra a command works on, from a measurement log, from another instrument's file or a CSV
// with column titles (InstrumentTable.h), or from a plain CSV of frequency, Z' and Z''
// (--columns F,RE,IM, --polar). A log is streamed: spectra are handed over one at a time.
// Selection: --spectrum N (the spectrum whose MeasCount is N; of an instrument's file, its sweep
// N from 0) or --range A:B (MeasCount, or sweeps, A to B).
#pragma once

#include "CommandLine.h"
#include "LogReader.h"
#include "data/CsvSpectrum.h"
#include "data/Spectrum.h"
#include "data/SpectrumThinning.h"

#include <memory>
#include <optional>
#include <string>

// --every N and --mean N, which exclude each other: UsageError when both are given or a count
// is not a whole number from 1.
ThinningSettings ReadThinningSettings(const CommandLine& line);

// What to read and which spectra of it.
struct SourceSettings {
    std::string path;
    std::optional<uint64_t> spectrum;   // --spectrum N
    std::string spectrumText;           // as given, for messages
    std::optional<CountRange> range;    // --range A:B
    std::string rangeText;              // as given, for messages
    std::optional<CsvColumns> columns;  // --columns F,RE,IM (or F,RE,-IM), --polar
};

// The help on the files a spectrum-reading command takes and on --columns and --polar, printed
// after the command's own.
extern const char* const SourceFilesHelp;

// The options every spectrum-reading command accepts, added to its grammar.
void AddSourceOptions(CommandGrammar& grammar);   // --spectrum, --range, --columns, --polar
// Those options and the first positional argument; UsageError when they are malformed or
// --spectrum and --range are both given.
SourceSettings ReadSourceSettings(const CommandLine& line);

class SpectrumSource {
public:
    // Opens the file ("-": standard input) and judges it by its first 64 KiB: a log when its first
    // line is a header field the panel writes, another instrument's file by its first lines, a CSV
    // with titles of impedance columns (without --columns), a CSV when it has rows of numbers
    // (unless its name shows a format not read, UnreadFormatNamed).
    // InputError when it cannot be read or is none of them (naming the format where it is known),
    // UsageError when the selection does not suit it.
    explicit SpectrumSource(const SourceSettings& settings);
    ~SpectrumSource();

    bool IsLog() const;
    const LogHeaderRead* Header() const;   // nullptr for a CSV
    const std::string& Path() const;
    // "Gamry .DTA", ..., "CSV" (with titles) for a file read as a table of sweeps; "" otherwise.
    const std::string& Format() const;
    // The next selected spectrum; false after the last. Rows the reader skipped are warned
    // about on stderr at the end (file and line). A spectrum's measCount keeps growing when
    // MeasCount wraps (MeasCountAxis), and --spectrum and --range pick by it.
    bool Next(Spectrum& spectrum);
    // The record behind the spectrum last returned (logs only).
    const SpectrumRecord& Record() const;
    // "FILE: no spectrum with MeasCount 7" (or "in the range 5:9", "in the file"): the message
    // when the selection holds nothing.
    std::string NothingSelected() const;
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
Spectrum SelectOneSpectrum(const SourceSettings& settings, std::string& description);
