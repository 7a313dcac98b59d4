#include "figure/FigureLayout.h"
#include "figure/ImpedanceFigures.h"
#include "PictureTestSupport.h"
#include "figure/TrackFigure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

PlotCurve Curve(std::vector<double> frequency, std::vector<std::complex<double>> impedance)
{
    return {"data", std::move(frequency), std::move(impedance), false};
}

bool Inside(const PixelRect& outer, const PixelRect& inner)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom && inner.left < inner.right && inner.top < inner.bottom;
}

void ExpectUsable(const FigureLayout& layout, const std::string& name)
{
    const PixelRect canvas{0, 0, double(layout.width), double(layout.height)};
    for (const PanelLayout& panel : layout.panels) {
        EXPECT_TRUE(Inside(canvas, panel.area)) << name;
        for (const AxisMap* axis : {&panel.x, &panel.y}) {
            EXPECT_TRUE(std::isfinite(axis->low) && std::isfinite(axis->high) && axis->low < axis->high) << name;
            if (axis->scale == AxisScale::Log10) {
                EXPECT_GT(axis->low, 0) << name;
            }
        }
        EXPECT_FALSE(panel.xTicks.empty()) << name;
        EXPECT_FALSE(panel.yTicks.empty()) << name;
    }
}

} // namespace

TEST(NyquistLayout, OneOhmIsAsLongOnBothAxesAndTheDataFits)
{
    struct Case {
        const char* name;
        PlotCurve curve;
    } cases[] = {
        {"reference", ReferenceCurve()},
        {"flat", Curve({1, 2, 3}, {{100, -0.1}, {150, -0.5}, {200, 0}})},
        {"tall", Curve({1, 2, 3}, {{5, -500}, {5.5, -250}, {6, -1}})},
        {"inductive", Curve({1, 2}, {{1e3, 400}, {2e3, 300}})},
        {"one point", Curve({1}, {{42, -7}})},
    };
    for (const Case& c : cases) {
        const FigureLayout layout = LayoutFigure(MakeNyquistFigure({c.curve}, c.name));
        ASSERT_EQ(layout.panels.size(), 1u);
        const PanelLayout& panel = layout.panels[0];
        EXPECT_NEAR(panel.x.UnitsPerPixel(), panel.y.UnitsPerPixel(), 1e-9 * panel.x.UnitsPerPixel()) << c.name;
        ExpectUsable(layout, c.name);
        for (const auto& z : c.curve.impedance) {
            const double x = panel.x.ToPixel(z.real()), y = panel.y.ToPixel(-z.imag());
            EXPECT_TRUE(x > panel.area.left && x < panel.area.right && y > panel.area.top && y < panel.area.bottom)
                << c.name << ": " << z;
        }
    }
}

TEST(NyquistLayout, TheAreaHugsTheDataAlongItsLongerSide)
{
    const FigureLayout layout = LayoutFigure(MakeNyquistFigure({ReferenceCurve()}, ""));
    const PanelLayout& panel = layout.panels[0];
    double low = Inf, high = -Inf;
    for (const auto& z : ReferenceCurve().impedance) {
        low = std::min(low, panel.x.ToPixel(z.real()));
        high = std::max(high, panel.x.ToPixel(z.real()));
    }
    EXPECT_GT(high - low, 0.85 * panel.area.Width());
    EXPECT_LT(layout.height, 700);   // the flat arcs leave height unused, which is given back
}

TEST(BodeLayout, PanelsShareTheFrequencyAxisAndAlign)
{
    const FigureLayout layout = LayoutFigure(MakeBodeFigure({ReferenceCurve(), TwoZarcModel({1, 10})}, "t"));
    ASSERT_EQ(layout.panels.size(), 2u);
    const PanelLayout &top = layout.panels[0], &bottom = layout.panels[1];
    EXPECT_EQ(top.x.low, bottom.x.low);
    EXPECT_EQ(top.x.high, bottom.x.high);
    EXPECT_EQ(top.area.left, bottom.area.left);
    EXPECT_EQ(top.area.right, bottom.area.right);
    EXPECT_LT(top.area.bottom, bottom.area.top);
    EXPECT_FALSE(top.xTickLabels);
    EXPECT_TRUE(bottom.xTickLabels);
    EXPECT_EQ(top.y.scale, AxisScale::Log10);
    EXPECT_EQ(bottom.y.scale, AxisScale::Linear);
    EXPECT_LE(top.x.low, 0.01);
    EXPECT_GE(top.x.high, 1e6);
    ASSERT_EQ(layout.legend.size(), 2u);
    EXPECT_TRUE(Inside({0, 0, double(layout.width), double(layout.height)}, layout.legendBox));
}

TEST(FigureLayout, DegenerateDataStillLaysOutAndIsReported)
{
    struct Case {
        const char* name;
        PlotCurve curve;
        size_t reports;   // lines of DescribeSkippedPoints for the Bode figure
    } cases[] = {
        {"no points", Curve({}, {}), 0},
        {"one point", Curve({10}, {{5, -5}}), 0},
        {"all equal", Curve({10, 10, 10}, {{5, -5}, {5, -5}, {5, -5}}), 0},
        {"zero impedance", Curve({1, 10, 100}, {{0, 0}, {5, -1}, {6, -2}}), 1},
        {"negative frequency", Curve({-1, 10, 100}, {{1, 0}, {5, -1}, {6, -2}}), 1},
        {"NaN and infinity", Curve({1, NaN, 100, 1e3}, {{1, 0}, {5, -1}, {Inf, -2}, {3, 1}}), 2},
        {"nothing drawable", Curve({0, -1}, {{NaN, 0}, {0, 0}}), 3},
    };
    for (const Case& c : cases) {
        const Figure bode = MakeBodeFigure({c.curve}, c.name);
        ExpectUsable(LayoutFigure(bode), std::string("Bode, ") + c.name);
        ExpectUsable(LayoutFigure(MakeNyquistFigure({c.curve}, c.name)), std::string("Nyquist, ") + c.name);
        EXPECT_EQ(DescribeSkippedPoints(bode).size(), c.reports) << c.name;
    }
    const Figure track = MakeTrackFigure({{"R", "Ω", {0, 1, 2}, {NaN, Inf, 3}, {}}, {"C", "F", {}, {}, {}}}, "");
    ExpectUsable(LayoutFigure(track), "track");
    EXPECT_EQ(DescribeSkippedPoints(track).size(), 1u);
}

TEST(FigureLayout, SkippedPointsAreNamedWithTheirAxis)
{
    const auto lines = DescribeSkippedPoints(MakeBodeFigure({Curve({1, 10, 100}, {{0, 0}, {0, 0}, {6, -2}})}, ""));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("2 point(s) with |Z|"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("log axis"), std::string::npos) << lines[0];
}

TEST(FigureLayout, ALongLegendGoesBesideThePanelsAndFitsTheCanvas)
{
    std::vector<PlotCurve> curves;
    for (int i = 0; i < 24; ++i)
        curves.push_back({"MeasCount " + std::to_string(i), {1, 2}, {{100.0 + i, -1}, {200.0 + i, 0}}, false});
    for (const Figure& figure : {MakeNyquistFigure(curves, "flat"), MakeBodeFigure(curves, "many")}) {
        const FigureLayout layout = LayoutFigure(figure);
        ASSERT_EQ(layout.legend.size(), 24u);
        EXPECT_TRUE(Inside({0, 0, double(layout.width), double(layout.height)}, layout.legendBox)) << figure.title;
        for (const PanelLayout& panel : layout.panels)
            EXPECT_GT(layout.legendBox.left, panel.area.right) << figure.title;
        EXPECT_NE(layout.legend.front().color, layout.legend.back().color);
    }
}

TEST(TrackLayout, TheBandWidensTheRangeButOneHugeErrorDoesNotFlattenTheValues)
{
    const struct {
        std::vector<double> value, error;
        double low, high;   // the range must reach these and stay within twice the values' span
    } cases[] = {
        {{10, 20, 30}, {1, 1, 1}, 9, 31},
        {{10, 20, 30}, {1, 1e9, 1}, 9, 31},
        {{5, 5, 5}, {2, 2, 2}, 3, 7},
        {{10, 20, 30}, {NaN, Inf, 1}, 10, 31},
    };
    for (const auto& c : cases) {
        const Figure figure = MakeTrackFigure({{"R", "Ω", {0, 1, 2}, c.value, c.error}}, "");
        const AxisMap y = LayoutFigure(figure).panels[0].y;
        EXPECT_LE(y.low, c.low);
        EXPECT_GE(y.high, c.high);
        EXPECT_LT(y.high - y.low, 2.5 * (c.high - c.low)) << c.error[1];
    }
}
