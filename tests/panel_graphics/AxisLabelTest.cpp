#include "AxisLabels.h"

#include <gtest/gtest.h>

#include <string>

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
