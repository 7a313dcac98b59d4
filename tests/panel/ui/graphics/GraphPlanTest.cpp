#include "GraphPlan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

const PlotGeometry MainWindowPlot = PlotGeometryFor(585, 300);

std::vector<float> Frequencies()
{
    // 15 frequencies from 1 kHz to 1 MHz, spread evenly on a logarithmic axis
    std::vector<float> f;
    for (int i = 0; i < 15; ++i)
        f.push_back(static_cast<float>(1000 * std::pow(10.0, 3.0 * i / 14)));
    return f;
}

GraphPlan Plan(const std::vector<float>& x, const std::vector<float>& y, bool xLog, bool yLog, HeldLimits& held,
               float fixedMax = 0, float fixedMin = 0, int32_t divisions = 10)
{
    GraphInput in{x.data(), y.data(), static_cast<int32_t>(x.size()), divisions, fixedMax, fixedMin, xLog, yLog};
    return PlanGraph(in, MainWindowPlot, held);
}

HeldLimits Fresh()
{
    return {HeldUpperStart, HeldLowerStart};
}

std::vector<std::string> Labels(const std::vector<GridLine>& lines)
{
    std::vector<std::string> out;
    for (const GridLine& l : lines)
        if (l.Labelled)
            out.push_back(l.Label);
    return out;
}

} // namespace

TEST(PlotGeometry, MainWindowPanels)
{
    EXPECT_EQ(MainWindowPlot.Pw, 565);
    EXPECT_EQ(MainWindowPlot.Ph, 270);
    EXPECT_EQ(MainWindowPlot.XPix, 505);
    EXPECT_EQ(MainWindowPlot.YPix, 230);
}

TEST(GraphPlan, LinearScaleLinesLabelsAndPoints)
{
    HeldLimits held = Fresh();
    std::vector<float> x = Frequencies();
    std::vector<float> y(15, 0.2f);
    y[0] = 0.1f;
    y[14] = 0.3f;
    GraphPlan plan = Plan(x, y, true, false, held);
    ASSERT_TRUE(plan.Drawable);
    EXPECT_EQ(plan.Scale.Top, 1);
    EXPECT_EQ(plan.Scale.Bottom, -1);
    ASSERT_EQ(plan.YLines.size(), 11u);
    std::vector<std::string> want = {" 1.00", " 0.80", " 0.60", " 0.40", " 0.20", " 0.00",
                                     "-0.20", "-0.40", "-0.60", "-0.80", "-1.00"};
    EXPECT_EQ(Labels(plan.YLines), want);
    for (size_t i = 0; i < plan.YLines.size(); ++i) {
        EXPECT_EQ(plan.YLines[i].Pixel, static_cast<int32_t>(23 * i + 10));
        EXPECT_EQ(plan.YLines[i].Line, i < 10); // the X axis covers the bottom line
    }
    // Points: X evenly spread from 50 to 555, Y on the linear scale.
    ASSERT_EQ(plan.Points.size(), 15u);
    EXPECT_EQ(plan.Points[0].X, 50);
    EXPECT_EQ(plan.Points[14].X, 555);
    EXPECT_EQ(plan.Points[0].Y, static_cast<int32_t>(230 * (1 - 0.1f) / 2) + 10);
    EXPECT_EQ(plan.Points[14].Y, static_cast<int32_t>(230 * (1 - 0.3f) / 2) + 10);
    for (int i = 1; i < 15; ++i)
        EXPECT_EQ(plan.XLines[i].Pixel, static_cast<int32_t>(std::trunc(505.0 * (std::log10(x[i]) - 3) / (std::log10(x[14]) - 3))) + 50);
}

TEST(GraphPlan, WorkedLogarithmicScales)
{
    struct Case { float low, high; double top, bottom; size_t lines; };
    for (Case c : {Case{900, 1100, 10000, 100, 19}, Case{0.001f, 0.005f, 0.1, 0.01, 10}, Case{20, 5000, 10000, 10, 28}}) {
        HeldLimits held = Fresh();
        std::vector<float> y(15, (c.low + c.high) / 2);
        y[3] = c.low;
        y[9] = c.high;
        GraphPlan plan = Plan(Frequencies(), y, true, true, held);
        ASSERT_TRUE(plan.Drawable);
        EXPECT_DOUBLE_EQ(plan.Scale.Top, c.top);
        EXPECT_DOUBLE_EQ(plan.Scale.Bottom, c.bottom);
        EXPECT_EQ(plan.YLines.size(), c.lines);
        EXPECT_EQ(plan.YLines.front().Pixel, 240); // bottom line at yPix + 10
        EXPECT_FALSE(plan.YLines.front().Line);
        EXPECT_EQ(plan.YLines.back().Pixel, 10);
        if (c.high < 0.01f) {
            for (const PlotPoint& p : plan.Points)
                EXPECT_EQ(p.Y, 240);
        }
    }
}

TEST(GraphPlan, DecadeLinesAlwaysCarryLabels)
{
    HeldLimits held = Fresh();
    std::vector<float> y(15, 300);
    y[0] = 20;
    y[1] = 5000;
    GraphPlan plan = Plan(Frequencies(), y, true, true, held);
    ASSERT_EQ(plan.YLines.size(), 28u);
    std::vector<std::string> labels = Labels(plan.YLines);
    for (const char* decade : {"10.00", "100.00", " 1.00k", "10.00k"})
        EXPECT_NE(std::find(labels.begin(), labels.end(), decade), labels.end()) << decade;
    // Undecorated lines carry a label only with more than 8 pixels to the one below.
    int32_t last = 230 + 24;
    for (size_t i = 0; i < plan.YLines.size(); ++i) {
        const GridLine& l = plan.YLines[i];
        if (l.Labelled) {
            EXPECT_TRUE(i % 9 == 0 || last - l.Pixel > 8) << i;
            last = l.Pixel;
        }
    }
    // Lines at 10, 20 .. 90, 100, 200 .. in order upwards.
    for (size_t i = 1; i < plan.YLines.size(); ++i)
        EXPECT_LT(plan.YLines[i].Pixel, plan.YLines[i - 1].Pixel);
}

TEST(GraphPlan, CloseFrequenciesShareALabel)
{
    HeldLimits held = Fresh();
    std::vector<float> x = {1000, 1010, 500000, 999.8f, 1000000};
    std::vector<float> y = {1, 2, 3, 4, 5};
    GraphPlan plan = Plan(x, y, false, false, held);
    ASSERT_TRUE(plan.Drawable);
    ASSERT_EQ(plan.XLines.size(), 5u);
    EXPECT_TRUE(plan.XLines[0].Labelled);
    EXPECT_FALSE(plan.XLines[1].Labelled); // less than 14 pixels from the first
    EXPECT_TRUE(plan.XLines[1].Line);
    EXPECT_STREQ(plan.XLines[2].Label, "500k");
    // 999.8 lies left of the last label: the unsigned difference always gives it a label.
    EXPECT_TRUE(plan.XLines[3].Labelled);
    EXPECT_STREQ(plan.XLines[3].Label, "1000");
    EXPECT_STREQ(plan.XLines[4].Label, "  1M");
}

TEST(GraphPlan, NoDrawingWithoutUsableSpans)
{
    std::vector<float> y = {1, 2, 3};
    struct Case { std::vector<float> x; bool xLog; };
    for (const Case& c : {Case{{5, 5, 5}, false}, Case{{0, 100, 1000}, true}, Case{{-1, 100, 1000}, true},
                          Case{{NAN, 100, 1000}, false}, Case{{100, INFINITY, 1000}, false}, Case{{0, 2e9f, 3e9f}, false}}) {
        HeldLimits held = Fresh();
        EXPECT_FALSE(Plan(c.x, y, c.xLog, false, held).Drawable);
    }
    std::vector<float> x = {100, 200, 300};
    HeldLimits held = Fresh();
    EXPECT_FALSE(Plan(x, {0, 0, 0}, false, false, held).Drawable);
    EXPECT_FALSE(Plan(x, {NAN, NAN, NAN}, false, false, held).Drawable);
    EXPECT_FALSE(Plan(x, {1e20f, -1e20f, 0}, false, false, held).Drawable);
    held = Fresh();
    EXPECT_FALSE(Plan(x, y, false, false, held, 0, 0, 0).Drawable); // no divisions
    GraphInput none{nullptr, nullptr, 3, 10, 0, 0, false, false};
    EXPECT_FALSE(PlanGraph(none, MainWindowPlot, held).Drawable);
    GraphInput empty{x.data(), y.data(), 0, 10, 0, 0, false, false};
    EXPECT_FALSE(PlanGraph(empty, MainWindowPlot, held).Drawable);
    EXPECT_FALSE(PlanGraph({x.data(), y.data(), 3, 10, 0, 0, false, false}, PlotGeometryFor(70, 60), held).Drawable);
}

TEST(GraphPlan, ValuesOffTheScaleLandOnItsLimits)
{
    std::vector<float> x = {100, 200, 300, 400, 500};
    std::vector<float> y = {5, NAN, -INFINITY, INFINITY, -5};
    HeldLimits held = Fresh();
    GraphPlan plan = Plan(x, y, false, false, held, 2, -2); // scale -3 .. 3
    ASSERT_TRUE(plan.Drawable);
    EXPECT_EQ(plan.Points[0].Y, 10);
    EXPECT_EQ(plan.Points[1].Y, 240);
    EXPECT_EQ(plan.Points[2].Y, 240);
    EXPECT_EQ(plan.Points[3].Y, 10);
    EXPECT_EQ(plan.Points[4].Y, 240);
    // Values at or below zero on a logarithmic scale sit on its bottom line.
    held = Fresh();
    GraphPlan log = Plan(x, {0, -1, 10, 100, 1000}, false, true, held);
    ASSERT_TRUE(log.Drawable);
    EXPECT_EQ(log.Points[0].Y, 240);
    EXPECT_EQ(log.Points[1].Y, 240);
    for (const PlotPoint& p : log.Points)
        EXPECT_TRUE(p.Y >= 10 && p.Y <= 240);
}

TEST(GraphPlan, OverlyManyDivisionsStayBounded)
{
    HeldLimits held = Fresh();
    std::vector<float> x = {100, 1000};
    GraphPlan plan = Plan(x, {0.02f, 9e7f}, true, true, held, 0, 0, 2000000000);
    ASSERT_TRUE(plan.Drawable);
    EXPECT_LE(plan.YLines.size(), 10u * MaxYDivisions);
    for (const GridLine& l : plan.YLines)
        EXPECT_TRUE(l.Pixel >= 10 && l.Pixel <= 240);
}
