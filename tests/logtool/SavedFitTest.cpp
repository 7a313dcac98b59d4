#include "fit/SavedFit.h"

#include <gtest/gtest.h>

TEST(SavedFit, ReadsTheCircuitAndEveryValue)
{
    SavedFit fit;
    std::string error;
    ASSERT_TRUE(ParseSavedFit(R"json( {"circuit" : "R0-p(R1,C1)", "spectrum":"MeasCount \"3\"\u00b5",
        "parameters":[{"name":"R0","value":10.5,"stderr":null,"ci95":[1e1,2E+1],"fixed":false},
                      {"name":"R1","value":-2.5e-3},{"fixed":true,"value":5e-08,"name":"C1"}],
        "warnings":[]} )json", fit, error)) << error;
    EXPECT_EQ(fit.circuit, "R0-p(R1,C1)");
    const std::vector<std::pair<std::string, double>> expected{{"R0", 10.5}, {"R1", -2.5e-3}, {"C1", 5e-8}};
    EXPECT_EQ(fit.values, expected);
}

TEST(SavedFit, RefusesWhatIsNotAFitResult)
{
    const char* const cases[] = {
        "",
        "[1, 2]",
        R"({"circuit":"R0","parameters":[{"name":"R0","value":1}]} trailing)",
        R"({"circuit":"R0","parameters":[{"name":"R0","value":1}])",
        R"({"parameters":[{"name":"R0","value":1}]})",
        R"({"circuit":"R0","parameters":{}})",
        R"({"circuit":"R0","parameters":[{"name":"R0","value":null}]})",
        R"({"circuit":"R0","parameters":[{"name":"R0","value":"1"}]})",
        R"({"circuit":"R0","parameters":[{"value":1}]})",
        R"({"circuit":"R0","parameters":[{"name":"R0","value":1,}]})",
        R"({"circuit":"R0\)",
    };
    for (const char* json : cases) {
        SavedFit fit;
        std::string error;
        EXPECT_FALSE(ParseSavedFit(json, fit, error)) << json;
        EXPECT_FALSE(error.empty()) << json;
    }
}
