// Reading the fields of one line of a CSV file: splitting at the separator as RFC 4180 has it
// (quoted fields) or at runs of blanks, trimming blanks, and numbers in '.' decimals whatever the
// locale (or with a decimal comma where the separator is not ',').
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The field without surrounding blanks, quotes and a CR.
std::string_view TrimCsvField(std::string_view text);
// A whole field as a number (a leading '+' allowed); false for anything else.
bool ParseCsvNumber(std::string_view text, double& value);
// The same in a line whose fields `separator` splits: where it is not ',', a field with one comma
// and no '.' takes the comma as its decimal point ("12,5", "1,5E+003"); with ',' as separator a
// comma is never part of a number, so "5,995.07" stays refused.
bool ParseCsvNumber(std::string_view text, char separator, double& value);
// Which of ',', ';', tab and ' ' (runs of blanks) separates the fields of the line: of those it
// holds outside quotes, the one that splits it into the most numbers (ParseCsvNumber with that
// separator), the first of them in that order when they split it into as many (titles); ',' for
// none.
char CsvSeparatorOf(std::string_view line);
// How many of the fields are numbers (read as in a line split by `separator`).
size_t CsvNumbersIn(const std::vector<std::string>& fields, char separator = ',');
// The fields of a line (without its line end): a field in double quotes may hold the separator,
// and "" in it is one quote; blanks around a field are dropped. With ' ' as separator the fields
// are the runs of characters between blanks (tabs and CR are blanks too; quotes are kept for
// ParseCsvNumber to drop). False with `error` ("column 3: a quoted field is not closed on its
// line", "column 2: text after the closing quote").
bool SplitCsvLine(std::string_view line, char separator, std::vector<std::string>& fields, std::string& error);
