// kalvix-log fit: spectrum selection from a log, a CSV, the report forms, usage against input errors.
#include "fit/Circuit.h"
#include "CommandLine.h"
#include "Commands.h"
#include "TestLogs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

// A record whose spectrum is R0-p(R1,C1) with R1 = r1 (R0 = 10 ohm, C1 = 50 nF).
SpectrumRecord RcRecord(uint32_t count, double r1)
{
    SpectrumRecord record = MakeTestRecord(count);
    Circuit circuit;
    std::string error;
    EXPECT_TRUE(ParseCircuit("R0-p(R1,C1)", circuit, error));
    const double values[] = {10.0, r1, 5e-8};
    for (size_t i = 0; i < 15; ++i) {
        const std::complex<double> z = CircuitImpedance(circuit, values, TestLogFrequencies[i]);
        record.Module[i] = static_cast<float>(std::abs(z));
        record.Phase[i] = static_cast<float>(std::arg(z) * 180.0 / std::numbers::pi);
    }
    return record;
}

std::string RunCaptured(const Arguments& arguments)
{
    testing::internal::CaptureStdout();
    const int code = RunFitCommand(arguments);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(code, ExitSuccess);
    return out;
}

// The value printed after "name":"NAME","value": in the JSON.
double JsonValue(const std::string& json, const std::string& name)
{
    const std::string key = "{\"name\":\"" + name + "\",\"value\":";
    const size_t at = json.find(key);
    EXPECT_NE(at, std::string::npos) << name << " in " << json;
    return at == std::string::npos ? std::nan("") : std::stod(json.substr(at + key.size()));
}

TEST(FitCommand, FitsTheSelectedSpectrumOfALog)
{
    const std::string log =
        WriteScratchFile("fit.txt", TestLogText({RcRecord(4, 80.0), RcRecord(5, 100.0), RcRecord(6, 120.0)})).string();
    struct Case {
        Arguments selection;
        double r1;
        const char* description;
    } cases[] = {
        {{}, 80.0, "the first spectrum, MeasCount 4"},
        {{"--spectrum", "5"}, 100.0, "MeasCount 5"},
        {{"--range", "5:6"}, -1.0, "mean of 2 spectra, MeasCount 5 to 6"},
    };
    for (const Case& c : cases) {
        Arguments arguments = {log, "--circuit", "R0-p(R1,C1)", "--json"};
        arguments.insert(arguments.end(), c.selection.begin(), c.selection.end());
        const std::string json = RunCaptured(arguments);
        EXPECT_EQ(json.rfind("{\"circuit\":\"R0-p(R1,C1)\",\"parameters\":[{\"name\":\"R0\",\"value\":", 0), 0u) << json;
        EXPECT_NE(json.find("\"points\":15,"), std::string::npos);
        EXPECT_NE(json.find(std::string("\"spectrum\":\"") + c.description + "\"}"), std::string::npos) << json;
        if (c.r1 > 0) {   // the log holds single-precision module and phase
            EXPECT_NEAR(JsonValue(json, "R0"), 10.0, 1e-3);
            EXPECT_NEAR(JsonValue(json, "R1"), c.r1, 1e-3 * c.r1);
        } else {          // the mean of two arcs is no single arc, but close to the one between them
            EXPECT_NEAR(JsonValue(json, "R0"), 10.0, 0.05);
            EXPECT_NEAR(JsonValue(json, "R1"), 110.0, 1.0);
        }
    }
    // The report form, with a fixed parameter and another weighting.
    const std::string text = RunCaptured({log, "--circuit", "R0-p(R1,C1)", "--spectrum", "6", "--fix", "R0=+10",
                                          "--weight", "proportional", "--guess", "C1=1e-7"});
    for (const char* expected : {"spectrum  MeasCount 6\n", "circuit   R0-p(R1,C1)\n", "weighting proportional, 15 frequencies, 28 degrees of freedom",
                                 "fixed\n", "R1 ", "residuals, data - model:"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
}

TEST(FitCommand, FitsACsvSpectrum)
{
    const std::string csv = std::string(KALVIX_SOURCE_DIR) + "/tests/logtool/data/two-zarc-synthetic.csv";
    const std::string json = RunCaptured({csv, "--columns", "2,3,4", "--circuit", "R0-Zarc1-Zarc2", "--weight", "unit", "--json"});
    EXPECT_NE(json.find("\"points\":81,\"dof\":155,\"weighting\":\"unit\",\"converged\":true"), std::string::npos) << json;
    EXPECT_NEAR(JsonValue(json, "Zarc1_1"), 0.1, 0.005);
    EXPECT_NEAR(JsonValue(json, "Zarc2_1"), 1e-4, 5e-6);
}

TEST(FitCommand, HelpIsPrintedAndBadUsageAndBadInputAreToldApart)
{
    const std::string help = RunCaptured({"--help"});
    EXPECT_EQ(help.rfind("usage: kalvix-log fit LOG|CSV --circuit C", 0), 0u);

    const std::string log = WriteScratchFile("fitusage.txt", TestLogText({RcRecord(1, 100.0)})).string();
    const std::string shortCsv = WriteScratchFile("short.csv", "f,re,im\n1000,10,-5\n").string();
    struct Case {
        Arguments arguments;
        bool usage;
        const char* message;
    } cases[] = {
        {{log}, true, "--circuit is missing (for example --circuit \"R0-p(R1,C1)\")"},
        {{log, "--circuit", "R0-X1"}, true, "--circuit \"R0-X1\": unknown element \"X1\" at character 4"},
        {{log, "--circuit", "R0-p(R1,C1"}, true, "--circuit \"R0-p(R1,C1\": unbalanced parentheses"},
        {{log, "--circuit", "R0", "--weight", "square"}, true, "--weight is unit, modulus or proportional, not \"square\""},
        {{log, "--circuit", "R0", "--fix", "R0"}, true, "--fix needs NAME=VALUE, not \"R0\""},
        {{log, "--circuit", "R0", "--fix", "=3"}, true, "--fix needs NAME=VALUE, not \"=3\""},
        {{log, "--circuit", "R0", "--guess", "R0=ten"}, true, "--guess needs NAME=VALUE with a number, not \"R0=ten\""},
        {{log, "--circuit", "R0", "--guess", "R0=+"}, true, "--guess needs NAME=VALUE with a number, not \"R0=+\""},
        {{log, "--circuit", "R0", "--guess", "R0="}, true, "--guess needs NAME=VALUE with a number, not \"R0=\""},
        {{log, "--circuit", "R0", "--fix", "R1=3"}, true, "--fix: the circuit R0 has no parameter \"R1\" (it has R0)"},
        {{log, "--circuit", "R0-CPE1", "--fix", "CPE1_1=2"}, true, "--fix CPE1_1=2: CPE1_1 must be an exponent in (0, 1]"},
        {{log, "--circuit", "R0", "--json=1"}, true, "--json takes no value"},
        {{log, "--circuit", "R0", "--spectrum", "1", "--range", "1:2"}, true, "--spectrum and --range cannot be given together"},
        {{"no/such/log.txt", "--circuit", "R0"}, false, "no/such/log.txt"},
        {{log, "--circuit", "R0", "--spectrum", "7"}, false, "no spectrum with MeasCount 7"},
        {{shortCsv, "--circuit", "R0-p(R1,C1)"}, false, "fewer data than free parameters: 1 frequency gives 2 real data"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& argument : c.arguments)
            joined += argument + " ";
        try {
            RunFitCommand(c.arguments);
            ADD_FAILURE() << joined << ": no error";
        } catch (const UsageError& error) {
            EXPECT_TRUE(c.usage) << joined << ": " << error.what();
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << joined << ": " << error.what();
        } catch (const InputError& error) {
            EXPECT_FALSE(c.usage) << joined << ": " << error.what();
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << joined << ": " << error.what();
        }
    }
}

} // namespace
