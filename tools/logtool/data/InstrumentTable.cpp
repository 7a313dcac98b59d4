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

// Tab, ';' or ',' when the line holds one outside quotes (in that order), else ' ' for blanks.
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
    return ' ';
}

// Titles split at blanks: the whole line may be one quoted field (a Z60W file's), and a unit in
// brackets standing apart belongs to the title before it ("Freq (Hz)").
std::vector<std::string> BlankSeparatedTitles(std::string_view line)
{
    std::vector<std::string> words, titles;
    std::string ignored;
    SplitCsvLine(TrimCsvField(line), ' ', words, ignored);
    for (std::string& word : words) {
        if (!titles.empty() && (word.front() == '(' || word.front() == '['))
            titles.back() += " " + word;
        else
            titles.push_back(std::move(word));
    }
    return titles;
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
    if (separator == ' ')
        fields = BlankSeparatedTitles(line);
    else if (!SplitCsvLine(line, separator, fields, ignored))
        return false;
    if (CsvNumbersIn(fields, separator) >= 2 || !ImpedanceColumnsOf(fields, columns))
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
        std::string_view line = TakeLine(start);
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
            if (StartsWith(line, "\"Z60W Data File"))
                return "Z60W data file";
            firstLine = std::string(line);
        }
        if (firstLine == "<Application>" && line == "Name=VersaStudio")
            return "VersaStudio .par";
        if (lines == 2 && line == "A.C. Impedance")
            return "CH Instruments text";
    }
    return "";
}

std::string UnreadFormatNamed(std::string_view path)
{
    const size_t dot = path.find_last_of("./\\");
    if (dot == std::string_view::npos || path[dot] != '.')
        return "";
    std::string extension(path.substr(dot + 1));
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (extension == "idf" || extension == "ids")
        return "Ivium .idf/.ids";
    if (extension == "pssession")
        return "PalmSens .pssession";
    return "";
}

bool HasImpedanceTitles(std::string_view start)
{
    while (!start.empty()) {
        const std::string_view line = TakeLine(start);
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
    if (!CountSpectrumTextLine(text, reading.bytes, where, "file", error))
        return false;
    const std::string_view content = TrimCsvField(text);
    if (content.empty() || content.front() == '#')
        return true;
    if (!reading.inTable) {
        ReadTitles(reading, text);
        return true;
    }
    const char separator = reading.separator != ' ' && text.find(reading.separator) != std::string_view::npos
                               ? reading.separator
                               : TableSeparatorOf(text);
    std::vector<std::string> fields;
    std::string reason;
    if (!SplitCsvLine(text, separator, fields, reason)) {
        error = "line " + std::to_string(number) + ", " + reason;
        return false;
    }
    if (CsvNumbersIn(fields, separator) < 2) {
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
        if (!ParseCsvNumber(fields[picked[i] - 1], separator, values[i])) {
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
        if (!ReadInstrumentTableLine(reading, TakeLine(text), number, error))
            return false;
    }
    if (!FinishInstrumentTable(reading, error))
        return false;
    spectra = std::move(reading.spectra);
    return true;
}
