// A spectrum from another instrument: a plain CSV of frequency, Z' and Z'' (Z'' negative for a
// capacitive object), columns picked by their 1-based numbers. A first line that is not numeric
// is a header. Comma, semicolon or tab separate the values.
#pragma once

#include "Spectrum.h"

#include <string>
#include <string_view>

struct CsvColumns {
    size_t frequency = 1, real = 2, imaginary = 3;  // 1-based
};

// "F,RE,IM" (three distinct whole numbers from 1) into columns; false for anything else.
bool ParseCsvColumns(std::string_view text, CsvColumns& columns);

// The whole text of a CSV file into a spectrum; false with "line N: ..." in `error`.
bool ParseCsvSpectrum(std::string_view text, const CsvColumns& columns, Spectrum& spectrum,
                      std::string& error);
