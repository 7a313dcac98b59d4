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
        {"word in the data", "1,2,3\n4,x,6\n", "1,2,3", 0, 0, 0, "line 2: frequency, Z' or Z'' is not a number"},
        {"negative frequency", "-1,2,3\n", "1,2,3", 0, 0, 0, "line 1: the frequency (column 1) is not positive; --columns F,RE,IM picks the columns"},
        {"infinite value", "1,inf,3\n", "1,2,3", 0, 0, 0, "line 1: a value is not finite"},
        {"empty", "", "1,2,3", 0, 0, 0, "no data rows"},
        {"header only", "f,re,im\n", "1,2,3", 0, 0, 0, "no data rows"},
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
