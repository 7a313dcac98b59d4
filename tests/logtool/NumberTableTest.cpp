#include "data/NumberTable.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct TableCase {
    const char* text;
    bool ok;
    size_t rows;
    const char* message;   // the error, or the warning of a good table
};

} // namespace

TEST(NumberTable, ReadsGoodTablesAndNamesTheBadLine)
{
    const TableCase cases[] = {
        {"# note\nt,a\n0,1\n10,2\n", true, 2, ""},
        {"t,a\r\n0,1\r\n10,n/a\r\n", true, 2, ""},
        {"t,a\n0,1\n10,", true, 1, "line 3: cut short, left out"},
        {"t,a\n0,1\n10,2", true, 2, ""},
        {"t,a\n0,1\n10\n20,3\n", false, 0, "line 3: 1 values for 2 columns"},
        {"t,a\n0,x\n", false, 0, "line 2: a field is neither a number nor n/a"},
        {"t,a\n0,1,2\n", false, 0, "line 2: 3 values for 2 columns"},
        {"# only notes\n\n", false, 0, "no column names"},
    };
    for (const TableCase& c : cases) {
        NumberTable table;
        std::string error;
        EXPECT_EQ(ParseNumberTable(c.text, table, error), c.ok) << c.text;
        EXPECT_EQ(c.ok ? table.warning : error, c.message) << c.text;
        if (c.ok) {
            EXPECT_EQ(table.rows.size(), c.rows) << c.text;
        }
    }
}

TEST(NumberTable, KeepsNotesColumnsAndUnknownValues)
{
    NumberTable table;
    std::string error;
    ASSERT_TRUE(ParseNumberTable("# gdi: table\nelapsed_s, gdi\n0,n/a\n10,+1.5e2\n", table, error)) << error;
    EXPECT_EQ(table.notes, std::vector<std::string>{"gdi: table"});
    EXPECT_EQ(table.Column("gdi"), 1u);
    EXPECT_EQ(table.Column("none"), 2u);
    EXPECT_TRUE(std::isnan(table.rows[0][1]));
    EXPECT_EQ(table.rows[1][1], 150.0);
}
