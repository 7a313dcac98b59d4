#include "ScaleLimits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

HeldLimits FreshHeld()
{
    return {HeldUpperStart, HeldLowerStart};
}

ScaleLimits LinearScaleOf(std::initializer_list<float> values, HeldLimits& held, float fixedMax = 0, float fixedMin = 0)
{
    return ChooseScale(InputLimits(values.begin(), static_cast<int32_t>(values.size()), fixedMax, fixedMin), false, held);
}

} // namespace

TEST(RoundScaleLimit, KeepsThreeDigitsFromHundredAndWholeNumbersBelow)
{
    EXPECT_DOUBLE_EQ(RoundScaleLimit(1210, true, 1210.0 / 810 / 5 + 0.8), 1330);
    EXPECT_DOUBLE_EQ(RoundScaleLimit(810, false, 1210.0 / 810 / 5 + 0.8), 737);
    EXPECT_DOUBLE_EQ(RoundScaleLimit(0.33, true, 1.0), 1);
    EXPECT_DOUBLE_EQ(RoundScaleLimit(0.33, false, 1.0), 0);
    EXPECT_DOUBLE_EQ(RoundScaleLimit(123456, true, 1.0), 124000);
    EXPECT_DOUBLE_EQ(RoundScaleLimit(123456, false, 1.0), 123000);
    // Exponents above 10 fall back to whole numbers.
    EXPECT_DOUBLE_EQ(RoundScaleLimit(1.5e14, true, 1.0), 1.5e14);
}

TEST(RoundScaleLimit, WidensOutwardsForNegativeLimits)
{
    // An upper limit of -100 widened by 1.5 grows to -66.7, rounded up to -66.
    EXPECT_DOUBLE_EQ(RoundScaleLimit(-100, true, 1.5), -66);
    EXPECT_DOUBLE_EQ(RoundScaleLimit(-100, false, 1.5), -150);
    EXPECT_DOUBLE_EQ(RoundScaleLimit(-2.424, false, 1.1), -3);
}

TEST(RoundScaleLimit, ZeroAndNonFiniteValuesStaySafe)
{
    EXPECT_DOUBLE_EQ(RoundScaleLimit(0, true, 1.1), 0);
    EXPECT_DOUBLE_EQ(RoundScaleLimit(0, false, 1.1), 0);
    EXPECT_TRUE(std::isnan(RoundScaleLimit(NAN, true, 1.1)));
    EXPECT_TRUE(std::isinf(RoundScaleLimit(INFINITY, true, 1.1)));
}

TEST(MarginFactor, IsBoundedAndNaNOnlyForTwoZeros)
{
    EXPECT_DOUBLE_EQ(MarginFactor(1100, 900), 0.1);
    EXPECT_DOUBLE_EQ(MarginFactor(2, -2), 0.01);
    EXPECT_NEAR(MarginFactor(1000, 990), 10.0 / 990, 1e-12);
    EXPECT_DOUBLE_EQ(MarginFactor(5, 0), 0.1);
    EXPECT_DOUBLE_EQ(MarginFactor(0, -5), 0.1);
    EXPECT_TRUE(std::isnan(MarginFactor(0, 0)));
}

TEST(InputLimits, FixedPairOnlyWhenMinimumBelowMaximum)
{
    const float y[] = {3, -1, 7};
    ScaleLimits fixed = InputLimits(y, 3, 1100, 900);
    EXPECT_EQ(fixed.Top, 1100);
    EXPECT_EQ(fixed.Bottom, 900);
    for (auto pair : {std::pair<float, float>{5, 5}, {0, 0}, {900, 1100}}) {
        ScaleLimits automatic = InputLimits(y, 3, pair.first, pair.second);
        EXPECT_EQ(automatic.Top, 7);
        EXPECT_EQ(automatic.Bottom, -1);
    }
}

TEST(InputLimits, IgnoresNonFiniteValuesAndReadsOnlyCount)
{
    const float y[] = {NAN, 2, std::numeric_limits<float>::infinity(), -3, -std::numeric_limits<float>::infinity(), 99};
    ScaleLimits l = InputLimits(y, 5, 0, 0);
    EXPECT_EQ(l.Top, 2);
    EXPECT_EQ(l.Bottom, -3);
    const float none[] = {NAN, NAN};
    EXPECT_TRUE(std::isnan(InputLimits(none, 2, 0, 0).Top));
    EXPECT_TRUE(std::isnan(InputLimits(y, 0, 0, 0).Bottom));
    EXPECT_TRUE(std::isnan(InputLimits(nullptr, 4, 0, 0).Top));
}

TEST(ChooseScale, WorkedLinearExamples)
{
    HeldLimits held = FreshHeld();
    ScaleLimits s = LinearScaleOf({0}, held, 1100, 900);
    EXPECT_DOUBLE_EQ(s.Top, 1330);
    EXPECT_DOUBLE_EQ(s.Bottom, 737);

    held = FreshHeld();
    s = LinearScaleOf({0}, held, 2, -2);
    EXPECT_DOUBLE_EQ(s.Top, 3);
    EXPECT_DOUBLE_EQ(s.Bottom, -3);

    held = FreshHeld();
    s = LinearScaleOf({0.1f, 0.2f, 0.3f}, held);
    EXPECT_DOUBLE_EQ(s.Top, 1);
    EXPECT_DOUBLE_EQ(s.Bottom, -1);
}

TEST(ChooseScale, HysteresisHoldsLimitsInsideTheBand)
{
    HeldLimits held = FreshHeld();
    ScaleLimits first = LinearScaleOf({990, 995, 1000}, held);
    EXPECT_DOUBLE_EQ(held.Upper, 1000);
    EXPECT_DOUBLE_EQ(held.Lower, 990);
    EXPECT_DOUBLE_EQ(first.Top, 1020);
    EXPECT_DOUBLE_EQ(first.Bottom, 974);

    ScaleLimits second = LinearScaleOf({992, 1005}, held);
    EXPECT_DOUBLE_EQ(held.Upper, 1000);
    EXPECT_DOUBLE_EQ(held.Lower, 990);
    EXPECT_DOUBLE_EQ(second.Top, 1030);
    EXPECT_DOUBLE_EQ(second.Bottom, 969);

    // Far outside the band the new limits take over.
    LinearScaleOf({100, 200}, held);
    EXPECT_DOUBLE_EQ(held.Upper, 200);
    EXPECT_DOUBLE_EQ(held.Lower, 100);
}

TEST(ChooseScale, NegativeDataStaysInsideTheScale)
{
    for (auto range : {std::pair<float, float>{-50, -100}, {-1000, -1010}, {-3, -250}, {5, -7000}}) {
        HeldLimits held = FreshHeld();
        ScaleLimits s = LinearScaleOf({range.first, range.second}, held);
        EXPECT_GE(s.Top, range.first) << range.first << " " << range.second;
        EXPECT_LE(s.Bottom, range.second) << range.first << " " << range.second;
        EXPECT_GT(s.Top, s.Bottom);
    }
}

TEST(ChooseScale, AllZeroOrNoDataLeavesHeldLimitsAndGivesNoScale)
{
    HeldLimits held = FreshHeld();
    LinearScaleOf({10, 20}, held);
    HeldLimits before = held;
    ScaleLimits zero = LinearScaleOf({0, 0, 0}, held);
    EXPECT_TRUE(std::isnan(zero.Top) || std::isnan(zero.Bottom));
    EXPECT_EQ(held.Upper, before.Upper);
    EXPECT_EQ(held.Lower, before.Lower);
    ScaleLimits nan = LinearScaleOf({NAN, NAN}, held);
    EXPECT_TRUE(std::isnan(nan.Top - nan.Bottom));
    EXPECT_EQ(held.Upper, before.Upper);
    // The next ordinary batch scales normally.
    ScaleLimits after = LinearScaleOf({11, 19}, held);
    EXPECT_TRUE(std::isfinite(after.Top) && std::isfinite(after.Bottom) && after.Top > after.Bottom);
}

TEST(ChooseScale, HugeValuesGiveAnOversizedOrInfiniteSpan)
{
    HeldLimits held = FreshHeld();
    ScaleLimits s = LinearScaleOf({3e38f, -3e38f}, held);
    EXPECT_FALSE(s.Top - s.Bottom <= 1e9);
}

TEST(SnapLogScale, WholeDecadesInsideTheAllowedRange)
{
    struct Case { double top, bottom, wantTop, wantBottom; int32_t decades; };
    for (Case c : {Case{1210, 810, 10000, 100, 2}, Case{0.0055, 0.0009, 0.1, 0.01, 1}, Case{5500, 18, 10000, 10, 3},
                   Case{100, 10, 100, 10, 1}, Case{5e9, 2e9, 1e8, 1e7, 1}, Case{1.5e8, 1e8, 1e8, 1e7, 1},
                   Case{-5, -50, 0.1, 0.01, 1}}) {
        ScaleLimits s = SnapLogScale({c.top, c.bottom});
        EXPECT_DOUBLE_EQ(s.Top, c.wantTop) << c.top << " " << c.bottom;
        EXPECT_DOUBLE_EQ(s.Bottom, c.wantBottom) << c.top << " " << c.bottom;
        EXPECT_EQ(DecadeCount(s), c.decades) << c.top << " " << c.bottom;
    }
    EXPECT_EQ(DecadeCount({1e8, 0.01}), 10);
}
