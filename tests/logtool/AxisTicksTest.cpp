#include "figure/AxisTicks.h"
#include "render/PlotText.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<std::string> Labels(const std::vector<AxisTick>& ticks)
{
    std::vector<std::string> labels;
    for (const AxisTick& tick : ticks)
        if (!tick.label.empty())
            labels.push_back(tick.label);
    return labels;
}

struct TickCase {
    AxisScale scale;
    double low, high, maxLabels;
    std::vector<std::string> labels;
};

} // namespace

TEST(AxisTicks, LabelsForTypicalRanges)
{
    const TickCase cases[] = {
        {AxisScale::Log10, 0.008, 1.2e6, 12, {"0.01", "0.1", "1", "10", "100", "1k", "10k", "100k", "1M"}},
        {AxisScale::Log10, 0.008, 1.2e6, 4, {"1", "1k", "1M"}},
        {AxisScale::Log10, 9, 110, 6, {"10", "20", "50", "100"}},
        {AxisScale::Log10, 3e-9, 2e-4, 10, {"10^{-8}", "10^{-7}", "10^{-6}", "10^{-5}", "10^{-4}"}},
        {AxisScale::Log10, 1.5e3, 9e3, 10, {"2k", "3k", "4k", "5k", "6k", "7k", "8k", "9k"}},
        {AxisScale::Log10, 0.9e8, 1.1e9, 6, {"10^{8}", "2×10^{8}", "5×10^{8}", "10^{9}"}},
        {AxisScale::Log10, 0.35, 0.45, 5, {"0.36", "0.38", "0.40", "0.42", "0.44"}},
        {AxisScale::Linear, 0, 1, 5, {"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}},
        {AxisScale::Linear, -37, 2, 4, {"-30", "-20", "-10", "0"}},
        {AxisScale::Linear, 1.9e-6, 2.6e-6, 4, {"2.0µ", "2.2µ", "2.4µ", "2.6µ"}},
        {AxisScale::Linear, 0, 3.1e5, 4, {"0", "100k", "200k", "300k"}},
        {AxisScale::Linear, 1e-16, 3e-16, 2, {"1×10^{-16}", "2×10^{-16}", "3×10^{-16}"}},
    };
    for (const TickCase& c : cases)
        EXPECT_EQ(Labels(AxisTicks(c.scale, c.low, c.high, c.maxLabels)), c.labels)
            << c.low << " .. " << c.high << " with " << c.maxLabels << " labels";
}

TEST(AxisTicks, TicksLieInsideTheRangeInOrder)
{
    const TickCase ranges[] = {
        {AxisScale::Log10, 0.01, 1e6, 10, {}}, {AxisScale::Log10, 3.3, 3.4, 5, {}},
        {AxisScale::Log10, 1e-12, 1e12, 6, {}}, {AxisScale::Linear, -1e-9, 1e-9, 6, {}},
        {AxisScale::Linear, 123456, 123457, 5, {}}, {AxisScale::Linear, -5, 5, 10, {}},
    };
    for (const TickCase& c : ranges) {
        const std::vector<AxisTick> ticks = AxisTicks(c.scale, c.low, c.high, c.maxLabels);
        ASSERT_GE(Labels(ticks).size(), 2u) << c.low << " .. " << c.high;
        EXPECT_LE(Labels(ticks).size(), c.maxLabels + 1) << c.low << " .. " << c.high;
        for (size_t i = 0; i < ticks.size(); ++i) {
            const double slack = 1e-9 * (c.high - c.low);
            EXPECT_GE(ticks[i].value, c.low - slack);
            EXPECT_LE(ticks[i].value, c.high + slack);
            if (i > 0) {
                EXPECT_LT(ticks[i - 1].value, ticks[i].value);
            }
        }
    }
}

TEST(AxisTicks, EmptyOrImpossibleRangesGiveNoTicks)
{
    EXPECT_TRUE(AxisTicks(AxisScale::Linear, 2, 2, 5).empty());
    EXPECT_TRUE(AxisTicks(AxisScale::Linear, 3, 1, 5).empty());
    EXPECT_TRUE(AxisTicks(AxisScale::Log10, -1, 10, 5).empty());
    EXPECT_TRUE(AxisTicks(AxisScale::Linear, 0, INFINITY, 5).empty());
}

TEST(PlotText, SuperscriptMarkupSplitsIntoRuns)
{
    const auto runs = SplitTextRuns("2×10^{-16} Ω^{2}");
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].text, "2×10");
    EXPECT_TRUE(runs[1].superscript);
    EXPECT_EQ(runs[1].text, "-16");
    EXPECT_EQ(runs[2].text, " Ω");
    EXPECT_EQ(PlainText("a^{b"), "a^{b");
    EXPECT_EQ(DecodeUtf8("Ω°\xff"), (std::vector<char32_t>{0x3A9, 0xB0, 0xFFFD}));
    EXPECT_LT(EstimateTextWidth("10^{3}", 12), EstimateTextWidth("103", 12));
}
