#include "InstrumentTable.h"

#include "CsvFields.h"
#include "CsvSpectrum.h"
#include "TextInput.h"

#include <cmath>
#include <numbers>

namespace {

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// Tab, ';' or ',' when the line holds one outside quotes (in that order), else '\0' for blanks.
char TableSeparatorOf(std::string_view line)
{
    bool quoted = false, held[3] = {};
    const char candidates[3] = {'\t', ';', ','};
    for (const char c : line) {
        quoted = quoted != (c == '"');
        for (size_t i = 0; i < 3; ++i)
            held[i] = held[i] || (!quoted && c == candidates[i]);
    }
    for (size_t i = 0; i < 3; ++i)
        if (held[i])
            return candidates[i];
    return 0;
}

bool SplitTableLine(std::string_view line, char separator, std::vector<std::string>& fields, std::string& error)
{
    if (separator)
        return SplitCsvLine(line, separator, fields, error);
    fields.clear();
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        const size_t start = at;
        while (at < line.size() && !IsBlank(line[at]))
            ++at;
        if (at > start)
            fields.emplace_back(line.substr(start, at - start));
    }
    return true;
}

// A field as a number; where the separator is not ',', one comma and no point is a decimal comma.
bool ParseTableNumber(std::string field, char separator, double& value)
{
    if (separator != ',' && field.find('.') == std::string::npos) {
        const size_t comma = field.find(',');
        if (comma != std::string::npos && field.find(',', comma + 1) == std::string::npos)
            field[comma] = '.';
    }
    return ParseCsvNumber(field, value);
}

size_t TableNumbersIn(const std::vector<std::string>& fields, char separator)
{
    size_t numbers = 0;
    double value = 0;
    for (const std::string& field : fields)
        numbers += ParseTableNumber(field, separator, value) ? 1 : 0;
    return numbers;
}

// The titles, if the line is a line of titles the reader knows.
bool ReadTitles(InstrumentTableReading& reading, std::string_view line)
{
    // A VersaStudio segment names its columns in a "Definition=" line.
    if (StartsWith(line, "Definition="))
        line.remove_prefix(11);
    const char separator = TableSeparatorOf(line);
    std::vector<std::string> fields;
    std::string ignored;
    ImpedanceColumns columns;
    if (!SplitTableLine(line, separator, fields, ignored) || TableNumbersIn(fields, separator) >= 2 ||
        !ImpedanceColumnsOf(fields, columns))
        return false;
    reading.columns = columns;
    reading.separator = separator;
    reading.inTable = true;
    reading.rowsStarted = false;
    reading.everFoundTitles = true;
    return true;
}

// Starts a new sweep where the frequencies turn back or a table begins.
void AddPoint(InstrumentTableReading& reading, double frequency, std::complex<double> impedance, uint64_t number)
{
    const bool newTable = !reading.rowsStarted;
    reading.rowsStarted = true;
    int step = 0;
    if (!newTable) {
        const double last = reading.spectra.back().frequency.back();
        step = frequency > last ? 1 : frequency < last ? -1 : 0;
    }
    if (newTable || (step != 0 && reading.direction != 0 && step != reading.direction)) {
        reading.spectra.emplace_back();
        reading.spectra.back().measCount = reading.spectra.size() - 1;
        reading.spectra.back().line = number;
        reading.direction = 0;
    } else if (reading.direction == 0) {
        reading.direction = step;
    }
    reading.spectra.back().frequency.push_back(frequency);
    reading.spectra.back().impedance.push_back(impedance);
    ++reading.points;
}

} // namespace

std::string InstrumentFormatOf(std::string_view start)
{
    size_t lines = 0;
    std::string firstLine;
    while (!start.empty() && lines < 8) {
        const LineSpan span = FirstLine(start);
        std::string_view line = start.substr(0, span.length);
        start.remove_prefix(span.length + span.end);
        while (!line.empty() && IsBlank(line.back()))
            line.remove_suffix(1);
        if (line.empty())
            continue;
        ++lines;
        if (lines == 1) {
            if (line == "EXPLAIN")
                return "Gamry .DTA";
            if (StartsWith(line, "EC-Lab ASCII FILE"))
                return "BioLogic .mpt";
            if (StartsWith(line, "ZPLOT2 ASCII"))
                return "ZPlot/ZView .z";
            firstLine = std::string(line);
        }
        if (firstLine == "<Application>" && line == "Name=VersaStudio")
            return "VersaStudio .par";
        if (lines == 2 && line == "A.C. Impedance")
            return "CH Instruments text";
    }
    return "";
}

bool HasImpedanceTitles(std::string_view start)
{
    while (!start.empty()) {
        const LineSpan span = FirstLine(start);
        const std::string_view line = start.substr(0, span.length);
        start.remove_prefix(span.length + span.end);
        const std::string_view content = TrimCsvField(line);
        if (content.empty() || content.front() == '#')
            continue;
        InstrumentTableReading reading;
        return ReadTitles(reading, line);
    }
    return false;
}

bool ReadInstrumentTableLine(InstrumentTableReading& reading, std::string_view text, uint64_t number,
                             std::string& error)
{
    const std::string where = "line " + std::to_string(number) + ": ";
    reading.bytes += text.size() + 1;
    if (text.size() > TextLongestLine) {
        error = where + "longer than " + std::to_string(TextLongestLine) + " bytes";
        return false;
    }
    if (reading.bytes > CsvLargestBytes) {
        error = where + "the file goes on beyond " + std::to_string(CsvLargestBytes >> 20) +
                " MiB: larger than a spectrum's file can be";
        return false;
    }
    const std::string_view content = TrimCsvField(text);
    if (content.empty() || content.front() == '#')
        return true;
    if (!reading.inTable) {
        ReadTitles(reading, text);
        return true;
    }
    const char separator = reading.separator && text.find(reading.separator) != std::string_view::npos
                               ? reading.separator
                               : TableSeparatorOf(text);
    std::vector<std::string> fields;
    std::string reason;
    if (!SplitTableLine(text, separator, fields, reason)) {
        error = "line " + std::to_string(number) + ", " + reason;
        return false;
    }
    if (TableNumbersIn(fields, separator) < 2) {
        if (reading.rowsStarted) {
            reading.inTable = false;   // the table ends; another may follow
            ReadTitles(reading, text);
        }
        return true;
    }
    const ImpedanceColumns& columns = reading.columns;
    const bool polar = columns.Polar();
    const size_t picked[3] = {columns.frequency, polar ? columns.modulus : columns.real,
                              polar ? columns.phase : columns.imaginary};
    const char* const names[3] = {"the frequency", polar ? "|Z|" : "Z'",
                                  polar ? "the phase" : (columns.negativeImaginary ? "-Z''" : "Z''")};
    double values[3] = {};
    for (size_t i = 0; i < 3; ++i) {
        const std::string at = "line " + std::to_string(number) + ", column " + std::to_string(picked[i]) + ": ";
        if (picked[i] > fields.size()) {
            error = where + std::to_string(fields.size()) + " fields, but " + names[i] + " is in column " +
                    std::to_string(picked[i]);
            return false;
        }
        if (!ParseTableNumber(fields[picked[i] - 1], separator, values[i])) {
            error = at + names[i] + " is not a number: \"" + fields[picked[i] - 1] + "\"";
            return false;
        }
        if (!std::isfinite(values[i])) {
            error = at + names[i] + " is not finite";
            return false;
        }
    }
    if (values[0] <= 0) {
        error = where + "the frequency (column " + std::to_string(columns.frequency) + ") is not positive";
        return false;
    }
    if (polar && values[1] < 0) {
        error = where + "|Z| (column " + std::to_string(columns.modulus) + ") is negative";
        return false;
    }
    if (reading.points == CsvMostPoints) {
        error = where + "more than " + std::to_string(CsvMostPoints) + " points: more than a spectrum's file has";
        return false;
    }
    std::complex<double> impedance;
    if (polar) {
        const double phase = (columns.negativePhase ? -values[2] : values[2]) *
                             (columns.phaseInRadians ? 180 / std::numbers::pi : 1.0);
        impedance = ImpedanceFromPolar(values[1], phase);
    } else {
        impedance = {values[1], columns.negativeImaginary ? -values[2] : values[2]};
    }
    AddPoint(reading, values[0], impedance, number);
    return true;
}

bool FinishInstrumentTable(const InstrumentTableReading& reading, std::string& error)
{
    if (!reading.everFoundTitles) {
        error = "no line of column titles naming the frequency and Z', Z'' (or -Z'') or |Z| and the phase";
        return false;
    }
    if (reading.spectra.empty()) {
        error = "no data rows after the column titles";
        return false;
    }
    return true;
}

bool ParseInstrumentTable(std::string_view text, std::vector<Spectrum>& spectra, std::string& error)
{
    InstrumentTableReading reading;
    for (uint64_t number = 1; !text.empty(); ++number) {
        const LineSpan span = FirstLine(text);
        if (!ReadInstrumentTableLine(reading, text.substr(0, span.length), number, error))
            return false;
        text.remove_prefix(span.length + span.end);
    }
    if (!FinishInstrumentTable(reading, error))
        return false;
    spectra = std::move(reading.spectra);
    return true;
}
