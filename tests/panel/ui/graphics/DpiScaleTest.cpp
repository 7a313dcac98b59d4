// The scaling rule: the factor of a DPI, its reduction to a work area, and values, rectangles
// and font heights at a factor.
#include "DpiScale.h"

#include <gtest/gtest.h>

TEST(DpiScale, FactorOfADpi)
{
    const struct {
        int32_t Dpi;
        double Factor;
    } cases[] = {{96, 1.0}, {120, 1.25}, {144, 1.5}, {192, 2.0}, {72, 0.75}, {0, 1.0}, {-5, 1.0}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(ScaleForDpi(c.Dpi).Factor, c.Factor) << c.Dpi;
}

TEST(DpiScale, FitReducesToTheNarrowerSideAndNeverEnlarges)
{
    const struct {
        double Wanted;
        int32_t RoomWidth, RoomHeight;
        double Fitted;
    } cases[] = {
        {1.5, 1920, 1200, 1.5},             // room for the whole factor
        {1.5, 1920, 1080, 1080.0 / 730},    // height decides
        {1.5, 1366, 768, 768.0 / 730},      // height decides on a small laptop screen
        {1.5, 1300, 2000, 1300.0 / 1100},   // width decides
        {1.0, 1280, 1024, 1.0},             // 96 DPI on a screen that holds the window: unchanged
        {1.0, 1024, 768, 1024.0 / 1100},    // 96 DPI on a smaller screen: shrunk
        {1.25, 0, 0, 1.25},                 // no room known: as wanted
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Wanted << " " << c.RoomWidth << "x" << c.RoomHeight);
        const DpiScale fitted = FitScale(DpiScale{c.Wanted}, 1100, 730, c.RoomWidth, c.RoomHeight);
        EXPECT_DOUBLE_EQ(fitted.Factor, c.Fitted);
        if (c.RoomWidth > 0) {
            EXPECT_LE(Scale(fitted, 1100), c.RoomWidth);
            EXPECT_LE(Scale(fitted, 730), c.RoomHeight);
        }
    }
}

TEST(DpiScale, ValuesRoundToTheNearestPixelAndFontsTowardZero)
{
    const struct {
        double Factor;
        int32_t Value, Scaled, FontHeight;
    } cases[] = {
        {1.0, 13, 13, 13},   {1.0, -12, -12, -12}, {1.0, 0, 0, 0},      {1.5, 13, 20, 19},
        {1.5, -11, -17, -16}, {1.5, 1100, 1650, 1650}, {1.25, 7, 9, 8},  {1.25, -12, -15, -15},
        {2.0, 585, 1170, 1170}, {0.5, 3, 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Factor << " " << c.Value);
        EXPECT_EQ(Scale(DpiScale{c.Factor}, c.Value), c.Scaled);
        EXPECT_EQ(ScaleFontHeight(DpiScale{c.Factor}, c.Value), c.FontHeight);
    }
}

TEST(DpiScale, RectanglesScalePlaceAndSizeEachWithinAPixelOfTheScaledEdges)
{
    const ScaledRect rects[] = {{10, 8, 180, 43}, {500, 340, 585, 300}, {383, 313, 50, 41}, {0, 0, 1, 1}};
    for (double factor : {1.0, 1.25, 1.5, 1.479452, 1.052054, 0.93}) {
        for (const ScaledRect& r : rects) {
            SCOPED_TRACE(testing::Message() << factor << " " << r.X << "," << r.Y);
            const ScaledRect s = ScaleRect(DpiScale{factor}, r);
            EXPECT_NEAR(s.X, r.X * factor, 0.5);
            EXPECT_NEAR(s.Y, r.Y * factor, 0.5);
            EXPECT_NEAR(s.X + s.Width, (r.X + r.Width) * factor, 1.0);
            EXPECT_NEAR(s.Y + s.Height, (r.Y + r.Height) * factor, 1.0);
            if (factor == 1.0) {
                EXPECT_EQ(s.Width, r.Width);
                EXPECT_EQ(s.Height, r.Height);
            }
        }
    }
}
