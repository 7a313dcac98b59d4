#include "LogFormat.h"
#include "LogReader.h"
#include "TestLogs.h"
#include "TextFormat.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::string RowText(const SpectrumRecord& record)
{
    char row[512];
    TextSink sink = MakeTextSink(row, sizeof row);
    FormatLogRow(sink, record);
    return std::string(row, sink.length);
}

struct ReadBack {
    std::vector<SpectrumRecord> records;
    std::vector<uint64_t> lines;
    std::vector<LogProblem> problems;
};

ReadBack ReadLog(const std::string& text)
{
    LogStream log;
    std::string error;
    const auto path = WriteScratchFile("read.txt", text);
    EXPECT_TRUE(log.Open(path.string(), error)) << error;
    ReadBack back;
    SpectrumRecord record;
    while (log.Next(record)) {
        back.records.push_back(record);
        back.lines.push_back(log.LineNumber());
    }
    back.problems = log.Problems();
    return back;
}

} // namespace

TEST(LogReader, RowsThePanelWroteReadBackExactly)
{
    std::vector<SpectrumRecord> records;
    for (uint32_t count : {0u, 1u, 77u, 0x7FFFFFFFu, 0x80000005u, 0xFFFFFFFFu})
        records.push_back(MakeTestRecord(count));
    records[1].MaxChA = records[1].MinChB = 65535;
    records[1].SysErrors = 0xFFFF;
    records[1].GPIOStatus = 0x1FF;         // wider than the two digits the row gives it
    records[1].ProcPeriod = 0xFFFFFFF0u;   // written as a negative number
    records[2].Module[3] = 9999999.99f;
    records[2].Phase[14] = -179.99f;
    records[3].Module[0] = 0.0f;

    const ReadBack back = ReadLog(TestLogText(records));
    ASSERT_EQ(back.records.size(), records.size());
    EXPECT_TRUE(back.problems.empty());
    for (size_t i = 0; i < records.size(); ++i) {
        const SpectrumRecord& in = records[i];
        const SpectrumRecord& out = back.records[i];
        EXPECT_EQ(RowText(out), RowText(in)) << "row " << i;
        EXPECT_EQ(out.marker, 0xFF03);
        EXPECT_EQ(out.tag, 0x01DD);
        EXPECT_EQ(out.MeasCount, in.MeasCount);
        EXPECT_EQ(out.ProcPeriod, in.ProcPeriod);
        EXPECT_EQ(std::memcmp(&out.MaxChA, &in.MaxChA, 4 * sizeof(uint16_t)), 0);
        EXPECT_EQ(out.SysErrors, in.SysErrors);
        EXPECT_EQ(out.GPIOStatus, in.GPIOStatus);
        EXPECT_EQ(out.BatteryLevel, in.BatteryLevel);
        EXPECT_EQ(out.ChargerStatus, in.ChargerStatus);
        for (int k = 0; k < 15; ++k) {
            EXPECT_NEAR(out.Module[k], in.Module[k], 0.005 + 1e-7 * in.Module[k]);
            EXPECT_NEAR(out.Phase[k], in.Phase[k], 0.005);
        }
        EXPECT_EQ(back.lines[i], 22 + i);
    }
}

TEST(LogReader, HeaderFieldsAndTablesAreRead)
{
    LogStream log;
    std::string error;
    ASSERT_TRUE(log.Open(WriteScratchFile("header.txt", TestLogText({}, 4)).string(), error)) << error;
    const LogHeaderRead& header = log.Header();
    EXPECT_EQ(header.divider, 4);
    EXPECT_TRUE(header.hasFrequencies);
    EXPECT_EQ(std::vector<float>(header.frequencies, header.frequencies + 15),
              std::vector<float>(TestLogFrequencies, TestLogFrequencies + 15));
    ASSERT_NE(header.Find("GainCH-B"), nullptr);
    EXPECT_EQ(*header.Find("GainCH-B"), "10x");
    EXPECT_EQ(*header.Find("LogName"), "test.txt");
    EXPECT_EQ(header.Find("Nothing"), nullptr);
    EXPECT_EQ(header.fields.size(), 17u);
    EXPECT_EQ(header.lines, 21u);
}

// Every damaged row is reported with its line and reason; the rows around it are read.
TEST(LogReader, UnusableRowsAreReportedAndTheRestIsRead)
{
    const std::string good = RowText(MakeTestRecord(5));
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string row = good;
        row.replace(row.find(from), from.size(), to);
        return row;
    };
    struct Case {
        const char* name;
        std::string row;
        const char* reason;
    } cases[] = {
        {"letter in a module", replaced("1000.05", "10x0.05"), "module 1: not a number"},
        {"missing field", good.substr(0, good.rfind('\t')) + "\r\n", "39 fields"},
        {"extra field", good.substr(0, good.size() - 2) + "\t7\r\n", "more than 40 fields"},
        {"level too large", replaced(" 2005", "70000"), "Max-A: not a whole number from 0 to 65535"},
        {"bad hex", replaced("0x00B9", "0xZZZZ"), "SysErr: not a hexadecimal"},
        {"hex without 0x", replaced("0x00B9", "  00B9"), "SysErr"},
        {"count not a number", replaced("         5", "       5.5"), "Count: not a whole 32-bit number"},
        {"count beyond 32 bits", replaced("         5", "9999999999"), "Count"},
        {"line far too long", std::string(70000, '7') + "\r\n", "line longer than 65536 bytes"},
        {"nan module", replaced("1000.05", "    nan"), "module 1: not finite"},
        {"inf phase", replaced(" -45.05", "    inf"), "phase 15: not finite"},
        {"-inf module", replaced("222.27", "  -inf"), "module 15: not finite"},
    };
    for (const Case& c : cases) {
        const std::string header = TestLogText({});
        const ReadBack back = ReadLog(header + RowText(MakeTestRecord(1)) + c.row + "\r\n" +
                                      RowText(MakeTestRecord(2)));
        ASSERT_EQ(back.records.size(), 2u) << c.name;
        EXPECT_EQ(back.records[1].MeasCount, 2u) << c.name;
        EXPECT_EQ(back.lines[1], 25u) << c.name;  // the blank line after the damaged one counts
        ASSERT_EQ(back.problems.size(), 1u) << c.name;
        EXPECT_EQ(back.problems[0].line, 23u) << c.name;
        EXPECT_NE(back.problems[0].reason.find(c.reason), std::string::npos)
            << c.name << ": " << back.problems[0].reason;
    }
}

TEST(LogReader, ARowCutAtTheEndIsReportedNotRead)
{
    const std::string text = TestLogText({MakeTestRecord(0), MakeTestRecord(1)});
    for (size_t cut : {1u, 2u, 100u, 380u}) {
        const ReadBack back = ReadLog(text.substr(0, text.size() - cut));
        ASSERT_EQ(back.records.size(), 1u) << cut;
        ASSERT_EQ(back.problems.size(), 1u) << cut;
        EXPECT_EQ(back.problems[0].line, 23u);
        EXPECT_EQ(back.problems[0].reason, "row cut at the end of the file");
    }
}

TEST(LogReader, FilesThatAreNoLogAreRefused)
{
    const std::string log = TestLogText({});
    struct Case {
        const char* name;
        std::string text;
        const char* error;
    } cases[] = {
        {"empty", "", "empty file"},
        {"csv", "f,re,im\r\n1,2,3\r\n", "line 1: not a header field"},
        {"header only", log.substr(0, log.find("\t\t\t\tModule")), "without the column titles"},
        {"titles first", log.substr(log.find("\tCount")), "column titles before any header field"},
    };
    for (const Case& c : cases) {
        LogStream stream;
        std::string error;
        EXPECT_FALSE(stream.Open(WriteScratchFile("bad.txt", c.text).string(), error)) << c.name;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
    }
    LogStream missing;
    std::string error;
    EXPECT_FALSE(missing.Open("no/such/folder/log.txt", error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(LogReader, HeaderTablesAreCheckedField)
{
    float values[3];
    std::string reason;
    EXPECT_TRUE(ParseLogTable(" 1.5Hz,  2Hz,3e3Hz", values, 3, "Hz", reason));
    EXPECT_EQ(values[2], 3000.0f);
    EXPECT_FALSE(ParseLogTable("1,2", values, 3, "", reason));
    EXPECT_EQ(reason, "has fewer than 3 values");
    EXPECT_FALSE(ParseLogTable("1,2,3,4", values, 3, "", reason));
    EXPECT_EQ(reason, "has more than 3 values");
    EXPECT_FALSE(ParseLogTable("1,x,3", values, 3, "", reason));
    EXPECT_EQ(reason, "value 2 is not a number");
    LogField field;
    EXPECT_TRUE(ParseLogHeaderField("Shunt(re...im...)=   1, 2\r", field));
    EXPECT_EQ(field.name, "Shunt(re...im...)");
    EXPECT_EQ(field.value, "1, 2");
    EXPECT_FALSE(ParseLogHeaderField("=value", field));
    EXPECT_FALSE(ParseLogHeaderField("\t1\t2", field));
}

// The same log however its lines end, with a byte-order mark or blank lines before it.
TEST(LogReader, LineEndsMarksAndLeadingBlankLines)
{
    const std::string log = TestLogText({MakeTestRecord(3), MakeTestRecord(4)});
    auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
        return text;
    };
    struct Case {
        const char* name;
        std::string text;
        uint64_t firstLine;
    } cases[] = {
        {"CR LF", log, 22},
        {"LF", replaced(log, "\r\n", "\n"), 22},
        {"CR", replaced(log, "\r\n", "\r"), 22},
        {"byte-order mark", "\xEF\xBB\xBF" + log, 22},
        {"blank lines first", "\r\n \t\r\n" + log, 24},
    };
    for (const Case& c : cases) {
        const ReadBack back = ReadLog(c.text);
        ASSERT_EQ(back.records.size(), 2u) << c.name;
        EXPECT_EQ(back.records[1].MeasCount, 4u) << c.name;
        EXPECT_EQ(back.lines[0], c.firstLine) << c.name;
        EXPECT_TRUE(back.problems.empty()) << c.name;
    }
    EXPECT_TRUE(LooksLikeLogStart(log));
    EXPECT_TRUE(LooksLikeLogStart("\r\n\r\n" + log.substr(0, 100)));
    EXPECT_TRUE(LooksLikeLogStart("LogName=  x"));
    EXPECT_FALSE(LooksLikeLogStart("LogName=x,b,c\n1,2,3\n"));
    EXPECT_FALSE(LooksLikeLogStart("a=b\r\nLogName=  x\r\n"));
    EXPECT_FALSE(LooksLikeLogStart("f,re,im\n1,2,3\n"));
    EXPECT_FALSE(LooksLikeLogStart(""));
}

TEST(LogReader, TheHeaderIsBounded)
{
    const std::string log = TestLogText({MakeTestRecord(1)});
    const std::string titles = log.substr(log.find("\tCount"));
    auto fields = [](size_t count, size_t width) {
        std::string text;
        for (size_t i = 0; i < count; ++i)
            text += "F" + std::to_string(i) + "=" + std::string(width, 'v') + "\r\n";
        return text;
    };
    struct Case {
        const char* name;
        std::string text;
        const char* error;  // nullptr: it opens
    } cases[] = {
        {"1000 lines with the titles", fields(999, 1) + titles, nullptr},
        {"1001 lines", fields(1000, 1) + titles, "line 1001: the header goes on beyond 1000 lines: not a measurement log"},
        {"blank lines count", std::string(1000, '\n') + log, "line 1001: the header goes on beyond 1000 lines"},
        {"256 KiB", fields(255, 1024 - 6) + titles, nullptr},
        {"beyond 256 KiB", fields(257, 1024 - 6), "line 256: the header goes on beyond 256 KiB: not a measurement log"},
        {"a line beyond 64 KiB", fields(1, 70000) + titles, "line 1: longer than 65536 bytes: not a measurement log"},
    };
    for (const Case& c : cases) {
        LogStream stream;
        std::string error;
        EXPECT_EQ(stream.Open(WriteScratchFile("header.txt", c.text).string(), error), c.error == nullptr)
            << c.name << ": " << error;
        if (c.error) {
            EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
        }
    }
}

TEST(LogReader, ABadFrequenciesLineIsToldWithItsLine)
{
    std::string log = TestLogText({MakeTestRecord(1)});
    const size_t at = log.find("Frequencies=");
    log.replace(at, log.find("\r\n", at) - at, "Frequencies=   1000.00Hz,x");
    LogStream stream;
    std::string error;
    ASSERT_TRUE(stream.Open(WriteScratchFile("frequencies.txt", log).string(), error)) << error;
    EXPECT_FALSE(stream.Header().hasFrequencies);
    EXPECT_EQ(stream.Header().frequenciesLine, 15u);
    EXPECT_EQ(stream.Header().frequenciesProblem, "Frequencies has fewer than 15 values");
    ASSERT_EQ(stream.Problems().size(), 1u);
    EXPECT_EQ(stream.Problems()[0].line, 15u);
}
