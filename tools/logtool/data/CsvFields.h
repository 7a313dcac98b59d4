// Reading the fields of one line of a CSV file: splitting at the separator, trimming blanks and
// quotes, and numbers in '.' decimals whatever the locale.
#pragma once

#include <string_view>
#include <vector>

// The field without surrounding blanks, quotes and a CR.
std::string_view TrimCsvField(std::string_view text);
// A whole field as a number (a leading '+' allowed); false for anything else.
bool ParseCsvNumber(std::string_view text, double& value);
// The first of ',', ';' and tab that the line holds; ',' for none.
char CsvSeparatorOf(std::string_view line);
std::vector<std::string_view> SplitCsvLine(std::string_view line, char separator);
