#include "CommaLocale.h"
#include "LogFormat.h"
#include "ScratchFiles.h"
#include "TextFormat.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <utility>

namespace {

std::string Fixed(double v, int width, int precision)
{
    char buffer[512];
    TextSink sink = MakeTextSink(buffer, sizeof buffer);
    Print(sink, "{:>{}.{}f}", v, width, precision);
    return buffer;
}

template <typename... Args>
std::string Printed(fmt::format_string<Args...> format, const Args&... args)
{
    char buffer[512];
    TextSink sink = MakeTextSink(buffer, sizeof buffer);
    Print(sink, format, args...);
    return std::string(buffer, sink.length);
}

} // namespace

TEST(TextFormat, FixedNumbersMatchPrintf)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-6, 12);
    for (int k = 0; k < 3000; ++k) {
        const float v = static_cast<float>(mantissa(random) * std::pow(10.0, exponent(random)));
        for (int width : {7, 12, 13}) {
            ASSERT_EQ(Fixed(v, width, 2), Printf("%*.2f", width, v)) << v;
        }
    }
    for (double v : {0.0, -0.0, 0.005, 0.015, 2.675, -12.25, 1234.5, 3.0e38, 1.0e300})
        EXPECT_EQ(Fixed(v, 12, 2), Printf("%12.2f", v)) << v;
    EXPECT_EQ(Fixed(INFINITY, 7, 2), "    inf");
}

TEST(TextFormat, IntegersAndCuttingMatchPrintf)
{
    char buffer[64];
    for (int64_t v : {0ll, 7ll, -7ll, 2147483647ll, -2147483648ll, 123456789012ll}) {
        TextSink sink = MakeTextSink(buffer, sizeof buffer);
        Print(sink, "{:10}", v);
        EXPECT_STREQ(buffer, Printf("%10lld", static_cast<long long>(v)).c_str());
        sink = MakeTextSink(buffer, sizeof buffer);
        Print(sink, "{:04}", v);
        EXPECT_STREQ(buffer, Printf("%04lld", static_cast<long long>(v)).c_str());
    }
    TextSink hex = MakeTextSink(buffer, sizeof buffer);
    Print(hex, "{:04X}", 0xA0);
    Print(hex, "{:02X}", 0xBEEF1);
    EXPECT_STREQ(buffer, "00A0BEEF1");

    // Cut like a bounded printf: limit - 1 characters and a terminator.
    char small[6];
    std::memset(small, '#', sizeof small);
    TextSink sink = MakeTextSink(small, sizeof small);
    Print(sink, "abc");
    Print(sink, "{:>6.2f}", 12.5);
    EXPECT_TRUE(sink.truncated);
    EXPECT_EQ(sink.length, 5u);
    EXPECT_STREQ(small, "abc 1"); // "abc" + " 12.50"
}

// Each format the log and the panel's texts use, at the edge values, against the texts the
// formatters written by hand before {fmt} gave (and printf's "% 4d" for the status bar's rate).
TEST(TextFormat, PrintGivesTheFormerTextsAtTheEdges)
{
    const std::pair<std::string, const char*> cases[] = {
        {Printed("{:>12.2f}", -NAN), "        -nan"},
        {Printed("{:>12.2f}", NAN), "         nan"},
        {Printed("{:>5.2f}", -NAN), " -nan"},
        {Printed("{:>7.2f}", INFINITY), "    inf"},
        {Printed("{:>7.2f}", -INFINITY), "   -inf"},
        {Printed("{:>13.2f}", -0.0f), "        -0.00"},
        {Printed("{:>7.2f}", -0.004f), "  -0.00"},
        {Printed("{:>7.2f}", 0.125f), "   0.12"},
        {Printed("{:>7.2f}", 0.375f), "   0.38"},
        {Printed("{:>7.2f}", 2.675), "   2.67"},
        {Printed("{:>12.2f}", 0.005), "        0.01"},
        {Printed("{:>12.2f}", 1e-45f), "        0.00"},
        {Printed("{:>12.2f}", -1e-45f), "       -0.00"},
        {Printed("{:>12.2f}", 3.4028235e38f), "340282346638528859811704183484516925440.00"},
        {Printed("{:>7.2f}", 12345.678f), "12345.68"},
        {Printed("{:.2f}", -1.5f), "-1.50"},
        {Printed("{:>11.2f}", 999999.94f), "  999999.94"},
        {Printed("{:>5.3f}", 1792 / 1000.0), "1.792"},
        {Printed("{:>5.3f}", 65535 / 1000.0), "65.535"},
        {Printed("{:>5.3f}", 1 / 1000.0), "0.001"},
        {Printed("{:>3.0f}", 0.5), "  0"},
        {Printed("{:>3.0f}", 1.5), "  2"},
        {Printed("{:>3.0f}", 2.5), "  2"},
        {Printed("{:>3.0f}", -0.4), " -0"},
        {Printed("{:10}", INT32_MIN), "-2147483648"},
        {Printed("{:10}", -7), "        -7"},
        {Printed("{:04}", -5), "-005"},
        {Printed("{:04}", -12345), "-12345"},
        {Printed("{:02}", 0), "00"},
        {Printed("{}", 4000000000u), "4000000000"},
        {Printed("{:4}", uint16_t{65535}), "65535"},
        {Printed("{:<10}", -5), "-5        "},
        {Printed("{:<5}", uint16_t{65535}), "65535"},
        {Printed("{:<5}", 123456), "123456"},
        {Printed("{:04X}", uint16_t{0xBEEF}), "BEEF"},
        {Printed("{:02X}", uint8_t{0}), "00"},
        {Printed("{:04X}", uint16_t{0xFFFF}), "FFFF"},
        {Printed("{:02X}", 0xABC), "ABC"},
        {Printed("{:04X}", 0xA), "000A"},
        {Printed("{:<24}", "Frequencies="), "Frequencies=            "},
        {Printed("{:<24}", "A label longer than its column"), "A label longer than its column"},
        {Printed("{: 4}", 0), "   0"},
        {Printed("{: 4}", -5), "  -5"},
        {Printed("{: 4}", 12345), " 12345"},
    };
    for (const auto& [got, expected] : cases)
        EXPECT_EQ(got, expected);
}

// Cut at limit - 1 characters, terminated, flagged; what follows a cut stays out.
TEST(TextFormat, PrintCutsAtTheLimit)
{
    struct Case {
        size_t limit;
        const char* kept;
        bool truncated;
    };
    const Case cases[] = {{0, "", true}, {1, "", true}, {2, "a", true}, {9, "ab  -1.5", true}, {10, "ab  -1.50", false}};
    for (const Case& c : cases) {
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        TextSink sink = MakeTextSink(c.limit ? buffer : nullptr, c.limit);
        Print(sink, "ab{:>7.2f}", -1.5);
        Print(sink, "");
        EXPECT_EQ(std::string(buffer, sink.length), c.kept) << c.limit;
        EXPECT_EQ(sink.truncated, c.truncated) << c.limit;
        Print(sink, "x");
        EXPECT_EQ(std::string(buffer, sink.length), c.kept) << c.limit;
        EXPECT_TRUE(sink.truncated) << c.limit;
        if (c.limit) {
            EXPECT_EQ(buffer[sink.length], '\0') << c.limit;
        }
        EXPECT_EQ(buffer[c.limit], '#') << c.limit;
    }
}

TEST(TextFormat, FileNameDateKeepsTheWholeName)
{
    char buffer[400];
    TextSink sink = MakeTextSink(buffer, sizeof buffer);
    const std::string name(120, 'q');
    FormatFileNameDate(sink, LogTime{2031, 1, 2, 3, 4, 5}, name);
    EXPECT_EQ(std::string(buffer), "310102_030405_" + name);

    EXPECT_EQ(SplitLogPath("C:\\data\\logs\\run.txt").directory, "C:\\data\\logs\\");
    EXPECT_EQ(SplitLogPath("C:\\data\\logs\\run.txt").suffix, "run.txt");
    EXPECT_EQ(SplitLogPath("run.txt").directory, "");
    EXPECT_EQ(SplitLogPath("run.txt").suffix, "run.txt");
}

TEST(TextFormat, LogNameCandidatesPutTheNumberBeforeTheExtension)
{
    const std::string longName(240, 'q');
    struct Case {
        std::string name;
        uint32_t attempt;
        std::string candidate;
    };
    const Case cases[] = {
        {"261210_051100_run.txt", 0, "261210_051100_run.txt"},
        {"261210_051100_run.txt", 1, "261210_051100_run.txt"},
        {"261210_051100_run.txt", 2, "261210_051100_run_2.txt"},
        {"261210_051100_run.txt", 999, "261210_051100_run_999.txt"},
        {"261210_051100_run.txt", 4000000000u, "261210_051100_run_4000000000.txt"},
        {"261210_051100_run", 3, "261210_051100_run_3"},
        {"261210_051100_", 2, "261210_051100__2"},
        {"261210_051100_.txt", 2, "261210_051100__2.txt"},
        {"261210_051100_a.b.log", 2, "261210_051100_a.b_2.log"},
        {"261210_051100_run.", 2, "261210_051100_run_2."},
        {"C:\\data.v2\\261210_051100_run", 2, "C:\\data.v2\\261210_051100_run_2"},
        {"C:\\data.v2\\261210_051100_run.txt", 2, "C:\\data.v2\\261210_051100_run_2.txt"},
        {"C:/data.v2/261210_051100_run", 2, "C:/data.v2/261210_051100_run_2"},
        {"run.txt", 2, "run_2.txt"},
        {".txt", 2, "_2.txt"},
        {"", 2, "_2"},
        {longName + ".txt", 17, longName + "_17.txt"},
    };
    for (const Case& c : cases) {
        char buffer[400];
        TextSink sink = MakeTextSink(buffer, sizeof buffer);
        FormatLogNameCandidate(sink, c.name, c.attempt);
        EXPECT_EQ(std::string(buffer, sink.length), c.candidate) << c.name << " " << c.attempt;
        EXPECT_FALSE(sink.truncated);
    }

    // A sink too small cuts the candidate and says so.
    char small[20];
    TextSink sink = MakeTextSink(small, sizeof small);
    FormatLogNameCandidate(sink, "261210_051100_run.txt", 2);
    EXPECT_TRUE(sink.truncated);
    EXPECT_STREQ(small, "261210_051100_run_2");
}

TEST(TextFormat, NumbersKeepTheirPointUnderACommaLocale)
{
    CommaLocale locale;
    if (!locale.active)
        GTEST_SKIP() << "no locale with a decimal comma available";
    ASSERT_EQ(std::strtod("1,5", nullptr), 1.5) << "the locale is in effect";

    EXPECT_EQ(Fixed(1234.5, 12, 2), "     1234.50");
    SpectrumRecord record{};
    record.Module[0] = 1.5f;
    char row[2048];
    TextSink sink = MakeTextSink(row, sizeof row);
    FormatLogRow(sink, record);
    EXPECT_NE(std::string(row).find("        1.50\t   0.00\t"), std::string::npos);
    EXPECT_EQ(std::string(row).find(','), std::string::npos);
}
