#include "CsvSpectrum.h"

#include "CsvFields.h"
#include "TextInput.h"
#include "WholeNumber.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Why a field is not a number, with a word on the usual cause.
std::string NotANumber(const std::string& field, const char* what, char separator)
{
    const bool digits = field.find_first_of("0123456789") != std::string::npos;
    const bool grouped = digits && field.find_first_of(", '") != std::string::npos;
    const char* const decimals = separator == ',' ? "'.' as decimal point" : "'.' or ',' as decimal point";
    return std::string(what) + " is not a number: \"" + field + "\"" +
           (grouped ? std::string(" (numbers take ") + decimals + " and no thousands separator)" : "");
}

} // namespace

bool ParseCsvColumns(std::string_view text, CsvColumns& columns)
{
    size_t values[3] = {};
    bool negative = false;
    for (size_t i = 0; i < 3; ++i) {
        const size_t comma = text.find(',');
        if ((comma == std::string_view::npos) != (i == 2))
            return false;
        std::string_view item = text.substr(0, comma);
        if (i == 2 && !item.empty() && item.front() == '-') {
            negative = true;
            item.remove_prefix(1);
        }
        if (!ParseWholeNumber(item, values[i]) || values[i] < 1 || values[i] > 1000)
            return false;
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    if (values[0] == values[1] || values[0] == values[2] || values[1] == values[2])
        return false;
    columns = {values[0], values[1], values[2], negative, columns.polar};
    return true;
}

bool LooksLikeCsvOfNumbers(std::string_view start)
{
    bool titlesSeen = false;
    std::vector<std::string> fields;
    std::string ignored;
    while (!start.empty()) {
        const std::string_view line = TakeLine(start);
        const std::string_view content = TrimCsvField(line);
        if (content.empty() || content.front() == '#')
            continue;
        const char separator = CsvSeparatorOf(line);
        if (SplitCsvLine(line, separator, fields, ignored) && CsvNumbersIn(fields, separator) >= 2)
            return true;
        if (titlesSeen)
            return false;
        titlesSeen = true;
    }
    return false;
}

bool CountSpectrumTextLine(std::string_view text, uint64_t& bytes, const std::string& where, const char* kind,
                           std::string& error)
{
    bytes += text.size() + 1;
    if (text.size() > TextLongestLine) {
        error = where + "longer than " + std::to_string(TextLongestLine) + " bytes";
        return false;
    }
    if (bytes > CsvLargestBytes) {
        error = where + "the file goes on beyond " + std::to_string(CsvLargestBytes >> 20) +
                " MiB: larger than a spectrum's " + kind + " can be";
        return false;
    }
    return true;
}

bool ReadCsvSpectrumLine(CsvSpectrumReading& reading, std::string_view text, uint64_t number, std::string& error)
{
    const std::string where = "line " + std::to_string(number) + ": ";
    if (!CountSpectrumTextLine(text, reading.bytes, where, "CSV", error))
        return false;
    const std::string_view line = TrimCsvField(text);
    if (line.empty() || line.front() == '#')
        return true;
    if (!reading.separator)
        reading.separator = CsvSeparatorOf(text);
    std::vector<std::string> fields;
    std::string reason;
    if (!SplitCsvLine(text, reading.separator, fields, reason)) {
        error = "line " + std::to_string(number) + ", " + reason;
        return false;
    }
    const CsvColumns& columns = reading.columns;
    const size_t needed = std::max({columns.frequency, columns.real, columns.imaginary});
    const size_t picked[3] = {columns.frequency, columns.real, columns.imaginary};
    const char* const names[3] = {"the frequency", columns.polar ? "|Z|" : "Z'",
                                  columns.polar ? "the phase" : columns.negativeImaginary ? "-Z''" : "Z''"};
    double values[3] = {};
    const bool enough = fields.size() >= needed;
    bool numeric = enough;
    for (size_t i = 0; i < 3 && numeric; ++i)
        numeric = ParseCsvNumber(fields[picked[i] - 1], reading.separator, values[i]);
    // A first line with numbers in it is data, whatever it holds besides.
    if (!numeric && reading.titlesAllowed && CsvNumbersIn(fields, reading.separator) < 2) {
        reading.titlesAllowed = false;
        reading.titleFields = fields.size() > 1 ? fields.size() : 0;
        reading.titleSeparator = reading.separator;
        reading.separator = 0;  // the data may be separated differently from the titles
        return true;
    }
    if (reading.separator != reading.titleSeparator)
        reading.titleFields = 0;
    reading.titlesAllowed = false;
    const size_t expected = reading.titleFields ? reading.titleFields : reading.rowFields;
    if (expected && fields.size() != expected) {
        error = where + std::to_string(fields.size()) + " fields where " +
                (reading.titleFields ? "the titles have " : "the first row has ") + std::to_string(expected) +
                (reading.separator == ',' ? " (a number with a thousands separator or a decimal comma?)"
                                          : " (a number with a thousands separator?)");
        return false;
    }
    if (!enough) {
        error = where + std::to_string(fields.size()) + " columns, but --columns reads column " +
                std::to_string(needed);
        return false;
    }
    for (size_t i = 0; i < 3; ++i) {
        const std::string at = "line " + std::to_string(number) + ", column " + std::to_string(picked[i]) + ": ";
        if (!ParseCsvNumber(fields[picked[i] - 1], reading.separator, values[i])) {
            error = at + NotANumber(fields[picked[i] - 1], names[i], reading.separator);
            return false;
        }
        if (!std::isfinite(values[i])) {
            error = at + names[i] + " is not finite";
            return false;
        }
    }
    if (values[0] <= 0) {
        error = where + "the frequency (column " + std::to_string(columns.frequency) +
                ") is not positive; --columns F,RE,IM picks the columns";
        return false;
    }
    if (columns.polar && values[1] < 0) {
        error = where + "|Z| (column " + std::to_string(columns.real) + ") is negative";
        return false;
    }
    if (reading.spectrum.frequency.size() == CsvMostPoints) {
        error = where + "more than " + std::to_string(CsvMostPoints) + " points: more than a spectrum has";
        return false;
    }
    if (!reading.rowFields)
        reading.rowFields = fields.size();
    reading.spectrum.frequency.push_back(values[0]);
    if (columns.polar)
        reading.spectrum.impedance.push_back(ImpedanceFromPolar(values[1], values[2]));
    else
        reading.spectrum.impedance.emplace_back(values[1], columns.negativeImaginary ? -values[2] : values[2]);
    if (reading.spectrum.line == 0)
        reading.spectrum.line = number;
    return true;
}

bool FinishCsvSpectrum(const CsvSpectrumReading& reading, std::string& error)
{
    if (!reading.spectrum.frequency.empty())
        return true;
    error = "no data rows";
    return false;
}

bool ParseCsvSpectrum(std::string_view text, const CsvColumns& columns, Spectrum& spectrum,
                      std::string& error)
{
    CsvSpectrumReading reading;
    reading.columns = columns;
    for (uint64_t number = 1; !text.empty(); ++number) {
        if (!ReadCsvSpectrumLine(reading, TakeLine(text), number, error))
            return false;
    }
    if (!FinishCsvSpectrum(reading, error))
        return false;
    spectrum = std::move(reading.spectrum);
    return true;
}
