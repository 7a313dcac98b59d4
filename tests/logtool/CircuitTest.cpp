// Circuit strings (valid and not), element impedances and their analytic derivatives.
#include "fit/Circuit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using Complex = std::complex<double>;
const Complex J{0.0, 1.0};

struct ValidCase {
    const char* text;
    const char* canonical;
    std::vector<std::string> names;
};

const ValidCase ValidCircuits[] = {
    {"R0", "R0", {"R0"}},
    {"R0-C1", "R0-C1", {"R0", "C1"}},
    {"R0-p(R1,C1)", "R0-p(R1,C1)", {"R0", "R1", "C1"}},
    {" R0 - p( R1 , C1 ) ", "R0-p(R1,C1)", {"R0", "R1", "C1"}},
    {"R0-p(R1,CPE1)", "R0-p(R1,CPE1)", {"R0", "R1", "CPE1_0", "CPE1_1"}},
    {"R0-Zarc1-Zarc2", "R0-Zarc1-Zarc2", {"R0", "Zarc1_0", "Zarc1_1", "Zarc1_2", "Zarc2_0", "Zarc2_1", "Zarc2_2"}},
    {"L0-R0-p(R1,CPE1)-W1", "L0-R0-p(R1,CPE1)-W1", {"L0", "R0", "R1", "CPE1_0", "CPE1_1", "W1"}},
    {"R0-p(R1-Wo1,C1)", "R0-p(R1-Wo1,C1)", {"R0", "R1", "Wo1_0", "Wo1_1", "C1"}},
    {"R0-Ws1-K1", "R0-Ws1-K1", {"R0", "Ws1_0", "Ws1_1", "K1_0", "K1_1"}},
    {"p(R1,C1,L1)", "p(R1,C1,L1)", {"R1", "C1", "L1"}},
    {"R0-p(R1-p(R2,C2),C1)", "R0-p(R1-p(R2,C2),C1)", {"R0", "R1", "R2", "C2", "C1"}},
    {"p(p(R1,C1),p(R2,C2))", "p(p(R1,C1),p(R2,C2))", {"R1", "C1", "R2", "C2"}},
    {"R10-C007", "R10-C007", {"R10", "C007"}},
    {"R1-R2", "R1-R2", {"R1", "R2"}},
};

TEST(CircuitParse, ValidStringsAndTheirParameterNames)
{
    for (const ValidCase& c : ValidCircuits) {
        Circuit circuit;
        std::string error;
        ASSERT_TRUE(ParseCircuit(c.text, circuit, error)) << c.text << ": " << error;
        EXPECT_EQ(circuit.text, c.canonical) << c.text;
        EXPECT_EQ(circuit.parameterNames, c.names) << c.text;
        ASSERT_EQ(circuit.parameterKinds.size(), c.names.size());
        for (size_t i = 0; i < c.names.size(); ++i) {
            const bool exponent = (c.names[i].rfind("CPE", 0) == 0 && c.names[i].back() == '1') ||
                                  (c.names[i].rfind("Zarc", 0) == 0 && c.names[i].back() == '2');
            EXPECT_EQ(circuit.parameterKinds[i] == ParameterKind::Exponent, exponent) << c.names[i];
        }
    }
}

struct InvalidCase {
    const char* text;
    const char* error;
};

const InvalidCase InvalidCircuits[] = {
    {"", "empty circuit"},
    {"   ", "empty circuit"},
    {"X1", "unknown element \"X1\" at character 1 (elements: R, C, L, CPE, W, Wo, Ws, K, Zarc; parallel: p(a,b))"},
    {"R0-Q1", "unknown element \"Q1\" at character 4 (elements: R, C, L, CPE, W, Wo, Ws, K, Zarc; parallel: p(a,b))"},
    {"R0-r1", "unknown element \"r1\" at character 4 (elements: R, C, L, CPE, W, Wo, Ws, K, Zarc; parallel: p(a,b))"},
    {"R0-R0", "duplicate element name \"R0\" at character 4"},
    {"R0-p(R1,C1)-p(R1,C2)", "duplicate element name \"R1\" at character 15"},
    {"R0-p(R1,C1", "unbalanced parentheses: \"(\" at character 5 is never closed"},
    {"R0-p(R1,C1))", "unbalanced parentheses: \")\" at character 12 closes nothing"},
    {"R0)", "unbalanced parentheses: \")\" at character 3 closes nothing"},
    {"R0-p(R1)", "p(...) at character 4 has one branch; a parallel needs at least two"},
    {"p()", "expected an element or p(...) at character 3, not \")\""},
    {"R0-", "expected an element or p(...) at the end of the circuit"},
    {"R0--C1", "expected an element or p(...) at character 4, not \"-\""},
    {"R0-p(R1,)", "expected an element or p(...) at character 9, not \")\""},
    {"R0 C1", "unexpected \"C\" at character 4 after the end of the circuit"},
    {"R0,C1", "unexpected \",\" at character 3 after the end of the circuit"},
    {"R-C1", "element \"R\" at character 1 needs a number, as in R1"},
    {"R0-CPE", "element \"CPE\" at character 4 needs a number, as in CPE1"},
    {"R0-p(R1 C1)", "expected \",\" or \")\" at character 9, not \"C\""},
    {"1R", "expected an element or p(...) at character 1, not \"1\""},
    {"R0-P(R1,C1)", "unknown element \"P\" at character 4 (elements: R, C, L, CPE, W, Wo, Ws, K, Zarc; parallel: p(a,b))"},
};

TEST(CircuitParse, InvalidStringsSayWhatAndWhere)
{
    for (const InvalidCase& c : InvalidCircuits) {
        Circuit circuit;
        std::string error;
        EXPECT_FALSE(ParseCircuit(c.text, circuit, error)) << c.text;
        EXPECT_EQ(error, c.error) << "circuit \"" << c.text << "\"";
        EXPECT_TRUE(circuit.parameterNames.empty());
    }
}

TEST(CircuitParse, TooLargeACircuitIsRefusedBeforeItCostsStackOrTime)
{
    auto repeated = [](const std::string& part, int times) {
        std::string text;
        for (int i = 0; i < times; ++i)
            text += part;
        return text;
    };
    std::string twelveZarcs = "R0", manyResistors = "R0";
    for (int i = 1; i <= 12; ++i)
        twelveZarcs += "-Zarc" + std::to_string(i);
    for (int i = 1; i <= 500; ++i)
        manyResistors += "-R" + std::to_string(i);
    const struct {
        std::string text;
        const char* error;
    } cases[] = {
        {twelveZarcs, "too large"},
        {manyResistors, "too large"},
        {repeated("p(R1,", 17000) + "R2" + repeated(")", 17000), "longer than 4096 characters"},
        {repeated("p(R1,", 33) + "R2" + repeated(")", 33), "nested deeper than 32 levels at character 162"},
        {repeated("p(", 40) + "R1,R2" + repeated(")", 40), "nested deeper than 32"},
        {"R0" + repeated(" ", 5000), "longer than 4096 characters"},
    };
    for (const auto& c : cases) {
        Circuit circuit;
        std::string error;
        EXPECT_FALSE(ParseCircuit(c.text, circuit, error)) << c.text.substr(0, 40);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    // Nesting as deep as the parameter limit allows still parses.
    std::string deepest = "R0";
    for (int i = 1; i < static_cast<int>(MaxCircuitParameters); ++i)
        deepest = "p(R" + std::to_string(i) + "," + deepest + ")";
    Circuit circuit;
    std::string error;
    EXPECT_TRUE(ParseCircuit(deepest, circuit, error)) << error;
}

TEST(CircuitParse, ParameterIndexFindsNames)
{
    Circuit circuit;
    std::string error;
    ASSERT_TRUE(ParseCircuit("R0-p(R1,CPE1)", circuit, error));
    EXPECT_EQ(circuit.ParameterIndex("CPE1_1"), 3);
    EXPECT_EQ(circuit.ParameterIndex("CPE1"), -1);
}

struct Truth {
    const char* circuit;
    std::vector<double> values;
};

// Element impedances against their formulas at a few frequencies.
struct ElementCase {
    const char* circuit;
    std::vector<double> parameters;
    Complex (*formula)(const std::vector<double>& p, double w);
};

Complex Coth(Complex x)
{
    return std::cosh(x) / std::sinh(x);
}

const ElementCase ElementCases[] = {
    {"R1", {12.5}, [](const std::vector<double>& p, double) { return Complex(p[0]); }},
    {"C1", {2e-6}, [](const std::vector<double>& p, double w) { return 1.0 / (J * w * p[0]); }},
    {"L1", {3e-5}, [](const std::vector<double>& p, double w) { return J * w * p[0]; }},
    {"CPE1", {2e-6, 0.8}, [](const std::vector<double>& p, double w) { return 1.0 / (p[0] * std::pow(J * w, p[1])); }},
    {"W1", {40.0}, [](const std::vector<double>& p, double w) { return p[0] * (1.0 - J) / std::sqrt(w); }},
    {"Wo1", {50.0, 1e-4},
     [](const std::vector<double>& p, double w) {
         const Complex x = std::sqrt(J * w * p[1]);
         return p[0] * Coth(x) / x;
     }},
    {"Ws1", {50.0, 1e-4},
     [](const std::vector<double>& p, double w) {
         const Complex x = std::sqrt(J * w * p[1]);
         return p[0] * std::tanh(x) / x;
     }},
    {"K1", {70.0, 2e-5}, [](const std::vector<double>& p, double w) { return p[0] / (1.0 + J * w * p[1]); }},
    {"Zarc1", {70.0, 2e-5, 0.7},
     [](const std::vector<double>& p, double w) { return p[0] / (1.0 + std::pow(J * w * p[1], p[2])); }},
    {"R0-p(R1,C1)", {10.0, 100.0, 5e-8},
     [](const std::vector<double>& p, double w) { return p[0] + 1.0 / (1.0 / p[1] + J * w * p[2]); }},
    {"p(R1,C1,L1)", {100.0, 5e-8, 1e-3},
     [](const std::vector<double>& p, double w) { return 1.0 / (1.0 / p[0] + J * w * p[1] + 1.0 / (J * w * p[2])); }},
};

const double Frequencies[] = {1e-2, 1.0, 1e3, 12000.0, 1e6};

TEST(CircuitImpedance, ElementsFollowTheirFormulas)
{
    for (const ElementCase& c : ElementCases) {
        Circuit circuit;
        std::string error;
        ASSERT_TRUE(ParseCircuit(c.circuit, circuit, error)) << error;
        for (const double f : Frequencies) {
            const double w = 2.0 * std::numbers::pi * f;
            const Complex expected = c.formula(c.parameters, w);
            const Complex z = CircuitImpedance(circuit, c.parameters.data(), f);
            EXPECT_NEAR(std::abs(z - expected) / std::abs(expected), 0.0, 1e-12) << c.circuit << " at " << f << " Hz";
        }
    }
}

TEST(CircuitImpedance, AnalyticDerivativesMatchFiniteDifferences)
{
    const Truth cases[] = {
        {"R0-p(R1,C1)-L1", {10.0, 100.0, 3e-7, 1e-5}},
        {"R0-p(R1,CPE1)", {10.0, 100.0, 2e-6, 0.75}},
        {"R0-W1", {10.0, 300.0}},
        {"R0-Wo1", {10.0, 50.0, 3e-5}},
        {"R0-Ws1", {10.0, 50.0, 3e-5}},
        {"R0-K1", {10.0, 50.0, 3e-5}},
        {"R0-Zarc1-Zarc2", {10.0, 50.0, 1e-3, 0.75, 30.0, 1e-5, 0.9}},
        {"R0-p(R1-Wo1,C1)", {10.0, 40.0, 60.0, 3e-5, 3e-7}},
        {"p(R1-p(R2,CPE2),C1)-Ws1", {20.0, 30.0, 2e-6, 0.7, 3e-7, 40.0, 1e-2}},
    };
    for (const Truth& c : cases) {
        Circuit circuit;
        std::string error;
        ASSERT_TRUE(ParseCircuit(c.circuit, circuit, error)) << error;
        const std::vector<double>& p = c.values;
        ASSERT_EQ(p.size(), circuit.ParameterCount()) << c.circuit;
        for (const double f : {1e-3, 1.0, 1e3, 3e4, 1e6, 1e9}) {
            std::vector<Complex> gradient(p.size());
            const Complex z = CircuitImpedanceGradient(circuit, p.data(), f, gradient.data());
            EXPECT_NEAR(std::abs(z - CircuitImpedance(circuit, p.data(), f)), 0.0, 1e-12 * std::abs(z));
            for (size_t i = 0; i < p.size(); ++i) {
                const double h = 1e-6 * p[i];
                std::vector<double> up = p, down = p;
                up[i] += h;
                down[i] -= h;
                const Complex numeric = (CircuitImpedance(circuit, up.data(), f) - CircuitImpedance(circuit, down.data(), f)) / (2.0 * h);
                // Compared on the scale of |Z| per relative change of the parameter.
                EXPECT_NEAR(std::abs(gradient[i] - numeric) * p[i], 0.0, 1e-7 * std::abs(z))
                    << c.circuit << " d/d" << circuit.parameterNames[i] << " at " << f << " Hz";
            }
        }
    }
}

TEST(CircuitImpedance, WarburgsStayFiniteFarFromTheirTimeConstant)
{
    // tanh of a complex with a large real part is NaN in mingw's library: guarded.
    Circuit open, shorted;
    std::string error;
    ASSERT_TRUE(ParseCircuit("Wo1", open, error));
    ASSERT_TRUE(ParseCircuit("Ws1", shorted, error));
    const double p[] = {50.0, 10.0};
    for (const double f : {1e-6, 1e-3, 1.0, 1e3, 1e6, 1e9}) {
        std::complex<double> gradient[2];
        for (const Circuit* circuit : {&open, &shorted}) {
            const Complex z = CircuitImpedanceGradient(*circuit, p, f, gradient);
            EXPECT_TRUE(std::isfinite(z.real()) && std::isfinite(z.imag())) << circuit->text << " " << f;
            EXPECT_TRUE(std::isfinite(gradient[1].real()) && std::isfinite(gradient[1].imag())) << circuit->text << " " << f;
        }
    }
    // Far above the time constant both tend to Z0 (1 - j)/sqrt(2 w tau)... times sqrt 2: Z0/sqrt(j w tau).
    const double f = 1e9, w = 2.0 * std::numbers::pi * f;
    const Complex limit = 50.0 / std::sqrt(J * w * 10.0);
    EXPECT_NEAR(std::abs(CircuitImpedance(open, p, f) - limit), 0.0, 1e-12 * std::abs(limit));
    EXPECT_NEAR(std::abs(CircuitImpedance(shorted, p, f) - limit), 0.0, 1e-12 * std::abs(limit));
    // Far below, the short end tends to Z0.
    EXPECT_NEAR(CircuitImpedance(shorted, p, 1e-9).real(), 50.0, 1e-6);
}

} // namespace
