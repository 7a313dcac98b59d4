// A CSV file of numbers under a line of column names, as benchmarks write them: lines starting
// with '#' are notes, "n/a" is a value that was not known (NaN). The last line
// of a file whose writer was killed may be cut short; without its line end it is left out, with a
// warning, rather than failing the whole file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct NumberTable {
    std::vector<std::string> columns;
    std::vector<std::vector<double>> rows;   // each as long as `columns`
    std::vector<std::string> notes;          // the '#' lines, without the '#'
    std::string warning;                     // "last line cut short, left out" or empty

    // The index of the column of that name; columns.size() when there is none.
    size_t Column(std::string_view name) const;
};

// False with "line N: ..." in `error` (no column names, a row of the wrong length, a field that is
// neither a number nor n/a).
bool ParseNumberTable(std::string_view text, NumberTable& table, std::string& error);
