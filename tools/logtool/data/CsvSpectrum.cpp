#include "CsvSpectrum.h"

#include "CsvFields.h"
#include "WholeNumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

bool ParseCsvColumns(std::string_view text, CsvColumns& columns)
{
    size_t values[3] = {};
    for (size_t i = 0; i < 3; ++i) {
        const size_t comma = text.find(',');
        if ((comma == std::string_view::npos) != (i == 2))
            return false;
        const std::string_view item = text.substr(0, comma);
        if (!ParseWholeNumber(item, values[i]) || values[i] < 1 || values[i] > 1000)
            return false;
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    if (values[0] == values[1] || values[0] == values[2] || values[1] == values[2])
        return false;
    columns = {values[0], values[1], values[2]};
    return true;
}

bool ParseCsvSpectrum(std::string_view text, const CsvColumns& columns, Spectrum& spectrum,
                      std::string& error)
{
    spectrum = Spectrum();
    const size_t needed = std::max({columns.frequency, columns.real, columns.imaginary});
    char separator = 0;
    size_t lineNumber = 0;
    bool headerAllowed = true;
    while (!text.empty()) {
        const size_t feed = text.find('\n');
        const std::string_view line = TrimCsvField(text.substr(0, feed));
        text = feed == std::string_view::npos ? std::string_view() : text.substr(feed + 1);
        ++lineNumber;
        if (line.empty() || line.front() == '#')
            continue;
        if (!separator)
            separator = CsvSeparatorOf(line);
        const std::vector<std::string_view> fields = SplitCsvLine(line, separator);
        const auto where = "line " + std::to_string(lineNumber) + ": ";
        double f = 0, re = 0, im = 0;
        const bool enough = fields.size() >= needed;
        const bool numeric = enough && ParseCsvNumber(fields[columns.frequency - 1], f) &&
                             ParseCsvNumber(fields[columns.real - 1], re) &&
                             ParseCsvNumber(fields[columns.imaginary - 1], im);
        if (!numeric && headerAllowed) {
            headerAllowed = false;
            separator = 0;  // the data may be separated differently from the titles
            continue;
        }
        if (!enough) {
            error = where + std::to_string(fields.size()) + " columns, but --columns reads column " +
                    std::to_string(needed);
            return false;
        }
        headerAllowed = false;
        if (!numeric) {
            error = where + "frequency, Z' or Z'' is not a number";
            return false;
        }
        if (!std::isfinite(f) || f <= 0 || !std::isfinite(re) || !std::isfinite(im)) {
            error = where + (f <= 0 ? "the frequency (column " + std::to_string(columns.frequency) +
                                          ") is not positive; --columns F,RE,IM picks the columns"
                                    : "a value is not finite");
            return false;
        }
        spectrum.frequency.push_back(f);
        spectrum.impedance.emplace_back(re, im);
        if (spectrum.line == 0)
            spectrum.line = lineNumber;
    }
    if (spectrum.frequency.empty()) {
        error = "no data rows";
        return false;
    }
    return true;
}
