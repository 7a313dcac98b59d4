#include "SurfacePixels.h"
#include "WidgetFixture.h"

#include <cstdio>
#include <string>

namespace {

constexpr COLORREF Black = RGB(0, 0, 0);

int32_t Ink(const TextPanel& p, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    return CountColour(p.DrawSurface, Black, left, top, right, bottom);
}

} // namespace

using TextPanelPicture = WidgetTest;

TEST_F(TextPanelPicture, NullTextLeavesBackgroundOnly)
{
    CreateTextPanel(widgets, nullptr, 1, 120, 402, 200, 248, nullptr, -12, "Courier New");
    const TextPanel& p = widgets.Texts[1];
    ASSERT_NE(p.DrawSurface.Dc(), nullptr);
    ASSERT_NE(p.DrawSurface.KeptFont(), nullptr);
    EXPECT_EQ(CountColour(p.DrawSurface, MenuColour(), 0, 0, 200, 248), 200 * 248);
}

TEST_F(TextPanelPicture, NumbersTableLinesRightAligned)
{
    CreateTextPanel(widgets, nullptr, 1, 120, 402, 200, 248, nullptr, -12, "Courier New");
    std::string text;
    for (int i = 0; i < 15; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "%13.2f%13.2f", 1234.5, -45.25);
        text += line;
        if (i < 14)
            text += "\r\n";
    }
    SetTextPanelText(widgets, nullptr, 1, text.c_str());
    const TextPanel& p = widgets.Texts[1];
    SIZE cell{};
    GetTextExtentPoint32A(p.DrawSurface.Dc(), "0", 1, &cell);
    ASSERT_GT(cell.cx, 3);
    EXPECT_EQ(Ink(p, 0, 0, 5 * cell.cx, cell.cy), 0);           // "     1234.50": blanks first
    EXPECT_GT(Ink(p, 6 * cell.cx, 0, 13 * cell.cx, cell.cy), 10); // then the digits
    EXPECT_EQ(Ink(p, 13 * cell.cx, 0, 19 * cell.cx, cell.cy), 0); // "       -45.25"
    EXPECT_GT(Ink(p, 19 * cell.cx, 0, 26 * cell.cx, cell.cy), 10);
    // Fifteen lines, each one cell lower; nothing under the last.
    EXPECT_GT(Ink(p, 0, 14 * cell.cy, 200, 15 * cell.cy), 10);
    EXPECT_EQ(Ink(p, 0, 15 * cell.cy + 1, 200, 248), 0);
    SaveBitmap(p.DrawSurface, 200, 248, "text_panel_numbers.bmp");
}

TEST_F(TextPanelPicture, StatusLabelsOnTenLinesAndAmpersandShown)
{
    const char* labels = "MeasCount:\nProcPeriod[us]:\nMaxChA:\nMinChA:\nMaxChB:\nMinChB:\nChargerStatus:\n"
                         "BatteryLevel[mV]:\nSysErrors:\nGPIOStatus:";
    CreateTextPanel(widgets, nullptr, 0, 350, 382, 130, 140, labels, 13, "Tahoma");
    const TextPanel& p = widgets.Texts[0];
    TEXTMETRICA tm{};
    GetTextMetricsA(p.DrawSurface.Dc(), &tm);
    ASSERT_GT(tm.tmHeight, 5);
    for (int line = 0; line < 10; ++line)
        EXPECT_GT(Ink(p, 0, line * tm.tmHeight, 130, (line + 1) * tm.tmHeight), 10) << line;

    SetTextPanelText(widgets, nullptr, 0, "&");
    EXPECT_GT(Ink(p, 0, 0, 20, tm.tmHeight), 5);
    EXPECT_EQ(Ink(p, 0, tm.tmHeight, 130, 140), 0); // the old picture is gone
    SetTextPanelText(widgets, nullptr, 0, "");
    EXPECT_EQ(Ink(p, 0, 0, 130, 140), 0);
}

TEST_F(TextPanelPicture, CreateOnceSetOnlyWhenCreated)
{
    SetTextPanelText(widgets, nullptr, 0, "x");
    EXPECT_EQ(widgets.Texts[0].DrawSurface.Dc(), nullptr);
    CreateTextPanel(widgets, nullptr, 0, 350, 382, 130, 140, "first", 13, "Tahoma");
    HDC first = widgets.Texts[0].DrawSurface.Dc();
    CreateTextPanel(widgets, nullptr, 0, 0, 0, 50, 50, "second", 13, "Tahoma");
    EXPECT_EQ(widgets.Texts[0].DrawSurface.Dc(), first);
    EXPECT_EQ(widgets.Texts[0].Width, 130);
    // No such panel, or no room: nothing anywhere in the registry changes.
    const std::string registry = SetBytes();
    CreateTextPanel(widgets, nullptr, 2, 0, 0, 50, 50, "none", 13, "Tahoma");
    CreateTextPanel(widgets, nullptr, 3, 0, 0, 50, 50, "none", 13, "Tahoma");
    CreateTextPanel(widgets, nullptr, -1, 0, 0, 50, 50, "none", 13, "Tahoma");
    CreateTextPanel(widgets, nullptr, 1, 0, 0, 0, 0, "none", 13, "Tahoma");
    SetTextPanelText(widgets, nullptr, 2, "none");
    SetTextPanelText(widgets, nullptr, -1, "none");
    EXPECT_EQ(widgets.Texts[1].DrawSurface.Dc(), nullptr);
    EXPECT_TRUE(SetBytes() == registry);
}
