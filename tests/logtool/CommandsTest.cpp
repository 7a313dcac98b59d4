#include "CommandLine.h"
#include "Commands.h"
#include "TestLogs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

namespace {

std::vector<std::string> CsvRows(const std::string& text)
{
    std::vector<std::string> rows;
    std::istringstream lines(text);
    for (std::string row; std::getline(lines, row);) {
        EXPECT_EQ(row.back(), '\r');
        row.pop_back();
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> Fields(const std::string& row)
{
    std::vector<std::string> fields;
    std::istringstream items(row);
    for (std::string item; std::getline(items, item, ',');)
        fields.push_back(item);
    return fields;
}

// A log of MeasCount 0..9 with 13..14 lost, a restart at 0 and a row cut at the end.
std::string GappedLog()
{
    std::vector<SpectrumRecord> records;
    for (uint32_t count : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 12u, 15u, 0u, 1u})
        records.push_back(MakeTestRecord(count));
    const std::string text = TestLogText(records, 2);
    return text.substr(0, text.size() - 5);
}

} // namespace

TEST(InfoCommand, TellsGapsRestartsAndUnreadableRows)
{
    const auto path = WriteScratchFile("gapped.txt", GappedLog());
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunInfoCommand({path.string()}), ExitSuccess);
    const std::string out = testing::internal::GetCapturedStdout();
    for (const char* expected :
         {"spectra: 13 (lines 22 to 34)", "MeasCount: 0 to 15", "gaps: 2, spectra lost: 4",
          "line 32: MeasCount 12 follows 9, 2 lost (10 to 11)", "line 33: MeasCount 15 follows 12, 2 lost (13 to 14)",
          "line 34: MeasCount 0 follows 15", "unreadable rows: 1", "line 35: row cut at the end of the file",
          "FrequencyDivider: 2", "spectrum period: 2 ms"})
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
}

TEST(CsvCommand, WideRowsCarryEveryValueAndBlockMeansAreComplex)
{
    const auto log = WriteScratchFile("csv.txt", TestLogText({MakeTestRecord(1), MakeTestRecord(2), MakeTestRecord(3)}, 2));
    const auto out = log.parent_path() / "wide.csv";
    ASSERT_EQ(RunCsvCommand({log.string(), "-o", out.string(), "--mean", "2"}), ExitSuccess);
    const auto rows = CsvRows(ReadWholeFile(out));
    ASSERT_EQ(rows.size(), 3u);  // titles, a block of 2, the last block of 1
    const auto titles = Fields(rows[0]);
    ASSERT_EQ(titles.size(), 3 + 15 * 4 + 9u);
    EXPECT_EQ(titles[3], "Zmod_1000Hz");
    EXPECT_EQ(titles[62], "Zim_1000000Hz");
    EXPECT_EQ(titles.back(), "ChargeStatus");
    const auto first = Fields(rows[1]), last = Fields(rows[2]);
    EXPECT_EQ(first[0], "1");
    EXPECT_EQ(first[1], "2");
    EXPECT_EQ(first[2], "0.002");  // MeasCount 1 at 2 ms per spectrum
    EXPECT_EQ(last[1], "1");
    EXPECT_EQ(last[3 + 4 * 14], "222.25");  // |Z| of MeasCount 3 at 1 MHz as the log has it
    // The block's Z' at 1 kHz is the mean of the two spectra's Z', not |Z|cos(mean phase).
    auto real = [](const SpectrumRecord& r) { return r.Module[0] * std::cos(r.Phase[0] * std::numbers::pi / 180); };
    const double expected = (real(MakeTestRecord(1)) + real(MakeTestRecord(2))) / 2;
    EXPECT_NEAR(std::stod(first[5]), expected, 1e-3);
    EXPECT_EQ(first.back(), "1");
    EXPECT_EQ(first[first.size() - 3], "0x01");  // GPIO of the block's first spectrum
}

TEST(CsvCommand, LongFormRangeAndEvery)
{
    const auto log = WriteScratchFile("long.txt", GappedLog());
    const auto out = log.parent_path() / "long.csv";
    ASSERT_EQ(RunCsvCommand({log.string(), "--long", "--range", "2:12", "--every", "3", "-o", out.string()}), ExitSuccess);
    const auto rows = CsvRows(ReadWholeFile(out));
    EXPECT_EQ(rows[0], "MeasCount,time_s,frequency_Hz,Zmod_ohm,phase_deg,Zre_ohm,Zim_ohm");
    ASSERT_EQ(rows.size(), 1 + 3 * 15u);  // MeasCount 2, 5, 8 of 2..9, 12
    EXPECT_EQ(Fields(rows[16])[0], "5");
    EXPECT_EQ(Fields(rows[16])[2], "1000");
    EXPECT_EQ(Fields(rows[45])[2], "1000000");
}

TEST(Commands, BadUsageAndBadInputAreToldApart)
{
    const std::string log = WriteScratchFile("usage.txt", GappedLog()).string();
    const std::string missing = "no/such/log.txt";
    const std::string noLog = WriteScratchFile("nolog.csv", "1,2,3\n").string();
    struct Case {
        int (*run)(const Arguments&);
        Arguments arguments;
        bool usage;
    } cases[] = {
        {RunInfoCommand, {}, true},
        {RunInfoCommand, {log, log}, true},
        {RunInfoCommand, {log, "--fast"}, true},
        {RunInfoCommand, {missing}, false},
        {RunInfoCommand, {noLog}, false},
        {RunCsvCommand, {log, "--every", "0"}, true},
        {RunCsvCommand, {log, "--every", "2", "--mean", "2"}, true},
        {RunCsvCommand, {log, "--range", "9:2"}, true},
        {RunCsvCommand, {log, "--range", "x"}, true},
        {RunCsvCommand, {log, "-o"}, true},
        {RunCsvCommand, {log, "--long", "--long"}, true},
        {RunCsvCommand, {noLog}, false},
        {RunCsvCommand, {log, "-o", "no/such/folder/out.csv"}, false},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& argument : c.arguments)
            joined += argument + " ";
        if (c.usage)
            EXPECT_THROW(c.run(c.arguments), UsageError) << joined;
        else
            EXPECT_THROW(c.run(c.arguments), InputError) << joined;
    }
}
