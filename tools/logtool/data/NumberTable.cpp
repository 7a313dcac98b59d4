#include "NumberTable.h"

#include "CsvFields.h"

#include <cmath>
#include <limits>

namespace {

bool ParseValue(std::string_view field, double& value)
{
    field = TrimCsvField(field);
    if (field == "n/a") {
        value = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    return ParseCsvNumber(field, value);
}

} // namespace

size_t NumberTable::Column(std::string_view name) const
{
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i] == name)
            return i;
    return columns.size();
}

bool ParseNumberTable(std::string_view text, NumberTable& table, std::string& error)
{
    table = NumberTable();
    size_t lineNumber = 0;
    while (!text.empty()) {
        const size_t feed = text.find('\n');
        const bool ended = feed != std::string_view::npos;
        const std::string_view raw = text.substr(0, feed);
        const std::string_view line = TrimCsvField(raw);
        text = ended ? text.substr(feed + 1) : std::string_view();
        ++lineNumber;
        if (line.empty())
            continue;
        if (line.front() == '#') {
            table.notes.emplace_back(TrimCsvField(line.substr(1)));
            continue;
        }
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        std::vector<std::string> fields;
        std::string reason;
        const bool split = SplitCsvLine(raw, ',', fields, reason);
        if (!split && ended) {
            error = "line " + std::to_string(lineNumber) + ", " + reason;
            return false;
        }
        if (table.columns.empty() && split) {
            for (const std::string& name : fields)
                table.columns.emplace_back(TrimCsvField(name));
            continue;
        }
        std::vector<double> row(fields.size());
        bool numeric = split;
        for (size_t i = 0; i < fields.size(); ++i)
            numeric = numeric && ParseValue(fields[i], row[i]);
        if (!ended && (!numeric || row.size() != table.columns.size())) {
            table.warning = where + "cut short, left out";
            break;
        }
        if (row.size() != table.columns.size()) {
            error = where + std::to_string(row.size()) + " values for " + std::to_string(table.columns.size()) + " columns";
            return false;
        }
        if (!numeric) {
            error = where + "a field is neither a number nor n/a";
            return false;
        }
        table.rows.push_back(std::move(row));
    }
    if (table.columns.empty()) {
        error = "no column names";
        return false;
    }
    return true;
}
