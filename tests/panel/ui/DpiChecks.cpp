#include "DpiChecks.h"

#include "ConfigurationView.h"
#include "ControlIds.h"
#include "I2cWindow.h"
#include "MainLayout.h"
#include "PanelHarness.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <cstring>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

// Room a check box or radio button keeps for its box, at 96 DPI.
constexpr int BoxWidth96 = 16;

bool HasBox(HWND control)
{
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    const LONG type = style & BS_TYPEMASK;
    return _stricmp(ClassNameOf(control).c_str(), "Button") == 0 && !(style & BS_PUSHLIKE) &&
           (type == BS_AUTOCHECKBOX || type == BS_AUTORADIOBUTTON);
}

// The widest line of the control's text in the control's own font.
int TextWidth(HWND control)
{
    const std::string text = WindowText(control);
    HDC dc = GetDC(control);
    HGDIOBJ former = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    int widest = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        SIZE size{};
        GetTextExtentPoint32A(dc, text.c_str() + start, static_cast<int>(end - start), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
        start = end + 2;
    }
    SelectObject(dc, former);
    ReleaseDC(control, dc);
    return widest;
}

LONG FontHeightOf(HWND control)
{
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight;
}

RECT RectInParent(HWND child)
{
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void ExpectScaled(const RECT& rect, int x, int y, int w, int h, double factor)
{
    EXPECT_NEAR(rect.left, x * factor, 1.0);
    EXPECT_NEAR(rect.top, y * factor, 1.0);
    EXPECT_NEAR(rect.right, (x + w) * factor, 1.0);
    if (h >= 0) {
        EXPECT_NEAR(rect.bottom, (y + h) * factor, 1.0);
    }
}

bool IsWhitePixel(uint32_t rgb)
{
    return RedOf(rgb) > 200 && GreenOf(rgb) > 200 && BlueOf(rgb) > 200;
}

} // namespace

const std::initializer_list<ChildPlace> ViewPlaces96 = {{IdConfViewText, 7, 7, 580, 301}};
const std::initializer_list<ChildPlace> I2cPlaces96 = {
    {IdI2cData, 7, 50, 265, 100},     {IdI2cWrite, 7, 10, 50, 30},       {IdI2cRead, 67, 10, 50, 30},
    {IdI2cAddress, 252, 15, 20, 20},  {IdI2cByteCount, 167, 15, 20, 20}, {IdI2cBytesLabel, 127, 17, 38, 17},
    {IdI2cAddressLabel, 198, 17, 53, 17},
};

double ExpectedFactor(int dpi, const RECT& workArea, int width96, int height96)
{
    return std::min({dpi / 96.0, static_cast<double>(workArea.right - workArea.left) / width96,
                     static_cast<double>(workArea.bottom - workArea.top) / height96});
}

RECT ScreenWorkArea()
{
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

void ExpectMainLayoutAt(HWND mainWindow, double factor)
{
    for (int id = IdInterfaceGroup; id <= IdFrequencyList; ++id) {
        HWND control = GetDlgItem(mainWindow, id);
        const ScaledRect r = MainControlRect96(id);
        if (!control || r.Width == 0)
            continue;
        SCOPED_TRACE(id);
        // Combo boxes size their own height from their font.
        const bool combo = id == IdGainA || id == IdGainB;
        ExpectScaled(ControlRectInClient(mainWindow, id), r.X, r.Y, r.Width, combo ? -1 : r.Height, factor);
    }
    // Every caption in its control's font fits the control (the trackbars' captions are not shown).
    for (int id = IdInterfaceGroup; id <= IdFrequencyList; ++id) {
        HWND control = GetDlgItem(mainWindow, id);
        if (!control || _stricmp(ClassNameOf(control).c_str(), TRACKBAR_CLASSA) == 0)
            continue;
        SCOPED_TRACE(id);
        RECT client{};
        GetClientRect(control, &client);
        const int room = client.right - (HasBox(control) ? static_cast<int>(std::lround(BoxWidth96 * factor)) : 0);
        EXPECT_LE(TextWidth(control), room) << WindowText(control);
    }
    EXPECT_EQ(FontHeightOf(GetDlgItem(mainWindow, IdConnectDeviceButton)), static_cast<LONG>(std::trunc(13 * factor)));
    EXPECT_EQ(FontHeightOf(GetDlgItem(mainWindow, IdColumnHeader)), static_cast<LONG>(std::trunc(-12 * factor)));
}

void ExpectChildrenAt(HWND window, std::initializer_list<ChildPlace> places96, double factor)
{
    for (const ChildPlace& p : places96) {
        SCOPED_TRACE(p.Id);
        HWND child = GetDlgItem(window, p.Id);
        ASSERT_NE(child, nullptr);
        ExpectScaled(RectInParent(child), p.X, p.Y, p.W, p.H, factor);
    }
}

void ExpectGraphsDrawnAt(HWND mainWindow, double factor)
{
    ASSERT_TRUE(PumpUntil([] { return NothingToPaint(); }, 5000));
    const Picture picture = CaptureClient(mainWindow);
    for (int top96 : {10, 340}) {
        SCOPED_TRACE(top96);
        const int left = static_cast<int>(std::lround(500 * factor));
        const int top = static_cast<int>(std::lround(top96 * factor));
        const int right = static_cast<int>(std::lround(1085 * factor));
        const int bottom = static_cast<int>(std::lround((top96 + 300) * factor));
        // The plot surface sits 10 pixels in from the frame's left and 20 below its top; the Y axis
        // is 50 pixels into it.
        EXPECT_TRUE(IsWhitePixel(picture.At(left + 60, (top + bottom) / 2)));
        // Near the panel's scaled bottom-right corner, still inside the plot: black.
        EXPECT_TRUE(IsDarkPixel(picture.At(right - 14, bottom - 14)));
    }
}

void ExpectInside(HWND window, const RECT& workArea)
{
    RECT frame{};
    GetWindowRect(window, &frame);
    EXPECT_GE(frame.left, workArea.left);
    EXPECT_GE(frame.top, workArea.top);
    EXPECT_LE(frame.right, workArea.right);
    EXPECT_LE(frame.bottom, workArea.bottom);
}
