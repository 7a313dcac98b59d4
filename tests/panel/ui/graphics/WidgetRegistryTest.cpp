#include "SurfacePixels.h"
#include "WidgetFixture.h"

#include <vector>

namespace {

constexpr COLORREF Blue = RGB(0, 0, 255);
constexpr COLORREF Black = RGB(0, 0, 0);
constexpr COLORREF White = RGB(255, 255, 255);

// All six widgets at places of this test's own, in the order the main window creates its
// widgets (the main window's places are checked in the live window by the panel tests).
void CreateSixWidgets(WidgetSet& widgets, HWND owner)
{
    CreateGraphPanel(widgets, owner, 0, "FIRST", 600, 20, 300, 200);
    CreateGraphPanel(widgets, owner, 1, "SECOND", 600, 300, 300, 200);
    CreateTextPanel(widgets, owner, 1, 20, 300, 150, 200, nullptr, -12, "Courier New");
    CreateLevelBar(widgets, owner, 0, 200, 400, 40, 108, 4095);
    CreateLevelBar(widgets, owner, 1, 260, 400, 40, 108, 4095);
    CreateTextPanel(widgets, owner, 0, 200, 250, 130, 140, "First:\nSecond:\nThird:", 13, "Tahoma");
}

// An off-screen picture of one colour standing in for the window the widgets are painted on.
struct PaintTarget {
    OffscreenSurface surface;
    PaintTarget(int32_t width, int32_t height, COLORREF ground) : surface(nullptr, width, height)
    {
        RECT all{0, 0, width, height};
        OwnedBrush fill(CreateSolidBrush(ground));
        FillRect(surface.Dc(), &all, fill.Get());
    }
};

bool AllZero(const void* record, size_t size)
{
    const unsigned char* b = static_cast<const unsigned char*>(record);
    for (size_t i = 0; i < size; ++i)
        if (b[i])
            return false;
    return true;
}

} // namespace

using WidgetRegistry = WidgetTest;

TEST_F(WidgetRegistry, PaintCopiesEveryWidgetToItsPlace)
{
    CreateSixWidgets(widgets, nullptr);
    SetLevelBar(widgets, nullptr, 1, 3000, 1000);
    PaintTarget target(1100, 700, RGB(1, 2, 3));
    const OffscreenSurface& window = target.surface;

    PaintWidgets(widgets, window.Dc());
    EXPECT_EQ(PixelAt(window, 260 + 20, 400 + 50), Blue);            // level bar 1
    EXPECT_EQ(PixelAt(window, 200 + 20, 400 + 50), MenuColour());    // level bar 0, empty
    EXPECT_EQ(PixelAt(window, 600 + 60, 20 + 20 + 100), White);      // first graph's Y axis
    EXPECT_EQ(PixelAt(window, 600 + 60, 300 + 20 + 100), White);     // second graph's Y axis
    EXPECT_GT(CountColour(window, Black, 200, 250, 330, 268), 10);    // first text line
    EXPECT_EQ(PixelAt(window, 20 + 75, 300 + 100), MenuColour());    // empty text panel
    EXPECT_EQ(PixelAt(window, 5, 5), RGB(1, 2, 3));                  // no widget there
    EXPECT_EQ(PixelAt(window, 590, 100), RGB(1, 2, 3));
    EXPECT_EQ(PixelAt(window, 250, 400 + 50), RGB(1, 2, 3));          // between the bars
    SaveBitmap(window, 1100, 700, "widgets_painted.bmp");
}

TEST_F(WidgetRegistry, TextPanelsArePaintedOverLevelBars)
{
    CreateLevelBar(widgets, nullptr, 0, 0, 0, 40, 108, 4095);
    SetLevelBar(widgets, nullptr, 0, 4000, 100);
    CreateTextPanel(widgets, nullptr, 0, 0, 0, 40, 50, nullptr, 13, "Tahoma");
    PaintTarget target(60, 120, RGB(1, 2, 3));
    PaintWidgets(widgets, target.surface.Dc());
    EXPECT_EQ(PixelAt(target.surface, 20, 20), MenuColour()); // the text panel covers the bar's top
    EXPECT_EQ(PixelAt(target.surface, 20, 80), Blue);
}

TEST_F(WidgetRegistry, ReleaseFreesEverySurfaceAndFont)
{
    CreateSixWidgets(widgets, nullptr);
    std::vector<HGDIOBJ> held;
    for (const GraphPanel& p : widgets.Graphs)
        held.insert(held.end(), {p.FrameSurface.Dc(), p.FrameSurface.Bitmap(), p.PlotSurface.Dc(), p.PlotSurface.Bitmap()});
    for (const TextPanel& p : widgets.Texts)
        held.insert(held.end(), {p.DrawSurface.Dc(), p.DrawSurface.Bitmap(), p.DrawSurface.KeptFont()});
    for (const LevelBar& b : widgets.Bars)
        held.insert(held.end(), {b.DrawSurface.Dc(), b.DrawSurface.Bitmap()});
    for (HGDIOBJ o : held)
        ASSERT_NE(GetObjectType(o), 0u);
    ReleaseWidgets(widgets);
    for (HGDIOBJ o : held)
        EXPECT_EQ(GetObjectType(o), 0u);
    EXPECT_TRUE(AllZero(widgets.Graphs, sizeof widgets.Graphs));
    EXPECT_TRUE(AllZero(widgets.Texts, sizeof widgets.Texts));
    EXPECT_TRUE(AllZero(widgets.Bars, sizeof widgets.Bars));
    ReleaseWidgets(widgets); // nothing left to release
    // A later window can create its widgets again.
    CreateSixWidgets(widgets, nullptr);
    EXPECT_NE(widgets.Graphs[0].FrameSurface.Dc(), nullptr);
}

namespace {

int EraseCount = 0;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND)
        ++EraseCount;
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeOwner()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = GetSysColorBrush(COLOR_MENU);
    wc.lpszClassName = "WidgetOwnerTestClass";
    RegisterClassA(&wc); // fails harmlessly when a former test registered it
    return CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, 1100, 700, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

} // namespace

TEST_F(WidgetRegistry, UpdatesInvalidateOnlyTheWidgetWithoutErasing)
{
    HWND owner = MakeOwner();
    ASSERT_NE(owner, nullptr);
    CreateSixWidgets(widgets, owner);
    struct Case { const char* what; void (*update)(WidgetSet&, HWND); RECT want; };
    const Case cases[] = {
        {"level bar", [](WidgetSet& s, HWND w) { SetLevelBar(s, w, 1, 3000, 1000); }, {260, 400, 300, 508}},
        {"text panel", [](WidgetSet& s, HWND w) { SetTextPanelText(s, w, 0, "x"); }, {200, 250, 330, 390}},
        {"graph", [](WidgetSet& s, HWND w) {
             float x[3] = {1, 2, 3}, y[3] = {1, 2, 3};
             DrawGraph(s, w, 1, {.X = x, .XUnit = "Hz", .Y = y, .PointCount = 3, .YDivisions = 10, .FixedMax = 0,
                                 .FixedMin = 0, .Colour = RGB(64, 64, 255), .XLogarithmic = false, .YLogarithmic = false});
         }, {600, 300, 900, 500}},
    };
    for (const Case& c : cases) {
        ValidateRect(owner, nullptr);
        c.update(widgets, owner);
        RECT got{};
        EXPECT_TRUE(GetUpdateRect(owner, &got, FALSE)) << c.what;
        EXPECT_TRUE(EqualRect(&got, &c.want)) << c.what << ": " << got.left << "," << got.top << "," << got.right << "," << got.bottom;
        EraseCount = 0;
        UpdateWindow(owner);
        EXPECT_EQ(EraseCount, 0) << c.what;
    }
    DestroyWindow(owner);
}
