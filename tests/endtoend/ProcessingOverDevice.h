// The software device, the whole library and the program's processing in one process, connected
// and configured as the control panel leaves them: the fixture of the end-to-end tests.
#pragma once

#include "ConfigurationText.h"
#include "GlobalCtrl.h"
#include "KalvixCtrl.h"
#include "KalvixEmulator.h"
#include "LibraryState.h"
#include "PanelHooks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

inline std::string Call(uint32_t command, uint32_t param = 0, uint32_t* record = nullptr, void* data = nullptr)
{
    const char* text = KalvixControl(command, param, record, static_cast<uint8_t*>(data));
    return text ? text : "";
}

// Stands in for the main window: the connection button is down, messages are collected.
struct WindowStandIn {
    std::vector<std::string> statusMessages;
    int32_t disconnects = 0;
    std::string logFileLabel;
};

inline PanelHooks BindTo(WindowStandIn& window)
{
    PanelHooks hooks{};
    hooks.context = &window;
    hooks.ShowStatusMessage = [](void* c, const char* text, int32_t) {
        static_cast<WindowStandIn*>(c)->statusMessages.push_back(text);
    };
    hooks.IsDeviceConnected = [](void*) -> int32_t { return 1; };
    hooks.Disconnect = [](void* c) { ++static_cast<WindowStandIn*>(c)->disconnects; };
    hooks.ShowLogFileName = [](void* c, const char* text) { static_cast<WindowStandIn*>(c)->logFileLabel = text; };
    return hooks;
}

class ProcessingOverDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(KalvixEmulatorControl(0, KALVIX_EMU_RESET, 0, nullptr, 0), 0);
        // A busy test machine must not make the device drop spectra the tests count.
        ASSERT_EQ(KalvixEmulatorControl(0, KALVIX_EMU_FIFO_CAPACITY, 4096, nullptr, 0), 0);
        ASSERT_TRUE(AttachLibrary(GetModuleHandleA(nullptr)));
        GetDLLVersion(&ProgramActivityCounters);
        ctrl = CreateGlobalCtrl(nullptr);
        ASSERT_NE(ctrl, nullptr);
        ctrl->SpectrumBuffer = CreateDataBuff();
        ASSERT_NE(ctrl->SpectrumBuffer, nullptr);
        ctrl->Hooks = BindTo(window);
        uint32_t index = 0;
        ASSERT_EQ(Call(CMD_CONNECT, 0, &index, ctrl->DeviceSerial), "");
        ASSERT_EQ(Call(CMD_GET_DEVICE_INFO, 0, nullptr, ctrl->DeviceIdentification), "");
        ReadConfiguration();
    }
    void TearDown() override
    {
        Call(CMD_DISCONNECT);
        DetachLibrary();
        FreeDataBuff(ctrl->SpectrumBuffer);
        FreeGlobalCtrl(ctrl);
    }
    // Reads the configuration back and works out the measurement frequencies at divider 1.
    void ReadConfiguration()
    {
        ConfigurationReadRoom room{};
        ASSERT_EQ(Call(CMD_READ_CONFIGURATION, 0, nullptr, &room), "");
        ctrl->Configuration = room.configuration;
        for (int i = 0; i < 15; ++i)
            ctrl->Frequencies[i] = static_cast<float>(ctrl->Configuration.FrequencyCodes[i] * 1000) / 1.0f;
    }

    GlobalCtrl* ctrl = nullptr;
    WindowStandIn window;
    KalvixControlProc control = &KalvixControl;
};

