// WM_DPICHANGED, as Windows sends it when a window moves to a monitor of another DPI or the
// display's scaling is changed: the main window and the windows it opens lay themselves out at
// the new factor (reduced to fit this screen's work area) and come back exactly to their
// 96-DPI layout.
#include "DpiChecks.h"
#include "PanelHarness.h"

#include "ConfigurationView.h"
#include "ControlIds.h"
#include "I2cWindow.h"
#include "MainLayout.h"
#include "ProgramIcons.h"
#include "StatusBar.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cmath>
#include <string>

namespace {

constexpr int MainWidth96 = 1100;
constexpr int MainHeight96 = 730;

// The message with the rectangle Windows suggests: the window's corner, its size times the factor.
void SendDpiChange(HWND window, int dpi, int width96, int height96)
{
    RECT now{};
    GetWindowRect(window, &now);
    RECT suggested{now.left, now.top, now.left + MulDiv(width96, dpi, 96), now.top + MulDiv(height96, dpi, 96)};
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

SIZE FrameSize(HWND window)
{
    RECT frame{};
    GetWindowRect(window, &frame);
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

int IconWidth(HICON icon)
{
    ICONINFO info{};
    if (!GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap{};
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

int FirstPartEdge(HWND mainWindow)
{
    int edges[8] = {};
    SendDlgItemMessageA(mainWindow, IdStatusBar, SB_GETPARTS, 8, reinterpret_cast<LPARAM>(edges));
    return edges[0];
}

int Round(double value)
{
    return static_cast<int>(std::lround(value));
}

std::string ManifestText()
{
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(nullptr, found)) : std::string();
}

class DpiChange : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = OpenPanel();
        ASSERT_NE(window, nullptr);
        ctrl = PanelCtrl();
    }
    void TearDown() override { ClosePanel(window); }
    HWND window = nullptr;
    GlobalCtrl* ctrl = nullptr;
};

} // namespace

TEST(DpiManifest, DeclaresPerMonitorAwarenessAndKeepsTheCommonControlsVersion)
{
    const std::string manifest = ManifestText();
    EXPECT_NE(manifest.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
                            "PerMonitorV2, PerMonitor</dpiAwareness>"),
              std::string::npos);
    EXPECT_NE(manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>"),
              std::string::npos);
    EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos);
    // The system read it: this process is per-monitor aware (2), where the system can tell.
    using GetContext = HANDLE(WINAPI*)();
    using AwarenessOf = int(WINAPI*)(HANDLE);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    auto context = reinterpret_cast<GetContext>(reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
    auto awareness = reinterpret_cast<AwarenessOf>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
    if (context && awareness) {
        EXPECT_EQ(awareness(context()), 2);
    }
}

TEST_F(DpiChange, MainWindowTakesEachFactorAndComesBackExactlyTo96)
{
    const SIZE size96 = FrameSize(window);
    ASSERT_EQ(size96.cx, MainWidth96);
    // 108 fits this screen whole; 120 and 144 are reduced to its work area.
    for (int dpi : {108, 120, 144}) {
        SCOPED_TRACE(dpi);
        SendDpiChange(window, dpi, MainWidth96, MainHeight96);
        const RECT work = ScreenWorkArea();
        const double factor = ExpectedFactor(dpi, work, MainWidth96, MainHeight96);
        EXPECT_EQ(factor < dpi / 96.0, dpi != 108);
        const SIZE size = FrameSize(window);
        EXPECT_NEAR(size.cx, MainWidth96 * factor, 1.0);
        EXPECT_NEAR(size.cy, MainHeight96 * factor, 1.0);
        ExpectInside(window, work);
        ExpectMainLayoutAt(window, factor);
        ExpectGraphsDrawnAt(window, factor);
        EXPECT_EQ(FirstPartEdge(window), Round(200 * factor));
        EXPECT_EQ(IconWidth(StatusPartIcon(window, 1)), Round(16 * factor));
        EXPECT_EQ(IconWidth(reinterpret_cast<HICON>(SendDlgItemMessageA(window, IdConfigFileButton, BM_GETIMAGE, IMAGE_ICON, 0))),
                  Round(20 * factor));
    }
    SendDpiChange(window, 96, MainWidth96, MainHeight96);
    EXPECT_EQ(FrameSize(window).cx, size96.cx);
    EXPECT_EQ(FrameSize(window).cy, size96.cy);
    for (int id = IdInterfaceGroup; id <= IdFrequencyList; ++id) {
        const ScaledRect r = MainControlRect96(id);
        if (r.Width == 0 || id == IdGainA || id == IdGainB)
            continue;
        const RECT rect = ControlRectInClient(window, id);
        EXPECT_EQ(rect.left, r.X) << id;
        EXPECT_EQ(rect.top, r.Y) << id;
        EXPECT_EQ(rect.right - rect.left, r.Width) << id;
        EXPECT_EQ(rect.bottom - rect.top, r.Height) << id;
    }
    ExpectMainLayoutAt(window, 1.0);
    ExpectGraphsDrawnAt(window, 1.0);
    EXPECT_EQ(FirstPartEdge(window), 200);
    EXPECT_EQ(IconWidth(StatusPartIcon(window, 1)), 16);
}

TEST_F(DpiChange, TheLitNoticeStaysLitAcrossTheChange)
{
    ShowStatusMessage(window, "a notice", 1);
    SendDpiChange(window, 144, MainWidth96, MainHeight96);
    EXPECT_EQ(StatusPartIcon(window, 3), Icons.NoticeOn);
    EXPECT_EQ(StatusPartText(window, 3), "a notice");
}

TEST_F(DpiChange, OwnedWindowsTakeTheFactorAndComeBack)
{
    struct Owned {
        void (*Open)(GlobalCtrl*);
        HWND GlobalCtrl::*Field;
        int Width96, Height96;
        std::initializer_list<ChildPlace> Places;
    };
    const Owned owned[] = {
        {OpenConfigurationView, &GlobalCtrl::ConfViewWindow, 600, 345, ViewPlaces96},
        {OpenI2cWindow, &GlobalCtrl::I2cWindow, 285, 182, I2cPlaces96},
    };
    for (const Owned& o : owned) {
        o.Open(ctrl);
        HWND opened = ctrl->*o.Field;
        ASSERT_NE(opened, nullptr);
        for (int dpi : {144, 96}) {
            SCOPED_TRACE(dpi);
            SendDpiChange(opened, dpi, o.Width96, o.Height96);
            const double factor = ExpectedFactor(dpi, ScreenWorkArea(), o.Width96, o.Height96);
            EXPECT_NEAR(FrameSize(opened).cx, o.Width96 * factor, 1.0);
            EXPECT_NEAR(FrameSize(opened).cy, o.Height96 * factor, 1.0);
            ExpectChildrenAt(opened, o.Places, factor);
        }
        SendMessageA(opened, WM_CLOSE, 0, 0);
    }
}
