// What the live main window draws for a batch of spectra handed over with WM_USER: the numbers
// table, the status values, both level bars and both graphs, at their places in the window.
#include "PanelHarness.h"

#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "SpectrumBatch.h"

#include <gtest/gtest.h>

namespace {

bool IsBluePixel(uint32_t rgb)
{
    return (rgb & 0xFF) > 200 && ((rgb >> 8) & 0xFF) < 60 && ((rgb >> 16) & 0xFF) < 60;
}

bool IsGreenPixel(uint32_t rgb)
{
    return ((rgb >> 8) & 0xFF) > 200 && (rgb & 0xFF) < 60 && ((rgb >> 16) & 0xFF) < 60;
}

bool IsPhaseBluePixel(uint32_t rgb)
{
    return (rgb & 0xFF) > 200 && ((rgb >> 8) & 0xFF) < 100 && ((rgb >> 8) & 0xFF) > 30;
}

bool IsDarkPixel(uint32_t rgb)
{
    return ((rgb >> 16) & 0xFF) < 80 && ((rgb >> 8) & 0xFF) < 80 && (rgb & 0xFF) < 80;
}

int CountPixels(const Capture& capture, RECT area, bool (*kind)(uint32_t))
{
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            n += kind(capture.AtClient(x, y)) ? 1 : 0;
    return n;
}

class BatchDisplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSpectrumSequence();
        window = OpenPanel();
        ASSERT_NE(window, nullptr);
        for (int i = 0; i < 15; ++i)
            GlobalCtrlPtr->Frequencies[i] = 1000.0f * static_cast<float>(i + 1);
    }
    void TearDown() override { ClosePanel(window); }

    // One spectrum as record 0 of the buffer, handed over as a batch of one.
    void ShowSpectrum(uint16_t maxA, uint16_t minA, uint16_t maxB, uint16_t minB)
    {
        SpectrumRecord& r = DataBuffPtr[0];
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
        PumpFor(100);
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
    const Capture before = CaptureWindow(window);
    ShowSpectrum(3000, 1000, 4095, 1000);
    const Capture after = CaptureWindow(window);

    // Level bar 0 (3000 .. 1000 of 4095): blue from y 29 to 81 of the bar, at its centre x 20.
    const int barX = 350 + 20;
    EXPECT_TRUE(IsBluePixel(after.AtClient(barX, 542 + 30)));
    EXPECT_TRUE(IsBluePixel(after.AtClient(barX, 542 + 80)));
    EXPECT_FALSE(IsBluePixel(after.AtClient(barX, 542 + 26)));
    EXPECT_FALSE(IsBluePixel(after.AtClient(barX, 542 + 84)));
    // Level bar 1 reaches the full scale: red, its top at y 2.
    EXPECT_TRUE(IsRedPixel(after.AtClient(400 + 20, 542 + 3)));
    EXPECT_TRUE(IsRedPixel(after.AtClient(400 + 20, 542 + 80)));
    EXPECT_FALSE(IsRedPixel(before.AtClient(400 + 20, 542 + 50)));

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
    const Capture before = CaptureWindow(window);
    ShowSpectrum(3000, 1000, 3000, 1000);
    EXPECT_EQ(CountPixels(CaptureWindow(window), ModulePlot, IsGreenPixel), 0);

    CheckDlgButton(window, IdDisplayData, BST_CHECKED);
    const uint32_t handled = HandledSpectrumBatches();
    SendMessageA(window, WM_USER, 0, 51);
    PumpFor(100);
    EXPECT_EQ(HandledSpectrumBatches(), handled + 1);
    EXPECT_EQ(CountPixels(CaptureWindow(window), ModulePlot, IsGreenPixel), 0) << "a batch above 50 is dropped";
    EXPECT_EQ(CountPixels(CaptureWindow(window), NumbersPanel, IsDarkPixel), CountPixels(before, NumbersPanel, IsDarkPixel));

    // A batch of 0 redraws from the buffer's first record as it stands.
    SendMessageA(window, WM_USER, 0, 0);
    PumpFor(100);
    EXPECT_GT(CountPixels(CaptureWindow(window), ModulePlot, IsGreenPixel), 200);
}
