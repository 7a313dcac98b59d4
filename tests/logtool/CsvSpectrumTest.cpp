#include "data/CsvFields.h"
#include "data/CsvSpectrum.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(CsvSpectrum, ReadsOtherInstrumentsFiles)
{
    struct Case {
        const char* name;
        const char* text;
        const char* columns;
        size_t points;
        double lastReal, lastImaginary;
        const char* error;
    } cases[] = {
        {"header", "f,re,im\n1,10,-1\n2,9,-2\n", "1,2,3", 2, 9, -2, nullptr},
        {"no header, CR LF", "1,10,-1\r\n2e3,9.5,-2.5\r\n", "1,2,3", 2, 9.5, -2.5, nullptr},
        {"semicolons, quoted titles", "\"i\";\"f\";\"re\";\"im\"\n0;1;10;-1\n", "2,3,4", 1, 10, -1, nullptr},
        {"tabs, columns swapped", "1\t-1\t10\n", "1,3,2", 1, 10, -1, nullptr},
        {"comments and blanks", "# from the bench\n\n1,2,3\n", "1,2,3", 1, 2, 3, nullptr},
        {"too few columns", "f,re\n1,2\n", "1,2,3", 0, 0, 0, "line 2: 2 columns, but --columns reads column 3"},
        {"word in the data", "1,2,3\n4,x,6\n", "1,2,3", 0, 0, 0, "line 2, column 2: Z' is not a number: \"x\""},
        {"negative frequency", "-1,2,3\n", "1,2,3", 0, 0, 0, "line 1: the frequency (column 1) is not positive; --columns F,RE,IM picks the columns"},
        {"infinite value", "1,inf,3\n", "1,2,3", 0, 0, 0, "line 1, column 2: Z' is not finite"},
        {"empty", "", "1,2,3", 0, 0, 0, "no data rows"},
        {"header only", "f,re,im\n", "1,2,3", 0, 0, 0, "no data rows"},
        {"decimal commas, ';'", "1000;12,5;-3,25\n100;13;-4,5\n", "1,2,3", 2, 13, -4.5, nullptr},
        {"decimal commas, tabs", "1000\t12,5\t-3,25\n", "1,2,3", 1, 12.5, -3.25, nullptr},
        {"decimal commas, blanks", "  1000   12,5  -3,25 \n1e2 1,3E+001 -4\n", "1,2,3", 2, 13, -4, nullptr},
        {"blanks with titles", "f re im\n1000 12.5 -3.25\n", "1,2,3", 1, 12.5, -3.25, nullptr},
        {"blanks, a row short", "f re im\n1000 12.5\n", "1,2,3", 0, 0, 0, "line 2: 2 fields where the titles have 3 (a number with a thousands separator?)"},
        {"blanks as thousands separator", "1000 12 -3\n100 5 995,5 -4\n", "1,2,3", 0, 0, 0,
         "line 2: 4 fields where the first row has 3 (a number with a thousands separator?)"},
        {"decimal comma where ',' separates", "1,2,5,-3\n2,3,6,-4\n", "1,2,3", 2, 3, 6, nullptr},
        {"thousands and decimal, ';'", "1000;5,995.07;-3\n", "1,2,3", 0, 0, 0,
         "line 1, column 2: Z' is not a number: \"5,995.07\" (numbers take '.' or ',' as decimal point and no thousands separator)"},
    };
    for (const Case& c : cases) {
        CsvColumns columns;
        ASSERT_TRUE(ParseCsvColumns(c.columns, columns)) << c.name;
        Spectrum spectrum;
        std::string error;
        const bool read = ParseCsvSpectrum(c.text, columns, spectrum, error);
        EXPECT_EQ(read, c.error == nullptr) << c.name << ": " << error;
        if (!read) {
            EXPECT_EQ(error, c.error) << c.name;
            continue;
        }
        ASSERT_EQ(spectrum.frequency.size(), c.points) << c.name;
        EXPECT_EQ(spectrum.impedance.back(), std::complex<double>(c.lastReal, c.lastImaginary)) << c.name;
    }
    CsvColumns columns;
    for (const char* bad : {"1,2", "1,2,2", "0,1,2", "1,2,3,4", "a,b,c", "1,,3", ""})
        EXPECT_FALSE(ParseCsvColumns(bad, columns)) << bad;
}

// The limits hold while reading: the points at the line that passes them, the bytes however the
// text is cut into lines.
TEST(CsvSpectrum, LimitsAreCheckedLineByLine)
{
    CsvSpectrumReading reading;
    std::string error;
    for (uint64_t line = 1; line <= CsvMostPoints; ++line)
        ASSERT_TRUE(ReadCsvSpectrumLine(reading, std::to_string(line) + ",1,-1", line, error)) << error;
    EXPECT_EQ(reading.spectrum.frequency.size(), CsvMostPoints);
    EXPECT_FALSE(ReadCsvSpectrumLine(reading, "1,1,-1", CsvMostPoints + 1, error));
    EXPECT_EQ(error, "line 100001: more than 100000 points: more than a spectrum has");

    const std::string comment = "#" + std::string(65535, 'x');
    CsvSpectrumReading comments;
    uint64_t line = 1;
    while (ReadCsvSpectrumLine(comments, comment, line, error))
        ++line;
    EXPECT_EQ(line, CsvLargestBytes / 65537 + 1);
    EXPECT_EQ(error, "line " + std::to_string(line) + ": the file goes on beyond 64 MiB: larger than a spectrum's CSV can be");
    EXPECT_FALSE(ReadCsvSpectrumLine(reading, std::string(65537, '1'), 7, error));
    EXPECT_EQ(error, "line 7: longer than 65536 bytes");
    EXPECT_TRUE(ParseCsvSpectrum("1,1,-1\n" + std::string(65536, ' ') + "\n", {}, reading.spectrum, error)) << error;
}

TEST(CsvSpectrum, KindFromTheFirstBytes)
{
    struct Case {
        const char* text;
        bool csv;
    } cases[] = {
        {"1,2,3\n", true},
        {"f,re,im\n1,2,3\n", true},
        {"# bench\n\n\"f\";\"re\"\n1;2\n", true},
        {"1000;5 995,07;-3\n", true},
        {"1000;12,5;-3,25\n", true},
        {"1000 12,5 -3,25\n", true},
        {"f re im\n1 2 3\n", true},
        {"version 1\nread me\n", false},
        {"a=b,c\n1,2,3\n", true},
        {"f,re,im\n", false},
        {"f,re,im\nx,y,z\n1,2,3\n", false},
        {"only one number\n5\n", false},
        {"", false},
        {"LogName=  x\r\nCreated=  y\r\n", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LooksLikeCsvOfNumbers(c.text), c.csv) << c.text;
}

TEST(CsvSpectrum, QuotedFieldsAsRfc4180HasThem)
{
    struct Case {
        const char* line;
        char separator;
        std::vector<std::string> fields;
        const char* error;
    } cases[] = {
        {"a,b,,c", ',', {"a", "b", "", "c"}, nullptr},
        {" \"x, y\" , \"say \"\"hi\"\"\" ,3 \r", ',', {"x, y", "say \"hi\"", "3"}, nullptr},
        {"\"1\";\"2,5\";\"\"", ';', {"1", "2,5", ""}, nullptr},
        {"1\t\t2", '\t', {"1", "", "2"}, nullptr},
        {" 1  2,5\t\"3\" \r", ' ', {"1", "2,5", "\"3\""}, nullptr},
        {"\"open,1", ',', {}, "column 1: a quoted field is not closed on its line"},
        {"1,\"a\"b", ',', {}, "column 2: text after the closing quote"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> fields;
        std::string error;
        EXPECT_EQ(SplitCsvLine(c.line, c.separator, fields, error), c.error == nullptr) << c.line;
        if (c.error) {
            EXPECT_EQ(error, c.error) << c.line;
        } else {
            EXPECT_EQ(fields, c.fields) << c.line;
        }
    }
    for (const auto& [line, separator] : std::vector<std::pair<std::string, char>>{
             {"1,2,3", ','}, {"f;re;im", ';'}, {"\"a,b\";c", ';'}, {"1000;5 995,07;-3", ';'}, {"1\t2,5\t3", '\t'},
             {"title", ','}, {"1000;12,5;-3,25", ';'}, {"1000 12,5 -3,25", ' '}, {"1,5;2,5;3,5", ';'},
             {"1, 2, 3", ','}, {"f re im", ' '}, {"Freq (Hz);Z' (Ohm)", ';'}, {"\"a b\"", ' '}})
        EXPECT_EQ(CsvSeparatorOf(line), separator) << line;
}

TEST(CsvSpectrum, DecimalCommaWhereTheSeparatorIsNotAComma)
{
    struct Case {
        const char* field;
        char separator;
        bool number;
        double value;
    } cases[] = {
        {"12,5", ';', true, 12.5},       {"12,5", '\t', true, 12.5},     {"12,5", ' ', true, 12.5},
        {"12,5", ',', false, 0},         {"1,5E+003", ';', true, 1500},   {" \"-3,25\" ", ';', true, -3.25},
        {"5,995.07", ';', false, 0},     {"1,5,5", ';', false, 0},        {"12.5", ';', true, 12.5},
        {"5 995,07", ';', false, 0},     {",", ';', false, 0},            {"x,5", ';', false, 0},
    };
    for (const Case& c : cases) {
        double value = 0;
        EXPECT_EQ(ParseCsvNumber(c.field, c.separator, value), c.number) << c.field << " '" << c.separator << "'";
        if (c.number) {
            EXPECT_EQ(value, c.value) << c.field;
        }
    }
}
