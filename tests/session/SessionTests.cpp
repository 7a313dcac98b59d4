// Whole operator sessions against the software device.
#include "SessionFixture.h"

#include "AfeRecord.h"
#include "ControlIds.h"
#include "GlobalCtrl.h"
#include "SpectrumBatch.h"

#include <commctrl.h>

#include <cstring>

namespace {

// Pixels of a client rectangle, to see that a widget's picture changed.
std::vector<uint32_t> PixelsOf(HWND window, RECT area)
{
    const Capture capture = CaptureWindow(window);
    std::vector<uint32_t> pixels;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            pixels.push_back(capture.AtClient(x, y));
    return pixels;
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
    EXPECT_EQ(GlobalCtrlPtr->AfePresent, 1);
    EXPECT_NE(AfeDescription(GlobalCtrlPtr->AfeArea), "AFE Disconnected");
    const std::vector<uint8_t> shunt = EmulatorTable(3, 120);
    ASSERT_EQ(shunt.size(), 120u);
    EXPECT_EQ(std::memcmp(shunt.data(), GlobalCtrlPtr->Configuration.Shunt, 120), 0);
    EXPECT_GT(GlobalCtrlPtr->Frequencies[0], 0.0f);
    EXPECT_NE(ControlText(window, IdFrequencyList).find("Hz"), std::string::npos);

    for (int dividerIndex : {0, 2}) { // dividers 1 and 4
        ScrollTrackbar(window, IdDividerTrackbar, TB_THUMBPOSITION, dividerIndex);
        EXPECT_EQ(EmulatorState().divider, GlobalCtrlPtr->DividerTable[dividerIndex]);
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
        PumpFor(100);
        EXPECT_NE(PixelsOf(window, NumbersArea), numbersBefore);
        if (dividerIndex == 0)
            EXPECT_NE(PixelsOf(window, LevelBarsArea), barsBefore);
        EXPECT_NE(PixelsOf(window, ModuleGraphArea), moduleBefore);
        EXPECT_NE(PixelsOf(window, PhaseGraphArea), phaseBefore);

        ASSERT_TRUE(Click(window, IdStart));
        EXPECT_EQ(ControlText(window, IdStart), "START");
        EXPECT_TRUE(IsEnabled(window, IdDividerTrackbar));
        ASSERT_TRUE(Click(window, IdLogDataButton));
        EXPECT_EQ(ControlText(window, IdLogFileName), "Log:");
    }
    EXPECT_EQ(StatusPartText(window, StatusPartError), "") << "a STOP in mode P sends nothing the library refuses";
    EXPECT_EQ(StatusPartText(window, StatusPartNotice), "");

    // One log per run, each with its header and one row per delivered spectrum, no gap.
    const std::vector<std::string> logs = folder.Files();
    ASSERT_EQ(logs.size(), 2u);
    for (const std::string& name : logs) {
        const std::string text = ReadWholeFile(folder.path + name);
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
    EXPECT_EQ(AfeDescription(GlobalCtrlPtr->AfeArea), "AFE Disconnected");
    EXPECT_EQ(EmulatorState().open, 0u);
}
