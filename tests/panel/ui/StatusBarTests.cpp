// The status bar: its parts, the two forms of status messages and how long they last, messages
// from another thread, the transfer-activity icon and the received-data rate.
#include "PanelHarness.h"

#include "GlobalCtrl.h"
#include "PanelHooks.h"
#include "ProgramIcons.h"
#include "StatusBar.h"
#include "Throughput.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

// The blocks given back with delete[] in this program, the latest 1024: a status text handed to
// the main window must be freed even when the window goes before it takes the text.
constexpr unsigned FreedKept = 1024;
std::atomic<void*> FreedArrays[FreedKept];
std::atomic<unsigned> FreedCount{0};

void RememberFreed(void* block)
{
    if (block)
        FreedArrays[FreedCount.fetch_add(1) % FreedKept].store(block);
}

bool FreedSince(const void* block, unsigned countBefore)
{
    const unsigned now = FreedCount.load();
    if (now - countBefore > FreedKept)
        return false;
    for (unsigned i = countBefore; i != now; ++i)
        if (FreedArrays[i % FreedKept].load() == block)
            return true;
    return false;
}

} // namespace

void operator delete[](void* block) noexcept
{
    RememberFreed(block);
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    RememberFreed(block);
    std::free(block);
}

namespace {

class StatusBar : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = OpenPanel();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { ClosePanel(window); }

    // Red is checked on the right end of part 5, away from its text.
    bool BarIsRed()
    {
        RedrawWindow(GetDlgItem(window, 1100), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        RECT client;
        GetClientRect(window, &client);
        RECT bar = ControlRectInClient(window, 1100);
        return IsRedPixel(CaptureClient(window).At(client.right - 30, (bar.top + bar.bottom) / 2));
    }
    HWND window = nullptr;
};

TEST_F(StatusBar, HasSixPartsWithTheirFirstContents)
{
    HWND bar = GetDlgItem(window, 1100);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(ClassNameOf(bar), "msctls_statusbar32");
    int edges[8] = {};
    ASSERT_EQ(SendMessageA(bar, SB_GETPARTS, 8, reinterpret_cast<LPARAM>(edges)), 6);
    const int expected[6] = {200, 226, 310, 440, 600, -1};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(edges[i], expected[i]) << i;
    EXPECT_EQ(StatusPartText(window, 0), "DISCONNECTED");
    EXPECT_EQ(StatusPartText(window, 1), "");
    EXPECT_EQ(StatusPartText(window, 2), "   0 Kb/sec");
    EXPECT_EQ(StatusPartText(window, 3), "");
    EXPECT_EQ(StatusPartText(window, 4), "Measurement Period 0.001s");
    EXPECT_EQ(StatusPartText(window, 5), "");
    EXPECT_EQ(StatusPartIcon(window, 1), Icons.Activity[ActivityNone]);
    EXPECT_EQ(StatusPartIcon(window, 3), Icons.NoticeOff);
    // Along the bottom of the client area, across its whole width.
    RECT client, rect = ControlRectInClient(window, 1100);
    GetClientRect(window, &client);
    EXPECT_EQ(rect.bottom, client.bottom);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.right, client.right);
}

// The indications are taken down by a 500 ms timer that every message restarts: they can never go
// sooner than that after the last message (times are taken before each message is shown, so a
// busy machine only makes the measured periods longer).
TEST_F(StatusBar, ErrorFormIsRedFor500MsAfterTheLastMessageAndKeepsItsText)
{
    EXPECT_FALSE(BarIsRed());
    const DWORD first = GetTickCount();
    ShowStatusMessage(window, "ERROR: Device did not respond to command.", 0);
    EXPECT_EQ(StatusPartText(window, 5), "ERROR: Device did not respond to command.");
    EXPECT_TRUE(BarIsRed());
    EXPECT_EQ(StatusPartText(window, 3), "") << "the error form leaves the notice part alone";

    // A second message 300 ms later keeps the bar red until 500 ms after it.
    PumpUntil([&] { return GetTickCount() - first >= 300; }, 1000);
    const DWORD second = GetTickCount();
    ShowStatusMessage(window, "ERROR: Device already connected.", 0);
    EXPECT_EQ(StatusPartText(window, 5), "ERROR: Device already connected.");
    EXPECT_TRUE(PumpUntil([&] { return !BarIsRed(); }, 5000)) << "red falls back";
    EXPECT_GE(GetTickCount() - second, 450u) << "the second message restarted the red period";
    EXPECT_EQ(StatusPartText(window, 5), "ERROR: Device already connected.") << "the text stays";
}

TEST_F(StatusBar, NoticeFormShowsTextAndIconFor500Ms)
{
    const DWORD shown = GetTickCount();
    ShowStatusMessage(window, "Lost 3 spectra", 1);
    EXPECT_EQ(StatusPartText(window, 3), "Lost 3 spectra");
    EXPECT_EQ(StatusPartIcon(window, 3), Icons.NoticeOn);
    EXPECT_EQ(StatusPartText(window, 5), "");
    EXPECT_FALSE(BarIsRed());
    EXPECT_TRUE(PumpUntil([&] { return StatusPartText(window, 3).empty(); }, 5000));
    EXPECT_GE(GetTickCount() - shown, 450u) << "not taken down before its time";
    EXPECT_EQ(StatusPartIcon(window, 3), Icons.NoticeOff);
}

TEST_F(StatusBar, MessagesFromAnotherThreadArriveThroughTheMainWindow)
{
    char text[64] = "WARNING: Data polling timeout.";
    std::thread poll([&] {
        ShowStatusMessage(window, text, 0);
        // The library may reuse its text buffer at once.
        strcpy(text, "overwritten");
    });
    poll.join();
    EXPECT_EQ(StatusPartText(window, 5), "") << "nothing touched from the other thread";
    EXPECT_TRUE(PumpUntil([&] { return StatusPartText(window, 5) == "WARNING: Data polling timeout."; }, 5000));
    EXPECT_TRUE(BarIsRed());
    // A message still queued when the window goes is dropped with it.
    std::thread late([&] { ShowStatusMessage(window, "ERROR: late", 0); });
    late.join();
    MSG queued;
    ASSERT_TRUE(PeekMessageA(&queued, window, WmStatusText, WmStatusText, PM_NOREMOVE));
    const unsigned freedBefore = FreedCount.load();
    ClosePanel(window);
    window = nullptr;
    EXPECT_TRUE(FreedSince(reinterpret_cast<void*>(queued.lParam), freedBefore)) << "the queued copy is freed";
}

TEST_F(StatusBar, TransferActivityLightsFor200MsPerDirection)
{
    const DWORD received = GetTickCount();
    ShowTransferActivity(window, 2);
    EXPECT_EQ(StatusPartIcon(window, 1), Icons.Activity[ActivityReceived]);
    ShowTransferActivity(window, 1);
    EXPECT_EQ(StatusPartIcon(window, 1), Icons.Activity[ActivityBoth]);
    EXPECT_EQ(CurrentActivityFlags(window), 3);
    // Keep the sent direction moving while the received one falls back.
    EXPECT_TRUE(PumpUntil([&] {
        ShowTransferActivity(window, 1);
        return StatusPartIcon(window, 1) == Icons.Activity[ActivitySent];
    }, 5000));
    EXPECT_GE(GetTickCount() - received, 190u) << "not taken down before its time";
    EXPECT_EQ(CurrentActivityFlags(window), 1);
    EXPECT_TRUE(PumpUntil([&] { return StatusPartIcon(window, 1) == Icons.Activity[ActivityNone]; }, 5000));
    EXPECT_EQ(CurrentActivityFlags(window), 0);
}

// The rate shown is the bytes of the second tick over the time between the two ticks, which lies
// between the times taken around them.
TEST_F(StatusBar, RateIsShownInItsFormAndFallsToZero)
{
    ASSERT_NE(PanelCtrl(), nullptr);
    UpdateThroughput(PanelCtrl(), 0); // nothing received lately: the meter starts afresh
    const DWORD beforeFirst = GetTickCount();
    UpdateThroughput(PanelCtrl(), 1000);
    const DWORD afterFirst = GetTickCount();
    EXPECT_EQ(StatusPartText(window, 2), "   0 Kb/sec") << "the first tick only starts the clock";
    WaitUntil([&] { return GetTickCount() - afterFirst > 600; }, 5000);
    const DWORD beforeSecond = GetTickCount();
    UpdateThroughput(PanelCtrl(), 10000);
    const DWORD afterSecond = GetTickCount();

    // 10000 bytes are 80000 bits; the clocks may differ by a few milliseconds.
    const uint32_t lowest = 80000 / (afterSecond - beforeFirst + 20);
    const uint32_t highest = 80000 / (beforeSecond - afterFirst - 20);
    const std::string shown = StatusPartText(window, 2);
    bool matched = false;
    for (uint32_t rate = lowest; rate <= highest; ++rate)
        matched = matched || shown == Printf("%4u Kb/sec", rate);
    EXPECT_TRUE(matched) << '"' << shown << "\" for a rate of " << lowest << " to " << highest;

    UpdateThroughput(PanelCtrl(), 0);
    EXPECT_EQ(StatusPartText(window, 2), "   0 Kb/sec");
}

TEST(Throughput, FirstTickStartsTheClockAndRateNeedsMoreThan500Ms)
{
    ThroughputMeter meter{};
    uint32_t rate = 12345;
    EXPECT_FALSE(ThroughputTick(meter, 5000, 1000, &rate));
    EXPECT_FALSE(ThroughputTick(meter, 1000, 1300, &rate));
    EXPECT_FALSE(ThroughputTick(meter, 1000, 1500, &rate)) << "500 ms exactly is not enough";
    ASSERT_TRUE(ThroughputTick(meter, 1000, 1501, &rate));
    EXPECT_EQ(rate, 3000u * 8 / 501) << "the first tick's bytes are not counted";
    // The next period starts from here.
    EXPECT_FALSE(ThroughputTick(meter, 64000, 1800, &rate));
    ASSERT_TRUE(ThroughputTick(meter, 64000, 2501, &rate));
    EXPECT_EQ(rate, 128000u * 8 / 1000);
}

TEST(Throughput, NothingReceivedResetsAndMidnightGivesASmallRate)
{
    ThroughputMeter meter{};
    uint32_t rate = 1;
    ThroughputTick(meter, 100, 86399000, &rate);
    ASSERT_TRUE(ThroughputTick(meter, 1000000, 200, &rate)) << "across midnight";
    EXPECT_EQ(rate, uint32_t(uint64_t{1000000} * 8 / (86399000 - 200)));
    ASSERT_TRUE(ThroughputTick(meter, 0, 5000, &rate));
    EXPECT_EQ(rate, 0u);
    EXPECT_FALSE(ThroughputTick(meter, 100, 6000, &rate)) << "after a pause the clock starts again";
    // Large transfers do not overflow the bit count.
    ASSERT_TRUE(ThroughputTick(meter, 0x7FFFFFFF, 7000, &rate));
    EXPECT_EQ(rate, uint32_t(uint64_t{0x7FFFFFFF} * 8 / 1000));
    EXPECT_EQ(MillisecondsOfDay(23, 59, 59, 999), 86399999u);
}

TEST_F(StatusBar, ProcessingHooksReachTheRealControls)
{
    const PanelHooks& hooks = PanelCtrl()->Hooks;
    PanelShowStatus(hooks, "ERROR: from processing", 0);
    EXPECT_EQ(StatusPartText(window, 5), "ERROR: from processing");
    PanelShowLogEntryCount(hooks, "Log Entry Count: 7");
    EXPECT_EQ(WindowText(GetDlgItem(window, 1110)), "Log Entry Count: 7");
    PanelShowLogFileName(hooks, "Log: 261210_000000_run.txt");
    EXPECT_EQ(WindowText(GetDlgItem(window, 1111)), "Log: 261210_000000_run.txt");

    EXPECT_FALSE(PanelDeviceConnected(hooks));
    CheckDlgButton(window, 1102, BST_CHECKED);
    EXPECT_TRUE(PanelDeviceConnected(hooks));
    CheckDlgButton(window, 1102, BST_UNCHECKED);

    // Refused: LOG DATA comes up and nothing else happens. Switched off: it comes up and its
    // command stops the log, which puts the file label back.
    CheckDlgButton(window, 1109, BST_CHECKED);
    PanelRefuseLogging(hooks);
    EXPECT_EQ(IsDlgButtonChecked(window, 1109), BST_UNCHECKED);
    EXPECT_EQ(WindowText(GetDlgItem(window, 1111)), "Log: 261210_000000_run.txt");
    std::strcpy(LogPath, "C:\\run.txt");
    CheckDlgButton(window, 1109, BST_CHECKED);
    PanelSwitchLoggingOff(hooks);
    LogPath[0] = '\0';
    EXPECT_EQ(IsDlgButtonChecked(window, 1109), BST_UNCHECKED);
    EXPECT_EQ(WindowText(GetDlgItem(window, 1111)), "Log:");
    // Disconnect: CONNECT DEVICE comes up and its command runs (the caption is set back).
    CheckDlgButton(window, 1102, BST_CHECKED);
    SetDlgItemTextA(window, 1102, "DISCONNECT");
    PanelDisconnect(hooks);
    EXPECT_EQ(IsDlgButtonChecked(window, 1102), BST_UNCHECKED);
    EXPECT_EQ(WindowText(GetDlgItem(window, 1102)), "CONNECT DEVICE");
    {
        BoxCatcher catcher;
        PanelMessageBox(hooks, "Log size is more than 20GB.", "WARNING", MB_ICONWARNING);
        auto boxes = catcher.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Text, "Log size is more than 20GB.");
        EXPECT_EQ(boxes[0].Caption, "WARNING");
        EXPECT_EQ(boxes[0].Owner, window);
        EXPECT_EQ(boxes[0].Icon(), UINT{MB_ICONWARNING});
    }
    // Settings as the controls hold them.
    SendDlgItemMessageA(window, 1166, TBM_SETPOS, TRUE, 200);
    SendDlgItemMessageA(window, 1126, CB_SETCURSEL, 3, 0);
    CheckDlgButton(window, 1121, BST_CHECKED);
    const LogSettings settings = PanelLogSettings(hooks);
    EXPECT_EQ(settings.excitationLevel, 55);
    EXPECT_EQ(settings.gainCodeA, 0);
    EXPECT_EQ(settings.gainCodeB, 3);
    EXPECT_EQ(settings.onBattery, 1);
    EXPECT_EQ(settings.onExtTrigger, 0);
    EXPECT_EQ(settings.compensationState, 0);
    EXPECT_EQ(settings.measureCompState, 0);
}

TEST(StatusBarClosed, HooksGoWithTheRecordOnceTheWindowIsGone)
{
    HWND window = OpenPanel();
    ASSERT_NE(window, nullptr);
    ASSERT_NE(PanelCtrl(), nullptr);
    EXPECT_EQ(PanelCtrl()->Hooks.context, window);
    ASSERT_NE(PanelCtrl()->Hooks.ShowStatusMessage, nullptr);
    ClosePanel(window);
    EXPECT_EQ(PanelCtrl(), nullptr) << "the record, and its hooks with it, are gone";
    EXPECT_EQ(PanelDataBuff(), nullptr);
}

} // namespace
