// Comma-separated text as RFC 4180 has it (CR LF line ends, a field quoted when it holds a comma,
// a quote or a line end) with numbers in '.' decimals whatever the locale.
#pragma once

#include <string>
#include <string_view>

// The shortest text that reads back as the same double; "nan", "inf" or "-inf" otherwise.
void AppendCsvNumber(std::string& out, double value);
// The same for a single-precision value (the log's module and phase: "1098.05", not the double's
// 1098.050048828125).
void AppendCsvNumber(std::string& out, float value);
// A frequency in fixed notation, for titles and frequency columns ("1000000", not "1e+06").
void AppendCsvFixed(std::string& out, float value);
// A text field, quoted when it has to be.
void AppendCsvField(std::string& out, std::string_view text);
inline void EndCsvRow(std::string& out)
{
    out += "\r\n";
}
