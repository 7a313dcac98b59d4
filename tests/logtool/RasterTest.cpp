#include "figure/LineDecimation.h"
#include "render/Raster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>

namespace {

constexpr Color Black{0, 0, 0};
constexpr Color White{255, 255, 255};
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// Σ darkness of the image in pixels: the area painted black onto white.
double PaintedArea(const RgbImage& image)
{
    double area = 0;
    for (size_t i = 0; i < image.pixels.size(); i += 3)
        area += (255 - image.pixels[i]) / 255.0;
    return area;
}

} // namespace

TEST(Raster, PaintedAreaMatchesTheShape)
{
    struct Case {
        const char* name;
        std::function<void(RgbImage&)> draw;
        double area;
    } cases[] = {
        {"rectangle", [](RgbImage& image) {
             FillPolygon(image, {{10.25, 5.5}, {30.75, 5.5}, {30.75, 20}, {10.25, 20}}, Black, 1, CanvasRect(image));
         }, 20.5 * 14.5},
        {"triangle", [](RgbImage& image) {
             FillPolygon(image, {{5, 5}, {55, 12.3}, {20.6, 50}}, Black, 1, CanvasRect(image));
         }, 0.5 * std::fabs((55 - 5) * (50 - 5) - (20.6 - 5) * (12.3 - 5))},
        {"half opacity", [](RgbImage& image) {
             FillPolygon(image, {{0, 0}, {40, 0}, {40, 10}, {0, 10}}, Black, 0.5, CanvasRect(image));
         }, 200},
        {"circle", [](RgbImage& image) { FillCircles(image, {{31.3, 30.8}}, 9.5, Black, CanvasRect(image)); },
         std::numbers::pi * 9.5 * 9.5},
        {"thick line", [](RgbImage& image) {
             StrokePolyline(image, {{10, 10}, {50, 40}}, 4, Black, CanvasRect(image));
         }, 50 * 4 + std::numbers::pi * 4},
        {"line with a corner", [](RgbImage& image) {
             StrokePolyline(image, {{10, 10}, {50, 10}, {50, 50}}, 3, Black, CanvasRect(image));
         }, 80 * 3 + 1.25 * std::numbers::pi * 2.25 - 2.25},   // two capsules less their overlap
        {"broken line", [](RgbImage& image) {
             StrokePolyline(image, {{10, 10}, {50, 10}, {NaN, NaN}, {10, 30}, {50, 30}}, 2, Black, CanvasRect(image));
         }, 2 * (40 * 2 + std::numbers::pi)},
    };
    for (const Case& c : cases) {
        RgbImage image(64, 64, White);
        c.draw(image);
        EXPECT_NEAR(PaintedArea(image), c.area, 0.02 * c.area + 1.5) << c.name;
    }
}

TEST(Raster, DrawingStaysInsideTheClipAndTheCanvas)
{
    const PixelRect clip{20, 20, 40, 40};
    const std::function<void(RgbImage&)> draws[] = {
        [&](RgbImage& image) { FillCircles(image, {{20, 30}, {39, 39}, {-5, 70}}, 8, Black, clip); },
        [&](RgbImage& image) { StrokePolyline(image, {{-100, 30}, {100, 30}, {30, -100}}, 5, Black, clip); },
        [&](RgbImage& image) { FillPolygon(image, {{-50, -50}, {100, -50}, {100, 100}}, Black, 1, clip); },
        [&](RgbImage& image) { FillCircles(image, {{-3, 62}, {65, 65}}, 6, Black, CanvasRect(image)); },
    };
    for (size_t i = 0; i < std::size(draws); ++i) {
        RgbImage image(64, 64, White);
        draws[i](image);
        bool insideDrawn = false;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const bool inClip = i == 3 || (x >= 20 && x < 40 && y >= 20 && y < 40);
                if (image.At(x, y) != White) {
                    EXPECT_TRUE(inClip) << "drawing " << i << " at " << x << "," << y;
                    insideDrawn = true;
                }
            }
        EXPECT_TRUE(insideDrawn) << "drawing " << i;
    }
}

TEST(LineDecimation, MillionsOfPointsKeepEveryPeakInAFewPointsPerColumn)
{
    constexpr size_t Count = 2'000'000;
    constexpr double Columns = 800;
    std::vector<Point> points(Count);
    for (size_t i = 0; i < Count; ++i)
        points[i] = {Columns * i / Count, 200 + 20 * std::sin(i * 0.001)};
    const size_t peakUp = 777'777, peakDown = 1'234'567, gap = 1'500'000;
    points[peakUp].y = 3;
    points[peakDown].y = 390;
    points[gap] = {NaN, NaN};
    const std::vector<Point> reduced = ReducePerColumn(points);
    EXPECT_LE(reduced.size(), 4 * Columns + 8);
    double top = INFINITY, bottom = -INFINITY;
    size_t breaks = 0;
    for (size_t i = 0; i < reduced.size(); ++i) {
        if (std::isnan(reduced[i].x)) {
            ++breaks;
            continue;
        }
        top = std::min(top, reduced[i].y);
        bottom = std::max(bottom, reduced[i].y);
        if (i > 0 && !std::isnan(reduced[i - 1].x)) {
            EXPECT_LE(reduced[i - 1].x, reduced[i].x);
        }
    }
    EXPECT_EQ(top, 3);
    EXPECT_EQ(bottom, 390);
    EXPECT_EQ(breaks, 1u);
    EXPECT_EQ(reduced.front().x, points.front().x);
    EXPECT_EQ(reduced.back().x, points.back().x);
}

TEST(LineDecimation, BandKeepsItsWidestExtentPerColumn)
{
    std::vector<Point> upper, lower;
    for (int i = 0; i < 1000; ++i) {
        const double x = i * 0.01;   // ten columns
        upper.push_back({x, i == 555 ? 1.0 : 40.0});
        lower.push_back({x, i == 321 ? 99.0 : 60.0});
    }
    upper[700] = {NaN, NaN};
    const auto polygons = BandPolygons(upper, lower);
    ASSERT_EQ(polygons.size(), 2u);
    double top = INFINITY, bottom = -INFINITY;
    size_t corners = 0;
    for (const auto& polygon : polygons) {
        corners += polygon.size();
        for (const Point& point : polygon) {
            top = std::min(top, point.y);
            bottom = std::max(bottom, point.y);
        }
    }
    EXPECT_EQ(top, 1);
    EXPECT_EQ(bottom, 99);
    EXPECT_LE(corners, 4 * 11u);
}
