// Comma-separated text as RFC 4180 has it (CR LF line ends, a field quoted when it holds a comma,
// a quote or a line end); numbers are written by NumberText's rule.
#pragma once

#include "NumberText.h"

#include <string>
#include <string_view>

// A text field, quoted when it has to be.
void AppendCsvField(std::string& out, std::string_view text);
inline void EndCsvRow(std::string& out)
{
    out += "\r\n";
}
