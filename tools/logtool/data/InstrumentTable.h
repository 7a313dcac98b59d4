// Spectra from other instruments' text files, found by their content: a Gamry .DTA (its ZCURVE
// table), a BioLogic .mpt, a ZPlot/ZView .z, a Z60W data file (its titles one quoted field split
// by blanks), a VersaStudio .par (each <Segment>), a CH Instruments text export, and any CSV
// whose column titles name the frequency and Z', Z'' (or -Z'') or |Z| and the phase (an
// Autolab/NOVA export among them). The table is found by its line of titles (ImpedanceTitles.h);
// the lines before it are the maker's header, a line with no numbers after the titles (units,
// "End Comments") is skipped, and the first line without numbers after the rows ends the table.
// Fields are split at tabs, else ';', else ',', else runs of blanks; where the separator is not
// ',' a number may take a decimal comma ("1,5E+003"). A file with several sweeps (frequencies
// that turn back, or several tables) gives them as spectra 0..n-1. Read line by line, with the
// limits of CsvSpectrum.h.
#pragma once

#include "ImpedanceTitles.h"
#include "Spectrum.h"

#include <string>
#include <string_view>
#include <vector>

// The format a file's first bytes show ("Gamry .DTA", "BioLogic .mpt", "ZPlot/ZView .z",
// "Z60W data file", "VersaStudio .par", "CH Instruments text"), or "" when none of these.
std::string InstrumentFormatOf(std::string_view start);

// The format a file's name shows among those the readers do not take (no public description or
// permissively licensed sample to test a reader with): "Ivium .idf/.ids" or "PalmSens
// .pssession" (the extension in any case), else "".
std::string UnreadFormatNamed(std::string_view path);

// True when the first line of a CSV that is not blank or a '#' comment is a line of titles that
// ImpedanceColumnsOf recognises.
bool HasImpedanceTitles(std::string_view start);

// A table being read, one line after the other.
struct InstrumentTableReading {
    std::vector<Spectrum> spectra;   // the sweeps so far; the last one may still grow
    ImpedanceColumns columns;
    bool inTable = false;            // titles found
    bool rowsStarted = false;        // a row of the table read
    bool everFoundTitles = false;
    char separator = 0;              // of the titles (' ': blanks)
    int direction = 0;               // of the frequencies of the current sweep: -1, 0 or +1
    size_t points = 0;
    uint64_t bytes = 0;
};

// The next line (without its line end; `number` 1-based). False with "line N: ..." or
// "line N, column C: ..." in `error`: a row whose frequency, Z', Z'', |Z| or phase is missing or
// no number, a value that is not finite, a frequency not above 0, |Z| below 0, more than
// CsvMostPoints points, a line longer than TextLongestLine, more than CsvLargestBytes.
bool ReadInstrumentTableLine(InstrumentTableReading& reading, std::string_view line, uint64_t number,
                             std::string& error);
// After the last line: false when no line of titles was found, or no row after it.
bool FinishInstrumentTable(const InstrumentTableReading& reading, std::string& error);

// The whole text into its sweeps; false with the error as above.
bool ParseInstrumentTable(std::string_view text, std::vector<Spectrum>& spectra, std::string& error);
