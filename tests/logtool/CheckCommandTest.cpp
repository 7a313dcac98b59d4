#include "CommandLine.h"
#include "Commands.h"
#include "data/CsvSpectrum.h"
#include "fit/KramersKronigOutput.h"
#include "TestLogs.h"

#include <gtest/gtest.h>

namespace {

const std::string TwoZarc = KALVIX_SOURCE_DIR "/tests/logtool/data/two-zarc-synthetic.csv";

std::string CheckOutput(const Arguments& arguments)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunCheckCommand(arguments), ExitSuccess);
    return testing::internal::GetCapturedStdout();
}

} // namespace

TEST(CheckCommand, JsonIsTheLibraryResultForTheSameOptions)
{
    Spectrum spectrum;
    std::string error;
    ASSERT_TRUE(ParseCsvSpectrum(ReadWholeFile(TwoZarc), {2, 3, 4}, spectrum, error)) << error;
    const std::pair<Arguments, KkOptions> cases[] = {
        {{}, {}},
        {{"--fit", "imag", "--threshold", "5", "--c", "0.9"}, {.c = 0.9, .mode = KkFitMode::Imag, .threshold = 0.05}},
        {{"--fit=complex", "--c=1"}, {.c = 1, .mode = KkFitMode::Complex}},
        {{"--rule", "schoenleber"}, {.rule = KkRule::Schoenleber}},
        {{"--rule=settled", "--add-cap"}, {.rule = KkRule::Settled, .capacitance = KkCapacitance::Always}},
        {{"--add-cap", "--rule", "schoenleber", "--c", "0.5"},
         {.c = 0.5, .rule = KkRule::Schoenleber, .capacitance = KkCapacitance::Always}},
        {{"--rule", "least-misfit", "--fit", "imag"}, {.mode = KkFitMode::Imag, .rule = KkRule::LeastMisfit}},
    };
    for (const auto& [options, expected] : cases) {
        Arguments arguments = {TwoZarc, "--columns", "2,3,4", "--json"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        KkResult result;
        ASSERT_TRUE(RunKramersKronig(spectrum, expected, result, error)) << error;
        EXPECT_EQ(CheckOutput(arguments), KramersKronigJson(result));
    }
}

TEST(CheckCommand, ReportsTheChosenSpectrumOfALog)
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
    const std::pair<Arguments, bool> cases[] = {   // arguments, bad usage
        {{}, true}, {{TwoZarc, "--fit", "both"}, true}, {{TwoZarc, "--c", "1.5"}, true},
        {{TwoZarc, "--c", "-0.1"}, true}, {{TwoZarc, "--c", "most"}, true}, {{TwoZarc, "--threshold", "0"}, true},
        {{TwoZarc, "--threshold", "101"}, true}, {{TwoZarc, "--json=yes"}, true}, {{TwoZarc, "--json", "--json"}, true},
        {{TwoZarc, "--order", "5"}, true}, {{twoRows}, false}, {{"no/such/file.csv"}, false},
        {{TwoZarc, "--rule", "fits-within"}, true}, {{TwoZarc, "--rule", "Schoenleber"}, true},
        {{TwoZarc, "--rule"}, true}, {{TwoZarc, "--rule="}, true}, {{TwoZarc, "--add-cap=yes"}, true},
        {{TwoZarc, "--add-cap", "--add-cap"}, true}, {{TwoZarc, "--rule", "settled", "--rule", "settled"}, true},
    };
    for (const auto& [arguments, usage] : cases) {
        std::string joined;
        for (const auto& argument : arguments)
            joined += argument + " ";
        if (usage)
            EXPECT_THROW(RunCheckCommand(arguments), UsageError) << joined;
        else
            EXPECT_THROW(RunCheckCommand(arguments), InputError) << joined;
    }
}

// The rule's message names every rule there is.
TEST(CheckCommand, UnknownRuleNamesTheRules)
{
    try {
        RunCheckCommand({TwoZarc, "--rule", "first-dip"});
        ADD_FAILURE() << "no usage error";
    } catch (const UsageError& error) {
        EXPECT_STREQ(error.what(), "--rule is least-misfit, settled or schoenleber, not \"first-dip\"");
    }
}
