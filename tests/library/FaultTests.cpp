// The library under faults of timing and of the device: the ring handed between the reader and a
// poll thread that falls behind, a poll racing a disconnect, replies that land as their command
// gives up, aborts that do not finish, errors of a pulled device, short whole-frame blocks.
#include "LibraryFixture.h"
#include "Waits.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A spectrum frame whose every word behind MeasCount follows from MeasCount, so a record put
// together from two frames is seen at once.
uint32_t StampWord(uint32_t measCount, size_t offset)
{
    return measCount * 2654435761u + static_cast<uint32_t>(offset);
}

Bytes StampedSpectrum(uint32_t measCount)
{
    Bytes frame = SpectrumFrame(measCount);
    for (size_t offset = 12; offset < 192; offset += 4) {
        const uint32_t word = StampWord(measCount, offset);
        memcpy(&frame[offset], &word, 4);
    }
    return frame;
}

bool WholeSpectrum(const uint8_t* record)
{
    if (record[0] != 0x03 || record[1] != 0xFF || record[2] != 0xDD || record[3] != 0x01)
        return false;
    const uint32_t count = MeasCountOf(record);
    for (size_t offset = 12; offset < 192; offset += 4) {
        uint32_t word;
        memcpy(&word, record + offset, 4);
        if (word != StampWord(count, offset))
            return false;
    }
    return true;
}

class Faults : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        Connect();
        ASSERT_EQ(Call(CMD_GET_STATUS, 0, &statusWord), "");
    }
};

// The reader floods the ring far faster than a caller that takes one record per call, so the
// ring overflows again and again and the writer keeps storing into the slot the caller takes
// next. Every record delivered must be one whole frame, newer than the one before.
TEST_F(Faults, OnePerCallPollingOfAnOverflowingRingGetsWholeRecordsInOrder)
{
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    ExpectPendingRead(768);
    std::atomic<bool> stop{false};
    std::thread feeder([&] {
        for (uint32_t next = 0; !stop;) {
            if (FakePlatform::QueuedInItems() >= 32) {
                Sleep(0);
                continue;
            }
            FakePlatform::QueueInBlock(Concat({StampedSpectrum(next), StampedSpectrum(next + 1),
                                               StampedSpectrum(next + 2), StampedSpectrum(next + 3)}));
            next += 4;
        }
    });

    uint8_t record[192];
    uint32_t last = 0, delivered = 0, gaps = 0, overruns = 0, torn = 0, backwards = 0;
    bool any = false;
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < end) {
        // Now and then let the writer run the ring over once more before polling on.
        if (delivered % 200 == 199) {
            overruns += WaitUntil([&] { return statusWord == STATUS_RING_OVERRUN; }, 2000);
            statusWord = 0;
        }
        uint32_t got = 0;
        const std::string text = Call(CMD_GET_SPECTRA, 1, &got, record);
        ASSERT_TRUE(text.empty() || text == "WARNING: Data polling timeout.") << text;
        if (got != 1)
            continue;
        ++delivered;
        if (!WholeSpectrum(record)) {
            ++torn;
            continue;
        }
        const uint32_t count = MeasCountOf(record);
        if (any && count <= last)
            ++backwards;
        else if (any && count > last + 1)
            ++gaps;
        last = count;
        any = true;
    }
    stop = true;
    feeder.join();
    EXPECT_EQ(torn, 0u) << "records put together from two frames, of " << delivered;
    EXPECT_EQ(backwards, 0u) << "records older than the one before, of " << delivered;
    EXPECT_GT(overruns, 2u) << "the ring overflowed again and again";
    EXPECT_GT(gaps, 2u) << "dropped records show as gaps";
    EXPECT_GT(delivered, 1000u);
}

// A poll thread calls CMD_GET_SPECTRA over and over while the window thread connects, starts a
// trigger run (a poll would wait almost 12 s per record) and disconnects again. Whatever the
// interleaving, a poll ends as not connected, not measuring or released by the disconnect; never
// by waiting on a handle the disconnect has closed (which ends at once with a time-out).
TEST_F(Faults, PollsRacingDisconnectsNeverWaitOnClosedHandles)
{
    ASSERT_EQ(Call(CMD_DISCONNECT), "");
    const std::string notConnected = "ERROR: The application is not connected with the device.";
    const std::string notMeasuring = "ERROR: Device not in measurement mode.";
    std::atomic<bool> stop{false};
    std::atomic<int> polls{0}, released{0};
    std::string unexpected;
    std::thread poll([&] {
        uint8_t record[192];
        while (!stop) {
            const std::string text = Call(CMD_GET_SPECTRA, 1, nullptr, record);
            ++polls;
            if (text.empty())
                ++released;
            else if (text != notConnected && text != notMeasuring && unexpected.empty())
                unexpected = text;
        }
    });
    for (int cycle = 0; cycle < 200 && unexpected.empty(); ++cycle) {
        uint32_t index = 0;
        ASSERT_EQ(Call(CMD_CONNECT, 0, &index, serial), "") << cycle;
        ASSERT_EQ(Call(CMD_SET_DIVIDER, 1792), "") << cycle;
        ASSERT_EQ(Call(CMD_EXT_TRIGGER, 1), "") << cycle;
        Sleep(cycle % 3);
        ASSERT_EQ(Call(CMD_DISCONNECT), "") << cycle;
    }
    stop = true;
    poll.join();
    EXPECT_EQ(unexpected, "") << "after " << polls << " polls";
    EXPECT_GT(released.load(), 0) << "some polls were waiting when the disconnect came";
    EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 0);
    EXPECT_TRUE(FakePlatform::Misuse().empty());
}

// A platform slow to cancel: the read the reader gives up on for a length change stays pending.
// The reader must not wait for it without end (with that read never finished, every command
// would fail with 14003); the command goes on, and once the old read has finished everything
// works again.
TEST_F(Faults, AnAbortThatDoesNotFinishDelaysTheReaderOnlyBoundedly)
{
    AnswerLikeTheDevice();
    FakePlatform::SetAbortLeavesReadPending(true);
    char text[64] = {};
    // The reply lands in the old 6-byte read, so this request goes unanswered.
    EXPECT_EQ(Call(CMD_GET_DEVICE_INFO, 0, nullptr, text), "ERROR: Device did not respond to command.");
    FakePlatform::SetAbortLeavesReadPending(false);
    ASSERT_EQ(Call(CMD_GET_DEVICE_INFO, 0, nullptr, text), "");
    EXPECT_STREQ(text, identification.c_str());
    ExpectPendingRead(6);
    EXPECT_EQ(statusWord, 0u);
    EXPECT_TRUE(FakePlatform::Misuse().empty());
}

// Identification requests answered about when their command gives up (100 ms), each followed at
// once by a configuration request answered at once. A late reply is either taken by the command
// that asked for it or dropped; it never leaves the reader handing it to nobody while the next
// request waits in vain, and never answers another request.
TEST_F(Faults, AReplyLandingAsItsCommandGivesUpNeverHoldsUpTheNextRequest)
{
    std::atomic<int> requests{0};
    std::thread late;
    FakePlatform::SetResponder([&](const Bytes& request) {
        const int k = requests++;
        if (request == Request(11)) {
            FakePlatform::QueueInBlock(ConfigReplyFrame(Bytes(272, static_cast<uint8_t>(k))));
        } else if (request == Request(2)) {
            const Bytes reply = TextReplyFrame("REPLY " + std::to_string(k));
            late = std::thread([reply, k] {
                Sleep(static_cast<DWORD>(92 + (k / 2) % 16));
                FakePlatform::QueueInBlock(reply);
            });
        }
    });
    int lateTaken = 0;
    for (int k = 0; k < 48; k += 2) {
        char text[64] = {};
        const std::string result = Call(CMD_GET_DEVICE_INFO, 0, nullptr, text);
        ASSERT_TRUE(result.empty() ? std::string(text) == "REPLY " + std::to_string(k)
                                   : result == "ERROR: Device did not respond to command.")
            << "request " << k << ": " << result << " / " << text;
        lateTaken += result.empty();
        late.join(); // the late reply has reached the host
        EXPECT_TRUE(WaitUntil([] { return FakePlatform::QueuedInItems() == 0; }, WaitMs));

        uint8_t configuration[276] = {};
        ASSERT_EQ(Call(CMD_READ_CONFIGURATION, 0, nullptr, configuration), "") << "request " << k + 1;
        EXPECT_EQ(configuration[0], k + 1);
        EXPECT_EQ(configuration[271], k + 1);
    }
    FakePlatform::SetResponder(nullptr);
    RecordProperty("lateRepliesTaken", lateTaken);
}

// A pulled device may fail its reads with 1167 or 22 instead of 31; each ends the reader and is
// reported as 31, whether the read fails at once or while pending. Other errors are retried.
TEST_F(Faults, PulledDeviceErrorsEndTheReaderAndReport31)
{
    for (const DWORD error : {DWORD{ERROR_GEN_FAILURE}, DWORD{ERROR_DEVICE_NOT_CONNECTED}, DWORD{ERROR_BAD_COMMAND}}) {
        for (const bool pending : {true, false}) {
            SCOPED_TRACE(std::to_string(error) + (pending ? " while pending" : " at once"));
            ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
            ExpectPendingRead(768);
            if (!pending) // a block completes the pending read; the next read fails as it is made
                FakePlatform::QueueInBlock(Concat({SpectrumFrame(0), SpectrumFrame(1), SpectrumFrame(2), SpectrumFrame(3)}));
            FakePlatform::QueueReadError(error);
            EXPECT_TRUE(WaitUntil([] { return State->running.load() == 0; }, WaitMs))
                << "the reader goes on reading a device that is gone";
            EXPECT_EQ(Call(CMD_GET_STATUS, 0, &statusWord), "ERROR: [00031] " + SystemText(31));
            EXPECT_EQ(Call(CMD_SET_GAINS, 1), "ERROR: The application is not connected with the device.");
            ASSERT_EQ(Call(CMD_DISCONNECT), "");
            Connect();
        }
    }
    for (const DWORD error : {DWORD{ERROR_SEM_TIMEOUT}, DWORD{ERROR_OPERATION_ABORTED}, DWORD{ERROR_CRC}}) {
        FakePlatform::QueueReadError(error);
        ExpectPendingRead(6);
        EXPECT_EQ(State->running.load(), 1) << error;
    }
    EXPECT_EQ(statusWord, 0u);
}

// While measuring, a block of whole 192-byte frames shorter than the read length is parsed too;
// any other short block is dropped whole. A full transfer behind each shows where delivery stands.
TEST_F(Faults, ShortBlocksOfWholeFramesAreParsedWhileMeasuring)
{
    const Bytes s10 = SpectrumFrame(10), s11 = SpectrumFrame(11), s12 = SpectrumFrame(12);
    const struct {
        const char* what;
        Bytes block;
        std::vector<uint32_t> kept;
    } cases[] = {
        {"one spectrum", s10, {10}},
        {"two spectra", Concat({s10, s11}), {10, 11}},
        {"three spectra", Concat({s10, s11, s12}), {10, 11, 12}},
        {"a spectrum and a byte", Concat({s10, {0}}), {}},
        {"a spectrum and zeros", Concat({s10, Bytes(192, 0)}), {}},
        {"a spectrum cut short", Bytes(s10.begin(), s10.end() - 1), {}},
        {"a padded GPIO frame", Padded(GpioFrame(7), 192), {}},
    };
    uint32_t next = 100;
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    ExpectPendingRead(768);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatform::QueueInBlock(c.block);
        FakePlatform::QueueInBlock(Concat({SpectrumFrame(next), SpectrumFrame(next + 1), SpectrumFrame(next + 2),
                                           SpectrumFrame(next + 3)}));
        std::vector<uint32_t> expected = c.kept;
        for (uint32_t k = 0; k < 4; ++k)
            expected.push_back(next + k);
        next += 4;
        std::vector<uint8_t> buffer(8 * 192);
        uint32_t delivered = 0;
        ASSERT_EQ(Call(CMD_GET_SPECTRA, static_cast<uint32_t>(expected.size()), &delivered, buffer.data()), "");
        std::vector<uint32_t> got;
        for (uint32_t i = 0; i < delivered; ++i)
            got.push_back(MeasCountOf(&buffer[192 * i]));
        EXPECT_EQ(got, expected);
    }
    EXPECT_EQ(statusWord, 0u);
}

// A lone I2C reply of 192 bytes where the reader reads whole groups of four (external trigger,
// no spectra): the I2C read gets it.
TEST_F(Faults, LoneI2cReplyUnderExternalTriggerAnswersTheRead)
{
    ASSERT_EQ(Call(CMD_EXT_TRIGGER, 1), "");
    ExpectPendingRead(768);
    FakePlatform::SetResponder([](const Bytes& request) {
        if (request == Request(8, {0, 0x50, 3}))
            FakePlatform::QueueInBlock(I2cReplyFrame({0x4B, 0x61, 0x6C}));
    });
    uint8_t bytes[3] = {};
    uint32_t record[3] = {3, 0x50, 0};
    EXPECT_EQ(Call(CMD_I2C_TRANSFER, 0, record, bytes), "");
    EXPECT_EQ(Bytes(bytes, bytes + 3), Bytes({0x4B, 0x61, 0x6C}));
    ExpectPendingRead(768);
}

} // namespace
