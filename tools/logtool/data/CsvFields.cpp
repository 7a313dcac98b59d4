#include "CsvFields.h"

#include "WholeNumber.h"

#include <algorithm>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// Blanks at the start of `line`, except a tab that separates fields.
size_t BlanksAt(std::string_view line, size_t at, char separator)
{
    while (at < line.size() && IsBlank(line[at]) && line[at] != separator)
        ++at;
    return at;
}

} // namespace

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

bool ParseCsvNumber(std::string_view text, char separator, double& value)
{
    text = TrimCsvField(text);
    const size_t comma = text.find(',');
    if (separator == ',' || comma == std::string_view::npos || text.find(',', comma + 1) != std::string_view::npos ||
        text.find('.') != std::string_view::npos)
        return ParseWholeNumber(text, value);
    std::string pointed(text);
    pointed[comma] = '.';
    return ParseWholeNumber(std::string_view(pointed), value);
}

char CsvSeparatorOf(std::string_view line)
{
    bool quoted = false, held[4] = {};
    const char candidates[4] = {',', ';', '\t', ' '};
    for (const char c : line) {
        quoted = quoted != (c == '"');
        for (size_t i = 0; i < 3; ++i)
            held[i] = held[i] || (!quoted && c == candidates[i]);
    }
    std::vector<std::string> fields;
    std::string ignored;
    held[3] = SplitCsvLine(line, ' ', fields, ignored) && fields.size() > 1;
    char best = ',';
    size_t mostNumbers = 0;
    bool first = true;
    for (size_t i = 0; i < 4; ++i) {
        if (!held[i])
            continue;
        const size_t numbers =
            SplitCsvLine(line, candidates[i], fields, ignored) ? CsvNumbersIn(fields, candidates[i]) : 0;
        if (first || numbers > mostNumbers) {
            best = candidates[i];
            mostNumbers = numbers;
            first = false;
        }
    }
    return best;
}

size_t CsvNumbersIn(const std::vector<std::string>& fields, char separator)
{
    double value = 0;
    return static_cast<size_t>(std::count_if(fields.begin(), fields.end(), [&](const std::string& field) {
        return ParseCsvNumber(field, separator, value);
    }));
}

bool SplitCsvLine(std::string_view line, char separator, std::vector<std::string>& fields, std::string& error)
{
    fields.clear();
    if (separator == ' ') {
        for (size_t at = 0; at < line.size();) {
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
    size_t at = 0;
    for (;;) {
        std::string field;
        at = BlanksAt(line, at, separator);
        if (at < line.size() && line[at] == '"') {
            for (++at;; ++at) {
                if (at == line.size()) {
                    error = "column " + std::to_string(fields.size() + 1) + ": a quoted field is not closed on its line";
                    return false;
                }
                if (line[at] == '"') {
                    if (at + 1 < line.size() && line[at + 1] == '"') {
                        field += '"';
                        ++at;
                        continue;
                    }
                    ++at;
                    break;
                }
                field += line[at];
            }
            at = BlanksAt(line, at, separator);
            if (at < line.size() && line[at] != separator) {
                error = "column " + std::to_string(fields.size() + 1) + ": text after the closing quote";
                return false;
            }
        } else {
            const size_t end = std::min(line.find(separator, at), line.size());
            std::string_view text = line.substr(at, end - at);
            while (!text.empty() && IsBlank(text.back()))
                text.remove_suffix(1);
            field.assign(text);
            at = end;
        }
        fields.push_back(std::move(field));
        if (at >= line.size())
            return true;
        ++at;  // the separator
    }
}
