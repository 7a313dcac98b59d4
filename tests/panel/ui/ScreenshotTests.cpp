// Pictures of the main window for a person to look at, and a few pixels checked in them.
#include "PanelHarness.h"

#include "StatusBar.h"

#include <gtest/gtest.h>

namespace {

TEST(Screenshot, MainWindowAtStartAndWithAnError)
{
    HWND window = OpenPanel();
    ASSERT_NE(window, nullptr);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const Picture start = CaptureClient(window);
    ASSERT_GT(start.Width, 0);
    EXPECT_TRUE(SaveBmp(CaptureWindow(window), TestFolder() + "panel_main_window.bmp"));

    // The logo is drawn inside its frame at (61, 22), 77 x 23: its dark blue ground and frame line.
    EXPECT_EQ(start.At(61 + 30, 22), 0x286EDCu) << std::hex << start.At(91, 22);
    EXPECT_EQ(start.At(61 + 70, 22 + 10), 0x143278u) << std::hex << start.At(131, 32);
    // Labels sit on the window's own background, not on a differently coloured patch.
    uint32_t background = RgbOf(GetSysColor(COLOR_MENU));
    EXPECT_EQ(start.At(495, 250), background) << std::hex << start.At(495, 250);
    EXPECT_EQ(start.At(476, 165), background) << "inside the log count label, right of its text";
    EXPECT_FALSE(IsRedPixel(start.At(1000, 700)));

    ShowStatusMessage(window, "ERROR: The application is not connected with the device.", 0);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const Picture error = CaptureClient(window);
    EXPECT_TRUE(SaveBmp(CaptureWindow(window), TestFolder() + "panel_main_window_error.bmp"));
    RECT client;
    GetClientRect(window, &client);
    RECT bar = ControlRectInClient(window, 1100);
    EXPECT_TRUE(IsRedPixel(error.At(client.right - 30, (bar.top + bar.bottom) / 2)));
    EXPECT_TRUE(IsRedPixel(error.At(100, (bar.top + bar.bottom) / 2))) << "the whole bar";
    ClosePanel(window);
}

} // namespace
