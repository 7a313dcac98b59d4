// The whole library in this process over the software device: attach, talk through
// KalvixControl, detach.
#pragma once

#include "KalvixCtrl.h"
#include "KalvixEmulator.h"
#include "LibraryState.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

inline int32_t Emu(uint32_t instance, uint32_t what, int32_t value, void* data = nullptr, uint32_t size = 0)
{
    return KalvixEmulatorControl(instance, what, value, data, size);
}

inline KalvixEmulatorState EmuState(uint32_t instance = 0)
{
    KalvixEmulatorState state{};
    KalvixEmulatorControl(instance, KALVIX_EMU_GET_STATE, 0, &state, sizeof state);
    return state;
}

// Waits up to `ms` for the condition, looking every few milliseconds.
inline bool Eventually(const std::function<bool()>& condition, DWORD ms = 3000)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > ms)
            return false;
        Sleep(5);
    }
    return true;
}

struct LibraryOverEmulator : ::testing::Test {
    uint32_t statusWord = 0;
    uint32_t gpioWord = 0xFFFFFFFF;
    ActivityCounters counters{};
    char serial[16] = {};
    uint32_t index = 0xFFFF;

    void SetUp() override
    {
        ASSERT_EQ(Emu(0, KALVIX_EMU_RESET, 0), 0);
        // Four seconds of spectra at divider 1: a host thread that Wine leaves waiting for a
        // while must not make the device drop spectra in tests that expect every MeasCount.
        ASSERT_EQ(Emu(0, KALVIX_EMU_FIFO_CAPACITY, 4096), 0);
        ASSERT_TRUE(AttachLibrary(GetModuleHandleA(nullptr)));
        ASSERT_STREQ(GetDLLVersion(&counters), "1.20");
        ASSERT_EQ(Call(CMD_GET_STATUS, 0, &statusWord), "");
    }
    void TearDown() override
    {
        DetachLibrary();
        Emu(0, KALVIX_EMU_RESET, 0);
    }

    // "" for success, else the library's text.
    static std::string Call(uint32_t command, uint32_t param = 0, uint32_t* record = nullptr, void* data = nullptr)
    {
        const char* text = KalvixControl(command, param, record, static_cast<uint8_t*>(data));
        return text ? std::string(text) : std::string();
    }
    std::string Connect() { return Call(CMD_CONNECT, 0, &index, serial); }

    // Collects spectra with CMD_GET_SPECTRA until `wanted` arrived or `ms` passed.
    std::vector<SpectrumRecord> Collect(size_t wanted, uint32_t perPoll, DWORD ms = 10000)
    {
        std::vector<SpectrumRecord> all;
        std::vector<SpectrumRecord> batch(perPoll);
        const DWORD start = GetTickCount();
        while (all.size() < wanted && GetTickCount() - start < ms) {
            uint32_t delivered = 0;
            const std::string text = Call(CMD_GET_SPECTRA, perPoll, &delivered, batch.data());
            if (!text.empty() && text.rfind("ERRO", 0) == 0) {
                ADD_FAILURE() << text;
                break;
            }
            all.insert(all.end(), batch.begin(), batch.begin() + delivered);
        }
        return all;
    }
};

inline void ExpectConsecutive(const std::vector<SpectrumRecord>& spectra, uint32_t first = 0)
{
    for (size_t i = 0; i < spectra.size(); ++i)
        ASSERT_EQ(spectra[i].MeasCount, first + i) << "spectrum " << i;
}
