// The reader thread, the ring and delivery to the caller: order, time-outs, overrun, stopping,
// device failure, and repeated connections.
#include "LibraryFixture.h"

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class Acquisition : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        Connect();
        ASSERT_EQ(Call(CMD_GET_STATUS, 0, &statusWord), "");
    }
    // Queues `count` spectra from `first` on in transfers of `perRead`, padded to the read length.
    void QueueSpectra(uint32_t first, uint32_t count, uint32_t perRead)
    {
        for (uint32_t n = 0; n < count; n += perRead) {
            Bytes block;
            for (uint32_t k = n; k < n + perRead && k < count; ++k)
                block = Concat({block, SpectrumFrame(first + k)});
            FakePlatform::QueueInBlock(Padded(block, 192 * perRead));
        }
    }
    bool WaitUntilDrained()
    {
        for (int i = 0; i < 2500; ++i) {
            if (FakePlatform::QueuedInItems() == 0 && FakePlatform::PendingReadLength() != 0)
                return true;
            Sleep(2);
        }
        return false;
    }
};

TEST_F(Acquisition, EverySpectrumIsDeliveredInOrderAtEachDivider)
{
    for (const auto& [divider, perRead] : {std::pair{1u, 4u}, {2u, 3u}, {4u, 2u}, {10u, 1u}}) {
        ASSERT_EQ(Call(CMD_SET_DIVIDER, divider), "");
        ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
        ExpectPendingRead(192 * perRead);
        QueueSpectra(0, 120, perRead);
        std::vector<uint8_t> buffer(50 * 192);
        uint32_t expected = 0;
        while (expected < 120) {
            uint32_t delivered = 0;
            const uint32_t ask = std::min(50u, 120 - expected);
            ASSERT_EQ(Call(CMD_GET_SPECTRA, ask, &delivered, buffer.data()), "") << "divider " << divider;
            ASSERT_EQ(delivered, ask);
            for (uint32_t i = 0; i < delivered; ++i)
                ASSERT_EQ(MeasCountOf(&buffer[192 * i]), expected++) << "divider " << divider;
        }
        ASSERT_EQ(Call(CMD_STOP_MEASUREMENT), "");
    }
    EXPECT_EQ(statusWord, 0u);
}

TEST_F(Acquisition, TimeOutDeliversWhatCameAndWarns)
{
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    ExpectPendingRead(768);
    QueueSpectra(0, 3, 4); // three spectra and a padded slot
    std::vector<uint8_t> buffer(10 * 192);
    uint32_t delivered = 99;
    EXPECT_EQ(Call(CMD_GET_SPECTRA, 10, &delivered, buffer.data()), "WARNING: Data polling timeout.");
    EXPECT_EQ(delivered, 3u);
    EXPECT_EQ(MeasCountOf(&buffer[2 * 192]), 2u);
    // Nothing more: the next call warns with nothing delivered.
    EXPECT_EQ(Call(CMD_GET_SPECTRA, 1, &delivered, buffer.data()), "WARNING: Data polling timeout.");
    EXPECT_EQ(delivered, 0u);
}

TEST_F(Acquisition, ShortAndWrongLengthBlocksAreDropped)
{
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    ExpectPendingRead(768);
    FakePlatform::QueueInBlock(Concat({SpectrumFrame(0), SpectrumFrame(1), Bytes(5, 0)})); // short, not whole frames
    QueueSpectra(2, 4, 4);
    std::vector<uint8_t> buffer(4 * 192);
    uint32_t delivered = 0;
    ASSERT_EQ(Call(CMD_GET_SPECTRA, 4, &delivered, buffer.data()), "");
    EXPECT_EQ(MeasCountOf(&buffer[0]), 2u);
    EXPECT_EQ(MeasCountOf(&buffer[3 * 192]), 5u);
}

TEST_F(Acquisition, OverrunIsPostedWhileDeliveryGoesOn)
{
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    ExpectPendingRead(768);
    QueueSpectra(0, 504, 4); // four more than the ring holds, nobody reading
    ASSERT_TRUE(WaitUntilDrained());
    EXPECT_EQ(Call(CMD_GET_STATUS, 0, &statusWord), "ERROR: [14004] DLL internal error.");

    std::vector<uint8_t> buffer(50 * 192);
    uint32_t delivered = 0;
    ASSERT_EQ(Call(CMD_GET_SPECTRA, 50, &delivered, buffer.data()), "");
    EXPECT_EQ(delivered, 50u);
    // The four oldest were overwritten; the rest come in order.
    for (uint32_t i = 0; i < 50; ++i)
        ASSERT_EQ(MeasCountOf(&buffer[192 * i]), 4 + i);
    // And so on to the newest, after which the ring is empty.
    uint32_t next = 54;
    while (next < 504) {
        ASSERT_EQ(Call(CMD_GET_SPECTRA, 50, &delivered, buffer.data()), "") << next;
        for (uint32_t i = 0; i < delivered; ++i)
            ASSERT_EQ(MeasCountOf(&buffer[192 * i]), next++);
    }
    EXPECT_EQ(Call(CMD_GET_SPECTRA, 1, &delivered, buffer.data()), "WARNING: Data polling timeout.");
}

TEST_F(Acquisition, StopReleasesAWaitingReaderAtOnce)
{
    ASSERT_EQ(Call(CMD_SET_DIVIDER, 1792), "");
    ASSERT_EQ(Call(CMD_EXT_TRIGGER, 1), ""); // a poll would wait 1792 + 10000 ms per record
    ExpectPendingRead(192);
    QueueSpectra(0, 2, 1);
    std::string result = "unset";
    uint32_t delivered = 99;
    long long elapsed = 0;
    std::thread poll([&] {
        std::vector<uint8_t> buffer(10 * 192);
        const auto start = Clock::now();
        result = Call(CMD_GET_SPECTRA, 10, &delivered, buffer.data());
        elapsed = MsSince(start);
    });
    Sleep(300);
    ASSERT_EQ(Call(CMD_STOP_MEASUREMENT), "");
    poll.join();
    EXPECT_EQ(result, "");
    EXPECT_EQ(delivered, 2u);
    EXPECT_LT(elapsed, 6000);
}

TEST_F(Acquisition, DisconnectReleasesAWaitingReader)
{
    ASSERT_EQ(Call(CMD_SET_DIVIDER, 1792), "");
    ASSERT_EQ(Call(CMD_EXT_TRIGGER, 1), "");
    std::string result = "unset";
    long long elapsed = 0;
    std::thread poll([&] {
        std::vector<uint8_t> buffer(192);
        const auto start = Clock::now();
        result = Call(CMD_GET_SPECTRA, 1, nullptr, buffer.data());
        elapsed = MsSince(start);
    });
    Sleep(300);
    ASSERT_EQ(Call(CMD_DISCONNECT), "");
    poll.join();
    EXPECT_EQ(result, "");
    EXPECT_LT(elapsed, 6000);
    EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 0);
}

TEST_F(Acquisition, ADeviceFailureEndsTheReaderUntilDisconnect)
{
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    ExpectPendingRead(768);
    std::string pollResult = "unset";
    std::thread poll([&] {
        std::vector<uint8_t> buffer(192);
        pollResult = Call(CMD_GET_SPECTRA, 1, nullptr, buffer.data());
    });
    for (int i = 0; i < 2500 && State->spectraReaders.load() == 0; ++i)
        Sleep(1);
    FakePlatform::QueueReadError(ERROR_GEN_FAILURE);
    poll.join(); // the poll ends with its time-out at the latest
    EXPECT_EQ(pollResult, "WARNING: Data polling timeout.");
    for (int i = 0; i < 2500 && State->running.load(); ++i)
        Sleep(2);
    EXPECT_EQ(State->running.load(), 0);
    EXPECT_EQ(statusWord, 31u);
    EXPECT_EQ(Call(CMD_GET_STATUS, 0, &statusWord), "ERROR: [00031] " + SystemText(31));

    uint32_t index = 0;
    EXPECT_EQ(Call(CMD_SET_GAINS, 1), "ERROR: The application is not connected with the device.");
    EXPECT_EQ(Call(CMD_STOP_MEASUREMENT), "ERROR: The application is not connected with the device.");
    EXPECT_EQ(Call(CMD_CONNECT, 0, &index, serial), "ERROR: Device already connected.");
    EXPECT_EQ(Call(CMD_DISCONNECT), "");
    EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 0);
    Connect();
    EXPECT_EQ(Call(CMD_SET_GAINS, 1), "");
}

TEST_F(Acquisition, OtherReadErrorsAreIgnored)
{
    FakePlatform::QueueReadError(ERROR_SEM_TIMEOUT);
    FakePlatform::QueueInBlock(GpioFrame(0x0004));
    uint32_t status = 0;
    for (int i = 0; i < 2500 && status != 4; ++i) {
        Sleep(2);
        Call(CMD_GET_GPIO_STATUS, 0, &status);
    }
    EXPECT_EQ(status, 4u);
    EXPECT_EQ(State->running.load(), 1);
    EXPECT_EQ(statusWord, 0u);
}

TEST_F(Acquisition, TheReaderHoldsTheReplyLockWhenConnectReturns)
{
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(Call(CMD_DISCONNECT), "");
        uint32_t index = 0;
        ASSERT_EQ(Call(CMD_CONNECT, 0, &index, serial), "");
        // Another thread cannot take it: a command waiting for a reply will get the reader's.
        bool taken = false;
        std::thread other([&] {
            taken = WaitForSingleObject(State->ReplyLock, 0) == WAIT_OBJECT_0;
            if (taken)
                ReleaseMutex(State->ReplyLock);
        });
        other.join();
        ASSERT_FALSE(taken) << round;
    }
    EXPECT_EQ(statusWord, 0u);
}

TEST_F(Acquisition, RepeatedConnectionsLeakNoHandles)
{
    ASSERT_EQ(Call(CMD_DISCONNECT), "");
    DWORD before = 0, after = 0;
    for (int round = 0; round < 60; ++round) {
        if (round == 10)
            GetProcessHandleCount(GetCurrentProcess(), &before);
        uint32_t index = 0;
        ASSERT_EQ(Call(CMD_CONNECT, 0, &index, serial), "") << round;
        if (round % 2) {
            ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
        }
        ASSERT_EQ(Call(CMD_DISCONNECT), "") << round;
        ASSERT_EQ(FakePlatform::CurrentlyOpen().total(), 0) << round;
    }
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_LE(after, before + 4);
}

TEST_F(Acquisition, TwoCallerThreadsKeepTheirTexts)
{
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    std::atomic<bool> done{false};
    std::atomic<int> tornPoll{0}, tornCommand{0};
    std::thread poll([&] {
        std::vector<uint8_t> buffer(192);
        while (!done) {
            const char* text = KalvixControl(CMD_GET_SPECTRA, 1, nullptr, buffer.data());
            Sleep(1);
            if (text && strcmp(text, "WARNING: Data polling timeout.") != 0)
                ++tornPoll;
        }
    });
    for (int i = 0; i < 300; ++i) {
        const char* text = KalvixControl(CMD_SET_GAINS, 16, nullptr, nullptr);
        Sleep(1);
        if (!text || strcmp(text, "ERROR: Input value out of range.") != 0)
            ++tornCommand;
        if (i % 10 == 0)
            QueueSpectra(static_cast<uint32_t>(i), 4, 4);
    }
    done = true;
    poll.join();
    EXPECT_EQ(tornPoll.load(), 0);
    EXPECT_EQ(tornCommand.load(), 0);
}

TEST_F(Acquisition, ReceivedBytesAreCounted)
{
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    ExpectPendingRead(768);
    const uint32_t before = counters.bytesReceived;
    QueueSpectra(0, 8, 4);
    ASSERT_TRUE(WaitUntilDrained());
    EXPECT_EQ(counters.bytesReceived - before, 2u * 768);
}

} // namespace
