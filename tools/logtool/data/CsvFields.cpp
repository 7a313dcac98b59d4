#include "CsvFields.h"

#include "WholeNumber.h"

std::string_view TrimCsvField(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '"'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '"'))
        text.remove_suffix(1);
    return text;
}

bool ParseCsvNumber(std::string_view text, double& value)
{
    return ParseWholeNumber(TrimCsvField(text), value);
}

char CsvSeparatorOf(std::string_view line)
{
    for (const char candidate : {',', ';', '\t'})
        if (line.find(candidate) != std::string_view::npos)
            return candidate;
    return ',';
}

std::vector<std::string_view> SplitCsvLine(std::string_view line, char separator)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const size_t at = line.find(separator);
        fields.push_back(line.substr(0, at));
        if (at == std::string_view::npos)
            return fields;
        line.remove_prefix(at + 1);
    }
}
