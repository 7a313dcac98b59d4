// Whole operator sessions against the software device.
#include "SessionFixture.h"

#include "AfeRecord.h"
#include "ConfigurationView.h"
#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "BatchHandling.h"
#include "SpectrumPoll.h"
#include "StatusBar.h"

#include <commctrl.h>
#include <knownfolders.h>
#include <process.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>

namespace {

// Pixels of a client rectangle, to see that a widget's picture changed.
std::vector<uint32_t> PixelsOf(HWND window, RECT area)
{
    return PixelsIn(CaptureClient(window), area);
}

constexpr RECT NumbersArea{120, 402, 320, 650};
constexpr RECT LevelBarsArea{350, 542, 440, 650};
constexpr RECT ModuleGraphArea{500, 10, 1085, 310};
constexpr RECT PhaseGraphArea{500, 340, 1085, 640};

bool Consecutive(const std::vector<uint32_t>& counts)
{
    for (size_t i = 1; i < counts.size(); ++i)
        if (counts[i] != counts[i - 1] + 1)
            return false;
    return !counts.empty();
}

} // namespace

TEST_F(SessionTest, ConnectMeasureLogStopDisconnect)
{
    char serial[17] = "KX-SESSION-0042";
    Emulator(KALVIX_EMU_SERIAL, 0, serial, sizeof serial);
    ChooseLogFile(folder.path + "run.txt");
    Connect();
    EXPECT_EQ(StatusPartText(window, StatusPartConnection), "CONNECTED @ [0] - KX-SESSION-0042");
    EXPECT_EQ(ControlText(window, IdConnectDeviceButton), "DISCONNECT");
    EXPECT_TRUE(IsEnabled(window, IdStart));
    EXPECT_EQ(StatusPartText(window, StatusPartError), "");
    EXPECT_NE(ControlText(window, IdStatusText).find("HW:v1.02 SW:v1.30"), std::string::npos);
    // The AFE record was read and its interpolated shunt table is what the device now holds.
    EXPECT_EQ(PanelCtrl()->AfePresent, 1);
    EXPECT_NE(AfeDescription(PanelCtrl()->AfeArea), "AFE Disconnected");
    const std::vector<uint8_t> shunt = EmulatorTable(3, 120);
    ASSERT_EQ(shunt.size(), 120u);
    EXPECT_EQ(std::memcmp(shunt.data(), PanelCtrl()->Configuration.Shunt, 120), 0);
    EXPECT_GT(PanelCtrl()->Frequencies[0], 0.0f);
    EXPECT_NE(ControlText(window, IdFrequencyList).find("Hz"), std::string::npos);
    // The configuration view shows the AFE record and the shunt table the device holds.
    ASSERT_TRUE(Click(window, IdViewConf));
    HWND view = PanelCtrl()->ConfViewWindow;
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(IsEnabled(window, IdViewConf));
    const std::string viewText = WindowText(GetDlgItem(view, IdConfViewText));
    EXPECT_NE(viewText.find("Description=" + std::string(AfeDescription(PanelCtrl()->AfeArea)) + "\r\n"), std::string::npos);
    char firstShunt[32];
    std::snprintf(firstShunt, sizeof firstShunt, "Shunt(re...im...)=\t%.2f, ", PanelCtrl()->Configuration.Shunt[0]);
    EXPECT_NE(viewText.find(firstShunt), std::string::npos) << viewText;
    SaveBmp(CaptureWindow(view), TestFolder() + "session_configuration_view.bmp");
    SendMessageA(view, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsEnabled(window, IdViewConf));
    EXPECT_EQ(PanelCtrl()->ConfViewWindow, nullptr);

    for (int dividerIndex : {0, 2}) { // dividers 1 and 4
        ScrollTrackbar(window, IdDividerTrackbar, TB_THUMBPOSITION, dividerIndex);
        EXPECT_EQ(EmulatorState().divider, PanelCtrl()->DividerTable[dividerIndex]);
        const std::vector<uint32_t> numbersBefore = PixelsOf(window, NumbersArea);
        const std::vector<uint32_t> barsBefore = PixelsOf(window, LevelBarsArea);
        const std::vector<uint32_t> moduleBefore = PixelsOf(window, ModuleGraphArea);
        const std::vector<uint32_t> phaseBefore = PixelsOf(window, PhaseGraphArea);

        // Log names carry the second they were made in: each run's log gets its own.
        SYSTEMTIME before;
        GetLocalTime(&before);
        PumpUntil([&] { SYSTEMTIME now; GetLocalTime(&now); return now.wSecond != before.wSecond; }, 1500);
        ASSERT_TRUE(Click(window, IdLogDataButton));
        ASSERT_TRUE(IsChecked(window, IdLogDataButton));
        StartAndWait(8);
        EXPECT_EQ(ControlText(window, IdStart), "STOP");
        for (int id : {IdExtTrigger, IdLoadShunt, IdLoadComp, IdGetStatus, IdDividerTrackbar, IdRadioP, IdRadioD,
                       IdLoadDac, IdLoadPhase})
            EXPECT_FALSE(IsEnabled(window, id)) << id;
        PumpUntil(NothingToPaint, 5000);
        SaveBmp(CaptureWindow(window), TestFolder() + "session_measuring_divider_" +
                                           std::to_string(PanelCtrl()->DividerTable[dividerIndex]) + ".bmp");
        EXPECT_NE(PixelsOf(window, NumbersArea), numbersBefore);
        if (dividerIndex == 0) {
            EXPECT_NE(PixelsOf(window, LevelBarsArea), barsBefore);
        }
        EXPECT_NE(PixelsOf(window, ModuleGraphArea), moduleBefore);
        EXPECT_NE(PixelsOf(window, PhaseGraphArea), phaseBefore);

        // What STOP itself reports shows before any message is handled; a busy machine may
        // have made the polls report late data before it.
        SetStatusPartText(window, StatusPartError, "");
        ASSERT_TRUE(Click(window, IdStart));
        EXPECT_NE(StatusPartText(window, StatusPartError), "ERROR: Unknown command.")
            << "a STOP in mode P sends nothing the library refuses";
        EXPECT_EQ(ControlText(window, IdStart), "START");
        EXPECT_TRUE(IsEnabled(window, IdDividerTrackbar));
        ASSERT_TRUE(Click(window, IdLogDataButton));
        EXPECT_EQ(ControlText(window, IdLogFileName), "Log:");
    }
    EXPECT_EQ(StatusPartText(window, StatusPartNotice), "");

    // One log per run, each with its header and one row per delivered spectrum, no gap.
    const std::vector<std::string> logs = FolderEntries(folder.path);
    ASSERT_EQ(logs.size(), 2u);
    for (const std::string& name : logs) {
        const std::string text = ReadBytes(folder.path + name);
        EXPECT_EQ(text.rfind("LogName=                run.txt\r\n", 0), 0u) << name;
        EXPECT_NE(text.find("DeviceSerial=           KX-SESSION-0042\r\n"), std::string::npos);
        const std::vector<uint32_t> counts = LoggedMeasCounts(text);
        EXPECT_GE(counts.size(), 8u);
        EXPECT_TRUE(Consecutive(counts)) << name << " " << [&] { std::string t; for (size_t i = 0; i < counts.size(); ++i) if (i == 0 || i + 1 == counts.size() || counts[i] != counts[i-1] + 1 || counts[i+1] != counts[i] + 1) t += std::to_string(counts[i]) + ","; return t; }();
        EXPECT_EQ(counts.front(), 0u) << "each run counts from 0";
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    }

    ASSERT_TRUE(Click(window, IdConnectDeviceButton));
    EXPECT_FALSE(IsChecked(window, IdConnectDeviceButton));
    EXPECT_EQ(StatusPartText(window, StatusPartConnection), "DISCONNECTED");
    EXPECT_EQ(ControlText(window, IdConnectDeviceButton), "CONNECT DEVICE");
    EXPECT_EQ(AfeDescription(PanelCtrl()->AfeArea), "AFE Disconnected");
    EXPECT_EQ(EmulatorState().open, 0u);
}

TEST_F(SessionTest, RefusedTogglesFallBackUpAndReportTheLibraryText)
{
    const std::string notConnected = "ERROR: The application is not connected with the device.";
    for (int id : {IdStart, IdExtTrigger, IdBattery, IdEnableComp, IdMeasureComp, Id10x, IdGpioDirection1, IdGpioDirection2}) {
        SetStatusPartText(window, StatusPartError, "");
        ASSERT_TRUE(Click(window, id)) << id;
        EXPECT_FALSE(IsChecked(window, id)) << id;
        EXPECT_EQ(StatusPartText(window, StatusPartError), notConnected) << id;
    }
    EXPECT_EQ(ControlText(window, IdBattery), "BATTERY");
    EXPECT_EQ(ControlText(window, IdGpioDirection1), "I");
    EXPECT_FALSE(IsEnabled(window, IdGpioLevel1)) << "a refused output leaves the level button disabled";
    EXPECT_TRUE(IsEnabled(window, IdMeasureComp)) << "a refused EN COMP does not lock MEAS COMP";

    // A level button the program presses itself falls back up the same way.
    SetStatusPartText(window, StatusPartError, "");
    CheckDlgButton(window, IdGpioLevel2, BST_CHECKED);
    SendMessageA(window, WM_COMMAND, IdGpioLevel2, 0);
    EXPECT_FALSE(IsChecked(window, IdGpioLevel2));
    EXPECT_EQ(StatusPartText(window, StatusPartError), notConnected);

    // Disconnecting while disconnected: the library's refusal, and the panel stays disconnected.
    SetStatusPartText(window, StatusPartError, "");
    CheckDlgButton(window, IdConnectDeviceButton, BST_UNCHECKED);
    SendMessageA(window, WM_COMMAND, IdConnectDeviceButton, 0);
    EXPECT_EQ(StatusPartText(window, StatusPartError), "ERROR: Device already disconnected.");
    EXPECT_EQ(StatusPartText(window, StatusPartConnection), "DISCONNECTED");
}

// 10X refused goes back to what it was, so it never shows 10X while the device is not in it:
// pressed while disconnected it stays up (and the connect leaves the device out of 10X);
// released while disconnected it stays down.
TEST_F(SessionTest, TenXRefusedReturnsToItsFormerState)
{
    const std::string notConnected = "ERROR: The application is not connected with the device.";
    ASSERT_TRUE(Click(window, Id10x));
    EXPECT_FALSE(IsChecked(window, Id10x));
    EXPECT_EQ(StatusPartText(window, StatusPartError), notConnected);
    Connect();
    EXPECT_FALSE(IsChecked(window, Id10x));
    EXPECT_EQ(EmulatorState().tenX, 0u);

    ASSERT_TRUE(Click(window, Id10x));
    EXPECT_TRUE(IsChecked(window, Id10x));
    EXPECT_EQ(EmulatorState().tenX, 1u);
    ASSERT_TRUE(Click(window, IdConnectDeviceButton));
    ASSERT_FALSE(IsChecked(window, IdConnectDeviceButton));
    SetStatusPartText(window, StatusPartError, "");
    ASSERT_TRUE(Click(window, Id10x));
    EXPECT_TRUE(IsChecked(window, Id10x)) << "the release was refused";
    EXPECT_EQ(StatusPartText(window, StatusPartError), notConnected);
}

// A run whose poll thread cannot be started is ended again at once and says so; the next run
// starts as usual.
TEST_F(SessionTest, RunWithoutItsPollThreadIsEndedAndReported)
{
    struct Run {
        int button;
        const char* idleCaption;
    } const runs[] = {{IdStart, "START"}, {IdExtTrigger, "EXT TRIGGER"}};
    Connect();
    for (const Run& run : runs) {
        SCOPED_TRACE(run.idleCaption);
        StartThread = [](unsigned(__stdcall*)(void*), void*) -> uintptr_t { return 0; };
        SetStatusPartText(window, StatusPartError, "");
        const bool clicked = Click(window, run.button);
        StartThread = [](unsigned(__stdcall * body)(void*), void* argument) {
            return _beginthreadex(nullptr, 0, body, argument, 0, nullptr);
        };
        ASSERT_TRUE(clicked);
        EXPECT_FALSE(IsChecked(window, run.button));
        EXPECT_EQ(ControlText(window, run.button), run.idleCaption);
        EXPECT_EQ(StatusPartText(window, StatusPartError), "ERROR: Spectrum polling could not be started.");
        EXPECT_EQ(EmulatorState().mode, 0u) << "the device was left measuring";
        EXPECT_EQ(PanelCtrl()->RunFlag.load(), 0u);
        for (int id : {IdStart, IdExtTrigger, IdLoadShunt, IdGetStatus, IdDividerTrackbar})
            EXPECT_TRUE(IsEnabled(window, id)) << id;

        ASSERT_TRUE(Click(window, run.button));
        EXPECT_TRUE(IsChecked(window, run.button));
        EXPECT_NE(PanelCtrl()->PollThread, 0u);
        EXPECT_NE(EmulatorState().mode, 0u);
        ASSERT_TRUE(Click(window, run.button));
    }
}

TEST_F(SessionTest, DeviceSettingsReachTheDevice)
{
    Connect();
    ChooseListItem(window, IdGainA, 2);
    ChooseListItem(window, IdGainB, 3);
    EXPECT_EQ(EmulatorState().gains, 2u | (3u << 2));
    // A selection change without its notification sends nothing.
    SendDlgItemMessageA(window, IdGainA, CB_SETCURSEL, 0, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IdGainA, CBN_DROPDOWN), 0);
    EXPECT_EQ(EmulatorState().gains, 2u | (3u << 2));

    ASSERT_TRUE(Click(window, IdBattery));
    EXPECT_EQ(ControlText(window, IdBattery), "USB");
    EXPECT_EQ(EmulatorState().batteryMode, 1u);
    ASSERT_TRUE(Click(window, Id10x));
    EXPECT_EQ(EmulatorState().tenX, 1u);

    ASSERT_TRUE(Click(window, IdEnableComp));
    EXPECT_EQ(EmulatorState().compensation, 0x00FFu);
    EXPECT_FALSE(IsEnabled(window, IdMeasureComp));
    ASSERT_TRUE(Click(window, IdEnableComp));
    EXPECT_EQ(EmulatorState().compensation, 0u);
    EXPECT_TRUE(IsEnabled(window, IdMeasureComp));
    ASSERT_TRUE(Click(window, IdMeasureComp));
    EXPECT_EQ(EmulatorState().compensation, 0xFF00u);
    EXPECT_FALSE(IsEnabled(window, IdEnableComp));

    // GPIO line 1 as an output driven high: direction 0x20 and level 0x04.
    ASSERT_TRUE(Click(window, IdGpioDirection1));
    EXPECT_EQ(ControlText(window, IdGpioDirection1), "O");
    ASSERT_TRUE(Click(window, IdGpioLevel1));
    EXPECT_EQ(EmulatorState().gpioMask, 0x24u);
    ASSERT_TRUE(Click(window, IdGpioDirection1));
    EXPECT_EQ(ControlText(window, IdGpioDirection1), "I");
    EXPECT_FALSE(IsEnabled(window, IdGpioLevel1));
    EXPECT_EQ(EmulatorState().gpioMask, 0x04u) << "the level button stays down, the line is an input again";
    // Line 3 belongs to AFE detection while it is enabled.
    EXPECT_FALSE(IsEnabled(window, IdGpioDirection3));
    ASSERT_TRUE(Click(window, IdAfeDetection));
    EXPECT_TRUE(IsEnabled(window, IdGpioDirection3));
    EXPECT_EQ(AfeDescription(PanelCtrl()->AfeArea), "AFE Disconnected");
    ASSERT_TRUE(Click(window, IdAfeDetection));
    EXPECT_FALSE(IsEnabled(window, IdGpioDirection3));
    EXPECT_NE(AfeDescription(PanelCtrl()->AfeArea), "AFE Disconnected") << "switching detection on reads the record";

    // GET STATUS fetches the identification 100 ms later.
    ASSERT_TRUE(Click(window, IdGetStatus));
    EXPECT_EQ(ControlText(window, IdStatusText), "");
    EXPECT_TRUE(PumpUntil([&] { return ControlText(window, IdStatusText).find("SW:v1.30") != std::string::npos; }, 2000));

    // Disconnecting puts every device setting back as it was before the connection.
    ASSERT_TRUE(Click(window, IdConnectDeviceButton));
    for (int id : {IdBattery, IdEnableComp, IdMeasureComp, IdGpioLevel1, IdGpioDirection1})
        EXPECT_FALSE(IsChecked(window, id)) << id;
    EXPECT_TRUE(IsEnabled(window, IdEnableComp));
    EXPECT_EQ(ControlText(window, IdBattery), "BATTERY");
    EXPECT_EQ(ControlText(window, IdStatusText), "");
    EXPECT_EQ(StatusPartText(window, StatusPartRate), "   0 Kb/sec");
}

TEST_F(SessionTest, ExcitationModesAndDividerSteps)
{
    Connect();
    const int32_t excitationsBefore = OpcodeCount(6);
    ASSERT_TRUE(Click(window, IdRadioD));
    HWND excitation = GetDlgItem(window, IdExcitationTrackbar);
    EXPECT_EQ(SendMessageA(excitation, TBM_GETRANGEMAX, 0, 0), 4095);
    EXPECT_EQ(SendMessageA(excitation, TBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(ControlText(window, IdExcitationLabel), "Excitation Level\r\n4095");
    EXPECT_EQ(OpcodeCount(6), excitationsBefore) << "switching the mode sends nothing";
    ScrollTrackbar(window, IdExcitationTrackbar, TB_LINEDOWN, 95);
    EXPECT_EQ(ControlText(window, IdExcitationLabel), "Excitation Level\r\n4000");
    EXPECT_EQ(StatusPartText(window, StatusPartError), "ERROR: Unknown command.") << "the D-mode level command";

    ASSERT_TRUE(Click(window, IdRadioP));
    EXPECT_EQ(SendMessageA(excitation, TBM_GETRANGEMAX, 0, 0), 255);
    EXPECT_EQ(SendMessageA(excitation, TBM_GETPOS, 0, 0), 165);
    EXPECT_EQ(ControlText(window, IdExcitationLabel), "Excitation Level\r\n90");
    ScrollTrackbar(window, IdExcitationTrackbar, TB_THUMBTRACK, 55);
    EXPECT_EQ(EmulatorState().excitation, 200u);
    EXPECT_EQ(SendMessageA(excitation, TBM_GETSELSTART, 0, 0), 55);

    // Tracking and the end of a move change the label only; line and page steps, Home, End and
    // the thumb's release send.
    const int32_t dividersBefore = OpcodeCount(12);
    const struct {
        int code;
        int position;
        bool sent;
        const char* label;
    } steps[] = {
        {TB_PAGEDOWN, 3, true, "Samplrate\r\nDivider\r\n6"},
        {TB_PAGEUP, 1, true, "Samplrate\r\nDivider\r\n2"},
        {TB_BOTTOM, 36, true, "Samplrate\r\nDivider\r\n1792"},
        {TB_TOP, 0, true, "Samplrate\r\nDivider\r\n1"},
        {TB_THUMBTRACK, 5, false, "Samplrate\r\nDivider\r\n10"},
        {TB_ENDTRACK, 5, false, "Samplrate\r\nDivider\r\n10"},
        {TB_LINEDOWN, 6, true, "Samplrate\r\nDivider\r\n12"},
        {TB_LINEUP, 5, true, "Samplrate\r\nDivider\r\n10"},
        {TB_THUMBPOSITION, 36, true, "Samplrate\r\nDivider\r\n1792"},
    };
    int32_t sent = dividersBefore;
    for (const auto& step : steps) {
        ScrollTrackbar(window, IdDividerTrackbar, step.code, step.position);
        EXPECT_EQ(ControlText(window, IdDividerLabel), step.label);
        sent += step.sent ? 1 : 0;
        EXPECT_EQ(OpcodeCount(12), sent) << step.code;
        EXPECT_TRUE(IsEnabled(window, IdDividerTrackbar));
    }
    EXPECT_EQ(StatusPartText(window, StatusPartPeriod), "Measurement Period 1.792s");
    EXPECT_EQ(EmulatorState().divider, 1792u);
    // The frequencies follow the divider, and the AFE's shunt table was interpolated onto them.
    EXPECT_NEAR(PanelCtrl()->Frequencies[14], 1000.0f * 1000.0f / 1792.0f, 0.01f);
    const std::vector<uint8_t> shunt = EmulatorTable(3, 120);
    ASSERT_EQ(shunt.size(), 120u);
    EXPECT_EQ(std::memcmp(shunt.data(), PanelCtrl()->Configuration.Shunt, 120), 0);
}

// The operator's keys on the divider trackbar (the trackbar makes the scroll codes itself): each
// one leaves the device at the divider the label shows, as a drag does.
TEST_F(SessionTest, DividerKeysSendTheDividerLikeADrag)
{
    Connect();
    HWND divider = GetDlgItem(window, IdDividerTrackbar);
    ScrollTrackbar(window, IdDividerTrackbar, TB_THUMBPOSITION, 10);
    for (const WPARAM key : {VK_NEXT, VK_PRIOR, VK_END, VK_HOME, VK_NEXT}) {
        const LRESULT before = SendMessageA(divider, TBM_GETPOS, 0, 0);
        SendMessageA(divider, WM_KEYDOWN, key, 1);
        SendMessageA(divider, WM_KEYUP, key, 0xC0000001);
        const LRESULT position = SendMessageA(divider, TBM_GETPOS, 0, 0);
        EXPECT_NE(position, before) << "key " << key << " did not move the thumb";
        ASSERT_GE(position, 0);
        ASSERT_LT(position, static_cast<LRESULT>(DividerCount));
        const uint16_t expected = PanelCtrl()->DividerTable[position];
        EXPECT_EQ(EmulatorState().divider, expected) << "key " << key;
        EXPECT_EQ(ControlText(window, IdDividerLabel), "Samplrate\r\nDivider\r\n" + std::to_string(expected)) << key;
        EXPECT_TRUE(IsEnabled(window, IdDividerTrackbar));
    }
}

TEST_F(SessionTest, TwoPressDisconnectAndCloseWhileTriggeredEndAtOnce)
{
    Connect();
    StartAndWait(2);
    ASSERT_TRUE(Click(window, IdConnectDeviceButton));
    EXPECT_TRUE(IsChecked(window, IdConnectDeviceButton)) << "the first press only stops the run";
    EXPECT_EQ(ControlText(window, IdConnectDeviceButton), "DISCONNECT");
    EXPECT_FALSE(IsChecked(window, IdStart));
    EXPECT_EQ(ControlText(window, IdStart), "START");
    EXPECT_EQ(EmulatorState().mode, 0u);
    EXPECT_EQ(PanelCtrl()->PollThread, 0u);

    // At the slowest divider every poll asks for one spectrum, so each pulse is a batch.
    ScrollTrackbar(window, IdDividerTrackbar, TB_THUMBPOSITION, 36);
    ASSERT_TRUE(Click(window, IdExtTrigger));
    EXPECT_EQ(ControlText(window, IdExtTrigger), "SW TRIGGER");
    EXPECT_FALSE(IsEnabled(window, IdStart));
    const uint32_t before = HandledSpectrumBatches(window);
    Emulator(KALVIX_EMU_TRIGGER_PULSES, 3);
    EXPECT_TRUE(WaitForBatches(before, 1, 5000));
    ASSERT_TRUE(Click(window, IdConnectDeviceButton));
    EXPECT_TRUE(IsChecked(window, IdConnectDeviceButton));
    EXPECT_FALSE(IsChecked(window, IdExtTrigger));
    EXPECT_TRUE(IsEnabled(window, IdStart));
    ASSERT_TRUE(Click(window, IdConnectDeviceButton));
    EXPECT_FALSE(IsChecked(window, IdConnectDeviceButton));
    EXPECT_EQ(EmulatorState().open, 0u);

    // Closing the window while the poll thread waits for a trigger that never comes ends at once.
    Connect();
    ASSERT_TRUE(Click(window, IdExtTrigger));
    ASSERT_TRUE(PumpUntil([] { return EmulatorState().mode == 2 && PanelCtrl()->PollThread != 0; }, 5000));
    const DWORD start = GetTickCount();
    ClosePanel(window);
    window = nullptr;
    EXPECT_LT(GetTickCount() - start, 3000u) << "not the 10 s trigger wait";
    EXPECT_EQ(PanelCtrl(), nullptr);
}

TEST_F(SessionTest, AfePulledAndPluggedWhileConnected)
{
    Connect();
    ASSERT_EQ(PanelCtrl()->AfePresent, 1);
    const std::string description(AfeDescription(PanelCtrl()->AfeArea));
    Emulator(KALVIX_EMU_AFE_PLUGGED, 0);
    ASSERT_TRUE(PumpUntil([] { return PanelCtrl()->AfePresent == 0; }, 3000));
    EXPECT_TRUE(IsChecked(window, IdGpioLevel3)) << "the presence line is mirrored";
    EXPECT_EQ(AfeDescription(PanelCtrl()->AfeArea), "AFE Disconnected");

    const uint32_t readsBefore = EmulatorState().i2cReads;
    Emulator(KALVIX_EMU_AFE_PLUGGED, 1);
    // The watch tick that sees the line go low reads the record before it returns.
    ASSERT_TRUE(PumpUntil([] { return PanelCtrl()->AfePresent == 1; }, 3000));
    EXPECT_FALSE(IsChecked(window, IdGpioLevel3));
    EXPECT_GT(EmulatorState().i2cReads, readsBefore);
    EXPECT_EQ(AfeDescription(PanelCtrl()->AfeArea), description);

    // With detection off the line is still mirrored but the record stays.
    ASSERT_TRUE(Click(window, IdAfeDetection));
    Emulator(KALVIX_EMU_AFE_PLUGGED, 0);
    ASSERT_TRUE(PumpUntil([&] { return IsChecked(window, IdGpioLevel3); }, 3000));
    EXPECT_EQ(PanelCtrl()->AfePresent, 1);
}

TEST_F(SessionTest, SpoiledAfeRecordsGiveTheirExactMessage)
{
    const struct {
        int32_t kind;
        const char* message; // null: the CRC message with the stored value
    } cases[] = {
        {KALVIX_AFE_BAD_CRC, nullptr},
        {KALVIX_AFE_SIZE_ZERO, "ERROR: AFE Data Size Error."},
        {KALVIX_AFE_SIZE_TOO_BIG, "ERROR: AFE Data Size Error."},
        {KALVIX_AFE_ERASED, "ERROR: AFE Data Size Error."},
        {KALVIX_AFE_SHUNT_NOT_INCREASING, "ERROR: AFE Shunt Data Interpolate Error."},
        {KALVIX_AFE_SHUNT_NOT_POSITIVE, "ERROR: AFE Shunt Data Interpolate Error."},
    };
    for (const auto& c : cases) {
        Emulator(KALVIX_EMU_RESET, 0);
        Emulator(KALVIX_EMU_AFE_RECORD, c.kind);
        std::string expected = c.message ? c.message : "";
        if (!c.message) {
            uint8_t sizeBytes[2] = {};
            Emulator(KALVIX_EMU_AFE_READ, 1000, sizeBytes, 2);
            uint8_t crc[2] = {};
            Emulator(KALVIX_EMU_AFE_READ, (sizeBytes[0] | sizeBytes[1] << 8) - 1, crc, 2);
            char text[80];
            std::snprintf(text, sizeof text, "ERROR: AFE Data CRC failed, expected CRC value: 0x%04X.", crc[0] | crc[1] << 8);
            expected = text;
        }
        const std::vector<uint8_t> shuntBefore = EmulatorTable(3, 120);
        Connect();
        EXPECT_EQ(StatusPartText(window, StatusPartError), expected) << c.kind;
        EXPECT_EQ(AfeDescription(PanelCtrl()->AfeArea), "AFE Disconnected") << c.kind;
        EXPECT_EQ(PanelCtrl()->AfePresent, 1) << "not read again until unplugged";
        EXPECT_EQ(EmulatorTable(3, 120), shuntBefore) << "nothing loaded";
        ASSERT_TRUE(Click(window, IdConnectDeviceButton));
    }
}

TEST_F(SessionTest, IncompatibleDeviceIsDisconnectedAgain)
{
    char newer[] = "Kalvix Z-Meter HW:v1.03 SW:v1.30 SN:1";
    Emulator(KALVIX_EMU_IDENT_TEXT, 0, newer, sizeof newer);
    ASSERT_TRUE(Click(window, IdConnectDeviceButton));
    EXPECT_FALSE(IsChecked(window, IdConnectDeviceButton)) << "disconnected again inside the click";
    EXPECT_EQ(StatusPartText(window, StatusPartError),
              "ERROR: Attached device is incompatible with version of this program!");
    EXPECT_EQ(StatusPartText(window, StatusPartConnection), "DISCONNECTED");
    EXPECT_EQ(EmulatorState().open, 0u);
    EXPECT_TRUE(IsEnabled(window, IdStart));
}

TEST_F(SessionTest, DeviceFailingMidMeasurementDisconnectsAndKeepsTheLog)
{
    ChooseLogFile(folder.path + "fail.txt");
    Connect();
    ASSERT_TRUE(Click(window, IdLogDataButton));
    StartAndWait(5);
    Emulator(KALVIX_EMU_DEVICE_FAILURE, 1);
    // The worst order: the poll thread's time-out warning is already queued when the device
    // watch reports the loss and disconnects. The warning must not cover the loss report. (A
    // poll thread that comes back to the library only after the reader has ended finds it
    // disconnected and ends without a warning; then there is nothing to cover.)
    MSG queued;
    const HANDLE pollThread = ULongToHandle(PanelCtrl()->PollThread);
    for (DWORD waited = 0; !PeekMessageA(&queued, window, WmStatusText, WmStatusText, PM_NOREMOVE); waited += 5) {
        if (WaitForSingleObject(pollThread, 0) == WAIT_OBJECT_0 &&
            !PeekMessageA(&queued, window, WmStatusText, WmStatusText, PM_NOREMOVE))
            break;
        ASSERT_LT(waited, 5000u) << "the poll thread neither times out nor ends";
        Sleep(5);
    }
    SendMessageA(window, WM_TIMER, TimerDeviceWatch, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsChecked(window, IdConnectDeviceButton); }, 5000));
    PumpUntil([] { return false; }, 100);
    EXPECT_NE(StatusPartText(window, StatusPartError).find("[00031]"), std::string::npos)
        << StatusPartText(window, StatusPartError);
    EXPECT_EQ(StatusPartText(window, StatusPartConnection), "DISCONNECTED");
    EXPECT_FALSE(IsChecked(window, IdStart));
    EXPECT_FALSE(IsChecked(window, IdLogDataButton));
    for (int id : {IdStart, IdExtTrigger, IdLoadShunt, IdDividerTrackbar, IdRadioP, IdLoadPhase})
        EXPECT_TRUE(IsEnabled(window, id)) << id;
    EXPECT_EQ(PanelCtrl()->PollThread, 0u);

    // Every spectrum that reached the panel is in the log, in order.
    const std::vector<std::string> logs = FolderEntries(folder.path);
    ASSERT_EQ(logs.size(), 1u);
    const std::vector<uint32_t> counts = LoggedMeasCounts(ReadBytes(folder.path + logs[0]));
    ASSERT_FALSE(counts.empty());
    EXPECT_TRUE(Consecutive(counts));
    EXPECT_EQ(counts.front(), 0u);
    EXPECT_EQ(static_cast<int32_t>(counts.size()), PanelCtrl()->LogEntryCount);

    Emulator(KALVIX_EMU_DEVICE_FAILURE, 0);
    SetStatusPartText(window, StatusPartError, "");
    Connect();
    EXPECT_EQ(StatusPartText(window, StatusPartConnection).rfind("CONNECTED @ [0] - ", 0), 0u);
    StartAndWait(2);
}

// Under external trigger a poll waits over 10 s for its next spectrum; a device lost meanwhile
// is still disconnected at once, not after that wait.
TEST_F(SessionTest, DeviceFailingUnderExternalTriggerDisconnectsAtOnce)
{
    Connect();
    // At the slowest divider a pulse is a whole batch; after it the poll thread waits again.
    ScrollTrackbar(window, IdDividerTrackbar, TB_THUMBPOSITION, 36);
    ASSERT_TRUE(Click(window, IdExtTrigger));
    const uint32_t before = HandledSpectrumBatches(window);
    Emulator(KALVIX_EMU_TRIGGER_PULSES, 1);
    ASSERT_TRUE(WaitForBatches(before, 1, 5000));
    PumpUntil([] { return false; }, 100); // the thread is back in its wait
    Emulator(KALVIX_EMU_DEVICE_FAILURE, 1);
    // No messages pumped: the device watch runs only when the test sends its tick.
    ASSERT_TRUE(WaitUntil([] { return ReadLibraryWord(PanelCtrl()->LibraryErrorWord) != 0; }, 5000));
    const DWORD start = GetTickCount();
    SendMessageA(window, WM_TIMER, TimerDeviceWatch, 0);
    EXPECT_LT(GetTickCount() - start, 3000u) << "the disconnect waited for the poll's trigger time-out";
    EXPECT_FALSE(IsChecked(window, IdConnectDeviceButton));
    EXPECT_FALSE(IsChecked(window, IdExtTrigger));
    EXPECT_EQ(ControlText(window, IdExtTrigger), "EXT TRIGGER");
    EXPECT_EQ(PanelCtrl()->PollThread, 0u);
    EXPECT_EQ(EmulatorState().open, 0u);
}

TEST_F(SessionTest, LostSpectraAreNoticed)
{
    Connect();
    StartAndWait(2);
    // The window thread stalls (handles no message) while the device sends more spectra than the
    // 500-spectrum ring and a poll's batch hold.
    const uint32_t sentBefore = EmulatorState().spectraSent;
    ASSERT_TRUE(WaitUntil([&] { return EmulatorState().spectraSent - sentBefore > 600; }, 10000));
    bool noticed = false;
    PumpUntil([&] {
        noticed = noticed || StatusPartText(window, StatusPartNotice).find(" Spectra Lost") != std::string::npos;
        return noticed;
    }, 5000);
    EXPECT_TRUE(noticed);
    ASSERT_TRUE(Click(window, IdStart));
}

TEST_F(SessionTest, RightClickCopiesTheNumbersOnlyInsideTheirArea)
{
    Connect();
    StartAndWait(2);
    ASSERT_TRUE(Click(window, IdStart));
    OpenClipboard(nullptr);
    EmptyClipboard();
    CloseClipboard();
    for (POINT outside : {POINT{20, 500}, POINT{320, 500}, POINT{100, 402}, POINT{100, 650}, POINT{-5, 500}})
        RightClick(window, outside.x, outside.y);
    EXPECT_EQ(ClipboardText(), "");
    EXPECT_TRUE(TakeBoxes().empty());

    RightClick(window, 21, 403);
    const std::vector<CaughtBox> shown = TakeBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Text, "Impedance data copied to clipboard!");
    EXPECT_EQ(shown[0].Caption, "INFO");
    EXPECT_EQ(shown[0].Owner, nullptr);
    const std::string text = ClipboardText();
    char first[64];
    std::snprintf(first, sizeof first, "%12.2f\t%12.2f\t%7.2f\r\n", PanelCtrl()->Frequencies[0], PanelDataBuff()[0].Module[0],
                  PanelDataBuff()[0].Phase[0]);
    EXPECT_EQ(text.substr(0, std::strlen(first)), first);
    EXPECT_EQ(text.size(), 15u * 35u);
    EXPECT_GT(PanelDataBuff()[0].Module[0], 0.0f);
}

TEST_F(SessionTest, TableLoadsAndTheirRefusals)
{
    // Without a file, each LD button warns.
    for (int id : {IdLoadShunt, IdLoadComp, IdLoadDac, IdLoadPhase}) {
        ASSERT_TRUE(Click(window, id));
        const std::vector<CaughtBox> shown = TakeBoxes();
        ASSERT_EQ(shown.size(), 1u) << id;
        EXPECT_EQ(shown[0].Text, "No configuration file selected!");
        EXPECT_EQ(shown[0].Caption, "WARNING");
        EXPECT_EQ(shown[0].Icon(), UINT{MB_ICONWARNING});
    }

    std::string file = "SHUNT\r\n";
    for (int i = 0; i < 30; ++i)
        file += std::to_string(100 + i) + ".5 ";
    file += "\r\nCOMP\r\n";
    for (int i = 0; i < 30; ++i)
        file += std::to_string(i) + ".25 ";
    file += "\r\nPHASES\r\n";
    for (int i = 0; i < 15; ++i)
        file += std::to_string(1000 + i) + " ";
    file += "\r\nDAC\r\n1 2 3\r\n"; // too few values
    const std::string path = folder.path + "tables.txt";
    WriteBytes(path, file);
    ChooseConfigFile(path);
    EXPECT_EQ(ControlText(window, IdConfigPathEdit), path);

    Connect();
    ASSERT_TRUE(Click(window, IdLoadShunt));
    ASSERT_TRUE(Click(window, IdLoadComp));
    ASSERT_TRUE(Click(window, IdLoadPhase));
    std::vector<uint8_t> shunt = EmulatorTable(3, 120);
    std::vector<uint8_t> comp = EmulatorTable(4, 120);
    std::vector<uint8_t> phases = EmulatorTable(18, 1024);
    ASSERT_EQ(shunt.size(), 120u);
    ASSERT_EQ(comp.size(), 120u);
    ASSERT_GE(phases.size(), 30u);
    for (int i = 0; i < 30; ++i) {
        float s = 0, c = 0;
        std::memcpy(&s, &shunt[4 * i], 4);
        std::memcpy(&c, &comp[4 * i], 4);
        EXPECT_EQ(s, 100.5f + i);
        EXPECT_EQ(c, i + 0.25f);
    }
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(phases[2 * i] | phases[2 * i + 1] << 8, 1000 + i);
    // The configuration read back shows what was loaded.
    EXPECT_EQ(PanelCtrl()->Configuration.Shunt[29], 129.5f);
    EXPECT_EQ(PanelCtrl()->Configuration.Comp[1], 1.25f);

    const int32_t dacBefore = OpcodeCount(17);
    ASSERT_TRUE(Click(window, IdLoadDac));
    const std::vector<CaughtBox> shown = TakeBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Text, "Unable to read configuration file!\nVerify the file format.");
    EXPECT_EQ(shown[0].Caption, "ERROR");
    EXPECT_EQ(shown[0].Icon(), UINT{MB_ICONERROR});
    EXPECT_EQ(OpcodeCount(17), dacBefore);
}

TEST_F(SessionTest, LogDataNeedsAFileNameAndAConnection)
{
    ASSERT_TRUE(Click(window, IdLogDataButton));
    EXPECT_FALSE(IsChecked(window, IdLogDataButton));
    std::vector<CaughtBox> shown = TakeBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Text, "No Logging directory selected!");
    EXPECT_EQ(shown[0].Owner, window);

    ChooseLogFile(folder.path + "run.txt");
    EXPECT_EQ(boxes->FileDialogTitles().back(), "Select directory and insert file name suffix ...");
    ASSERT_TRUE(Click(window, IdLogDataButton));
    EXPECT_FALSE(IsChecked(window, IdLogDataButton));
    shown = TakeBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Text, "Device is not connected!\nPress CONNECT DEVICE control");
    EXPECT_EQ(shown[0].Caption, "WARNING");
    EXPECT_TRUE(FolderEntries(folder.path).empty());

    // A cancelled dialog keeps the name chosen before.
    ASSERT_TRUE(Click(window, IdLogFileButton));
    EXPECT_EQ(std::string(LogPath), folder.path + "run.txt");

    // Closing the window while logging writes what waits in the buffer.
    Connect();
    ASSERT_TRUE(Click(window, IdLogDataButton));
    StartAndWait(3);
    ClosePanel(window);
    window = nullptr;
    const std::vector<std::string> logs = FolderEntries(folder.path);
    ASSERT_EQ(logs.size(), 1u);
    const std::vector<uint32_t> counts = LoggedMeasCounts(ReadBytes(folder.path + logs[0]));
    EXPECT_GE(counts.size(), 3u);
    EXPECT_TRUE(Consecutive(counts));
}

// The log file dialog opens in Documents\Kalvix (made when missing) the first time, then where
// the operator last chose; a name typed without a folder lands there.
TEST_F(SessionTest, LogFileDialogOpensInTheDocumentsFolderThenTheLastChoice)
{
    PWSTR documents = nullptr;
    ASSERT_TRUE(SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &documents)));
    char documentsPath[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, documents, -1, documentsPath, sizeof documentsPath, nullptr, nullptr);
    CoTaskMemFree(documents);
    const std::string kalvixFolder = std::string(documentsPath) + "\\Kalvix";
    const bool existedBefore = GetFileAttributesA(kalvixFolder.c_str()) != INVALID_FILE_ATTRIBUTES;

    boxes->QueueFileName("first.txt");
    ASSERT_TRUE(Click(window, IdLogFileButton));
    EXPECT_EQ(std::string(LogPath), kalvixFolder + "\\first.txt");
    const DWORD attributes = GetFileAttributesA(kalvixFolder.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(StatusPartText(window, StatusPartError), "");

    ChooseLogFile(folder.path + "chosen.txt");
    boxes->QueueFileName("again.txt");
    ASSERT_TRUE(Click(window, IdLogFileButton));
    EXPECT_EQ(std::string(LogPath), folder.path + "again.txt");
    EXPECT_TRUE(FolderEntries(folder.path).empty()) << "choosing makes no file";
    if (!existedBefore)
        RemoveDirectoryA(kalvixFolder.c_str());
}

// A folder where no file can be made is told as soon as it is chosen, with the text a failed log
// creation shows; a folder that takes files says nothing and keeps nothing of the check.
TEST_F(SessionTest, UnwritableLogFolderIsToldWhenChosen)
{
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    const std::string programFolder(program, std::strrchr(program, '\\') + 1);
    const struct {
        std::string path;
        const char* told;
    } cases[] = {
        {programFolder + "refusing-folder\\run.txt", "File create error: 5"}, // made beside the tests
        {folder.path + "run.txt", ""},
    };
    for (const auto& c : cases) {
        SetStatusPartText(window, StatusPartError, "");
        ChooseLogFile(c.path);
        EXPECT_EQ(StatusPartText(window, StatusPartError), c.told) << c.path;
    }
    EXPECT_TRUE(FolderEntries(folder.path).empty());
}

TEST_F(SessionTest, TriggeredSpectraShortOfABatchAreHandedOverAtTheTimeOut)
{
    ChooseLogFile(folder.path + "trigger.txt");
    Connect();
    ASSERT_TRUE(Click(window, IdLogDataButton));
    ASSERT_TRUE(Click(window, IdExtTrigger));
    // Divider 1: a poll asks for 50 spectra; three pulses bring 12 and no more come.
    const uint32_t before = HandledSpectrumBatches(window);
    Emulator(KALVIX_EMU_TRIGGER_PULSES, 3);
    ASSERT_TRUE(WaitForBatches(before, 1, 20000));
    EXPECT_EQ(StatusPartText(window, StatusPartError), "WARNING: Data polling timeout.");
    ASSERT_TRUE(Click(window, IdExtTrigger));
    ASSERT_TRUE(Click(window, IdLogDataButton));
    const std::vector<std::string> logs = FolderEntries(folder.path);
    ASSERT_EQ(logs.size(), 1u);
    const std::vector<uint32_t> counts = LoggedMeasCounts(ReadBytes(folder.path + logs[0]));
    EXPECT_EQ(counts.size(), 12u);
    EXPECT_TRUE(Consecutive(counts));
}

TEST_F(SessionTest, DeviceWatchFollowsTheRateAndTheLogSize)
{
    ChooseLogFile(folder.path + "size.txt");
    Connect();
    ASSERT_TRUE(Click(window, IdLogDataButton));
    StartAndWait(2);
    // About 1500 Kb/sec while the machine keeps up with 1000 spectra of 192 bytes a second. The
    // meter takes more than 500 ms for a rate, so the rate shown cannot exceed all the device has
    // sent since START (and a few replies before it) over 500 ms, however busy the machine is.
    EXPECT_TRUE(PumpUntil([&] { return StatusPartText(window, StatusPartRate) != "   0 Kb/sec"; }, 10000));
    const int rate = std::atoi(StatusPartText(window, StatusPartRate).c_str());
    const uint32_t framesSent = EmulatorState().spectraSent + 50;
    EXPECT_GT(rate, 0);
    EXPECT_LE(rate, static_cast<int>(framesSent * 192 * 8 / 500)) << framesSent << " frames sent";

    // The size warning comes from the watch, once, and logging goes on.
    PanelCtrl()->LogSize = 21474836480ull + 1;
    ASSERT_TRUE(PumpUntil([&] { return !boxes->Boxes().empty(); }, 3000));
    const std::vector<CaughtBox> shown = TakeBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Text, "Log size is more than 20GB.\nPress LOG DATA control to stop data logging");
    EXPECT_EQ(shown[0].Caption, "WARNING");
    EXPECT_LT(PanelCtrl()->LogSize, 21474836480ull);
    EXPECT_TRUE(IsChecked(window, IdLogDataButton));

    ASSERT_TRUE(Click(window, IdStart));
    EXPECT_TRUE(PumpUntil([&] { return StatusPartText(window, StatusPartRate) == "   0 Kb/sec"; }, 10000))
        << "the rate falls to zero once nothing arrives";
    ASSERT_TRUE(Click(window, IdLogDataButton));
}

TEST_F(SessionTest, LoggedRowsReachTheFileWithinAboutASecond)
{
    ChooseLogFile(folder.path + "follow.txt");
    Connect();
    const auto rowsInFile = [&] {
        const std::vector<std::string> logs = FolderEntries(folder.path);
        return logs.empty() ? size_t{0} : LoggedMeasCounts(ReadBytes(folder.path + logs[0])).size();
    };
    // Generous for a busy machine under Wine: the panel itself holds a row at most about a second.
    constexpr ULONGLONG Bound = 1500;

    // One spectrum a second: every row is in the file soon after its batch was handed over.
    ScrollTrackbar(window, IdDividerTrackbar, TB_THUMBPOSITION, 33);
    ASSERT_EQ(EmulatorState().divider, 1024u);
    ASSERT_TRUE(Click(window, IdLogDataButton));
    const uint32_t batchesBefore = HandledSpectrumBatches(window);
    ASSERT_TRUE(Click(window, IdStart));
    std::vector<ULONGLONG> handledAt, writtenAt;
    PumpUntil([&] {
        const ULONGLONG now = GetTickCount64();
        while (handledAt.size() < HandledSpectrumBatches(window) - batchesBefore)
            handledAt.push_back(now);
        for (size_t rows = rowsInFile(); writtenAt.size() < rows;)
            writtenAt.push_back(now);
        return writtenAt.size() >= 3 && handledAt.size() >= 3;
    }, 20000);
    ASSERT_GE(handledAt.size(), 3u);
    ASSERT_GE(writtenAt.size(), 3u);
    for (size_t row = 0; row < 3; ++row)
        EXPECT_LE(writtenAt[row], handledAt[row] + Bound) << "row " << row;
    ASSERT_TRUE(Click(window, IdStart));

    // A fast run stopped while logging goes on: the rows its last batch left waiting reach the file
    // without another batch or the end of the log.
    ScrollTrackbar(window, IdDividerTrackbar, TB_THUMBPOSITION, 0);
    StartAndWait(8);
    ASSERT_TRUE(Click(window, IdStart));
    const ULONGLONG stoppedAt = GetTickCount64();
    EXPECT_GT(PanelCtrl()->LogBufferFill, 0u) << "the last batch's tail waits in the buffer";
    const size_t logged = static_cast<size_t>(PanelCtrl()->LogEntryCount);
    EXPECT_TRUE(PumpUntil([&] { return rowsInFile() == logged; }, 5000)) << rowsInFile() << " of " << logged;
    EXPECT_LE(GetTickCount64() - stoppedAt, Bound);
    EXPECT_TRUE(IsChecked(window, IdLogDataButton));
    EXPECT_EQ(PanelCtrl()->LogBufferFill, 0u);

    // Nothing written twice, nothing lost.
    ASSERT_TRUE(Click(window, IdLogDataButton));
    const std::vector<std::string> logs = FolderEntries(folder.path);
    ASSERT_EQ(logs.size(), 1u);
    const std::vector<uint32_t> counts = LoggedMeasCounts(ReadBytes(folder.path + logs[0]));
    EXPECT_EQ(counts.size(), logged);
    // Each run counts from 0: the two runs' rows follow each other, each without gap or repeat.
    const auto secondRun = std::find(counts.begin() + 1, counts.end(), 0u);
    ASSERT_NE(secondRun, counts.end());
    EXPECT_EQ(counts.front(), 0u);
    EXPECT_TRUE(Consecutive({counts.begin(), secondRun}));
    EXPECT_TRUE(Consecutive({secondRun, counts.end()}));
}
