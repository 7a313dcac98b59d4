// Faults of the device and of the host, seen through KalvixControl over the software device.
#include "AfeRecordLayout.h"
#include "HolderProcess.h"
#include "LibraryOverEmulator.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

namespace {

// The device fails while a poll waits for more spectra than will ever come: the reader ends and
// posts 31, and the poll gives up at once with what it took, not after its time-out (56 ms
// measuring at divider 6, over 10 s under external trigger).
TEST_F(LibraryOverEmulator, DeviceFailureMidMeasurementEndsTheReaderAndReconnectWorks)
{
    for (const bool trigger : {false, true}) {
        SCOPED_TRACE(trigger ? "external trigger" : "measuring");
        ASSERT_EQ(Connect(), "");
        ASSERT_EQ(Call(CMD_SET_DIVIDER, 6), "");
        if (trigger) {
            ASSERT_EQ(Call(CMD_EXT_TRIGGER, 1), "");
            Emu(0, KALVIX_EMU_TRIGGER_PERIOD_MS, 5);
        } else {
            ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
        }
        ASSERT_GE(Collect(5, 8).size(), 5u);

        // Shared with the poll thread, which is let go (not joined) should it never return.
        struct Poll {
            std::vector<SpectrumRecord> buffer = std::vector<SpectrumRecord>(RingCapacity);
            uint32_t delivered = 0;
            std::string text = "unset";
            DWORD endedAt = 0;
            std::atomic<bool> returned{false};
        };
        const auto poll = std::make_shared<Poll>();
        const uint16_t readBefore = State->ring.indexes.read;
        std::thread poller([poll] {
            // More spectra than will come before the failure.
            const char* text = KalvixControl(CMD_GET_SPECTRA, RingCapacity, &poll->delivered,
                                             reinterpret_cast<uint8_t*>(poll->buffer.data()));
            poll->text = text ? text : "";
            poll->endedAt = GetTickCount();
            poll->returned = true;
        });
        // Once it has taken a spectrum of its own, the poll is past its checks and waiting.
        EXPECT_TRUE(Eventually([&] { return State->ring.indexes.read != readBefore; }));
        const DWORD failedAt = GetTickCount();
        Emu(0, KALVIX_EMU_DEVICE_FAILURE, 1);
        EXPECT_TRUE(Eventually([&] { return statusWord == 31; })) << statusWord;
        const bool returned = Eventually([&] { return poll->returned.load(); }, 5000);
        EXPECT_TRUE(returned) << "a CMD_GET_SPECTRA waiting when the device failed still waits";
        if (returned) {
            poller.join();
            EXPECT_EQ(poll->text, "WARNING: Data polling timeout.");
            EXPECT_GT(poll->delivered, 0u);
            EXPECT_LT(poll->delivered, static_cast<uint32_t>(RingCapacity));
            EXPECT_LT(poll->endedAt - failedAt, 1500u);
        } else {
            poller.detach(); // the disconnect below releases it
        }
        Emu(0, KALVIX_EMU_TRIGGER_PERIOD_MS, 0);
        const std::string status = Call(CMD_GET_STATUS, 0, &statusWord);
        EXPECT_EQ(status.rfind("ERROR: [00031] ", 0), 0u) << status;
        EXPECT_EQ(Call(CMD_GET_SPECTRA, 1, nullptr, poll->buffer.data()).rfind("ERROR: The application is not connected", 0), 0u);
        EXPECT_EQ(Call(CMD_SET_GAINS, 1).rfind("ERROR: The application is not connected", 0), 0u);
        EXPECT_EQ(Connect(), "ERROR: Device already connected.");
        EXPECT_EQ(Call(CMD_DISCONNECT), "");
        EXPECT_EQ(EmuState().open, 0u);

        Emu(0, KALVIX_EMU_DEVICE_FAILURE, 0); // the device is replaced or recovers
        ASSERT_EQ(Connect(), "");
        EXPECT_EQ(index, 0u);
        ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
        const auto again = Collect(5, 8);
        ASSERT_GE(again.size(), 5u);
        ExpectConsecutive(again);
        EXPECT_EQ(Call(CMD_DISCONNECT), "");
    }
}

TEST_F(LibraryOverEmulator, InstanceHeldBySecondProcessMakesConnectTakeTheNext)
{
    HolderProcess holder;
    ASSERT_TRUE(holder.Start(0));
    ASSERT_EQ(Connect(), "");
    EXPECT_EQ(index, 1u);
    EXPECT_STREQ(serial, "KX10240002");
    EXPECT_EQ(EmuState(1).open, 1u);
    EXPECT_EQ(Call(CMD_DISCONNECT), "");
    holder.Release();
    ASSERT_EQ(Connect(), "");
    EXPECT_EQ(index, 0u);
}

TEST_F(LibraryOverEmulator, ConnectReportsWhyNoDeviceCouldBeOpened)
{
    const auto connectError = [&] { return Connect().substr(0, 15); };
    Emu(0, KALVIX_EMU_CLASS_INSTALLED, 0);
    EXPECT_EQ(connectError(), "ERROR: [00055] ");
    Emu(0, KALVIX_EMU_CLASS_INSTALLED, 1);
    Emu(0, KALVIX_EMU_INSTANCE_COUNT, 0);
    EXPECT_EQ(connectError(), "ERROR: [01167] ");
    Emu(0, KALVIX_EMU_INSTANCE_COUNT, 17);
    for (uint32_t i = 0; i < 17; ++i)
        Emu(i, KALVIX_EMU_HELD_ELSEWHERE, 1);
    EXPECT_EQ(connectError(), "ERROR: [00005] ") << "all 17 instances taken";
    Emu(16, KALVIX_EMU_HELD_ELSEWHERE, 0);
    ASSERT_EQ(Connect(), "");
    EXPECT_EQ(index, 16u);
    ASSERT_EQ(Call(CMD_DISCONNECT), "");
    Emu(0, KALVIX_EMU_RESET, 0);
    Emu(0, KALVIX_EMU_NON_BULK_PIPE, 1);
    EXPECT_EQ(connectError(), "ERROR: [00017] ");
    EXPECT_EQ(EmuState().open, 0u) << "a failed open releases the instance";
    Emu(0, KALVIX_EMU_NON_BULK_PIPE, 0);
    Emu(0, KALVIX_EMU_PATH_PADDING, 300);
    EXPECT_EQ(connectError(), "ERROR: [00122] ");
}

TEST_F(LibraryOverEmulator, LateMissingAndUnansweredReplies)
{
    ASSERT_EQ(Connect(), "");
    char info[64];
    uint8_t configuration[276];
    Emu(0, KALVIX_EMU_REPLY_DELAY_MS, 400); // well past the library's 100 ms, even on a slow machine
    const uint32_t transfersBefore = EmuState().transfersSent;
    EXPECT_EQ(Call(CMD_GET_DEVICE_INFO, 0, nullptr, info), "ERROR: Device did not respond to command.");
    EXPECT_EQ(Call(CMD_READ_CONFIGURATION, 0, nullptr, configuration), "ERROR: Device did not respond to command.");
    // Both late replies have reached the host before the next request of the same kind: a reply
    // carries nothing that ties it to its request, so one still under way would answer it.
    ASSERT_TRUE(Eventually([&] { return EmuState().transfersSent >= transfersBefore + 2; }));
    Emu(0, KALVIX_EMU_REPLY_DELAY_MS, -1);
    EXPECT_EQ(Call(CMD_GET_DEVICE_INFO_48, 0, nullptr, info), "ERROR: Device did not respond to command.");
    Sleep(200); // the late replies arrive into idle reads and are dropped
    Emu(0, KALVIX_EMU_REPLY_DELAY_MS, 2);
    ASSERT_EQ(Call(CMD_GET_DEVICE_INFO, 0, nullptr, info), "");
    EXPECT_NE(std::string(info).find("SW:v1.30"), std::string::npos);
    ASSERT_EQ(Call(CMD_READ_CONFIGURATION, 0, nullptr, configuration), "");

    uint8_t bytes[8];
    uint32_t read[3] = {8, AfeI2cAddress, 0};
    Emu(0, KALVIX_EMU_I2C_NACK, 1);
    EXPECT_EQ(Call(CMD_I2C_TRANSFER, 0, read, bytes), "ERROR: I2C Slave did not respond.");
    Emu(0, KALVIX_EMU_I2C_NACK, 0);
    uint32_t other[3] = {8, 0x51, 0};
    EXPECT_EQ(Call(CMD_I2C_TRANSFER, 0, other, bytes), "ERROR: I2C Slave did not respond.");
    Emu(0, KALVIX_EMU_AFE_PLUGGED, 0);
    EXPECT_EQ(Call(CMD_I2C_TRANSFER, 0, read, bytes), "ERROR: I2C Slave did not respond.");
    Emu(0, KALVIX_EMU_AFE_PLUGGED, 1);

    // An I2C read while measuring: its reply travels among the spectra, none of which is lost.
    uint8_t zero[2] = {0, 0};
    uint32_t write[3] = {2, AfeI2cAddress, 1};
    ASSERT_EQ(Call(CMD_I2C_TRANSFER, 0, write, zero), "");
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    const auto before = Collect(40, 50);
    ASSERT_EQ(Call(CMD_I2C_TRANSFER, 0, read, bytes), "");
    EXPECT_EQ(memcmp(bytes, "Kalvix A", 8), 0);
    auto spectra = before;
    const auto after = Collect(40, 50);
    spectra.insert(spectra.end(), after.begin(), after.end());
    ExpectConsecutive(spectra);
    EXPECT_EQ(Call(CMD_STOP_MEASUREMENT), "");
}

TEST_F(LibraryOverEmulator, NoiseBytesAndShortTransfersLoseNoWholeFrame)
{
    ASSERT_EQ(Connect(), "");
    ASSERT_EQ(Call(CMD_SET_GPIO, 0, &gpioWord), "");
    ASSERT_TRUE(Eventually([&] { return gpioWord == 0; }));
    // Idle: a noise transfer and a fragment before the status frame.
    Emu(0, KALVIX_EMU_NOISE_TRANSFERS, 1);
    Emu(0, KALVIX_EMU_SHORT_TRANSFERS, 1);
    Emu(0, KALVIX_EMU_AFE_PLUGGED, 0);
    EXPECT_TRUE(Eventually([&] { return gpioWord == 1; }));

    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    Emu(0, KALVIX_EMU_NOISE_TRANSFERS, 20);
    Emu(0, KALVIX_EMU_SHORT_TRANSFERS, 20);
    const auto spectra = Collect(400, 50);
    ASSERT_GE(spectra.size(), 400u);
    ExpectConsecutive(spectra);
    EXPECT_EQ(Call(CMD_STOP_MEASUREMENT), "");
    EXPECT_EQ(statusWord, 0u);
}

TEST_F(LibraryOverEmulator, HostThatStopsReadingSeesOverrunAndTheGap)
{
    ASSERT_EQ(Connect(), "");
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    const auto first = Collect(20, 50);
    ASSERT_GE(first.size(), 20u);
    Sleep(1500); // three ring fills at divider 1
    EXPECT_TRUE(Eventually([&] { return statusWord == STATUS_RING_OVERRUN; })) << statusWord;
    EXPECT_EQ(Call(CMD_GET_STATUS, 0, &statusWord), "ERROR: [14004] DLL internal error.");
    auto spectra = first;
    const auto later = Collect(600, 50);
    spectra.insert(spectra.end(), later.begin(), later.end());
    bool gap = false;
    for (size_t i = 1; i < spectra.size(); ++i) {
        EXPECT_NE(spectra[i].MeasCount, 0u) << "no restart";
        gap |= spectra[i].MeasCount > spectra[i - 1].MeasCount + 1;
    }
    EXPECT_TRUE(gap) << "lost spectra show as a MeasCount gap";
    EXPECT_EQ(Call(CMD_STOP_MEASUREMENT), "");
    EXPECT_EQ(Call(CMD_DISCONNECT), "");
}

TEST_F(LibraryOverEmulator, PacingAtDividerOneAndSix)
{
    ASSERT_EQ(Connect(), "");
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    const uint32_t receivedBefore = counters.bytesReceived;
    const DWORD start = GetTickCount();
    const auto spectra = Collect(1000, 50);
    const DWORD elapsed = GetTickCount() - start;
    ASSERT_GE(spectra.size(), 1000u);
    ExpectConsecutive(spectra);
    EXPECT_LE(spectra.back().MeasCount, elapsed + 20) << "never ahead of one per millisecond";
    EXPECT_LT(elapsed, 30000u);
    EXPECT_EQ(Call(CMD_STOP_MEASUREMENT), "");
    KalvixEmulatorState state = EmuState();
    EXPECT_EQ(state.spectraPerTransfer, 4u);
    EXPECT_EQ((counters.bytesReceived - receivedBefore) % 768, 0u) << "768-byte transfers only";

    ASSERT_EQ(Call(CMD_SET_DIVIDER, 6), "");
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    const uint32_t transfersBefore = EmuState().transfersSent;
    const auto slow = Collect(20, 8);
    ASSERT_GE(slow.size(), 20u);
    ExpectConsecutive(slow);
    EXPECT_EQ(Call(CMD_STOP_MEASUREMENT), "");
    state = EmuState();
    EXPECT_EQ(state.spectraPerTransfer, 1u);
    EXPECT_GE(state.transfersSent - transfersBefore, state.spectraSent) << "one spectrum per transfer";
}

// A device pulled out while measuring fails its reads with 31, 1167 or 22, as its driver has it:
// each time the reader ends and reports 31, a waiting poll returns, and once the device is back
// a new connection measures again.
TEST_F(LibraryOverEmulator, PulledDeviceIsReportedWhicheverErrorItsReadsGive)
{
    for (const int32_t error : {ERROR_GEN_FAILURE, ERROR_DEVICE_NOT_CONNECTED, ERROR_BAD_COMMAND}) {
        SCOPED_TRACE(error);
        ASSERT_EQ(Emu(0, KALVIX_EMU_PULLED_ERROR, error), 0);
        ASSERT_EQ(Connect(), "");
        ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
        ASSERT_GE(Collect(8, 8).size(), 8u);
        std::atomic<bool> returned{false};
        std::thread poller([&] {
            std::vector<SpectrumRecord> buffer(50);
            KalvixControl(CMD_GET_SPECTRA, 50, nullptr, reinterpret_cast<uint8_t*>(buffer.data()));
            returned = true;
        });
        Emu(0, KALVIX_EMU_PRESENT, 0);
        EXPECT_TRUE(Eventually([&] { return statusWord == 31; })) << statusWord;
        EXPECT_TRUE(Eventually([&] { return returned.load(); }, 10000));
        poller.join();
        EXPECT_EQ(Call(CMD_GET_STATUS, 0, &statusWord).rfind("ERROR: [00031] ", 0), 0u);
        EXPECT_EQ(Call(CMD_DISCONNECT), "");
        Emu(0, KALVIX_EMU_PRESENT, 1);
        ASSERT_EQ(Connect(), "");
        ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
        ExpectConsecutive(Collect(8, 8));
        ASSERT_EQ(Call(CMD_DISCONNECT), "");
    }
}

// Under external trigger with no pulses, the device sends an I2C reply as one 192-byte block
// while the reader reads whole groups: the read works at every group size.
TEST_F(LibraryOverEmulator, I2cReadUnderExternalTriggerWithoutSpectraAtEveryGroupSize)
{
    ASSERT_EQ(Connect(), "");
    uint8_t zero[2] = {0, 0};
    uint32_t write[3] = {2, AfeI2cAddress, 1};
    for (const uint32_t divider : {1u, 2u, 4u, 6u}) {
        SCOPED_TRACE(divider);
        ASSERT_EQ(Call(CMD_SET_DIVIDER, divider), "");
        ASSERT_EQ(Call(CMD_I2C_TRANSFER, 0, write, zero), "");
        ASSERT_EQ(Call(CMD_EXT_TRIGGER, 1), "");
        uint8_t bytes[8] = {};
        uint32_t read[3] = {8, AfeI2cAddress, 0};
        EXPECT_EQ(Call(CMD_I2C_TRANSFER, 0, read, bytes), "");
        EXPECT_EQ(memcmp(bytes, "Kalvix A", 8), 0);
        ASSERT_EQ(Call(CMD_EXT_TRIGGER, 0), "");
    }
}

// Spectra the device had queued still arrive after the measurement ends, in the measurement's
// transfers, while the library goes back to reading replies: a reply command right after STOP or
// after leaving trigger mode gets its reply all the same, also behind a full FIFO.
TEST_F(LibraryOverEmulator, RepliesRightAfterStopWhileQueuedSpectraStillArrive)
{
    struct Case {
        uint32_t divider;
        bool trigger;       // left with CMD_EXT_TRIGGER 0 instead of STOP
        bool flood;         // the FIFO full (4096 spectra) behind the stop
        int32_t holdMs;     // how long the host does not service the device
    } const cases[] = {
        {1, false, false, 60}, {2, false, false, 60}, {6, false, false, 60}, {1, false, true, 300},
        {2, false, true, 300}, {1, true, false, 60},  {4, true, true, 300},
    };
    ASSERT_EQ(Connect(), "");
    ASSERT_EQ(Call(CMD_SET_GPIO, 0, &gpioWord), "");
    uint8_t zero[2] = {0, 0};
    uint32_t write[3] = {2, AfeI2cAddress, 1};
    int32_t inputs = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "divider " << c.divider << " trigger " << c.trigger << " flood "
                                        << c.flood);
        ASSERT_EQ(Call(CMD_SET_DIVIDER, c.divider), "");
        if (c.trigger) {
            ASSERT_EQ(Call(CMD_EXT_TRIGGER, 1), "");
            Emu(0, KALVIX_EMU_TRIGGER_PERIOD_MS, 1);
        } else {
            ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
        }
        ASSERT_GE(Collect(8, 8).size(), 8u);
        const uint32_t before = EmuState().spectraAfterStop;
        // The host services the device slowly: spectra queue up in the device, faster than the
        // host takes them once it is back. Under trigger the pulses come too slowly for that, so
        // 4096 more pulses, a million spectra per second apart, fill the FIFO before the stop.
        Emu(0, KALVIX_EMU_FLOOD_RATE, c.flood ? (c.trigger ? 1000000 : 40000) : 0);
        Emu(0, KALVIX_EMU_PUMP_HOLD_MS, c.holdMs);
        Sleep(static_cast<DWORD>(c.holdMs) * 2);
        Emu(0, KALVIX_EMU_PUMP_HOLD_MS, 0);
        if (c.trigger && c.flood) {
            Emu(0, KALVIX_EMU_TRIGGER_PULSES, 4096);
            Sleep(20);
        }
        inputs ^= 0x6; // a GPIO change while measuring: the device reports it once stopped
        Emu(0, KALVIX_EMU_GPIO_INPUTS, inputs);
        gpioWord = 0xFFFFFFFF;
        ASSERT_EQ(Call(c.trigger ? CMD_EXT_TRIGGER : CMD_STOP_MEASUREMENT, 0), "");
        Emu(0, KALVIX_EMU_FLOOD_RATE, 0);
        Emu(0, KALVIX_EMU_TRIGGER_PERIOD_MS, 0);
        // The status the device sends once it has stopped, behind the queued spectra, arrives.
        EXPECT_TRUE(Eventually([&] { return gpioWord != 0xFFFFFFFF && (gpioWord & 0x6) == static_cast<uint32_t>(inputs); }))
            << gpioWord;

        char info[64] = {};
        EXPECT_EQ(Call(CMD_GET_DEVICE_INFO, 0, nullptr, info), "");
        EXPECT_NE(std::string(info).find("SW:v1.30"), std::string::npos) << info;
        uint8_t configuration[276];
        EXPECT_EQ(Call(CMD_READ_CONFIGURATION, 0, nullptr, configuration), "");
        ASSERT_EQ(Call(CMD_I2C_TRANSFER, 0, write, zero), "");
        uint8_t bytes[8] = {};
        uint32_t read[3] = {8, AfeI2cAddress, 0};
        EXPECT_EQ(Call(CMD_I2C_TRANSFER, 0, read, bytes), "");
        EXPECT_EQ(memcmp(bytes, "Kalvix A", 8), 0);
        const uint32_t afterStop = EmuState().spectraAfterStop - before;
        if (c.flood) {
            EXPECT_GT(afterStop, 256u) << "queued spectra went out after the stop";
        }
        // Idle again: GPIO status frames are read as before.
        gpioWord = 0xFFFFFFFF;
        EXPECT_EQ(Call(CMD_SET_GPIO, 0x08, &gpioWord), "");
        EXPECT_TRUE(Eventually([&] { return gpioWord != 0xFFFFFFFF; }));
    }
}

// The GPIO mask set while measuring is answered at once with a short status transfer among the
// spectrum groups: the command succeeds and no spectrum is lost or out of order.
TEST_F(LibraryOverEmulator, GpioMaskWhileMeasuringLosesNoSpectrum)
{
    ASSERT_EQ(Connect(), "");
    ASSERT_EQ(Call(CMD_SET_GPIO, 0, &gpioWord), "");
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    auto spectra = Collect(40, 50);
    for (uint32_t mask : {0x08u, 0x09u, 0x3Fu, 0x00u}) {
        ASSERT_EQ(Call(CMD_SET_GPIO, mask, &gpioWord), "") << mask;
        const auto more = Collect(40, 50);
        spectra.insert(spectra.end(), more.begin(), more.end());
    }
    ExpectConsecutive(spectra);
    EXPECT_EQ(Call(CMD_STOP_MEASUREMENT), "");
    EXPECT_EQ(statusWord, 0u);
}

} // namespace
