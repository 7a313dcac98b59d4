// The device's outbox alone: spectra and replies kept as typed records, the bounded FIFO's order
// and drops, and the bytes they become when a read takes them.
#include "EmulatorTestSupport.h"
#include "Outbox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr Micros T0 = 1'000'000'000;

SpectrumFrame Spectrum(uint32_t measCount)
{
    SpectrumFrame spectrum{};
    spectrum.marker = FrameMarker;
    spectrum.tag = TagSpectrum;
    spectrum.MeasCount = measCount;
    spectrum.Module[0] = 100.0f + measCount;
    spectrum.BatteryLevel = static_cast<uint16_t>(4000 + measCount);
    return spectrum;
}

I2cReadReply I2cRead(uint8_t first, uint16_t count)
{
    I2cReadReply reply;
    reply.slave = AfeI2cAddress;
    reply.count = count;
    for (uint16_t i = 0; i < count; ++i)
        reply.data[i] = static_cast<uint8_t>(first + i);
    return reply;
}

// The wire's bytes of each kind of frame, written out by hand: marker 0xFF03 and the tag
// little-endian, then the payload.
std::vector<uint8_t> Head(uint16_t tag, size_t length)
{
    std::vector<uint8_t> bytes(length, 0);
    bytes[0] = 0x03, bytes[1] = 0xFF, bytes[2] = static_cast<uint8_t>(tag & 0xFF), bytes[3] = static_cast<uint8_t>(tag >> 8);
    return bytes;
}

TEST(OutboxFrames, EachRecordBecomesTheFrameTheWireCarries)
{
    std::vector<uint8_t> gpio = Head(TagGpioStatus, 6);
    gpio[4] = 0x09;
    TextReply text;
    memcpy(text.text, "Kalvix HW:v1.02", 15);
    std::vector<uint8_t> textBytes = Head(TagTextReply, 58);
    memcpy(textBytes.data() + 4, "Kalvix HW:v1.02", 15);
    TextReply fullText;
    memset(fullText.text, 'x', sizeof fullText.text); // 54 characters, no terminator
    std::vector<uint8_t> fullTextBytes = Head(TagTextReply, 58);
    memset(fullTextBytes.data() + 4, 'x', 54);
    ConfigurationReply configuration;
    for (size_t i = 0; i < ConfigPayloadSize; ++i)
        configuration.block[i] = static_cast<uint8_t>(i * 7);
    std::vector<uint8_t> configurationBytes = Head(TagConfigReply, 276);
    memcpy(configurationBytes.data() + 4, configuration.block, ConfigPayloadSize);
    std::vector<uint8_t> i2cBytes = Head(TagI2cReply, 192);
    i2cBytes[4] = AfeI2cAddress, i2cBytes[6] = 3;
    i2cBytes[10] = 0xA0, i2cBytes[12] = 0xA1, i2cBytes[14] = 0xA2; // one word per byte
    const SpectrumFrame spectrum = Spectrum(77);
    std::vector<uint8_t> spectrumBytes(192);
    memcpy(spectrumBytes.data(), &spectrum, 192);

    struct Case {
        const char* what;
        OutgoingFrame frame;
        std::vector<uint8_t> bytes;
        bool spectrum;
    } cases[] = {
        {"GPIO status", GpioStatusReport{0x0009}, gpio, false},
        {"identification text", text, textBytes, false},
        {"text filling the payload", fullText, fullTextBytes, false},
        {"configuration", configuration, configurationBytes, false},
        {"I2C read", I2cRead(0xA0, 3), i2cBytes, false},
        {"spectrum", spectrum, spectrumBytes, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FrameBytes(c.frame), c.bytes) << c.what;
        EXPECT_EQ(FrameLength(c.frame), c.bytes.size()) << c.what;
        EXPECT_EQ(IsSpectrum(c.frame), c.spectrum) << c.what;
        const std::vector<FoundFrame> found = FramesIn(c.bytes);
        ASSERT_EQ(found.size(), 1u) << c.what << ": the library's scanner finds it whole";
        EXPECT_EQ(found[0].offset, 0u) << c.what;
    }

    // A transfer of its own: its frames one after the other, zero-padded to its length.
    const QueuedTransfer group{T0, {Spectrum(1), I2cRead(0xA0, 3), Spectrum(2)}, 4 * 192, true};
    std::vector<uint8_t> expected = FrameBytes(Spectrum(1));
    expected.insert(expected.end(), i2cBytes.begin(), i2cBytes.end());
    const std::vector<uint8_t> second = FrameBytes(Spectrum(2));
    expected.insert(expected.end(), second.begin(), second.end());
    expected.resize(768, 0);
    EXPECT_EQ(TransferBytes(group), expected);
}

struct OutboxTest : ::testing::Test {
    Outbox outbox;
    KalvixEmulatorState counters{};
    DeviceFaults faults;
    NoiseSource noise;

    void Measure(size_t group, bool loneReplyAlone = false)
    {
        outbox.grouping = Grouping{true, group, false, loneReplyAlone};
    }
    // A reply that travels among the spectra, released into the FIFO as the device does.
    void PushReply(const OutgoingFrame& reply)
    {
        outbox.delayedReplies.push_back(DelayedReply{T0, reply});
        ReleaseDueReplies(outbox, T0, counters);
    }
    std::vector<uint8_t> Read(size_t capacity)
    {
        std::vector<uint8_t> out(capacity);
        const int n = DeliverTransfer(outbox, faults, noise, out.data(), capacity, T0, counters);
        out.resize(n < 0 ? 0 : static_cast<size_t>(n));
        return out;
    }
    // The FIFO as letters: a spectrum by its MeasCount ("3", "3!" when it carries the gap
    // flag), a reply as "R".
    std::string Contents() const
    {
        std::string text;
        for (const OutgoingFrame& frame : outbox.fifo) {
            if (const auto* spectrum = std::get_if<SpectrumFrame>(&frame))
                text += std::to_string(spectrum->MeasCount) + (spectrum->SysErrors & SysFifoOverflow ? "!" : "");
            else
                text += "R";
            text += ' ';
        }
        return text;
    }
};

// Pushes in order: a number is a spectrum with that MeasCount, -1 a reply among them.
TEST_F(OutboxTest, BoundedFifoKeepsOrderAndDropsTheOldestCountingOnlySpectra)
{
    struct Case {
        const char* what;
        size_t capacity;
        std::vector<int> pushes;
        std::string kept;
        uint32_t dropped;
    } cases[] = {
        {"room for all", 8, {0, 1, 2, 3}, "0 1 2 3 ", 0},
        {"full: the oldest go, the first kept says so", 3, {0, 1, 2, 3, 4}, "2! 3 4 ", 2},
        {"one place", 1, {0, 1, 2}, "2! ", 2},
        {"replies keep their place among spectra", 8, {0, -1, 1, -1, 2}, "0 R 1 R 2 ", 0},
        {"a reply dropped is no lost spectrum", 3, {-1, 0, 1, 2}, "0 1 2 ", 0},
        {"the gap flag goes to the first spectrum after it", 3, {0, 1, -1, 2, 3}, "R 2! 3 ", 2},
        {"a reply does not make room", 2, {0, 1, -1}, "0 1 R ", 0},
    };
    for (const Case& c : cases) {
        outbox = Outbox{};
        counters = KalvixEmulatorState{};
        outbox.fifoCapacity = c.capacity;
        Measure(4);
        uint32_t spectra = 0;
        for (int push : c.pushes) {
            if (push < 0) {
                PushReply(I2cRead(0x10, 4));
            } else {
                PushSpectrum(outbox, Spectrum(static_cast<uint32_t>(push)), counters);
                ++spectra;
            }
        }
        EXPECT_EQ(Contents(), c.kept) << c.what;
        EXPECT_EQ(counters.spectraDropped, c.dropped) << c.what;
        EXPECT_EQ(counters.spectraProduced, spectra) << c.what << ": lost spectra still count as made";
    }
}

TEST_F(OutboxTest, AGapWithNoSpectrumWaitingFlagsTheNextOnePushed)
{
    Measure(1);
    PushSpectrum(outbox, Spectrum(0), counters);
    PushSpectrum(outbox, Spectrum(1), counters);
    DropFifo(outbox, counters);
    EXPECT_EQ(counters.spectraDropped, 2u);
    PushSpectrum(outbox, Spectrum(5), counters);
    PushSpectrum(outbox, Spectrum(6), counters);
    EXPECT_EQ(Contents(), "5! 6 ");
    ClearForStart(outbox);
    DropFifo(outbox, counters);
    ClearForStart(outbox);
    PushSpectrum(outbox, Spectrum(0), counters);
    EXPECT_EQ(Contents(), "0 ") << "a new measurement owes no gap";
}

TEST_F(OutboxTest, ReadsGetTheFramesAsBytesInTheOrderTheyWereQueued)
{
    Measure(3);
    PushSpectrum(outbox, Spectrum(0), counters);
    PushReply(I2cRead(0x20, 2));
    EXPECT_TRUE(Read(576).empty()) << "a group waits for its third frame";
    PushSpectrum(outbox, Spectrum(1), counters);
    PushSpectrum(outbox, Spectrum(2), counters);
    PushSpectrum(outbox, Spectrum(3), counters);

    std::vector<uint8_t> expected;
    for (const OutgoingFrame& frame : {OutgoingFrame{Spectrum(0)}, OutgoingFrame{I2cRead(0x20, 2)}, OutgoingFrame{Spectrum(1)}}) {
        const std::vector<uint8_t> bytes = FrameBytes(frame);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    }
    EXPECT_EQ(Read(576), expected);
    EXPECT_EQ(counters.spectraSent, 2u) << "the reply is no spectrum";

    // Not measuring: a reply goes out on its own, ahead of the FIFO, which waits.
    outbox.grouping.measuring = false;
    PushReply(TextReply{});
    EXPECT_EQ(Read(576), FrameBytes(TextReply{}));
    EXPECT_TRUE(Read(576).empty());

    // A stop sends what the FIFO held in padded groups, before anything queued after it.
    QueueAlone(outbox, GpioStatusReport{1}, T0);
    SendFifoAfterStop(outbox, 3, T0, counters);
    std::vector<uint8_t> leftover = FrameBytes(Spectrum(2));
    const std::vector<uint8_t> third = FrameBytes(Spectrum(3));
    leftover.insert(leftover.end(), third.begin(), third.end());
    leftover.resize(576, 0);
    EXPECT_EQ(Read(576), leftover);
    EXPECT_EQ(Read(576), FrameBytes(GpioStatusReport{1}));
    EXPECT_EQ(counters.spectraAfterStop, 2u);
    EXPECT_EQ(counters.transfersSent, 4u);
}

// Each group the outbox sends is the bytes the device sent before it kept typed records: a
// MeasCount jump in the FIFO (the overflow flag), group sizes 1 to 4, a transfer longer than
// the read delivered over several.
TEST_F(OutboxTest, GroupsDeliveredOverShortReadsAreTheConcatenatedFrames)
{
    // No SCOPED_TRACE: on Windows it starts a thread of the test framework, which the lifetime
    // tests that run after these would count.
    for (size_t group : {1u, 2u, 3u, 4u}) {
        outbox = Outbox{};
        outbox.fifoCapacity = group;
        Measure(group);
        for (uint32_t count = 0; count < 2 * group; ++count)
            PushSpectrum(outbox, Spectrum(count), counters);
        std::vector<uint8_t> expected;
        for (uint32_t count = group; count < 2 * group; ++count) {
            SpectrumFrame spectrum = Spectrum(count);
            if (count == group)
                spectrum.SysErrors = SysFifoOverflow;
            const std::vector<uint8_t> bytes = FrameBytes(spectrum);
            expected.insert(expected.end(), bytes.begin(), bytes.end());
        }
        std::vector<uint8_t> got;
        for (auto piece = Read(100); !piece.empty(); piece = Read(100))
            got.insert(got.end(), piece.begin(), piece.end());
        EXPECT_EQ(got, expected) << group << " per transfer";
    }
}

} // namespace
