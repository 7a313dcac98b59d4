// The control panel started on a screen whose display is set to more than 96 DPI (this program
// runs only under scripts/wine-at-dpi.sh, at 144 DPI): the windows lay themselves out at the
// display's factor, reduced to fit the screen's work area.
#include "DpiChecks.h"
#include "PanelHarness.h"

#include "ConfigurationView.h"
#include "ControlIds.h"
#include "I2cWindow.h"

#include <gtest/gtest.h>

namespace {

constexpr int ScreenDpi = 144;

int LogPixels()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

class AtScreenDpi : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(LogPixels(), ScreenDpi) << "run by scripts/wine-at-dpi.sh with the display at 144 DPI";
        window = OpenPanel();
        ASSERT_NE(window, nullptr);
        ctrl = PanelCtrl();
        work = ScreenWorkArea();
    }
    void TearDown() override { ClosePanel(window); }
    HWND window = nullptr;
    GlobalCtrl* ctrl = nullptr;
    RECT work{};
};

} // namespace

TEST_F(AtScreenDpi, MainWindowFitsTheWorkAreaWithEveryControlScaled)
{
    const double factor = ExpectedFactor(ScreenDpi, work, 1100, 730);
    RecordProperty("factor", std::to_string(factor));
    ExpectInside(window, work);
    RECT frame{};
    GetWindowRect(window, &frame);
    EXPECT_NEAR(frame.right - frame.left, 1100 * factor, 1.0);
    EXPECT_NEAR(frame.bottom - frame.top, 730 * factor, 1.0);
    ExpectMainLayoutAt(window, factor);
    ExpectGraphsDrawnAt(window, factor);
    // The status bar, where every error shows, is inside the client area and on the screen.
    RECT bar{};
    GetWindowRect(GetDlgItem(window, IdStatusBar), &bar);
    EXPECT_LE(bar.bottom, work.bottom);
    EXPECT_GT(bar.bottom - bar.top, 0);
}

TEST_F(AtScreenDpi, OwnedWindowsOpenAtTheFactor)
{
    OpenConfigurationView(ctrl);
    ASSERT_NE(ctrl->ConfViewWindow, nullptr);
    ExpectChildrenAt(ctrl->ConfViewWindow, ViewPlaces96, ExpectedFactor(ScreenDpi, work, 600, 345));
    OpenI2cWindow(ctrl);
    ASSERT_NE(ctrl->I2cWindow, nullptr);
    ExpectChildrenAt(ctrl->I2cWindow, I2cPlaces96, ExpectedFactor(ScreenDpi, work, 285, 182));
}
