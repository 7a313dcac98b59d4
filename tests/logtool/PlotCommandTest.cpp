// kalvix-log plot: which spectra and curves are drawn, usage and input errors that leave nothing.
#include "fit/Circuit.h"
#include "CommandLine.h"
#include "Commands.h"
#include "PictureTestSupport.h"
#include "TestLogs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>

namespace {

// A record of R0-p(R1,C1) with R1 growing with the count.
SpectrumRecord CircuitRecord(uint32_t count)
{
    SpectrumRecord record = MakeTestRecord(count);
    Circuit circuit;
    std::string error;
    EXPECT_TRUE(ParseCircuit("R0-p(R1,C1)", circuit, error));
    const double values[] = {10.0, 100.0 + count, 5e-8};
    for (size_t i = 0; i < 15; ++i) {
        const std::complex<double> z = CircuitImpedance(circuit, values, TestLogFrequencies[i]);
        record.Module[i] = static_cast<float>(std::abs(z));
        record.Phase[i] = static_cast<float>(std::arg(z) * 180.0 / std::numbers::pi);
    }
    return record;
}

class PlotCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseTestFont();
        std::vector<SpectrumRecord> records;
        for (uint32_t count = 0; count < 30; ++count)
            records.push_back(CircuitRecord(count));
        log = scratch.File("recording.txt");
        std::ofstream(log, std::ios::binary) << TestLogText(records);
        csv = std::string(KALVIX_SOURCE_DIR) + "/tests/logtool/data/two-zarc-synthetic.csv";

        testing::internal::CaptureStdout();
        EXPECT_EQ(RunFitCommand({log, "--circuit", "R0-p(R1,C1)", "--spectrum", "3", "--json"}), ExitSuccess);
        fitJson = scratch.File("fit.json");
        std::ofstream(fitJson, std::ios::binary) << testing::internal::GetCapturedStdout();
    }

    ScratchDirectory scratch;
    std::string log, csv, fitJson;
};

} // namespace

TEST_F(PlotCommand, DrawsTheSpectraAndCurvesAskedFor)
{
    const struct {
        Arguments arguments;
        size_t paths;        // one per series and panel
        const char* stderrSays;
        const char* pictureSays;
    } cases[] = {
        {{"LOG", "--bode"}, 2, "", "measured"},
        {{"LOG", "--nyquist", "--spectrum", "7"}, 1, "", "measured"},
        {{"LOG", "--nyquist", "--circuit", "R0-p(R1,C1)"}, 2, "", "fit R0-p(R1,C1)"},
        {{"LOG", "--bode", "--spectrum", "3", "--fit-from", "FIT"}, 4, "", "measured"},
        {{"LOG", "--bode", "--circuit", "R0-p(R1, C1)", "--fit-from", "FIT"}, 4, "", "measured"},
        {{"LOG", "--nyquist", "--range", "2:5"}, 4, "", "MeasCount 2 to 5"},
        {{"LOG", "--nyquist", "--range", "0:"}, 24, "30 spectra; 24 of them", "MeasCount 29"},
        {{"CSV", "--columns", "2,3,4", "--nyquist", "--circuit", "R0-Zarc1-Zarc2"}, 2, "", "measured"},
        // An instrument's file numbers its sweeps, not MeasCounts.
        {{"SWEEPS", "--nyquist", "--range", "0:1"}, 2, "", "sweep 0 to 1"},
    };
    const std::string sweeps = scratch.File("two sweeps.csv");
    std::ofstream(sweeps, std::ios::binary) << "f,Z',Z''\n100,1,-1\n10,2,-2\n100,3,-3\n10,4,-4\n";
    for (const auto& c : cases) {
        Arguments arguments;
        for (const std::string& argument : c.arguments)
            arguments.push_back(argument == "LOG"      ? log
                                : argument == "CSV"    ? csv
                                : argument == "FIT"    ? fitJson
                                : argument == "SWEEPS" ? sweeps
                                                       : argument);
        const std::string picture = scratch.File("picture.svg");
        arguments.insert(arguments.end(), {"-o", picture});
        testing::internal::CaptureStderr();
        EXPECT_EQ(RunPlotCommand(arguments), ExitSuccess);
        const std::string errors = testing::internal::GetCapturedStderr();
        const std::string svg = ReadText(picture);
        EXPECT_EQ(SvgTagBalanceProblem(svg), "") << c.arguments[1];
        EXPECT_EQ(CountOccurrences(svg, "<path"), c.paths) << testing::PrintToString(c.arguments);
        EXPECT_NE(errors.find(c.stderrSays), std::string::npos) << errors;
        EXPECT_NE(svg.find(c.pictureSays), std::string::npos) << c.pictureSays;
        if (c.arguments[0] == "SWEEPS") {
            EXPECT_EQ(svg.find("MeasCount"), std::string::npos);
        }
    }
}

TEST_F(PlotCommand, WritesAPngToo)
{
    const std::string picture = scratch.File("bode.png");
    EXPECT_EQ(RunPlotCommand({log, "--bode", "--circuit", "R0-p(R1,C1)", "-o", picture}), ExitSuccess);
    const RgbImage image = ReadPng(picture);
    EXPECT_GT(image.width, 100);
    EXPECT_GT(image.height, 100);
}

TEST_F(PlotCommand, BadUsageOrInputFailsAndLeavesNoPicture)
{
    const std::string missing = scratch.File("missing.txt");
    // A saved fit whose circuit nests 17,000 deep, and values whose picture would overflow.
    std::string deep = "R0";
    for (int i = 0; i < 17000; ++i)
        deep = "p(R1," + deep + ")";
    const std::string deepFit = scratch.File("deep.json"), huge = scratch.File("huge.csv");
    std::ofstream(deepFit, std::ios::binary) << R"({"circuit":")" << deep << R"(","parameters":[]})";
    std::ofstream(huge, std::ios::binary) << "f,re,im\n1,1e308,-1e308\n10,-1e308,1e308\n100,1e307,1\n";
    const struct {
        Arguments arguments;
        bool usage;   // UsageError, else InputError
    } cases[] = {
        {{"LOG", "--bode"}, true},   // no -o
        {{"LOG", "--bode", "-o", "OUT.jpg"}, true},
        {{"LOG", "-o", "OUT.svg"}, true},
        {{"LOG", "--bode", "--nyquist", "-o", "OUT.svg"}, true},
        {{"LOG", "--bode", "--range", "1:4", "--circuit", "R0", "-o", "OUT.svg"}, true},
        {{"LOG", "--bode", "--circuit", "R0-X1", "-o", "OUT.svg"}, true},
        {{"LOG", "--bode", "--spectrum", "3", "--range", "1:4", "-o", "OUT.svg"}, true},
        {{missing, "--bode", "-o", "OUT.svg"}, false},
        {{"LOG", "--bode", "--spectrum", "99", "-o", "OUT.svg"}, false},
        {{"LOG", "--bode", "--range", "50:60", "-o", "OUT.svg"}, false},
        {{"LOG", "--bode", "--circuit", "R0-p(R1,CPE1)", "--fit-from", "FIT", "-o", "OUT.svg"}, false},
        {{"LOG", "--bode", "--fit-from", "LOG", "-o", "OUT.svg"}, false},
        {{"LOG", "--bode", "--fit-from", missing, "-o", "OUT.svg"}, false},
        {{"LOG", "--bode", "-o", scratch.File("no/such/folder.svg")}, false},
        {{"LOG", "--bode", "--fit-from", deepFit, "-o", "OUT.svg"}, false},
        {{huge, "--nyquist", "-o", "OUT.svg"}, false},
#ifndef _WIN32
        {{"LOG", "--bode", "--fit-from", "/dev/zero", "-o", "OUT.svg"}, false},   // endless
#endif
    };
    const std::vector<std::string> before = scratch.Names();
    for (const auto& c : cases) {
        Arguments arguments;
        for (const std::string& argument : c.arguments)
            arguments.push_back(argument == "LOG" ? log : argument == "FIT" ? fitJson
                                : argument.starts_with("OUT") ? scratch.File("picture" + argument.substr(3)) : argument);
        testing::internal::CaptureStderr();
        if (c.usage)
            EXPECT_THROW(RunPlotCommand(arguments), UsageError) << testing::PrintToString(c.arguments);
        else
            EXPECT_THROW(RunPlotCommand(arguments), InputError) << testing::PrintToString(c.arguments);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(scratch.Names(), before) << testing::PrintToString(c.arguments);
    }
}

TEST_F(PlotCommand, HelpIsPrinted)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunPlotCommand({"--help"}), ExitSuccess);
    const std::string help = testing::internal::GetCapturedStdout();
    for (const char* option : {"--bode", "--nyquist", "--range", "--circuit", "--fit-from", "24"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}
