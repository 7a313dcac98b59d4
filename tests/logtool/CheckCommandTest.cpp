#include "CommandLine.h"
#include "Commands.h"
#include "CsvSpectrum.h"
#include "KramersKronigOutput.h"
#include "TestLogs.h"

#include <gtest/gtest.h>

namespace {

const std::string TwoZarc = KALVIX_SOURCE_DIR "/tests/logtool/data/two-zarc-synthetic.csv";

std::string CheckOutput(const Arguments& arguments)
{
    testing::internal::CaptureStdout();
    const int code = RunCheckCommand(arguments);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(code, ExitSuccess);
    return out;
}

} // namespace

TEST(CheckCommand, JsonIsTheLibraryResultForTheSameOptions)
{
    Spectrum spectrum;
    std::string error;
    ASSERT_TRUE(ParseCsvSpectrum(ReadWholeFile(TwoZarc), {2, 3, 4}, spectrum, error)) << error;
    const struct {
        Arguments options;
        KkOptions expected;
    } cases[] = {
        {{}, {}},
        {{"--fit", "imag", "--threshold", "5", "--c", "0.9"}, {.c = 0.9, .mode = KkFitMode::Imag, .threshold = 0.05}},
        {{"--fit=complex", "--c=1"}, {.c = 1, .mode = KkFitMode::Complex}},
    };
    for (const auto& test : cases) {
        Arguments arguments = {TwoZarc, "--columns", "2,3,4", "--json"};
        arguments.insert(arguments.end(), test.options.begin(), test.options.end());
        KkResult expected;
        ASSERT_TRUE(RunKramersKronig(spectrum, test.expected, expected, error)) << error;
        EXPECT_EQ(CheckOutput(arguments), KramersKronigJson(expected));
    }
}

TEST(CheckCommand, ReportsTheSpectrumOfALogAndItsVerdict)
{
    const auto log = WriteScratchFile("check.txt", TestLogText({MakeTestRecord(4), MakeTestRecord(5)}));
    const std::string out = CheckOutput({log.string(), "--spectrum", "5"});
    EXPECT_NE(out.find("spectrum: MeasCount 5"), std::string::npos) << out;
    EXPECT_NE(out.find("verdict: "), std::string::npos) << out;
    for (const float f : TestLogFrequencies)
        EXPECT_NE(out.find(" " + std::to_string(int(f)) + " "), std::string::npos) << f;
}

TEST(CheckCommand, BadUsageAndUntestableInputAreToldApart)
{
    const std::string twoRows = WriteScratchFile("two-rows.csv", "1000,10,-1\n2000,9,-2\n").string();
    const struct {
        Arguments arguments;
        bool usage;
    } cases[] = {
        {{}, true},
        {{TwoZarc, "--fit", "both"}, true},
        {{TwoZarc, "--c", "1.5"}, true},
        {{TwoZarc, "--c", "-0.1"}, true},
        {{TwoZarc, "--c", "most"}, true},
        {{TwoZarc, "--threshold", "0"}, true},
        {{TwoZarc, "--threshold", "101"}, true},
        {{TwoZarc, "--json=yes"}, true},
        {{TwoZarc, "--json", "--json"}, true},
        {{TwoZarc, "--order", "5"}, true},
        {{twoRows}, false},
        {{"no/such/file.csv"}, false},
    };
    for (const auto& test : cases) {
        std::string joined;
        for (const auto& argument : test.arguments)
            joined += argument + " ";
        if (test.usage)
            EXPECT_THROW(RunCheckCommand(test.arguments), UsageError) << joined;
        else
            EXPECT_THROW(RunCheckCommand(test.arguments), InputError) << joined;
    }
}
