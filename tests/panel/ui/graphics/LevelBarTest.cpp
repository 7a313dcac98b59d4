#include "LevelBarGeometry.h"
#include "SurfacePixels.h"
#include "WidgetFixture.h"

namespace {

constexpr COLORREF Blue = RGB(0, 0, 255);
constexpr COLORREF Red = RGB(255, 0, 0);

// Rows of column 20 in the bar's colour.
std::pair<int32_t, int32_t> BarRows(const LevelBar& b, COLORREF colour)
{
    int32_t first = -1, last = -1;
    for (int32_t y = 0; y < static_cast<int32_t>(b.Height); ++y)
        if (PixelAt(b.DrawSurface, 20, y) == colour) {
            if (first < 0)
                first = y;
            last = y;
        }
    return {first, last};
}

} // namespace

TEST(LevelBarShape, MainWindowBars)
{
    LevelBarShape s = LevelBarShapeFor(40, 108, 4095, 3000, 1000);
    EXPECT_TRUE(s.Drawn);
    EXPECT_FALSE(s.Clipped);
    EXPECT_EQ(s.PenWidth, 36u);
    EXPECT_EQ(s.X, 20u);
    EXPECT_EQ(s.Top, 29u);
    EXPECT_EQ(s.Bottom, 81u);

    for (uint32_t max : {4095u, 5000u, 65535u}) {
        s = LevelBarShapeFor(40, 108, 4095, max, 1000);
        EXPECT_TRUE(s.Clipped);
        EXPECT_EQ(s.Top, 2u);
    }
    s = LevelBarShapeFor(40, 108, 4095, 2000, 0);
    EXPECT_TRUE(s.Clipped);
    EXPECT_EQ(s.Bottom, 106u);

    EXPECT_FALSE(LevelBarShapeFor(40, 108, 4095, 0, 0).Drawn);
    EXPECT_FALSE(LevelBarShapeFor(40, 108, 4095, 1000, 1000).Drawn);
    EXPECT_FALSE(LevelBarShapeFor(40, 108, 4095, 1000, 2000).Drawn);
}

TEST(LevelBarShape, DegenerateBarsStaySafe)
{
    EXPECT_FALSE(LevelBarShapeFor(40, 108, 0, 3000, 1000).Drawn);  // no full scale
    EXPECT_FALSE(LevelBarShapeFor(4, 108, 4095, 3000, 1000).Drawn); // no room for a pen
    EXPECT_FALSE(LevelBarShapeFor(40, 3, 4095, 3000, 1000).Drawn);
    // Both levels above the full scale: drawn at the top, never below the bottom edge.
    LevelBarShape s = LevelBarShapeFor(40, 108, 4095, 60000, 50000);
    EXPECT_TRUE(s.Drawn && s.Clipped);
    EXPECT_EQ(s.Top, 2u);
    EXPECT_EQ(s.Bottom, 2u);
    // A full scale near the 32-bit limit does not wrap the pixel arithmetic.
    s = LevelBarShapeFor(40, 108, 4000000000u, 3000000000u, 1000000000u);
    EXPECT_EQ(s.Top, 28u);
    EXPECT_EQ(s.Bottom, 80u);
}

using LevelBarPicture = WidgetTest;

TEST_F(LevelBarPicture, BarsInTheirColoursAndPlaces)
{
    CreateLevelBar(widgets, nullptr, 0, 350, 542, 40, 108, 4095);
    const LevelBar& b = widgets.Bars[0];
    ASSERT_NE(b.DrawSurface.Dc(), nullptr);
    EXPECT_EQ(PixelAt(b.DrawSurface, 20, 50), MenuColour());

    SetLevelBar(widgets, nullptr, 0, 3000, 1000);
    auto rows = BarRows(b, Blue);
    EXPECT_GE(rows.first, 29);
    EXPECT_LE(rows.first, 30);
    EXPECT_GE(rows.second, 80);
    EXPECT_LE(rows.second, 81);
    int32_t wide = CountColour(b.DrawSurface, Blue, 0, 50, 40, 51);
    EXPECT_GE(wide, 35);
    EXPECT_LE(wide, 37);
    EXPECT_EQ(CountColour(b.DrawSurface, Blue, 0, 0, 40, 28), 0);
    EXPECT_EQ(CountColour(b.DrawSurface, Red, 0, 0, 40, 108), 0);

    SetLevelBar(widgets, nullptr, 0, 5000, 1000); // above full scale: red, top at 2
    EXPECT_EQ(CountColour(b.DrawSurface, Blue, 0, 0, 40, 108), 0);
    EXPECT_LE(BarRows(b, Red).first, 3);

    SetLevelBar(widgets, nullptr, 0, 2000, 0); // minimum 0: red down to the bottom
    rows = BarRows(b, Red);
    EXPECT_GE(rows.second, 104);
    EXPECT_LE(rows.second, 106);
    EXPECT_LT(rows.second, 108 - 1); // the sunken edge stays
    SaveBitmap(b.DrawSurface, 40, 108, "level_bar_red.bmp");

    for (auto pair : {std::pair<uint32_t, uint32_t>{0, 0}, {1000, 1000}, {1000, 3000}}) {
        SetLevelBar(widgets, nullptr, 0, pair.first, pair.second);
        EXPECT_EQ(CountColour(b.DrawSurface, Blue, 0, 0, 40, 108) + CountColour(b.DrawSurface, Red, 0, 0, 40, 108), 0);
        EXPECT_EQ(PixelAt(b.DrawSurface, 20, 50), MenuColour());
    }
}

TEST_F(LevelBarPicture, CreateOnceSetOnlyWhenCreated)
{
    SetLevelBar(widgets, nullptr, 1, 3000, 1000);
    EXPECT_EQ(widgets.Bars[1].DrawSurface.Dc(), nullptr);
    CreateLevelBar(widgets, nullptr, 1, 400, 542, 40, 108, 4095);
    HDC first = widgets.Bars[1].DrawSurface.Dc();
    CreateLevelBar(widgets, nullptr, 1, 0, 0, 80, 80, 100);
    EXPECT_EQ(widgets.Bars[1].DrawSurface.Dc(), first);
    EXPECT_EQ(widgets.Bars[1].FullScale, 4095u);
    // No such bar, no width: nothing anywhere in the registry changes.
    const std::string registry = SetBytes();
    CreateLevelBar(widgets, nullptr, 2, 0, 0, 40, 108, 4095);
    CreateLevelBar(widgets, nullptr, -1, 0, 0, 40, 108, 4095);
    CreateLevelBar(widgets, nullptr, 0, 0, 0, 0, 108, 4095);
    SetLevelBar(widgets, nullptr, 2, 3000, 1000);
    EXPECT_EQ(widgets.Bars[0].DrawSurface.Dc(), nullptr);
    EXPECT_TRUE(SetBytes() == registry);
    // A bar made with a zero full scale shows its frame only.
    CreateLevelBar(widgets, nullptr, 0, 0, 0, 40, 108, 0);
    SetLevelBar(widgets, nullptr, 0, 3000, 1000);
    EXPECT_EQ(CountColour(widgets.Bars[0].DrawSurface, Blue, 0, 0, 40, 108), 0);
}
