#include "CommaLocale.h"
#include "NumberParse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

TEST(NumberParse, ReadsWhatPercentFReads)
{
    struct Case { const char* text; double value; size_t used; };
    const Case cases[] = {
        {"1.5", 1.5, 3},     {"-2.25e2x", -225.0, 7}, {"+7", 7.0, 2},  {".5", 0.5, 2},
        {"3.", 3.0, 2},      {"1e400", INFINITY, 5},  {"-1e400", -INFINITY, 6},
        {"1e-400", 0.0, 6},  {"12abc", 12.0, 2},
    };
    for (const Case& c : cases) {
        double v = -1;
        const char* end = ReadDouble(c.text, c.text + std::strlen(c.text), v);
        ASSERT_NE(end, nullptr) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
        EXPECT_EQ(static_cast<size_t>(end - c.text), c.used) << c.text;
    }
    for (const char* bad : {"", "abc", "+", "-", "+-1", ".", "e5"}) {
        double v;
        EXPECT_EQ(ReadDouble(bad, bad + std::strlen(bad), v), nullptr) << bad;
    }
    // Nothing behind the end is looked at.
    double v;
    const char digits[] = "12345";
    ASSERT_NE(ReadDouble(digits, digits + 2, v), nullptr);
    EXPECT_EQ(v, 12.0);
}

TEST(NumberParse, KeepsThePointUnderACommaLocale)
{
    CommaLocale locale;
    if (!locale.active)
        GTEST_SKIP() << "no locale with a decimal comma available";
    ASSERT_EQ(std::strtod("1,5", nullptr), 1.5) << "the locale is in effect";
    const char text[] = "2.75";
    double d = 0;
    ASSERT_NE(ReadDouble(text, text + 4, d), nullptr);
    EXPECT_EQ(d, 2.75);
}
