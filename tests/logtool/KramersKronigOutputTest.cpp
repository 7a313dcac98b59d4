#include "fit/KramersKronigOutput.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>

namespace {

// R-p(R,C) whose resistance grows by 20 % during the sweep: not valid.
KkResult DriftingResult()
{
    Spectrum spectrum;
    for (int i = 0; i < 15; ++i) {
        const double f = 1e3 * std::pow(1e3, i / 14.0), grow = 1 + 0.2 * i / 14.0;
        spectrum.frequency.push_back(f);
        spectrum.impedance.push_back(20.0 + 100 * grow / (1.0 + std::complex<double>(0, f / 30e3)));
    }
    KkResult result;
    std::string error;
    EXPECT_TRUE(RunKramersKronig(spectrum, {}, result, error)) << error;
    return result;
}

// The numbers of the JSON array named `key`.
std::vector<double> JsonArray(const std::string& json, const std::string& key)
{
    std::vector<double> values;
    for (size_t at = json.find("\"" + key + "\":[") + key.size() + 4; json.at(at) != ']';) {
        const auto [end, error] = std::from_chars(json.data() + at, json.data() + json.size(), values.emplace_back());
        EXPECT_EQ(error, std::errc()) << json.substr(at, 20);
        at = end - json.data() + (*end == ',');
    }
    return values;
}

} // namespace

TEST(KramersKronigJson, FieldsInOrderNumbersReadBackExactlyNullForMinusInfinity)
{
    KkResult result = DriftingResult();
    std::string json = KramersKronigJson(result);
    EXPECT_EQ(json.rfind("{\"M\":" + std::to_string(result.M) + ",\"mu\":", 0), 0u) << json;
    size_t previous = 0;
    for (const char* key : {"\"mu\":", "\"valid\":false,", "\"residuals_real\":[", "\"residuals_imag\":[",
                            "\"frequencies\":[", "\"threshold\":0.01,", "\"fit\":\"real\",",
                            "\"rule\":\"least-misfit\",", "\"inductance\":", "\"capacitance\":null,"}) {
        EXPECT_GT(json.find(key), previous) << key;
        previous = json.find(key);
    }
    EXPECT_EQ(json.substr(json.size() - 2), "}\n");
    const std::pair<const char*, const std::vector<double>*> arrays[] = {
        {"residuals_real", &result.residualsReal}, {"residuals_imag", &result.residualsImag},
        {"frequencies", &result.frequency}, {"resistances", &result.resistances}, {"mu_by_M", &result.muTried}};
    for (const auto& [key, values] : arrays)
        EXPECT_EQ(JsonArray(json, key), *values) << key;
    result.mu = -INFINITY;
    result.note = "a \"quoted\" \\ note";
    json = KramersKronigJson(result);
    EXPECT_NE(json.find("\"mu\":null,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"note\":\"a \\\"quoted\\\" \\\\ note\""), std::string::npos) << json;
}

TEST(KramersKronigReport, RowPerFrequencyInPercentMarkedOverTheThreshold)
{
    const KkResult result = DriftingResult();
    const std::string report = KramersKronigReport(result);
    size_t marked = 0, over = 0, at = report.find("imag/%\n") + 7;
    for (size_t i = 0; i < result.frequency.size(); ++i, at = report.find('\n', at) + 1) {
        const std::string row = report.substr(at, report.find('\n', at) - at);
        double f = 0, real = 0, imag = 0;
        ASSERT_EQ(std::sscanf(row.c_str(), "%lf %lf %lf", &f, &real, &imag), 3) << row;
        EXPECT_NEAR(f, result.frequency[i], 1e-5 * f);
        EXPECT_NEAR(real, 100 * result.residualsReal[i], 0.0006);
        EXPECT_NEAR(imag, 100 * result.residualsImag[i], 0.0006);
        marked += row.back() == '*';
        over += std::max(std::abs(result.residualsReal[i]), std::abs(result.residualsImag[i])) >= result.threshold;
    }
    EXPECT_GT(over, 0u);
    EXPECT_EQ(marked, over);
    EXPECT_NE(report.find("M = " + std::to_string(result.M) + " RC elements"), std::string::npos);
    EXPECT_NE(report.find("verdict: not valid, largest residual"), std::string::npos) << report;
}

// The rule and the series capacitance in both outputs: the rule by name, the capacitance as a
// number that reads back exactly, or null (JSON) and absent (text) when the model had none.
TEST(KramersKronigOutput, NameTheRuleAndTheSeriesCapacitance)
{
    const struct {
        KkRule rule;
        bool withCapacitance;
        double capacitance;
        const char *json, *text, *series;
    } cases[] = {
        {KkRule::LeastMisfit, false, 0, "\"rule\":\"least-misfit\",", ", rule least-misfit)\n", nullptr},
        {KkRule::Settled, true, 1e-4, "\"rule\":\"settled\",", ", rule settled)\n", ", series C = 0.0001 F\n"},
        {KkRule::Schoenleber, true, 2.5e-7, "\"rule\":\"schoenleber\",", ", rule schoenleber)\n",
         ", series C = 2.5e-07 F\n"},
        {KkRule::Schoenleber, true, 1.0 / 3, "\"rule\":\"schoenleber\",", ", rule schoenleber)\n",
         ", series C = 0.333333 F\n"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(KkRuleName(test.rule));
        KkResult result = DriftingResult();
        result.rule = test.rule;
        result.withCapacitance = test.withCapacitance;
        result.capacitance = test.capacitance;
        const std::string json = KramersKronigJson(result), text = KramersKronigReport(result);
        EXPECT_NE(json.find(test.json), std::string::npos) << json;
        EXPECT_NE(text.find(test.text), std::string::npos) << text;
        const size_t at = json.find("\"capacitance\":") + 14;
        if (!test.withCapacitance) {
            EXPECT_EQ(json.substr(at, 5), "null,");
            EXPECT_EQ(text.find(", series C"), std::string::npos) << text;
            continue;
        }
        double read = 0;
        EXPECT_EQ(std::from_chars(json.data() + at, json.data() + json.size(), read).ec, std::errc());
        EXPECT_EQ(read, test.capacitance);
        EXPECT_NE(text.find(test.series), std::string::npos) << text;
    }
}
