// Reading the fields of one line of a CSV file: splitting at the separator as RFC 4180 has it
// (quoted fields), trimming blanks, and numbers in '.' decimals whatever the locale.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The field without surrounding blanks, quotes and a CR.
std::string_view TrimCsvField(std::string_view text);
// A whole field as a number (a leading '+' allowed); false for anything else.
bool ParseCsvNumber(std::string_view text, double& value);
// Which of ',', ';' and tab separates the fields of the line: of those it holds outside quotes,
// the one that splits it into the most numbers, the first of them in that order when they split
// it into as many (titles); ',' for none.
char CsvSeparatorOf(std::string_view line);
// How many of the fields are numbers.
size_t CsvNumbersIn(const std::vector<std::string>& fields);
// The fields of a line (without its line end): a field in double quotes may hold the separator,
// and "" in it is one quote; blanks around a field are dropped. False with `error` ("column 3: a
// quoted field is not closed on its line", "column 2: text after the closing quote").
bool SplitCsvLine(std::string_view line, char separator, std::vector<std::string>& fields, std::string& error);
