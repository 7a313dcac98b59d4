// The end-to-end fixture with a measuring head's shunt table loaded at divider 2 and logging the
// way the control panel logs: what the device sends, polled, into a time-stamped log file.
#pragma once

#include "AfeProcessing.h"
#include "Dividers.h"
#include "LogWriter.h"
#include "ProcessingOverDevice.h"
#include "ScratchFiles.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

class LoggingOverDevice : public ProcessingOverDevice {
protected:
    void SetUp() override
    {
        ProcessingOverDevice::SetUp();
        // Divider 2, as the panel sets it: the device's frequencies halve, and the log's header
        // carries the divider and the frequencies measured at.
        ASSERT_EQ(Call(CMD_SET_DIVIDER, 2), "");
        ctrl->DividerTable = DividersLookup;
        ctrl->DividerIndex = static_cast<uint16_t>(std::find(DividersLookup, DividersLookup + DividerCount, 2) - DividersLookup);
        for (int i = 0; i < 15; ++i)
            ctrl->Frequencies[i] = static_cast<float>(ctrl->Configuration.FrequencyCodes[i] * 1000) / 2.0f;
        // The AFE's shunt table interpolated onto those frequencies and loaded, as the panel does:
        // the device then reports the object (with its leads) without the stray of the head's shunt.
        ASSERT_EQ(ReadAfeRecord(ctrl, LibraryI2cBus(&control)), 0);
        ASSERT_EQ(Call(CMD_LOAD_SHUNT, 0, nullptr, ctrl->Configuration.Shunt), "");
        SetObject(Object);
    }
    void SetObject(const KalvixEmulatorObject& object)
    {
        KalvixEmulatorObject copy = object;
        ASSERT_EQ(KalvixEmulatorControl(0, KALVIX_EMU_OBJECT, 0, &copy, sizeof copy), 0);
    }
    uint32_t NextMeasCount()
    {
        KalvixEmulatorState state{};
        EXPECT_GT(KalvixEmulatorControl(0, KALVIX_EMU_GET_STATE, 0, &state, sizeof state), 0);
        return state.nextMeasCount;
    }
    // Measures `count` spectra into a new log in the folder; `onSpectra` sees the count so far
    // after every poll. Returns the new log's path.
    std::string Record(size_t count, const std::function<void(size_t)>& onSpectra = nullptr)
    {
        const std::vector<std::string> before = FolderEntries(folder.path);
        std::strcpy(LogPath, folder.File("object.txt").c_str());
        StartLog(ctrl);
        EXPECT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
        size_t delivered = 0;
        const ULONGLONG deadline = GetTickCount64() + 60000;
        while (delivered < count && GetTickCount64() < deadline) {
            uint32_t got = 0;
            const std::string text = Call(CMD_GET_SPECTRA, 25, &got, ctrl->SpectrumBuffer);
            EXPECT_TRUE(text.empty() || text.rfind("WARNING", 0) == 0) << text;
            AppendLogRows(ctrl, ctrl->SpectrumBuffer, got);
            delivered += got;
            if (onSpectra)
                onSpectra(delivered);
        }
        EXPECT_EQ(Call(CMD_STOP_MEASUREMENT), "");
        StopLog(ctrl);
        LogPath[0] = '\0';
        std::vector<std::string> logs = FolderEntries(folder.path);
        std::erase_if(logs, [&](const std::string& name) { return std::find(before.begin(), before.end(), name) != before.end(); });
        EXPECT_EQ(logs.size(), 1u);
        EXPECT_GE(delivered, count);
        return logs.empty() ? std::string() : folder.File(logs[0]);
    }

    static constexpr KalvixEmulatorObject Object{100.0, 1000.0, 10e-9};
    ScratchFolder folder;
};
