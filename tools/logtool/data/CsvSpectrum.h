// A spectrum from another instrument: a plain CSV of frequency, Z' and Z'' (Z'' negative for a
// capacitive object), columns picked by their 1-based numbers. A first line that is not numeric
// (fewer than two numbers, and not in the columns picked) is a header. Comma, semicolon, tab or
// runs of blanks separate the values; a field may be quoted (RFC 4180). Where the separator is
// not ',' a number may take a decimal comma ("1000;12,5;-3,25", "1000 12,5 -3,25").
// Read line by line with its limits checked as it goes, so no input can take much memory.
#pragma once

#include "Spectrum.h"

#include <string>
#include <string_view>

constexpr size_t CsvMostPoints = 100000;             // a spectrum has at most a few thousand
constexpr uint64_t CsvLargestBytes = 64ull << 20;    // of text, comment and blank lines included

// Counts a line of a spectrum's text file (a CSV, an instrument's table) into `bytes` against the
// limits: false, with the reason after `where`, for a line longer than TextLongestLine or a file
// going on beyond CsvLargestBytes; `kind` names the file in that reason ("CSV", "file").
bool CountSpectrumTextLine(std::string_view text, uint64_t& bytes, const std::string& where, const char* kind,
                           std::string& error);

struct CsvColumns {
    size_t frequency = 1, real = 2, imaginary = 3;  // 1-based
    bool negativeImaginary = false;  // the third column holds -Z'' ("F,RE,-IM")
    bool polar = false;              // the second and third hold |Z| and the phase in degrees
};

// "F,RE,IM" (three distinct whole numbers from 1; the third may be written -IM for a column of
// -Z'') into columns; false for anything else.
bool ParseCsvColumns(std::string_view text, CsvColumns& columns);

// True when the first lines of a file are rows of numbers (at least two in a row), after comment
// lines and, optionally, one line of titles: the start of a CSV of numbers.
bool LooksLikeCsvOfNumbers(std::string_view start);

// A CSV spectrum being read, one line after the other.
struct CsvSpectrumReading {
    CsvColumns columns;
    Spectrum spectrum;
    char separator = 0;         // of the titles, then of the data
    bool titlesAllowed = true;  // no line with content read yet
    size_t titleFields = 0;     // fields of the titles (0: none, or another separator)
    char titleSeparator = 0;
    size_t rowFields = 0;       // fields of the first data row
    uint64_t bytes = 0;         // text read so far
};

// The next line (without its line end; `number` 1-based). False with "line N: ..." or
// "line N, column C: ..." in `error`: a field that is no number (a thousands separator or a
// decimal comma is said), a value that is not finite, a row with another number of fields than
// the titles or the first row, more than CsvMostPoints points, a line longer than
// TextLongestLine, more than CsvLargestBytes.
bool ReadCsvSpectrumLine(CsvSpectrumReading& reading, std::string_view line, uint64_t number, std::string& error);
// After the last line: false with "no data rows" when there were none.
bool FinishCsvSpectrum(const CsvSpectrumReading& reading, std::string& error);

// The whole text of a CSV file into a spectrum; false with the error as above.
bool ParseCsvSpectrum(std::string_view text, const CsvColumns& columns, Spectrum& spectrum,
                      std::string& error);
