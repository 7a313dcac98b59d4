#include "GraphPlan.h"
#include "SurfacePixels.h"
#include "WidgetFixture.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr COLORREF Black = RGB(0, 0, 0);
constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF Grey = RGB(127, 127, 127);
constexpr COLORREF PhaseColour = RGB(64, 64, 255);
constexpr COLORREF ModuleColour = RGB(0, 255, 0);

std::vector<float> LinearFrequencies()
{
    std::vector<float> f;
    for (int i = 1; i <= 15; ++i)
        f.push_back(1000.0f * i);
    return f;
}

std::vector<float> LogFrequencies()
{
    std::vector<float> f;
    for (int i = 0; i < 15; ++i)
        f.push_back(static_cast<float>(1000 * std::pow(10.0, 3.0 * i / 14)));
    return f;
}

int32_t LinearPx(int i)
{
    return 505 * i / 14 + 50;
}

// A pixel of the plot, read from the frame surface (the plot sits at (10, 20) in it).
COLORREF Plot(const WidgetSet& widgets, int32_t index, int32_t x, int32_t y)
{
    return PixelAt(widgets.Graphs[index].FrameSurface, x + 10, y + 20);
}

// The phase graph as the main window draws it: linear axes, ten divisions.
GraphView PhaseView(const float* x, const float* y, int32_t count, float fixedMax, float fixedMin)
{
    return {.X = x, .XUnit = "Hz", .Y = y, .PointCount = count, .YDivisions = 10, .FixedMax = fixedMax,
            .FixedMin = fixedMin, .Colour = PhaseColour, .XLogarithmic = false, .YLogarithmic = false};
}

// The module graph as the main window draws it: both axes logarithmic.
GraphView ModuleView(const float* x, const float* y, float fixedMax, float fixedMin)
{
    return {.X = x, .XUnit = "Hz", .Y = y, .PointCount = 15, .YDivisions = 10, .FixedMax = fixedMax,
            .FixedMin = fixedMin, .Colour = ModuleColour, .XLogarithmic = true, .YLogarithmic = true};
}

void DrawPhase(WidgetSet& widgets, const std::vector<float>& x, const std::vector<float>& y, float fixedMax,
               float fixedMin)
{
    DrawGraph(widgets, nullptr, 1, PhaseView(x.data(), y.data(), static_cast<int32_t>(x.size()), fixedMax, fixedMin));
}

} // namespace

using GraphPicture = WidgetTest;

TEST_F(GraphPicture, NewPanelShowsFrameTitleAndEmptyPlot)
{
    CreateGraphPanel(widgets, nullptr, 0, "MODULE (ohm)", 500, 10, 585, 300);
    const GraphPanel& p = widgets.Graphs[0];
    ASSERT_TRUE(p.FrameSurface.Dc() && p.PlotSurface.Dc());
    EXPECT_EQ(p.HeldUpper, HeldUpperStart);
    EXPECT_EQ(p.HeldLower, HeldLowerStart);
    EXPECT_EQ(PixelAt(p.FrameSurface, 20, 10), MenuColour());
    EXPECT_GT(CountColour(p.FrameSurface, Black, 200, 2, 385, 18), 20); // the title
    EXPECT_EQ(CountColour(p.FrameSurface, Black, 12, 2, 150, 16), 0);
    EXPECT_EQ(Plot(widgets, 0, 5, 5), Black);
    EXPECT_EQ(Plot(widgets, 0, 50, 100), White); // Y axis
    EXPECT_EQ(Plot(widgets, 0, 300, 240), White); // X axis
    int32_t grey = CountColour(p.FrameSurface, Grey, 110, 30, 310, 31); // placeholder top line
    EXPECT_GE(grey, 95);
    EXPECT_LE(grey, 105);                // every other pixel
    EXPECT_GT(CountColour(p.FrameSurface, White, 11, 20 + 3, 57, 20 + 17), 3); // label "1"
    SaveBitmap(p.FrameSurface, 585, 300, "graph_new_panel.bmp");
}

TEST_F(GraphPicture, LinearPhaseGraphPixels)
{
    CreateGraphPanel(widgets, nullptr, 1, "PHASE (degree)", 500, 340, 585, 300);
    std::vector<float> x = LinearFrequencies();
    std::vector<float> y(15, 0.0f);
    DrawPhase(widgets, x, y, 2, -2); // scale -3 .. 3: zero at row 125
    const OffscreenSurface& frame = widgets.Graphs[1].FrameSurface;
    for (int i = 0; i < 14; ++i) {
        EXPECT_EQ(Plot(widgets, 1, LinearPx(i) + 10, 125), PhaseColour) << i;  // the line between points
        EXPECT_EQ(Plot(widgets, 1, LinearPx(i) + 18, 114), Black) << i;        // background between grid lines
        EXPECT_EQ(Plot(widgets, 1, LinearPx(i) - 2 + (i == 0 ? 4 : 0), 123), PhaseColour) << i; // marker side
    }
    EXPECT_EQ(Plot(widgets, 1, LinearPx(7) - 1, 124), Black); // markers are hollow
    EXPECT_EQ(Plot(widgets, 1, LinearPx(7) + 1, 123), PhaseColour); // marker top edge
    EXPECT_EQ(Plot(widgets, 1, 300, 240), White);
    EXPECT_EQ(Plot(widgets, 1, 50, 30), White);
    // Grid line at row 33 sets every other pixel between the vertical lines.
    int32_t grey = CountColour(frame, Grey, 10 + 100, 20 + 33, 10 + 300, 20 + 34);
    EXPECT_GE(grey, 90);
    EXPECT_LE(grey, 110);
    // Number labels left of the axis, the unit below the X labels.
    EXPECT_GT(CountColour(frame, White, 11, 20 + 118, 57, 20 + 132), 5);
    EXPECT_GT(CountColour(frame, White, 10 + 250, 20 + 256, 10 + 320, 20 + 270), 3);
    // Nothing drawn under the data area's right end beyond the last point.
    EXPECT_EQ(CountColour(frame, PhaseColour, 10 + 558, 20, 10 + 565, 20 + 270), 0);
    // The plot surface holds its own pen and font again; everything made for the call is gone.
    HDC plot = widgets.Graphs[1].PlotSurface.Dc();
    EXPECT_EQ(GetCurrentObject(plot, OBJ_PEN), GetStockObject(BLACK_PEN));
    EXPECT_EQ(GetCurrentObject(plot, OBJ_FONT), GetStockObject(SYSTEM_FONT));
    EXPECT_EQ(GetCurrentObject(plot, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
    SaveBitmap(frame, 585, 300, "graph_phase_linear.bmp");
}

TEST_F(GraphPicture, LogarithmicModuleGraphPixels)
{
    CreateGraphPanel(widgets, nullptr, 0, "MODULE (ohm)", 500, 10, 585, 300);
    std::vector<float> x = LogFrequencies();
    std::vector<float> y(15, 1000.0f);
    y[0] = 900;
    y[14] = 1100;
    DrawGraph(widgets, nullptr, 0, ModuleView(x.data(), y.data(), 0, 0));
    // Scale 100 .. 10000: 1000 sits half-way, on row 125.
    int32_t px7 = XPixel(std::log10(static_cast<double>(x[7])), 3, std::log10(static_cast<double>(x[14])) - 3, 505);
    EXPECT_EQ(Plot(widgets, 0, px7, 125 - 2), ModuleColour);
    EXPECT_EQ(Plot(widgets, 0, px7 + 5, 125), ModuleColour);
    EXPECT_EQ(CountColour(widgets.Graphs[0].FrameSurface, ModuleColour, 10, 20, 10 + 565, 20 + 110), 0);
    SaveBitmap(widgets.Graphs[0].FrameSurface, 585, 300, "graph_module_log.bmp");
}

TEST_F(GraphPicture, UnusableDataKeepsThePreviousPicture)
{
    CreateGraphPanel(widgets, nullptr, 1, "PHASE (degree)", 500, 340, 585, 300);
    std::vector<float> x = LinearFrequencies();
    std::vector<float> y(15, 1.0f);
    DrawPhase(widgets, x, y, 0, 0);
    std::vector<uint32_t> before = PixelsOf(widgets.Graphs[1].FrameSurface, 585, 300);

    std::vector<float> same(15, 5000.0f);
    DrawPhase(widgets, same, y, 0, 0);                               // all frequencies equal
    DrawPhase(widgets, x, std::vector<float>(15, 0.0f), 0, 0);       // all values zero
    DrawPhase(widgets, x, std::vector<float>(15, NAN), 0, 0);        // no finite value
    DrawGraph(widgets, nullptr, 1, PhaseView(nullptr, y.data(), 15, 0, 0));
    EXPECT_EQ(PixelsOf(widgets.Graphs[1].FrameSurface, 585, 300), before);

    DrawPhase(widgets, x, std::vector<float>(15, -40.0f), 0, 0);
    EXPECT_NE(PixelsOf(widgets.Graphs[1].FrameSurface, 585, 300), before);
}

TEST_F(GraphPicture, CallerArraysAreNeverWritten)
{
    CreateGraphPanel(widgets, nullptr, 0, "MODULE (ohm)", 500, 10, 585, 300);
    std::vector<float> x = LogFrequencies();
    std::vector<float> y = {-5, 0, NAN, INFINITY, 1e9f, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    std::vector<float> xCopy = x, yCopy = y;
    DrawGraph(widgets, nullptr, 0, ModuleView(x.data(), y.data(), 100, 10));
    EXPECT_EQ(std::memcmp(x.data(), xCopy.data(), x.size() * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(y.data(), yCopy.data(), y.size() * sizeof(float)), 0);
}

TEST_F(GraphPicture, CreateOnceAndDrawOnlyWhenCreated)
{
    std::vector<float> x = LinearFrequencies();
    std::vector<float> y(15, 1.0f);
    DrawPhase(widgets, x, y, 0, 0); // not created: nothing, and the record stays zero
    EXPECT_EQ(widgets.Graphs[1].FrameSurface.Dc(), nullptr);
    EXPECT_EQ(widgets.Graphs[1].HeldUpper, 0);

    CreateGraphPanel(widgets, nullptr, 1, "PHASE (degree)", 500, 340, 585, 300);
    HDC first = widgets.Graphs[1].FrameSurface.Dc();
    DrawPhase(widgets, x, y, 0, 0);
    double held = widgets.Graphs[1].HeldUpper;
    CreateGraphPanel(widgets, nullptr, 1, "OTHER", 0, 0, 300, 200);
    EXPECT_EQ(widgets.Graphs[1].FrameSurface.Dc(), first);
    EXPECT_EQ(widgets.Graphs[1].Width, 585);
    EXPECT_EQ(widgets.Graphs[1].HeldUpper, held);

    // No such panel, no room for a plot: nothing anywhere in the registry changes.
    const std::string registry = SetBytes();
    const std::vector<uint32_t> picture = PixelsOf(widgets.Graphs[1].FrameSurface, 585, 300);
    CreateGraphPanel(widgets, nullptr, 2, "NONE", 0, 0, 300, 200);
    CreateGraphPanel(widgets, nullptr, -1, "NONE", 0, 0, 300, 200);
    CreateGraphPanel(widgets, nullptr, 0, "TINY", 0, 0, 20, 300);
    const std::vector<float> other(15, -40.0f);
    DrawGraph(widgets, nullptr, 5, PhaseView(x.data(), other.data(), 15, 0, 0));
    DrawGraph(widgets, nullptr, -1, PhaseView(x.data(), other.data(), 15, 0, 0));
    EXPECT_EQ(widgets.Graphs[0].FrameSurface.Dc(), nullptr);
    EXPECT_TRUE(SetBytes() == registry);
    EXPECT_EQ(PixelsOf(widgets.Graphs[1].FrameSurface, 585, 300), picture);
}
