#include "figure/FigureDrawing.h"
#include "figure/FigureFile.h"
#include "figure/FigureLayout.h"
#include "figure/ImpedanceFigures.h"
#include "PictureTestSupport.h"
#include "figure/TrackFigure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <locale>
#include <numbers>

namespace {

class PictureFiles : public ::testing::Test {
protected:
    void SetUp() override { UseTestFont(); }
    ScratchDirectory scratch;
};

bool IsDark(Color c)
{
    return c.red < 0x60 && c.green < 0x60 && c.blue < 0x60;
}

bool Near(Color a, Color b, int tolerance)
{
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
           std::abs(a.blue - b.blue) <= tolerance;
}

bool InRect(const PixelRect& rect, int x, int y)
{
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

struct FigureCase {
    const char* name;
    Figure figure;
    size_t series;
};

std::vector<FigureCase> TypicalFigures()
{
    const std::vector<PlotCurve> curves = {ReferenceCurve(), TwoZarcModel(LogSpacedFrequencies(0.01, 1e6, 200))};
    TrackSeries r{"R1", "Ω", {}, {}, {}}, n{"n", "", {}, {}, {}};
    for (int i = 0; i < 5000; ++i) {
        r.time.push_back(i);
        r.value.push_back(50 + std::sin(i * 0.01));
        r.error.push_back(0.5);
        n.time.push_back(i);
        n.value.push_back(0.8 + 0.01 * std::cos(i * 0.003));
    }
    return {{"Bode", MakeBodeFigure(curves, "Bode <&> \"test\" \xff\x01"), 4},
            {"Nyquist", MakeNyquistFigure(curves, "Nyquist"), 2},
            {"track", MakeTrackFigure({r, n}, "track"), 2}};
}

} // namespace

TEST_F(PictureFiles, PngShowsTheDataTheAxesAndNothingAtItsEdges)
{
    for (const FigureCase& c : TypicalFigures()) {
        const std::string path = scratch.File(std::string(c.name) + ".png");
        std::string error;
        ASSERT_TRUE(WriteFigure(c.figure, path, error)) << c.name << ": " << error;
        const RgbImage image = ReadPng(path);
        const FigureLayout layout = LayoutFigure(c.figure);
        ASSERT_EQ(image.width, layout.width) << c.name;
        ASSERT_EQ(image.height, layout.height) << c.name;

        // The first series' colour where its first point is.
        const PlotSeries& first = c.figure.panels[0].series[0];
        const PanelLayout& panel = layout.panels[0];
        const int x = static_cast<int>(panel.x.ToPixel(first.x[0])), y = static_cast<int>(panel.y.ToPixel(first.y[0]));
        EXPECT_TRUE(Near(image.At(x, y), first.color, 40)) << c.name << " at " << x << "," << y;

        for (const PanelLayout& area : layout.panels) {
            const int left = static_cast<int>(area.area.left), bottom = static_cast<int>(area.area.bottom) - 1;
            for (int row = static_cast<int>(area.area.top); row <= bottom; ++row)
                ASSERT_TRUE(IsDark(image.At(left, row))) << c.name << ": y axis at " << left << "," << row;
            for (int column = left; column < static_cast<int>(area.area.right); ++column)
                ASSERT_TRUE(IsDark(image.At(column, bottom))) << c.name << ": x axis at " << column << "," << bottom;
        }

        // Series colours stay in the plot areas and the legend; the border stays white.
        const Color white{255, 255, 255};
        for (int row = 0; row < image.height; ++row)
            for (int column = 0; column < image.width; ++column) {
                const Color pixel = image.At(column, row);
                const bool edge = row < 3 || column < 3 || row >= image.height - 3 || column >= image.width - 3;
                if (edge) {
                    ASSERT_EQ(pixel, white) << c.name << " at " << column << "," << row;
                }
                bool allowed = InRect(layout.legendBox, column, row);
                for (const PanelLayout& area : layout.panels)
                    allowed = allowed || InRect(area.area, column, row);
                if (!allowed) {
                    ASSERT_FALSE(Near(pixel, first.color, 10)) << c.name << " at " << column << "," << row;
                }
            }

        // The title is drawn: dark pixels in its band.
        size_t titleInk = 0;
        for (int row = 18; row < 42; ++row)
            for (int column = 0; column < image.width; ++column)
                titleInk += IsDark(image.At(column, row));
        EXPECT_GT(titleInk, 30u) << c.name;
    }
}

TEST_F(PictureFiles, SvgIsWellFormedWithOnePathPerSeriesAndItsTitles)
{
    for (const FigureCase& c : TypicalFigures()) {
        const std::string path = scratch.File(std::string(c.name) + ".svg");
        std::string error;
        ASSERT_TRUE(WriteFigure(c.figure, path, error)) << c.name << ": " << error;
        const std::string svg = ReadText(path);
        EXPECT_EQ(SvgTagBalanceProblem(svg), "") << c.name;
        EXPECT_EQ(CountOccurrences(svg, "<path"), c.series) << c.name;
        for (const PlotPanel& panel : c.figure.panels) {
            std::string title = panel.y.title;
            for (size_t at = title.find('\''); at != std::string::npos; at = title.find('\'', at))
                title.replace(at, 1, "&apos;");
            EXPECT_NE(svg.find(">" + title + "<"), std::string::npos) << c.name << ": " << title;
        }
        EXPECT_EQ(svg.find("\"test\""), std::string::npos) << c.name;
    }
    const std::string bode = ReadText(scratch.File("Bode.svg"));
    EXPECT_NE(bode.find("Bode &lt;&amp;&gt; &quot;test&quot; \uFFFD<"), std::string::npos);
    EXPECT_NE(bode.find(">frequency (Hz)<"), std::string::npos);
    EXPECT_NE(ReadText(scratch.File("Nyquist.svg")).find("Z&apos; (Ω)"), std::string::npos);
}

TEST_F(PictureFiles, TheTagBalanceCheckFindsBrokenSvg)
{
    EXPECT_EQ(SvgTagBalanceProblem("<svg><g><path d=\"\"/></g></svg>"), "");
    EXPECT_NE(SvgTagBalanceProblem("<svg><g></svg>"), "");
    EXPECT_NE(SvgTagBalanceProblem("<svg><text>a</svg></text>"), "");
    EXPECT_NE(SvgTagBalanceProblem("<svg><text"), "");
}

TEST_F(PictureFiles, SvgNumbersKeepTheirPointUnderACommaLocale)
{
    struct CommaDecimal : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
    };
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    Figure figure = MakeNyquistFigure({ReferenceCurve()}, "");
    const std::string path = scratch.File("comma.svg");
    std::string error;
    const bool written = WriteFigure(figure, path, error);
    std::locale::global(previous);
    ASSERT_TRUE(written) << error;
    const std::string svg = ReadText(path);
    const size_t data = svg.find(" d=\"M");
    ASSERT_NE(data, std::string::npos);
    const std::string pathData = svg.substr(data, svg.find('"', data + 4) - data);
    EXPECT_NE(pathData.find('.'), std::string::npos);
    // Per marker: "Mx,y" and two arcs "ar,r 0 1,0 d,0".
    EXPECT_EQ(CountOccurrences(pathData, ","), 7 * ReferenceCurve().frequency.size());
}

TEST_F(PictureFiles, DegenerateFiguresStillWriteBothFormats)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const PlotCurve inputs[] = {
        {"none", {}, {}, false},
        {"one", {10}, {{1, -1}}, false},
        {"equal", {5, 5, 5}, {{2, 0}, {2, 0}, {2, 0}}, true},
        {"zero and NaN", {0, 1, nan}, {{0, 0}, {nan, 1}, {1, 1}}, false},
    };
    for (const PlotCurve& input : inputs)
        for (const Figure& figure : {MakeBodeFigure({input}, input.label), MakeNyquistFigure({input}, input.label)})
            for (const char* extension : {".png", ".svg"}) {
                const std::string path = scratch.File(input.label + extension);
                std::string error;
                EXPECT_TRUE(WriteFigure(figure, path, error)) << input.label << extension << ": " << error;
                if (std::string(extension) == ".svg") {
                    EXPECT_EQ(SvgTagBalanceProblem(ReadText(path)), "") << input.label;
                } else {
                    EXPECT_GT(ReadPng(path).width, 0) << input.label;
                }
            }
}

TEST_F(PictureFiles, FailedWritesSayWhyAndLeaveNothing)
{
    std::filesystem::create_directory(scratch.Path() / "taken.svg");
    const std::vector<std::string> before = scratch.Names();
    const struct {
        std::string path;
        const char* says;
    } cases[] = {
        {scratch.File("picture.jpg"), ".png or .svg"},
        {scratch.File("picture"), ".png or .svg"},
        {scratch.File("missing/picture.png"), "cannot write"},
        {scratch.File("missing/picture.svg"), "cannot write"},
        {scratch.File("taken.svg"), "cannot write"},
    };
    const Figure figure = MakeBodeFigure({ReferenceCurve()}, "");
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(WriteFigure(figure, c.path, error)) << c.path;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.path << ": " << error;
        EXPECT_EQ(scratch.Names(), before) << c.path;
    }
}

TEST_F(PictureFiles, APictureReplacesAnOlderOneWhole)
{
    const std::string path = scratch.File("again.svg");
    std::string error;
    ASSERT_TRUE(WriteFigure(MakeNyquistFigure({ReferenceCurve()}, "first"), path, error)) << error;
    ASSERT_TRUE(WriteFigure(MakeNyquistFigure({ReferenceCurve()}, "second"), path, error)) << error;
    const std::string svg = ReadText(path);
    EXPECT_EQ(svg.find("first"), std::string::npos);
    EXPECT_NE(svg.find("second"), std::string::npos);
    EXPECT_EQ(scratch.Names(), std::vector<std::string>{"again.svg"});
}

TEST_F(PictureFiles, PngWithoutItsFontFailsClearlyWhileSvgNeedsNone)
{
    const ScopedEnvironment missingFont("KALVIX_LOG_FONT", scratch.File("no-such-font.ttf"));
    const Figure figure = MakeBodeFigure({ReferenceCurve()}, "");
    std::string error;
    EXPECT_FALSE(WriteFigure(figure, scratch.File("bode.png"), error));
    EXPECT_NE(error.find("KALVIX_LOG_FONT"), std::string::npos) << error;
    EXPECT_TRUE(scratch.Names().empty());
    EXPECT_TRUE(WriteFigure(figure, scratch.File("bode.svg"), error)) << error;
}

TEST(TrackFigure, AMillionPointsAreThinnedButTheirPeakIsDrawn)
{
    TrackSeries series{"R", "Ω", {}, {}, {}};
    constexpr size_t Count = 1'000'000, Peak = 612'345;
    for (size_t i = 0; i < Count; ++i) {
        series.time.push_back(0.1 * i);
        series.value.push_back(i == Peak ? 90.0 : 50 + std::sin(i * 1e-4));
    }
    const Figure figure = MakeTrackFigure({series}, "");
    const FigureLayout layout = LayoutFigure(figure);
    const Scene scene = DrawFigure(figure, layout);
    const SceneStroke* line = nullptr;
    for (const SceneItem& item : scene.items)
        if (const auto* stroke = std::get_if<SceneStroke>(&item); stroke && stroke->series)
            line = stroke;
    ASSERT_NE(line, nullptr);
    EXPECT_LE(line->points.size(), 4 * static_cast<size_t>(layout.panels[0].area.Width()) + 8);
    double top = INFINITY;
    for (const Point& point : line->points)
        top = std::min(top, point.y);
    EXPECT_NEAR(top, layout.panels[0].y.ToPixel(90.0), 1e-9);
}
