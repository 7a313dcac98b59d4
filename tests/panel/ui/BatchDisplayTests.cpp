// What the live main window draws for a batch of spectra handed over with WM_USER: the numbers
// table, the status values, both level bars and both graphs, at their places in the window.
#include "PanelHarness.h"

#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "BatchHandling.h"
#include "WidgetHookup.h"
#include "MainWindowState.h"

#include <gtest/gtest.h>

namespace {

bool IsPhaseBluePixel(uint32_t rgb)
{
    return BlueOf(rgb) > 200 && GreenOf(rgb) < 100 && GreenOf(rgb) > 30;
}

class BatchDisplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = OpenPanel();
        ASSERT_NE(window, nullptr);
        for (int i = 0; i < 15; ++i)
            PanelCtrl()->Frequencies[i] = 1000.0f * static_cast<float>(i + 1);
    }
    void TearDown() override { ClosePanel(window); }

    // One spectrum as record 0 of the buffer, handed over as a batch of one.
    void ShowSpectrum(uint16_t maxA, uint16_t minA, uint16_t maxB, uint16_t minB)
    {
        SpectrumRecord& r = PanelDataBuff()[0];
        r.MeasCount = 1;
        r.MaxChA = maxA;
        r.MinChA = minA;
        r.MaxChB = maxB;
        r.MinChB = minB;
        for (int i = 0; i < 15; ++i) {
            r.Module[i] = 1000.0f - 50.0f * static_cast<float>(i);
            r.Phase[i] = -3.0f * static_cast<float>(i);
        }
        SendMessageA(window, WM_USER, 0, 1);
        PumpUntil(NothingToPaint, 5000);
    }
    HWND window = nullptr;
};

constexpr RECT ModulePlot{510, 40, 1075, 300};
constexpr RECT PhasePlot{510, 370, 1075, 630};
constexpr RECT NumbersPanel{120, 402, 320, 650};
constexpr RECT StatusPanel{350, 382, 480, 522};

} // namespace

TEST_F(BatchDisplay, EveryWidgetOfTheWindowShowsTheBatchsFirstSpectrum)
{
    const Picture before = CaptureClient(window);
    ShowSpectrum(3000, 1000, 4095, 1000);
    const Picture after = CaptureClient(window);

    // Level bar 0 (3000 .. 1000 of 4095): blue from y 29 to 81 of the bar, at its centre x 20.
    const int barX = 350 + 20;
    EXPECT_TRUE(IsBluePixel(after.At(barX, 542 + 30)));
    EXPECT_TRUE(IsBluePixel(after.At(barX, 542 + 80)));
    EXPECT_FALSE(IsBluePixel(after.At(barX, 542 + 26)));
    EXPECT_FALSE(IsBluePixel(after.At(barX, 542 + 84)));
    // Level bar 1 reaches the full scale: red, its top at y 2.
    EXPECT_TRUE(IsRedPixel(after.At(400 + 20, 542 + 3)));
    EXPECT_TRUE(IsRedPixel(after.At(400 + 20, 542 + 80)));
    EXPECT_FALSE(IsRedPixel(before.At(400 + 20, 542 + 50)));

    // The curves: green in the module plot, blue in the phase plot.
    EXPECT_EQ(CountPixels(before, ModulePlot, IsGreenPixel), 0);
    EXPECT_GT(CountPixels(after, ModulePlot, IsGreenPixel), 200);
    EXPECT_EQ(CountPixels(before, PhasePlot, IsPhaseBluePixel), 0);
    EXPECT_GT(CountPixels(after, PhasePlot, IsPhaseBluePixel), 200);

    // Text: the numbers table was empty, the status panel had its labels only.
    EXPECT_EQ(CountPixels(before, NumbersPanel, IsDarkPixel), 0);
    EXPECT_GT(CountPixels(after, NumbersPanel, IsDarkPixel), 300);
    EXPECT_GT(CountPixels(after, StatusPanel, IsDarkPixel), CountPixels(before, StatusPanel, IsDarkPixel));
}

TEST_F(BatchDisplay, NothingIsDrawnWithDisplayDataOffOrForAnOversizedBatch)
{
    CheckDlgButton(window, IdDisplayData, BST_UNCHECKED);
    const Picture before = CaptureClient(window);
    ShowSpectrum(3000, 1000, 3000, 1000);
    EXPECT_EQ(CountPixels(CaptureClient(window), ModulePlot, IsGreenPixel), 0);

    CheckDlgButton(window, IdDisplayData, BST_CHECKED);
    const uint32_t handled = HandledSpectrumBatches(window);
    SendMessageA(window, WM_USER, 0, 51);
    PumpUntil(NothingToPaint, 5000);
    EXPECT_EQ(HandledSpectrumBatches(window), handled + 1);
    EXPECT_EQ(CountPixels(CaptureClient(window), ModulePlot, IsGreenPixel), 0) << "a batch above 50 is dropped";
    EXPECT_EQ(CountPixels(CaptureClient(window), NumbersPanel, IsDarkPixel), CountPixels(before, NumbersPanel, IsDarkPixel));

    // A batch of 0 redraws from the buffer's first record as it stands.
    SendMessageA(window, WM_USER, 0, 0);
    PumpUntil(NothingToPaint, 5000);
    EXPECT_GT(CountPixels(CaptureClient(window), ModulePlot, IsGreenPixel), 200);
}

// Each widget is made at its place in the main window, and the window shows the widget's whole
// picture there, pixel for pixel, after a batch gave every widget something to show.
TEST_F(BatchDisplay, EveryWidgetIsAtItsPlaceAndTheWindowShowsItsWholePicture)
{
    ShowSpectrum(3000, 1000, 4095, 1000);
    struct Place {
        const char* what;
        int32_t x, y, width, height;
        int32_t recordX, recordY, recordWidth, recordHeight; // as the registry holds them
        const OffscreenSurface* picture;
    };
    const WidgetSet& widgets = MainStateOf(window)->Widgets;
    const GraphPanel* graphs = widgets.Graphs;
    const TextPanel* texts = widgets.Texts;
    const LevelBar* bars = widgets.Bars;
    const Place places[] = {
        {"module graph", 500, 10, 585, 300, graphs[0].X, graphs[0].Y, graphs[0].Width, graphs[0].Height, &graphs[0].FrameSurface},
        {"phase graph", 500, 340, 585, 300, graphs[1].X, graphs[1].Y, graphs[1].Width, graphs[1].Height, &graphs[1].FrameSurface},
        {"status values", 350, 382, 130, 140, texts[0].X, texts[0].Y, texts[0].Width, texts[0].Height, &texts[0].DrawSurface},
        {"numbers table", 120, 402, 200, 248, texts[1].X, texts[1].Y, texts[1].Width, texts[1].Height, &texts[1].DrawSurface},
        {"CH-A level bar", 350, 542, 40, 108, bars[0].X, bars[0].Y, static_cast<int32_t>(bars[0].Width),
         static_cast<int32_t>(bars[0].Height), &bars[0].DrawSurface},
        {"CH-B level bar", 400, 542, 40, 108, bars[1].X, bars[1].Y, static_cast<int32_t>(bars[1].Width),
         static_cast<int32_t>(bars[1].Height), &bars[1].DrawSurface},
    };
    EXPECT_EQ(bars[0].FullScale, 4095u);
    EXPECT_EQ(bars[1].FullScale, 4095u);
    const Picture shown = CaptureClient(window);
    for (const Place& p : places) {
        SCOPED_TRACE(p.what);
        EXPECT_EQ(p.recordX, p.x);
        EXPECT_EQ(p.recordY, p.y);
        EXPECT_EQ(p.recordWidth, p.width);
        EXPECT_EQ(p.recordHeight, p.height);
        ASSERT_NE(p.picture->Dc(), nullptr);
        const Picture own = CopyPicture(p.picture->Dc(), 0, 0, p.width, p.height);
        int differing = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                differing += shown.At(p.x + x, p.y + y) != own.At(x, y) ? 1 : 0;
        EXPECT_EQ(differing, 0) << "pixels of the window that are not the widget's own";
    }
}
