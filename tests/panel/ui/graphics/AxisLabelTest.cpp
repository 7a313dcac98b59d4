#include "AxisLabels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>

namespace {

std::string X(float x)
{
    char t[AxisLabelSize];
    FormatXLabel(x, t);
    return t;
}

std::string Y(double v)
{
    char t[AxisLabelSize];
    FormatYLabel(v, t);
    return t;
}

} // namespace

TEST(AxisLabels, FrequencySuffixes)
{
    EXPECT_EQ(X(1500), "  2k");
    EXPECT_EQ(X(1000000), "  1M");
    EXPECT_EQ(X(999.8f), "1000");
    EXPECT_EQ(X(1000), "  1k");
    EXPECT_EQ(X(50), " 50");
    EXPECT_EQ(X(12000000), " 12M");
}

TEST(AxisLabels, ScaleValues)
{
    EXPECT_EQ(Y(1), " 1.00");
    EXPECT_EQ(Y(-0.2), "-0.20");
    EXPECT_EQ(Y(1330), " 1.33k");
    EXPECT_EQ(Y(1000000), " 1.00M");
    EXPECT_EQ(Y(999.8), "999.80");
}

TEST(AxisLabels, ValuesFarOutsideTheUsualRangeAreNeverCut)
{
    std::string big = Y(-1e30);
    EXPECT_EQ(big.substr(0, 4), "-100");
    EXPECT_EQ(big.substr(big.size() - 3), ".00");
    EXPECT_EQ(big.size(), 35u); // sign, 31 digits, point, 2 decimals
    EXPECT_EQ(X(3e12f), "3000000M");
}

// The labels as printf's "%3.0f" and "%5.2f" wrote them before, at the edges: ties to even, the
// sign of zero kept, NaN without its sign, infinities with their suffix.
TEST(AxisLabels, EdgeValuesKeepTheirFormerText)
{
    const std::pair<float, const char*> xs[] = {
        {0.5f, "  0"},    {1.5f, "  2"},       {2.5f, "  2"},    {-0.4f, " -0"},  {-0.0f, " -0"},
        {999.5f, "1000"}, {999.9f, "  1k"},    {2500.0f, "  2k"}, {3500.0f, "  4k"}, {999999.9f, "1000k"},
        {2.5e6f, "  2M"}, {NAN, "nan"},        {-NAN, "nan"},    {INFINITY, "infM"}, {-INFINITY, "-inf"},
    };
    for (const auto& [x, text] : xs)
        EXPECT_EQ(X(x), text) << x;
    const std::pair<double, const char*> ys[] = {
        {0.125, " 0.12"},     {-0.0, "-0.00"},        {1e-300, " 0.00"},   {-1e-300, "-0.00"},
        {999.85, " 1.00k"},   {1234.5, " 1.23k"},     {2.5e6, " 2.50M"},   {0.005, " 0.01"},
        {NAN, "  nan"},       {-NAN, "  nan"},        {INFINITY, "  infM"}, {-INFINITY, " -inf"},
    };
    for (const auto& [y, text] : ys)
        EXPECT_EQ(Y(y), text) << y;
}
