// The AFE record, the device version and the measurement log, from the software device through
// the library into the program's processing.
#include "AfeProcessing.h"
#include "ConfigurationText.h"
#include "GlobalCtrl.h"
#include "KalvixCtrl.h"
#include "KalvixEmulator.h"
#include "LibraryState.h"
#include "LogWriter.h"
#include "ObjectModel.h"
#include "PanelHooks.h"
#include "ProcessingOverDevice.h"
#include "ScratchFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

TEST_F(ProcessingOverDevice, AfeRecordIsReadCheckedInterpolatedAndLoaded)
{
    ASSERT_EQ(ReadAfeRecord(ctrl, LibraryI2cBus(&control)), 0);
    EXPECT_TRUE(window.statusMessages.empty()) << window.statusMessages.front();
    EXPECT_NE(std::string(AfeDescription(ctrl->AfeArea)).find("AFE"), std::string::npos);

    // The interpolated shunt follows the head's real reference shunt at every frequency.
    for (int i = 0; i < 15; ++i) {
        const Impedance expected = TrueShuntImpedance(ctrl->Frequencies[i]);
        const double re = ctrl->Configuration.Shunt[i], im = ctrl->Configuration.Shunt[15 + i];
        EXPECT_NEAR(std::hypot(re, im), std::abs(expected), 0.002 * std::abs(expected)) << ctrl->Frequencies[i];
        EXPECT_NEAR(std::atan2(im, re), std::arg(expected), 0.002) << ctrl->Frequencies[i];
    }

    // Loaded into the device, the table comes back in the configuration block byte for byte.
    float loaded[30];
    memcpy(loaded, ctrl->Configuration.Shunt, sizeof loaded);
    ASSERT_EQ(Call(CMD_LOAD_SHUNT, 0, nullptr, loaded), "");
    ReadConfiguration();
    EXPECT_EQ(memcmp(ctrl->Configuration.Shunt, loaded, sizeof loaded), 0);
}

TEST_F(ProcessingOverDevice, SpoiledRecordsAndAMissingHeadAreReported)
{
    struct Case {
        int32_t kind;
        int32_t result;
        const char* message;
    };
    const Case cases[] = {
        {KALVIX_AFE_BAD_CRC, -4, "ERROR: AFE Data CRC failed, expected CRC value: 0x"},
        {KALVIX_AFE_SIZE_ZERO, -3, "ERROR: AFE Data Size Error."},
        {KALVIX_AFE_SIZE_TOO_BIG, -3, "ERROR: AFE Data Size Error."},
        {KALVIX_AFE_SHUNT_NOT_INCREASING, -4, "ERROR: AFE Shunt Data Interpolate Error."},
        {KALVIX_AFE_SHUNT_NOT_POSITIVE, -4, "ERROR: AFE Shunt Data Interpolate Error."},
        {KALVIX_AFE_ERASED, -3, "ERROR: AFE Data Size Error."},
    };
    for (const Case& c : cases) {
        ResetAfeArea(ctrl->AfeArea);
        window.statusMessages.clear();
        ASSERT_GE(KalvixEmulatorControl(0, KALVIX_EMU_AFE_RECORD, c.kind, nullptr, 0), 0);
        EXPECT_EQ(ReadAfeRecord(ctrl, LibraryI2cBus(&control)), c.result) << c.kind;
        ASSERT_EQ(window.statusMessages.size(), 1u) << c.kind;
        EXPECT_EQ(window.statusMessages[0].rfind(c.message, 0), 0u) << window.statusMessages[0];
    }

    KalvixEmulatorControl(0, KALVIX_EMU_AFE_PLUGGED, 0, nullptr, 0);
    window.statusMessages.clear();
    EXPECT_EQ(ReadAfeRecord(ctrl, LibraryI2cBus(&control)), -2);
    ASSERT_EQ(window.statusMessages.size(), 1u);
    EXPECT_EQ(window.statusMessages[0], "ERROR: I2C Slave did not respond.");
}

TEST_F(ProcessingOverDevice, DeviceVersionDecidesWhetherTheConnectionStays)
{
    CheckDeviceVersion(ctrl);
    EXPECT_EQ(window.disconnects, 0);

    const char newer[] = "Kalvix Z-Meter HW:v1.03 SW:v1.30 SN:KX1";
    ASSERT_GE(KalvixEmulatorControl(0, KALVIX_EMU_IDENT_TEXT, 0, const_cast<char*>(newer), sizeof newer), 0);
    ASSERT_EQ(Call(CMD_GET_DEVICE_INFO, 0, nullptr, ctrl->DeviceIdentification), "");
    CheckDeviceVersion(ctrl);
    EXPECT_EQ(window.disconnects, 1);
    EXPECT_EQ(window.statusMessages.back(), "ERROR: Attached device is incompatible with version of this program!");
}

// The rows of a log file: the measurement count and the 15 modules of each.
struct LogRow {
    long count;
    std::vector<double> modules;
};

std::vector<LogRow> ReadRows(const std::string& content, int& headerLines)
{
    std::vector<LogRow> rows;
    headerLines = 0;
    size_t start = 0;
    while (start < content.size()) {
        const size_t end = content.find("\r\n", start);
        if (end == std::string::npos)
            break;
        const std::string line = content.substr(start, end - start);
        start = end + 2;
        if (headerLines < 21) {
            ++headerLines;
            continue;
        }
        std::istringstream fields(line);
        LogRow row;
        fields >> row.count;
        for (int i = 0; i < 15; ++i) {
            double module, phase;
            fields >> module >> phase;
            row.modules.push_back(module);
        }
        rows.push_back(row);
    }
    return rows;
}

TEST_F(ProcessingOverDevice, EverySpectrumOfAMeasurementIsLoggedInOrder)
{
    ScratchFolder folder;
    ASSERT_LT(folder.File("run.txt").size(), sizeof LogPath);
    std::strcpy(LogPath, folder.File("run.txt").c_str());

    StartLog(ctrl);
    ASSERT_NE(ctrl->LogBuffer.get(), nullptr);
    ASSERT_EQ(Call(CMD_SET_DIVIDER, 2), "");
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    // 400 spectra at 500 a second; each poll waits a bounded time, and the reads end at the
    // latest after 30 s.
    std::vector<SpectrumRecord> delivered;
    const uint32_t perPoll = 50 / 2;
    const ULONGLONG deadline = GetTickCount64() + 30000;
    while (delivered.size() < 400) {
        ASSERT_LT(GetTickCount64(), deadline) << "only " << delivered.size() << " spectra in 30 s";
        uint32_t count = 0;
        const std::string text = Call(CMD_GET_SPECTRA, perPoll, &count, ctrl->SpectrumBuffer);
        ASSERT_TRUE(text.empty() || text.rfind("WARNING", 0) == 0) << text;
        ASSERT_LE(count, perPoll);
        AppendLogRows(ctrl, ctrl->SpectrumBuffer, count);
        delivered.insert(delivered.end(), ctrl->SpectrumBuffer, ctrl->SpectrumBuffer + count);
    }
    ASSERT_EQ(Call(CMD_STOP_MEASUREMENT), "");
    StopLog(ctrl);
    LogPath[0] = '\0';
    EXPECT_TRUE(window.statusMessages.empty());

    // One log, named by its start time and the name chosen.
    ASSERT_EQ(window.logFileLabel, "Log:");
    const std::vector<std::string> logs = FolderEntries(folder.path);
    ASSERT_EQ(logs.size(), 1u);
    ASSERT_GT(logs[0].size(), 8u);
    EXPECT_EQ(logs[0].substr(logs[0].size() - 8), "_run.txt");

    int headerLines = 0;
    const std::vector<LogRow> rows = ReadRows(ReadBytes(folder.File(logs[0])), headerLines);
    EXPECT_EQ(headerLines, 21);
    ASSERT_EQ(rows.size(), delivered.size());
    EXPECT_EQ(static_cast<size_t>(ctrl->LogEntryCount), delivered.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].count, static_cast<long>(i)) << "row " << i;
        for (int k = 0; k < 15; ++k)
            ASSERT_NEAR(rows[i].modules[k], delivered[i].Module[k], 0.0051) << "row " << i;
    }
}

} // namespace
