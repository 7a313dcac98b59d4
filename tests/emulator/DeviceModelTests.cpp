// The device model alone: requests in, transfers out, with time given by the test.
#include "EmulatorTestSupport.h"

#include "AfeCrc16.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

namespace {

constexpr Micros T0 = 1'000'000'000; // any start; the model only looks at differences
constexpr Micros Ms = 1000;

struct DeviceModelTest : ::testing::Test {
    DeviceModel device;
    void SetUp() override
    {
        ResetDevice(device, 0, T0);
        device.faults.replyDelayMs = 0;
    }
};

TEST_F(DeviceModelTest, IdentificationAnswersBothOpcodesWithTheVersionText)
{
    for (uint16_t opcode : {OpIdentify, OpIdentify48}) {
        Send(device, Req(opcode), T0);
        const auto reply = Take(device, TextReplyFrameLength, T0);
        ASSERT_EQ(reply.size(), TextReplyFrameLength);
        const auto frames = FramesIn(reply);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].tag, TagTextReply);
        const std::string text(reinterpret_cast<const char*>(reply.data() + 4), strnlen(reinterpret_cast<const char*>(reply.data() + 4), 54));
        EXPECT_NE(text.find("HW:v1.02 SW:v1.30 "), std::string::npos) << text;
        EXPECT_TRUE(Take(device, TextReplyFrameLength, T0).empty()) << "one reply per request";
    }
}

TEST_F(DeviceModelTest, ConfigurationCarriesFrequencyCodesAndTheLastLoadedTables)
{
    float shunt[30], comp[30];
    for (int i = 0; i < 30; ++i) {
        shunt[i] = 1000.0f + i;
        comp[i] = -0.5f * i;
    }
    Send(device, ReqBlock(OpLoadShunt, shunt, sizeof shunt), T0);
    Send(device, ReqBlock(OpLoadComp, comp, sizeof comp), T0);
    Send(device, Req(OpConfiguration), T0);
    const auto reply = Take(device, ConfigReplyFrameLength, T0);
    ASSERT_EQ(reply.size(), ConfigReplyFrameLength);
    EXPECT_EQ(GetU16(reply.data() + 2), TagConfigReply);
    DeviceConfiguration configuration;
    memcpy(&configuration, reply.data() + 4, sizeof configuration);
    EXPECT_EQ(memcmp(configuration.Shunt, shunt, sizeof shunt), 0);
    EXPECT_EQ(memcmp(configuration.Comp, comp, sizeof comp), 0);
    // About 1 kHz to 1 MHz at divider 1, rising.
    EXPECT_EQ(configuration.FrequencyCodes[0] * 1000, 1000);
    EXPECT_EQ(configuration.FrequencyCodes[14] * 1000, 1000000);
    for (int i = 1; i < 15; ++i)
        EXPECT_GT(configuration.FrequencyCodes[i], configuration.FrequencyCodes[i - 1]);
}

struct PacingCase {
    uint16_t code;
    uint16_t divider;
    size_t perTransfer;
};

class PacingTest : public ::testing::TestWithParam<PacingCase> {};

TEST_P(PacingTest, SpectraArePacedAgainstTheClockAndGroupedPerTransfer)
{
    const PacingCase c = GetParam();
    DeviceModel device;
    ResetDevice(device, 0, T0);
    Send(device, Req(OpDivider, {c.code}), T0);
    Send(device, Req(OpStart, {0}), T0);
    const size_t length = c.perTransfer * SpectrumFrameLength;
    const Micros groupTime = c.perTransfer * c.divider * Ms;

    EXPECT_TRUE(Take(device, length, T0 + groupTime - 1).empty()) << "the group is not complete yet";
    uint32_t expected = 0;
    for (int transfer = 0; transfer < 5; ++transfer) {
        const auto block = Take(device, length, T0 + (transfer + 1) * groupTime);
        ASSERT_EQ(block.size(), length) << "transfer " << transfer;
        const auto counts = MeasCountsIn(block);
        ASSERT_EQ(counts.size(), c.perTransfer);
        for (uint32_t count : counts)
            EXPECT_EQ(count, expected++);
        const SpectrumRecord first = SpectrumAt(block, 0);
        EXPECT_EQ(first.ProcPeriod, c.divider * 1000u);
    }
    EXPECT_TRUE(Take(device, length, T0 + 5 * groupTime).empty());

    // A new start counts from 0 again.
    Send(device, Req(OpStart, {0}), T0 + 6 * groupTime);
    EXPECT_EQ(MeasCountsIn(Take(device, length, T0 + 7 * groupTime)).front(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Dividers, PacingTest,
                         ::testing::Values(PacingCase{0, 1, 4}, PacingCase{1, 2, 3}, PacingCase{3, 4, 2},
                                           PacingCase{6, 6, 1}, PacingCase{63, 1792, 1}));

TEST_F(DeviceModelTest, FullFifoDropsTheOldestSpectraAndCountsThem)
{
    Send(device, Req(OpDivider, {6}), T0); // divider 6, one spectrum per transfer
    device.outbox.fifoCapacity = 10;
    Send(device, Req(OpStart, {0}), T0);
    // 25 spectra due, none read: 15 dropped, the newest 10 wait.
    const auto first = Take(device, SpectrumFrameLength, T0 + 25 * 6 * Ms);
    ASSERT_EQ(first.size(), SpectrumFrameLength);
    const SpectrumRecord record = SpectrumAt(first, 0);
    EXPECT_EQ(record.MeasCount, 15u);
    EXPECT_TRUE(record.SysErrors & SysFifoOverflow);
    KalvixEmulatorState state;
    FillState(device, state);
    EXPECT_EQ(state.spectraDropped, 15u);
    EXPECT_EQ(state.fifoLevel, 9u);
    for (uint32_t expected = 16; expected < 25; ++expected) {
        const auto next = Take(device, SpectrumFrameLength, T0 + 25 * 6 * Ms);
        ASSERT_EQ(next.size(), SpectrumFrameLength);
        EXPECT_EQ(SpectrumAt(next, 0).MeasCount, expected);
        EXPECT_FALSE(SpectrumAt(next, 0).SysErrors & SysFifoOverflow);
    }

    // A long stall is counted the same way without computing every spectrum.
    const auto late = Take(device, SpectrumFrameLength, T0 + 100'000 * 6 * Ms);
    ASSERT_EQ(late.size(), SpectrumFrameLength);
    EXPECT_EQ(SpectrumAt(late, 0).MeasCount, 100'000u - 10u);
    FillState(device, state);
    EXPECT_EQ(state.spectraDropped + state.spectraSent + state.fifoLevel, state.spectraProduced);
}

TEST_F(DeviceModelTest, StopEndsTheSpectraAndOwesAGpioFrameForChangesMadeMeanwhile)
{
    Send(device, Req(OpStart, {0}), T0);
    SetAfePlugged(device, false, T0 + 1 * Ms);
    EXPECT_EQ(MeasCountsIn(Take(device, 768, T0 + 4 * Ms)).size(), 4u);
    const auto during = Take(device, 768, T0 + 8 * Ms);
    EXPECT_EQ(SpectrumAt(during, 0).GPIOStatus & 1, 1) << "spectra carry the presence line";
    Send(device, Req(OpcodeStop), T0 + 9 * Ms);
    // The spectrum the device had queued still goes out, in the measurement's transfer size.
    const auto leftover = Take(device, 768, T0 + 9 * Ms);
    EXPECT_EQ(leftover.size(), 768u);
    EXPECT_EQ(MeasCountsIn(leftover), std::vector<uint32_t>({8}));
    EXPECT_TRUE(Take(device, 768, T0 + 20 * Ms).empty()) << "no more spectra after stop, no status before it settles";
    const auto status = Take(device, GpioStatusFrameLength, T0 + 40 * Ms);
    ASSERT_EQ(status.size(), GpioStatusFrameLength);
    EXPECT_EQ(GetU16(status.data() + 2), TagGpioStatus);
    EXPECT_EQ(GetU16(status.data() + 4), 1);
}

TEST_F(DeviceModelTest, GpioFramesFollowMaskPresenceBatteryAndInputs)
{
    const auto statusAfter = [&](Micros at) {
        const auto frame = Take(device, GpioStatusFrameLength, at);
        EXPECT_EQ(frame.size(), GpioStatusFrameLength);
        return frame.size() == GpioStatusFrameLength ? GetU16(frame.data() + 4) : 0xFFFF;
    };
    Send(device, Req(OpGpio, {0}), T0);
    EXPECT_EQ(statusAfter(T0), 0x0) << "AFE attached, inputs low";
    SetAfePlugged(device, false, T0);
    EXPECT_EQ(statusAfter(T0), 0x1);
    Send(device, Req(OpBattery, {1}), T0);
    EXPECT_EQ(statusAfter(T0), 0x9);
    SetGpioInputs(device, 0x04, T0);
    EXPECT_EQ(statusAfter(T0), 0xD);
    // Line 2 made an output driving high (direction 0x10, level 0x02); line 1 stays an input.
    Send(device, Req(OpGpio, {0x12}), T0);
    EXPECT_EQ(statusAfter(T0), 0xF);
    // No change, no frame.
    SetGpioInputs(device, 0x04, T0);
    EXPECT_TRUE(Take(device, GpioStatusFrameLength, T0).empty());
}

std::vector<uint8_t> ReadAfe(DeviceModel& device, size_t count, Micros at)
{
    Send(device, Req(OpI2c, {0, AfeI2cAddress, static_cast<uint16_t>(count)}), at);
    const auto reply = Take(device, I2cReplyFrameLength, at);
    if (reply.size() != I2cReplyFrameLength || GetU16(reply.data() + 2) != TagI2cReply)
        return {};
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = reply[I2cReplyDataOffset + 2 * i];
    return bytes;
}

TEST_F(DeviceModelTest, AfeMemoryReadsBackAValidRecordInNinetyByteBlocks)
{
    Send(device, Req(OpI2c, {1, AfeI2cAddress, 2, 0, 0}), T0);
    std::vector<uint8_t> image;
    while (image.size() < AfeAreaSize) {
        const size_t n = std::min<size_t>(AfeBlockSize, AfeAreaSize - image.size());
        const auto block = ReadAfe(device, n, T0);
        ASSERT_EQ(block.size(), n);
        image.insert(image.end(), block.begin(), block.end());
        if (block[0] == 0xFF && block[1] == 0xFF && block[2] == 0xFF && block[3] == 0xFF)
            break;
    }
    ASSERT_GE(image.size(), AfeValidRecordSize + 1u);
    AfeRecordHead head;
    memcpy(&head, image.data(), sizeof head);
    EXPECT_EQ(head.size, AfeValidRecordSize);
    const uint16_t stored = static_cast<uint16_t>(image[head.size - 1] | (image[head.size] << 8));
    EXPECT_EQ(stored, AfeCrc16(image.data(), static_cast<uint16_t>(head.size - 1)));
    EXPECT_NE(std::string(head.Description).find("AFE"), std::string::npos);
    EXPECT_NEAR(head.shunt[0].frequency, 10.0f, 1e-3);
    EXPECT_NEAR(head.shunt[20].frequency, 1e7f, 10.0f);
    for (size_t i = 1; i < AfeShuntPointCount; ++i) {
        EXPECT_GT(head.shunt[i].frequency, head.shunt[i - 1].frequency);
        EXPECT_GT(head.shunt[i].module, 0.0f);
    }
    // Erased beyond the record: the read stopped at a block of 0xFF.
    EXPECT_EQ(image.back(), 0xFF);
    EXPECT_LT(image.size(), 1500u);

    // The counter goes on from where the last read ended, and past the memory reads 0xFF.
    Send(device, Req(OpI2c, {1, AfeI2cAddress, 2, 0x1F, 0x7E}), T0); // address 8062
    const auto edge = ReadAfe(device, 4, T0);
    EXPECT_EQ(edge, std::vector<uint8_t>({0xFF, 0xFF, 0xFF, 0xFF}));
    KalvixEmulatorState state;
    FillState(device, state);
    EXPECT_EQ(state.afeAddress, 8066u);
}

TEST_F(DeviceModelTest, I2cWritesStoreBytesAndSilentSlavesNeverAnswer)
{
    Send(device, Req(OpI2c, {1, AfeI2cAddress, 5, 0x00, 0x10, 0xAA, 0xBB, 0xCC}), T0);
    Send(device, Req(OpI2c, {1, AfeI2cAddress, 2, 0x00, 0x10}), T0);
    EXPECT_EQ(ReadAfe(device, 3, T0), std::vector<uint8_t>({0xAA, 0xBB, 0xCC}));

    Send(device, Req(OpI2c, {0, 0x51, 4}), T0);
    EXPECT_TRUE(Take(device, I2cReplyFrameLength, T0 + 500 * Ms).empty()) << "other slave";
    device.faults.i2cNack = true;
    EXPECT_TRUE(ReadAfe(device, 4, T0).empty()) << "NACK";
    device.faults.i2cNack = false;
    SetAfePlugged(device, false, T0);
    (void)Take(device, GpioStatusFrameLength, T0); // the presence change
    EXPECT_TRUE(ReadAfe(device, 4, T0).empty()) << "AFE pulled";
    KalvixEmulatorState state;
    FillState(device, state);
    EXPECT_EQ(state.i2cUnanswered, 3u);
}

struct AfeKindCase {
    AfeRecordKind kind;
    bool sizeOk, crcOk, tableOk;
};

class AfeRecordKindTest : public ::testing::TestWithParam<AfeKindCase> {};

TEST_P(AfeRecordKindTest, EachSpoiledRecordFailsExactlyItsOwnCheck)
{
    const AfeKindCase c = GetParam();
    AfeMemory memory;
    WriteAfeRecord(memory, c.kind);
    AfeRecordHead head;
    memcpy(&head, memory.bytes, sizeof head);
    const bool sizeOk = head.size != 0 && head.size <= AfeMaxRecordSize;
    EXPECT_EQ(sizeOk, c.sizeOk);
    if (sizeOk) {
        const uint16_t stored = static_cast<uint16_t>(memory.bytes[head.size - 1] | (memory.bytes[head.size] << 8));
        EXPECT_EQ(stored == AfeCrc16(memory.bytes, static_cast<uint16_t>(head.size - 1)), c.crcOk);
    }
    bool tableOk = true;
    for (size_t i = 0; i < AfeShuntPointCount; ++i) {
        tableOk &= head.shunt[i].frequency > 0 && head.shunt[i].module > 0;
        if (i > 0)
            tableOk &= head.shunt[i].frequency > head.shunt[i - 1].frequency;
    }
    EXPECT_EQ(tableOk, c.tableOk);
}

INSTANTIATE_TEST_SUITE_P(Kinds, AfeRecordKindTest,
                         ::testing::Values(AfeKindCase{AfeRecordKind::Valid, true, true, true},
                                           AfeKindCase{AfeRecordKind::BadCrc, true, false, true},
                                           AfeKindCase{AfeRecordKind::SizeZero, false, true, true},
                                           AfeKindCase{AfeRecordKind::SizeTooBig, false, true, true},
                                           AfeKindCase{AfeRecordKind::ShuntNotIncreasing, true, true, false},
                                           AfeKindCase{AfeRecordKind::ShuntNotPositive, true, true, false}));

TEST_F(DeviceModelTest, I2cReplyDuringMeasurementTakesOneFrameSlotOfAGroup)
{
    Send(device, Req(OpStart, {0}), T0);
    Send(device, Req(OpI2c, {1, AfeI2cAddress, 2, 0, 0}), T0 + 1 * Ms);
    Send(device, Req(OpI2c, {0, AfeI2cAddress, 4}), T0 + 1 * Ms);
    std::vector<uint32_t> counts;
    int replies = 0;
    for (int i = 1; i <= 4; ++i) {
        const auto block = Take(device, 768, T0 + i * 4 * Ms);
        ASSERT_EQ(block.size(), 768u);
        for (const FoundFrame& frame : FramesIn(block)) {
            if (frame.tag == TagI2cReply) {
                ++replies;
                EXPECT_EQ(block[frame.offset + I2cReplyDataOffset], 'K') << "first description byte";
            }
        }
        for (uint32_t c : MeasCountsIn(block))
            counts.push_back(c);
    }
    EXPECT_EQ(replies, 1);
    for (size_t i = 0; i < counts.size(); ++i)
        EXPECT_EQ(counts[i], i);
}

TEST_F(DeviceModelTest, ExternalTriggerSendsOneGroupPerPulse)
{
    Send(device, Req(OpDivider, {3}), T0); // divider 4: two spectra per transfer
    Send(device, Req(OpTrigger, {1}), T0);
    EXPECT_TRUE(Take(device, 384, T0 + 1000 * Ms).empty()) << "nothing without a pulse";
    FireTriggerPulses(device, 2, T0 + 1000 * Ms);
    const auto first = Take(device, 384, T0 + 1008 * Ms);
    const auto second = Take(device, 384, T0 + 1016 * Ms);
    EXPECT_EQ(MeasCountsIn(first), std::vector<uint32_t>({0, 1}));
    EXPECT_EQ(MeasCountsIn(second), std::vector<uint32_t>({2, 3}));
    EXPECT_TRUE(Take(device, 384, T0 + 5000 * Ms).empty());

    SetTriggerPeriod(device, 100, T0 + 5000 * Ms);
    size_t spectra = 0;
    for (Micros t = T0 + 5000 * Ms; t <= T0 + 5550 * Ms; t += 10 * Ms)
        spectra += MeasCountsIn(Take(device, 384, t)).size();
    EXPECT_EQ(spectra, 10u) << "five automatic pulses in 550 ms";
    Send(device, Req(OpTrigger, {0}), T0 + 6000 * Ms);
    // The groups of the pulses since the last read still go out after leaving trigger mode.
    std::vector<uint32_t> after;
    for (auto block = Take(device, 384, T0 + 6000 * Ms); !block.empty(); block = Take(device, 384, T0 + 6000 * Ms))
        for (uint32_t count : MeasCountsIn(block))
            after.push_back(count);
    // The 14 spectra before it, then those of the pulses since the last read, in order.
    EXPECT_EQ(after, std::vector<uint32_t>({14, 15, 16, 17, 18, 19, 20, 21, 22, 23}));
    EXPECT_TRUE(Take(device, 384, T0 + 9000 * Ms).empty());
}

// Under external trigger an I2C reply with no spectra around it is a transfer of its own, one
// frame long, at every group size.
TEST_F(DeviceModelTest, LoneI2cReplyUnderExternalTriggerIsOneFrameLong)
{
    for (const auto& [code, group] : {std::pair{uint16_t{0}, size_t{4}}, {uint16_t{1}, size_t{3}}, {uint16_t{3}, size_t{2}}, {uint16_t{6}, size_t{1}}}) {
        SCOPED_TRACE(group);
        ResetDevice(device, 0, T0);
        device.faults.replyDelayMs = 0;
        Send(device, Req(OpDivider, {code}), T0);
        Send(device, Req(OpTrigger, {1}), T0);
        Send(device, Req(OpI2c, {0, AfeI2cAddress, 4}), T0 + 1 * Ms);
        const auto lone = Take(device, group * SpectrumFrameLength, T0 + 2 * Ms);
        ASSERT_EQ(lone.size(), I2cReplyFrameLength);
        EXPECT_EQ(GetU16(lone.data() + 2), TagI2cReply);

        // Once a pulse's spectra come, transfers are whole groups again.
        FireTriggerPulses(device, 1, T0 + 10 * Ms);
        const auto spectra = Take(device, group * SpectrumFrameLength, T0 + 100 * Ms);
        EXPECT_EQ(spectra.size(), group * SpectrumFrameLength);
        EXPECT_EQ(MeasCountsIn(spectra).size(), group);
    }
}

// An abort loses the transfer the device had ready for the read, or the rest of one delivered
// over several reads; with nothing on its way it loses nothing.
TEST_F(DeviceModelTest, AbortLosesTheTransferOnItsWay)
{
    Send(device, Req(OpStart, {0}), T0);
    LoseTransferInFlight(device, 768, T0 + 2 * Ms); // half a group: nothing ready
    EXPECT_EQ(device.counters.transfersLost, 0u);
    LoseTransferInFlight(device, 768, T0 + 4 * Ms);
    EXPECT_EQ(device.counters.transfersLost, 1u);
    EXPECT_EQ(MeasCountsIn(Take(device, 768, T0 + 8 * Ms)), std::vector<uint32_t>({4, 5, 6, 7}));

    EXPECT_EQ(Take(device, 300, T0 + 12 * Ms).size(), 300u); // the first part of 8..11
    LoseTransferInFlight(device, 768, T0 + 12 * Ms);
    EXPECT_EQ(device.counters.transfersLost, 2u);
    EXPECT_EQ(MeasCountsIn(Take(device, 768, T0 + 16 * Ms)), std::vector<uint32_t>({12, 13, 14, 15}));
}

// The GPIO mask request is answered at once with a status frame, also while measuring, where it
// comes as a short transfer of its own between spectrum groups.
TEST_F(DeviceModelTest, GpioMaskIsAnsweredWhileMeasuringToo)
{
    Send(device, Req(OpStart, {0}), T0);
    EXPECT_EQ(MeasCountsIn(Take(device, 768, T0 + 4 * Ms)), std::vector<uint32_t>({0, 1, 2, 3}));
    Send(device, Req(OpGpio, {0x09}), T0 + 5 * Ms); // line 3 an output driven high
    const auto status = Take(device, 768, T0 + 6 * Ms);
    ASSERT_EQ(status.size(), GpioStatusFrameLength);
    EXPECT_EQ(GetU16(status.data() + 2), TagGpioStatus);
    EXPECT_EQ(GetU16(status.data() + 4), 1);
    EXPECT_EQ(MeasCountsIn(Take(device, 768, T0 + 8 * Ms)), std::vector<uint32_t>({4, 5, 6, 7}));
}

TEST_F(DeviceModelTest, NoiseAndShortTransfersLoseNoWholeFrame)
{
    Send(device, Req(OpStart, {0}), T0);
    device.faults.noiseTransfers = 6;
    device.faults.shortTransfers = 3;
    std::vector<uint32_t> counts;
    int shortOnes = 0, noisy = 0;
    for (int i = 1; i <= 60 && counts.size() < 40; ++i) {
        for (auto block = Take(device, 768, T0 + i * 4 * Ms); !block.empty(); block = Take(device, 768, T0 + i * 4 * Ms)) {
            if (block.size() != 768) {
                ++shortOnes; // the library drops it; the frame it was cut from comes whole next
                continue;
            }
            const auto frames = FramesIn(block);
            if (!frames.empty() && frames[0].offset != 0)
                ++noisy;
            for (uint32_t c : MeasCountsIn(block))
                counts.push_back(c);
        }
    }
    EXPECT_EQ(shortOnes, 3);
    EXPECT_EQ(noisy, 6);
    ASSERT_GE(counts.size(), 40u);
    for (size_t i = 0; i < counts.size(); ++i)
        ASSERT_EQ(counts[i], i);
}

TEST_F(DeviceModelTest, SpectraFollowTheObjectShuntAndCompensation)
{
    device.noisePpm = 0;
    Send(device, Req(OpStart, {0}), T0);
    const auto plain = SpectrumAt(Take(device, 768, T0 + 4 * Ms), 0);
    for (size_t i = 0; i < MeasurementFrequencyCount; ++i) {
        const double hz = FrequencyCodes()[i] * 1000.0;
        const Impedance z = ObjectImpedance(device.object, hz) + LeadImpedance(hz);
        EXPECT_NEAR(plain.Module[i], std::abs(z), std::abs(z) * 1e-5) << i;
        EXPECT_NEAR(plain.Phase[i], std::arg(z) * 180 / 3.141592653589793, 1e-3) << i;
    }
    // Module falls with frequency (the capacitor), phase is negative in the middle.
    EXPECT_GT(plain.Module[0], 2 * plain.Module[14]);
    EXPECT_LT(plain.Phase[7], -10.0f);

    // The device scales by the shunt it was given: twice the true shunt doubles the module.
    float shunt[30];
    for (size_t i = 0; i < MeasurementFrequencyCount; ++i) {
        const Impedance s = 2.0 * TrueShuntImpedance(FrequencyCodes()[i] * 1000.0);
        shunt[i] = static_cast<float>(s.real());
        shunt[15 + i] = static_cast<float>(s.imag());
    }
    Send(device, ReqBlock(OpLoadShunt, shunt, sizeof shunt), T0 + 5 * Ms);
    // Compensation with the leads' impedance leaves the object alone.
    float comp[30];
    for (size_t i = 0; i < MeasurementFrequencyCount; ++i) {
        const Impedance lead = 2.0 * LeadImpedance(FrequencyCodes()[i] * 1000.0);
        comp[i] = static_cast<float>(lead.real());
        comp[15 + i] = static_cast<float>(lead.imag());
    }
    Send(device, ReqBlock(OpLoadComp, comp, sizeof comp), T0 + 5 * Ms);
    Send(device, Req(OpCompensation, {0x00FF}), T0 + 5 * Ms);
    Send(device, Req(OpStart, {0}), T0 + 5 * Ms);
    const auto scaled = SpectrumAt(Take(device, 768, T0 + 9 * Ms), 0);
    for (size_t i = 0; i < MeasurementFrequencyCount; ++i) {
        const double expected = 2 * std::abs(ObjectImpedance(device.object, FrequencyCodes()[i] * 1000.0));
        EXPECT_NEAR(scaled.Module[i], expected, expected * 1e-4) << i;
    }
}

TEST_F(DeviceModelTest, ChannelLevelsFollowGainsAndExcitationAndNoiseIsSmall)
{
    Send(device, Req(OpExcitation, {50}), T0);
    Send(device, Req(OpStart, {0}), T0);
    const auto low = SpectrumAt(Take(device, 768, T0 + 4 * Ms), 0);
    Send(device, Req(OpExcitation, {200}), T0 + 5 * Ms);
    Send(device, Req(OpGains, {0x5}), T0 + 5 * Ms); // both channels gain code 1
    const auto high = SpectrumAt(Take(device, 768, T0 + 8 * Ms), 576); // the last of the group came after the change
    // 12-bit levels around mid-scale, inside the 4095 full scale of the level bars.
    EXPECT_GT(low.MaxChA, 2048);
    EXPECT_LT(low.MinChA, 2048);
    EXPECT_LE(high.MaxChA, 4095);
    EXPECT_LT(high.MaxChA, 4095) << "not clipped yet";
    EXPECT_NEAR(high.MaxChA - 2048.0, 8.0 * (low.MaxChA - 2048.0), 8.0);
    EXPECT_NEAR(high.MaxChB - 2048.0, 8.0 * (low.MaxChB - 2048.0), 8.0);
    // Consecutive spectra differ a little, not a lot.
    EXPECT_NE(low.Module[3], high.Module[3]);
    EXPECT_NEAR(low.Module[3], high.Module[3], low.Module[3] * 0.02);

    Send(device, Req(OpGains, {0xF}), T0 + 9 * Ms);
    Send(device, Req(OpExcitation, {255}), T0 + 9 * Ms);
    Send(device, Req(OpTenX, {1}), T0 + 9 * Ms);
    const auto clipped = SpectrumAt(Take(device, 768, T0 + 12 * Ms), 576);
    EXPECT_TRUE(clipped.SysErrors & SysChannelClipped);
    EXPECT_EQ(clipped.MaxChB, 4095);
    EXPECT_EQ(clipped.MinChB, 0);
}

TEST_F(DeviceModelTest, BatteryDrainsInBatteryModeAndCharges)
{
    device.batteryMv = 3800;
    Send(device, Req(OpBattery, {1}), T0);
    Send(device, Req(OpStart, {0}), T0);
    (void)Take(device, GpioStatusFrameLength, T0);
    const auto early = SpectrumAt(Take(device, 768, T0 + 4 * Ms), 0);
    Send(device, Req(OpcodeStop), T0 + 10 * Ms);
    Send(device, Req(OpStart, {0}), T0 + 20'000 * Ms);
    const auto late = SpectrumAt(Take(device, 768, T0 + 20'004 * Ms), 0);
    EXPECT_EQ(early.ChargerStatus, 0);
    EXPECT_EQ(late.GPIOStatus & 0x8, 0x8);
    EXPECT_NEAR(early.BatteryLevel - late.BatteryLevel, 40, 2) << "2 mV per second";
    Send(device, Req(OpBattery, {0}), T0 + 20'010 * Ms);
    Send(device, Req(OpStart, {0}), T0 + 30'000 * Ms);
    const auto charging = SpectrumAt(Take(device, 768, T0 + 30'004 * Ms), 0);
    EXPECT_EQ(charging.ChargerStatus, 1);
    EXPECT_GT(charging.BatteryLevel, late.BatteryLevel);
}

TEST_F(DeviceModelTest, BadRequestsAreCountedAndChangeNothing)
{
    Send(device, Req(OpDivider, {2}), T0); // no divider has code 2
    Send(device, Req(0x77), T0);
    Send(device, {0x04, 0xFF, 0x02, 0x00}, T0);      // wrong marker
    Send(device, Req(OpExcitation, {1, 2}), T0);     // one word too many
    Send(device, Req(OpI2c, {0, AfeI2cAddress}), T0); // cut short
    KalvixEmulatorState state;
    FillState(device, state);
    EXPECT_EQ(state.divider, 1u);
    EXPECT_EQ(state.excitation, 128u);
    EXPECT_EQ(state.unknownOpcodes, 1u);
    EXPECT_EQ(state.malformedRequests, 3u);
    Send(device, Req(OpStart, {0}), T0);
    EXPECT_TRUE(SpectrumAt(Take(device, 768, T0 + 4 * Ms), 0).SysErrors & SysBadParameter);
    EXPECT_TRUE(Take(device, 768, T0 + 5 * Ms).empty());
}

TEST_F(DeviceModelTest, TransferLongerThanTheReadIsDeliveredOverSeveralReads)
{
    Send(device, Req(OpIdentify), T0);
    const auto head = Take(device, 6, T0);
    ASSERT_EQ(head.size(), 6u);
    EXPECT_EQ(GetU16(head.data() + 2), TagTextReply);
    size_t rest = 0;
    for (auto piece = Take(device, 6, T0); !piece.empty(); piece = Take(device, 6, T0))
        rest += piece.size();
    EXPECT_EQ(rest, TextReplyFrameLength - 6);
}

TEST_F(DeviceModelTest, DelayedAndWithheldReplies)
{
    device.faults.replyDelayMs = 150;
    Send(device, Req(OpIdentify), T0);
    EXPECT_TRUE(Take(device, TextReplyFrameLength, T0 + 149 * Ms).empty());
    EXPECT_EQ(NextDeviceEvent(device), T0 + 150 * Ms);
    EXPECT_EQ(Take(device, TextReplyFrameLength, T0 + 150 * Ms).size(), TextReplyFrameLength);
    device.faults.replyDelayMs = -1;
    Send(device, Req(OpConfiguration), T0 + 200 * Ms);
    EXPECT_TRUE(Take(device, ConfigReplyFrameLength, T0 + 10'000 * Ms).empty());
    EXPECT_EQ(NextDeviceEvent(device), NoEvent);
}

} // namespace

namespace {

TEST_F(DeviceModelTest, RestartAfterFailureForgetsSettingsButKeepsTheWorld)
{
    Send(device, Req(OpDivider, {6}), T0);
    Send(device, Req(OpStart, {0}), T0);
    device.faults.failure = true;
    device.faults.i2cNack = true;
    SetAfePlugged(device, false, T0);
    RestartDevice(device, T0 + 10 * Ms);
    KalvixEmulatorState state;
    FillState(device, state);
    EXPECT_EQ(state.mode, 0u);
    EXPECT_EQ(state.divider, 1u);
    EXPECT_FALSE(device.faults.failure);
    EXPECT_TRUE(device.faults.i2cNack);
    EXPECT_FALSE(device.afePlugged);
}

} // namespace

namespace {

// Every request of the host's protocol, with the words it takes (marker and opcode included).
struct OpcodeWords {
    uint16_t opcode;
    size_t words;
};
constexpr OpcodeWords HostRequests[] = {
    {0x00FF, 2}, {1, 3},  {2, 2},   {3, 62},   {4, 62},  {5, 3},  {6, 3},  {7, 3},  {9, 3},
    {10, 3},     {11, 2}, {12, 3},  {14, 3},   {15, 3},  {16, 3}, {17, 1002}, {18, 514}, {19, 17},
    {20, 62},    {21, 62}, {22, 3}, {48, 2},   {49, 12}, {50, 3}, {51, 3}, {52, 3}, {53, 3},
    {54, 3},     {55, 7}, {65, 3},  {67, 3},   {68, 3},  {69, 7}, {73, 3},
};

std::vector<uint8_t> RequestOfWords(uint16_t opcode, size_t words)
{
    std::vector<uint8_t> bytes(2 * words, 0);
    PutU16(bytes.data(), FrameMarker);
    PutU16(bytes.data() + 2, opcode);
    return bytes;
}

TEST_F(DeviceModelTest, EveryHostRequestIsAcceptedOnlyWithItsExactLength)
{
    uint32_t accepted = 0, malformed = 0;
    for (const OpcodeWords& request : HostRequests) {
        SCOPED_TRACE(request.opcode);
        Send(device, RequestOfWords(request.opcode, request.words), T0);
        ++accepted;
        EXPECT_EQ(device.opcodeCounts[request.opcode], 1u);
        // One word short or one word long is not the request: counted, not acted on.
        Send(device, RequestOfWords(request.opcode, request.words - 1), T0);
        Send(device, RequestOfWords(request.opcode, request.words + 1), T0);
        malformed += 2;
        EXPECT_EQ(device.opcodeCounts[request.opcode], 1u);
    }
    // I2C: a read is 5 words, a write 5 + its byte count.
    Send(device, Req(OpI2c, {0, AfeI2cAddress, 4}), T0);
    Send(device, Req(OpI2c, {1, AfeI2cAddress, 3, 0, 0, 7}), T0);
    accepted += 2;
    Send(device, Req(OpI2c, {0, AfeI2cAddress, 4, 0}), T0);
    Send(device, Req(OpI2c, {1, AfeI2cAddress, 3, 0, 0}), T0);
    Send(device, Req(OpI2c, {1, AfeI2cAddress, 3, 0, 0, 7, 9}), T0);
    malformed += 3;
    // Opcodes outside the protocol are heard and ignored.
    for (uint16_t opcode : {0, 13, 23, 47, 56, 66, 74, 0x100})
        Send(device, Req(opcode, {1}), T0);

    KalvixEmulatorState state;
    FillState(device, state);
    EXPECT_EQ(state.requestsReceived, accepted + 8);
    EXPECT_EQ(state.malformedRequests, malformed);
    EXPECT_EQ(state.unknownOpcodes, 8u);
    EXPECT_EQ(state.i2cReads + state.i2cWrites, 2u);
}

TEST_F(DeviceModelTest, MalformedStartStopAndTableRequestsChangeNothing)
{
    std::vector<uint8_t> shortShunt = RequestOfWords(OpLoadShunt, 61);
    for (size_t i = 4; i < shortShunt.size(); ++i)
        shortShunt[i] = 0x41;
    Send(device, shortShunt, T0);
    EXPECT_EQ(device.shunt[0], 0.0f);
    Send(device, RequestOfWords(OpStart, 2), T0);
    EXPECT_TRUE(Take(device, 768, T0 + 100 * Ms).empty()) << "a start without its word starts nothing";
    Send(device, Req(OpStart, {0}), T0 + 100 * Ms);
    Send(device, RequestOfWords(OpcodeStop, 3), T0 + 101 * Ms);
    EXPECT_EQ(MeasCountsIn(Take(device, 768, T0 + 104 * Ms)).size(), 4u) << "a long stop stops nothing";
    Send(device, Req(OpIdentify, {0}), T0 + 105 * Ms);
    KalvixEmulatorState state;
    FillState(device, state);
    EXPECT_EQ(state.repliesSent, 0u);
}

// Divider and device code, as the host's table pairs them.
constexpr uint16_t DividerTable[][2] = {
    {1, 0},     {2, 1},     {4, 3},     {6, 6},     {8, 8},     {10, 11},   {12, 12},   {14, 14},
    {16, 15},   {20, 19},   {24, 20},   {28, 22},   {32, 23},   {40, 27},   {48, 28},   {56, 30},
    {64, 31},   {80, 35},   {96, 36},   {112, 38},  {128, 39},  {160, 43},  {192, 44},  {196, 45},
    {224, 46},  {256, 47},  {320, 50},  {384, 51},  {448, 53},  {512, 54},  {640, 56},  {768, 57},
    {896, 59},  {1024, 60}, {1280, 61}, {1536, 62}, {1792, 63},
};

TEST_F(DeviceModelTest, EveryDividerCodeSetsItsDividerAndGroupSize)
{
    std::set<uint16_t> known;
    for (const auto& entry : DividerTable) {
        SCOPED_TRACE(entry[0]);
        known.insert(entry[1]);
        Send(device, Req(OpDivider, {entry[1]}), T0);
        KalvixEmulatorState state;
        FillState(device, state);
        EXPECT_EQ(state.divider, entry[0]);
        EXPECT_EQ(state.dividerCode, entry[1]);
        EXPECT_EQ(state.spectraPerTransfer, entry[0] == 1 ? 4u : entry[0] == 2 ? 3u : entry[0] == 4 ? 2u : 1u);
    }
    Send(device, Req(OpDivider, {6}), T0);
    for (uint16_t code = 0; code < 70; ++code) {
        if (known.count(code))
            continue;
        Send(device, Req(OpDivider, {code}), T0);
        KalvixEmulatorState state;
        FillState(device, state);
        EXPECT_EQ(state.divider, 6u) << "code " << code << " is no divider";
    }
}

TEST_F(DeviceModelTest, LoweredFifoCapacityDropsDownToItAndCountsOnlySpectra)
{
    Send(device, Req(OpDivider, {6}), T0);
    Send(device, Req(OpStart, {0}), T0);
    Send(device, Req(OpI2c, {0, AfeI2cAddress, 4}), T0 + 1 * Ms);
    AdvanceDevice(device, T0 + 1 * Ms); // its reply heads the FIFO
    AdvanceDevice(device, T0 + 30 * 6 * Ms);
    ASSERT_EQ(device.outbox.fifo.size(), 31u);
    device.outbox.fifoCapacity = 5;
    AdvanceDevice(device, T0 + 31 * 6 * Ms);
    EXPECT_EQ(device.outbox.fifo.size(), 5u);
    KalvixEmulatorState state;
    FillState(device, state);
    EXPECT_EQ(state.spectraDropped, 26u) << "the reply and 26 spectra went; the reply is no spectrum";
    EXPECT_EQ(state.spectraDropped + state.spectraSent + state.fifoLevel, state.spectraProduced);
    const auto next = Take(device, SpectrumFrameLength, T0 + 31 * 6 * Ms);
    EXPECT_EQ(SpectrumAt(next, 0).MeasCount, 26u);
    EXPECT_TRUE(SpectrumAt(next, 0).SysErrors & SysFifoOverflow) << "the spectrum after the gap says so";
    const auto after = Take(device, SpectrumFrameLength, T0 + 31 * 6 * Ms);
    EXPECT_FALSE(SpectrumAt(after, 0).SysErrors & SysFifoOverflow);
}

TEST_F(DeviceModelTest, SpectraDroppedOneByOneFlagTheFirstSpectrumAfterTheGap)
{
    Send(device, Req(OpDivider, {6}), T0);
    device.outbox.fifoCapacity = 4;
    Send(device, Req(OpStart, {0}), T0);
    for (int i = 1; i <= 6; ++i) // the device fills up a spectrum at a time: 0 and 1 are dropped
        AdvanceDevice(device, T0 + i * 6 * Ms);
    std::vector<std::pair<uint32_t, bool>> seen;
    for (auto block = Take(device, SpectrumFrameLength, T0 + 6 * 6 * Ms); !block.empty();
         block = Take(device, SpectrumFrameLength, T0 + 6 * 6 * Ms))
        seen.emplace_back(SpectrumAt(block, 0).MeasCount, (SpectrumAt(block, 0).SysErrors & SysFifoOverflow) != 0);
    EXPECT_EQ(seen, (std::vector<std::pair<uint32_t, bool>>{{2, true}, {3, false}, {4, false}, {5, false}}));
}

} // namespace
