// An operator's whole session through KalvixControl, with the library's real transport over
// the software device.
#include "AfeCrc16.h"
#include "AfeRecordLayout.h"
#include "DeviceModel.h"
#include "LibraryOverEmulator.h"

#include <cmath>
#include <cstring>

namespace {

TEST_F(LibraryOverEmulator, OperatorSession)
{
    // Connect: the first free instance, its serial and index.
    ASSERT_EQ(Connect(), "");
    EXPECT_STREQ(serial, "KX10240001");
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(EmuState().open, 1u);

    // GPIO registration: the status of the mask request lands in the word; a pulled AFE shows.
    ASSERT_EQ(Call(CMD_SET_GPIO, 0, &gpioWord), "");
    EXPECT_TRUE(Eventually([&] { return gpioWord == 0; })) << gpioWord;
    Emu(0, KALVIX_EMU_AFE_PLUGGED, 0);
    EXPECT_TRUE(Eventually([&] { return gpioWord == 1; })) << gpioWord;
    uint32_t polled = 0xFFFF;
    ASSERT_EQ(Call(CMD_GET_GPIO_STATUS, 0, &polled), "");
    EXPECT_EQ(polled, 1u);
    Emu(0, KALVIX_EMU_AFE_PLUGGED, 1);
    EXPECT_TRUE(Eventually([&] { return gpioWord == 0; }));

    // Battery, compensation, gains, excitation, divider.
    ASSERT_EQ(Call(CMD_SET_BATTERY, 1), "");
    EXPECT_TRUE(Eventually([&] { return gpioWord == 0x8; })) << "battery mode shows in bit 3";
    ASSERT_EQ(Call(CMD_SET_BATTERY, 0), "");
    EXPECT_TRUE(Eventually([&] { return gpioWord == 0; }));
    ASSERT_EQ(Call(CMD_SET_COMPENSATION, 2), "");
    EXPECT_EQ(EmuState().compensation, 0xFF00u);
    ASSERT_EQ(Call(CMD_SET_COMPENSATION, 0), "");
    ASSERT_EQ(Call(CMD_SET_GAINS, 0x9), "");
    ASSERT_EQ(Call(CMD_SET_EXCITATION, 200), "");
    ASSERT_EQ(Call(CMD_SET_DIVIDER, 4), "");
    KalvixEmulatorState state = EmuState();
    EXPECT_EQ(state.compensation, 0u);
    EXPECT_EQ(state.gains, 9u);
    EXPECT_EQ(state.excitation, 200u);
    EXPECT_EQ(state.divider, 4u);
    EXPECT_EQ(state.dividerCode, 3u);
    ASSERT_EQ(Call(CMD_SET_DIVIDER, 1), "");

    // Device information with its versions.
    char info[64];
    memset(info, 'x', sizeof info);
    ASSERT_EQ(Call(CMD_GET_DEVICE_INFO, 0, nullptr, info), "");
    EXPECT_EQ(info[54], 0);
    EXPECT_NE(std::string(info).find("HW:v1.02 SW:v1.30 "), std::string::npos) << info;

    // Configuration block with the shunt table just loaded.
    float shunt[30];
    for (int i = 0; i < 30; ++i)
        shunt[i] = 990.0f - i;
    ASSERT_EQ(Call(CMD_LOAD_SHUNT, 0, nullptr, shunt), "");
    uint8_t block[276] = {};
    ASSERT_EQ(Call(CMD_READ_CONFIGURATION, 0, nullptr, block), "");
    DeviceConfiguration configuration;
    memcpy(&configuration, block, sizeof configuration);
    EXPECT_EQ(memcmp(configuration.Shunt, shunt, sizeof shunt), 0);
    EXPECT_EQ(configuration.FrequencyCodes[0], FrequencyCodes()[0]);
    EXPECT_EQ(configuration.FrequencyCodes[14], 1000);

    // The AFE record, read the way the program reads it: address 0, then 90-byte blocks until
    // a block that starts erased.
    uint8_t address[2] = {0, 0};
    uint32_t write[3] = {2, AfeI2cAddress, 1};
    ASSERT_EQ(Call(CMD_I2C_TRANSFER, 0, write, address), "");
    std::vector<uint8_t> area(AfeAreaSize, 0);
    size_t offset = 0;
    int blocks = 0;
    while (offset < AfeAreaSize) {
        uint32_t read[3] = {static_cast<uint32_t>(std::min<size_t>(AfeBlockSize, AfeAreaSize - offset)), AfeI2cAddress, 0};
        ASSERT_EQ(Call(CMD_I2C_TRANSFER, 0, read, area.data() + offset), "") << "block at " << offset << " reads " << EmuState().i2cReads << " unanswered " << EmuState().i2cUnanswered << " replies " << EmuState().repliesSent << " transfers " << EmuState().transfersSent << " pending " << EmuState().pendingReads;
        ++blocks;
        if (area[offset] == 0xFF && area[offset + 1] == 0xFF && area[offset + 2] == 0xFF && area[offset + 3] == 0xFF)
            break;
        offset += read[0];
    }
    AfeRecordHead head;
    memcpy(&head, area.data(), sizeof head);
    ASSERT_GT(head.size, 0);
    ASSERT_LE(head.size, AfeMaxRecordSize);
    EXPECT_EQ(static_cast<uint16_t>(area[head.size - 1] | (area[head.size] << 8)),
              AfeCrc16(area.data(), static_cast<uint16_t>(head.size - 1)));
    EXPECT_EQ(blocks, static_cast<int>(head.size / AfeBlockSize) + 2);

    // Measurements at several dividers: every MeasCount, in order.
    const struct { uint32_t divider; size_t count; } runs[] = {{1, 300}, {2, 120}, {6, 30}, {20, 8}};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.divider);
        ASSERT_EQ(Call(CMD_SET_DIVIDER, run.divider), "");
        ASSERT_EQ(Call(CMD_START_MEASUREMENT, 1), "");
        const auto spectra = Collect(run.count, std::max<uint32_t>(1, 50 / run.divider));
        ASSERT_GE(spectra.size(), run.count);
        ExpectConsecutive(spectra);
        EXPECT_EQ(spectra[0].marker, 0xFF03);
        EXPECT_EQ(spectra[0].tag, 0x01DD);
        EXPECT_NEAR(spectra[1].ProcPeriod, run.divider * 1000.0, 1.0);
        EXPECT_GT(spectra[0].Module[0], spectra[0].Module[14]);
        EXPECT_TRUE(std::isfinite(spectra.back().Phase[7]));
        ASSERT_EQ(Call(CMD_STOP_MEASUREMENT), "");
        EXPECT_EQ(EmuState().mode, 0u);
        EXPECT_EQ(EmuState().startWord, 1u);
    }
    EXPECT_EQ(statusWord, 0u) << "no overrun, no failure";

    // External trigger: spectra only on pulses, one group per pulse.
    ASSERT_EQ(Call(CMD_SET_DIVIDER, 6), "");
    ASSERT_EQ(Call(CMD_EXT_TRIGGER, 1), "");
    EXPECT_EQ(EmuState().mode, 2u);
    Sleep(100);
    EXPECT_EQ(EmuState().spectraProduced, 0u);
    Emu(0, KALVIX_EMU_TRIGGER_PULSES, 5);
    const auto triggered = Collect(5, 5);
    ASSERT_EQ(triggered.size(), 5u);
    ExpectConsecutive(triggered);
    ASSERT_EQ(Call(CMD_EXT_TRIGGER, 0), "");
    EXPECT_EQ(EmuState().mode, 0u);

    // Disconnect leaves the device idle at divider 1 and closed.
    ASSERT_EQ(Call(CMD_DISCONNECT), "");
    state = EmuState();
    EXPECT_EQ(state.open, 0u);
    EXPECT_EQ(state.divider, 1u);
    EXPECT_EQ(state.malformedRequests, 0u) << "every request the library sent was well formed";
    EXPECT_EQ(state.unknownOpcodes, 0u);
    EXPECT_GT(counters.bytesReceived, 0u);
    EXPECT_GT(counters.bytesSent, 0u);
}

TEST_F(LibraryOverEmulator, TablesAndSettingsReachTheDeviceByteForByte)
{
    ASSERT_EQ(Connect(), "");
    std::vector<uint8_t> dac(2000), phases(1024);
    for (size_t i = 0; i < dac.size(); ++i)
        dac[i] = static_cast<uint8_t>(i * 7);
    for (size_t i = 0; i < phases.size(); ++i)
        phases[i] = static_cast<uint8_t>(255 - i);
    float comp[30];
    for (int i = 0; i < 30; ++i)
        comp[i] = 0.25f * i;
    ASSERT_EQ(Call(CMD_LOAD_DAC, 0, nullptr, dac.data()), "");
    ASSERT_EQ(Call(CMD_LOAD_PHASES, 0, nullptr, phases.data()), "");
    ASSERT_EQ(Call(CMD_LOAD_COMP, 0, nullptr, comp), "");
    ASSERT_EQ(Call(CMD_SET_10X, 1), "");
    std::vector<uint8_t> back(2000);
    EXPECT_EQ(Emu(0, KALVIX_EMU_GET_TABLE, 17, back.data(), 2000), 2000);
    EXPECT_EQ(back, dac);
    back.resize(1024);
    EXPECT_EQ(Emu(0, KALVIX_EMU_GET_TABLE, 18, back.data(), 1024), 1024);
    EXPECT_EQ(back, phases);
    float compBack[30];
    EXPECT_EQ(Emu(0, KALVIX_EMU_GET_TABLE, 4, compBack, sizeof compBack), 120);
    EXPECT_EQ(memcmp(comp, compBack, sizeof comp), 0);
    EXPECT_EQ(EmuState().tenX, 1u);

    uint8_t frame[2100];
    EXPECT_EQ(Emu(0, KALVIX_EMU_GET_LAST_FRAME, 17, frame, sizeof frame), 2004);
    EXPECT_EQ(frame[0], 0x03);
    EXPECT_EQ(frame[1], 0xFF);
    EXPECT_EQ(frame[2], 0x11);
    EXPECT_EQ(frame[3], 0x00);
    EXPECT_EQ(Emu(0, KALVIX_EMU_GET_OPCODE_COUNT, 17), 1);
    uint16_t log[64];
    const int32_t logged = Emu(0, KALVIX_EMU_GET_FRAME_LOG, 0, log, sizeof log);
    ASSERT_GE(logged, 4);
    EXPECT_EQ(log[logged - 1], 15) << "10X was the last request";
    EXPECT_EQ(log[logged - 2], 4);
}

} // namespace
