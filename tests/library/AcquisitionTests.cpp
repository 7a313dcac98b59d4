// The reader thread, the ring and delivery to the caller: order, time-outs, overrun, stopping,
// device failure, and repeated connections.
#include "LibraryFixture.h"
#include "Waits.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
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
        return WaitUntil([] { return FakePlatform::QueuedInItems() == 0 && FakePlatform::PendingReadLength() != 0; },
                         WaitMs);
    }
    // Until a CMD_GET_SPECTRA in another thread has taken `taken` records of this run: it is past
    // its checks then, waiting for the next one.
    bool WaitUntilPollHasTaken(uint16_t taken)
    {
        return WaitUntil([&] { return State->spectraReaders.load() == 1 && State->ring.indexes.read == taken; }, WaitMs);
    }
};

// Lets two threads through together, round after round. A side that waits longer than WaitMs for
// the other gives up, and so does every later round, so a stuck partner fails the test instead
// of hanging it.
class Gate {
public:
    bool Pass()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (broken_)
            return false;
        const uint64_t round = round_;
        if (++arrived_ == 2) {
            arrived_ = 0;
            ++round_;
            passed_.notify_all();
            return true;
        }
        if (passed_.wait_for(lock, std::chrono::milliseconds(WaitMs), [&] { return round_ != round; }))
            return true;
        broken_ = true;
        passed_.notify_all();
        return false;
    }

private:
    std::mutex mutex_;
    std::condition_variable passed_;
    uint64_t round_ = 0;
    int arrived_ = 0;
    bool broken_ = false;
};

// The device may answer a start at once: spectra that arrive while the start request's write
// has not yet returned belong to the measurement and are kept.
TEST_F(Acquisition, SpectraArrivingBeforeTheStartRequestReturnsAreKept)
{
    for (const bool trigger : {false, true}) {
        SCOPED_TRACE(trigger ? "external trigger" : "start");
        FakePlatform::SetResponder([&](const Bytes& request) {
            if (request == Request(1, {0}) || request == Request(9, {1})) {
                QueueSpectra(0, 4, 4);
                EXPECT_TRUE(WaitUntilDrained()) << "the reader has parsed them";
            }
        });
        ASSERT_EQ(trigger ? Call(CMD_EXT_TRIGGER, 1) : Call(CMD_START_MEASUREMENT, 0), "");
        FakePlatform::SetResponder(nullptr);
        std::vector<uint8_t> buffer(4 * 192);
        uint32_t delivered = 0;
        EXPECT_EQ(Call(CMD_GET_SPECTRA, 4, &delivered, buffer.data()), "");
        ASSERT_EQ(delivered, 4u);
        for (uint32_t i = 0; i < 4; ++i)
            EXPECT_EQ(MeasCountOf(&buffer[192 * i]), i);
        ASSERT_EQ(trigger ? Call(CMD_EXT_TRIGGER, 0) : Call(CMD_STOP_MEASUREMENT), "");
    }
}

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

// Transfers of 1 to 4 spectra, requests of 1 to 500 records, and the ring overrunning while the
// caller is half way: records come whole and in MeasCount order, the oldest are the ones
// dropped, the overrun is posted, and a request never takes more than it asked for.
TEST_F(Acquisition, EveryTransferSizeAndRequestCountKeepsOrderAcrossAnOverrun)
{
    constexpr uint32_t Total = 708;
    std::vector<uint8_t> buffer(500 * 192);
    for (const uint32_t perTransfer : {1u, 2u, 3u, 4u})
        for (const uint32_t request : {1u, 49u, 50u, 500u}) {
            SCOPED_TRACE(std::to_string(perTransfer) + " per transfer, " + std::to_string(request) + " per request");
            ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
            ExpectPendingRead(768);
            QueueSpectra(0, 300, perTransfer);
            ASSERT_TRUE(WaitUntilDrained());
            uint32_t delivered = 0;
            ASSERT_EQ(Call(CMD_GET_SPECTRA, request, &delivered, buffer.data()),
                      request <= 300 ? "" : "WARNING: Data polling timeout.");
            ASSERT_EQ(delivered, std::min(request, 300u));
            const uint32_t firstTaken = delivered;
            for (uint32_t i = 0; i < firstTaken; ++i)
                ASSERT_EQ(MeasCountOf(&buffer[192 * i]), i);
            // 408 more while nobody reads (whole transfers of every size): whatever is beyond the
            // ring's 500 is dropped, oldest first.
            QueueSpectra(300, 408, perTransfer);
            ASSERT_TRUE(WaitUntilDrained());
            const uint32_t dropped = Total - firstTaken > 500 ? Total - firstTaken - 500 : 0;
            EXPECT_EQ(Call(CMD_GET_STATUS, 0, &statusWord), dropped ? "ERROR: [14004] DLL internal error." : "");
            uint32_t next = firstTaken + dropped;
            while (next < Total) {
                // The last call of a run that does not fill its request waits out its time-out.
                const bool fills = Total - next >= request;
                ASSERT_EQ(Call(CMD_GET_SPECTRA, request, &delivered, buffer.data()),
                          fills ? "" : "WARNING: Data polling timeout.") << next;
                ASSERT_EQ(delivered, std::min(request, Total - next));
                for (uint32_t i = 0; i < delivered; ++i) {
                    ASSERT_EQ(MeasCountOf(&buffer[192 * i]), next++);
                    ASSERT_EQ(SpectrumFrame(MeasCountOf(&buffer[192 * i])), Bytes(&buffer[192 * i], &buffer[192 * (i + 1)]));
                }
            }
            ASSERT_EQ(Call(CMD_STOP_MEASUREMENT), "");
        }
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
    EXPECT_TRUE(WaitUntilPollHasTaken(2));
    EXPECT_EQ(Call(CMD_STOP_MEASUREMENT), "");
    poll.join();
    EXPECT_EQ(result, "");
    EXPECT_EQ(delivered, 2u);
    EXPECT_LT(elapsed, 6000);
}

// Two callers waiting on an empty ring: each stored record wakes one of them, and the one still
// waiting after the other has gone is woken by the next record, long before its 11.8 s time-out.
TEST_F(Acquisition, EachRecordWakesOneOfTwoWaitingCallers)
{
    ASSERT_EQ(Call(CMD_SET_DIVIDER, 1792), "");
    ASSERT_EQ(Call(CMD_EXT_TRIGGER, 1), "");
    ExpectPendingRead(192);
    std::atomic<int> returned{0};
    uint32_t counts[2] = {99, 99};
    long long elapsed[2] = {};
    std::vector<std::thread> polls;
    for (int p = 0; p < 2; ++p)
        polls.emplace_back([&, p] {
            uint8_t record[192] = {};
            uint32_t delivered = 0;
            const auto start = Clock::now();
            EXPECT_EQ(Call(CMD_GET_SPECTRA, 1, &delivered, record), "");
            elapsed[p] = MsSince(start);
            counts[p] = delivered == 1 ? MeasCountOf(record) : 99;
            ++returned;
        });
    ASSERT_TRUE(WaitUntil([] { return State->ring.waiters.load() == 2; }, WaitMs));
    QueueSpectra(0, 1, 1);
    EXPECT_TRUE(WaitUntil([&] { return returned.load() == 1; }, WaitMs));
    QueueSpectra(1, 1, 1);
    for (std::thread& poll : polls)
        poll.join();
    EXPECT_EQ(std::set<uint32_t>(counts, counts + 2), (std::set<uint32_t>{0, 1}));
    EXPECT_LT(std::max(elapsed[0], elapsed[1]), 6000);
}

TEST_F(Acquisition, DisconnectReleasesAWaitingReader)
{
    ASSERT_EQ(Call(CMD_SET_DIVIDER, 1792), "");
    ASSERT_EQ(Call(CMD_EXT_TRIGGER, 1), "");
    ExpectPendingRead(192);
    QueueSpectra(0, 1, 1);
    std::string result = "unset";
    uint32_t delivered = 99;
    long long elapsed = 0;
    std::thread poll([&] {
        std::vector<uint8_t> buffer(2 * 192);
        const auto start = Clock::now();
        result = Call(CMD_GET_SPECTRA, 2, &delivered, buffer.data());
        elapsed = MsSince(start);
    });
    EXPECT_TRUE(WaitUntilPollHasTaken(1));
    EXPECT_EQ(Call(CMD_DISCONNECT), "");
    poll.join();
    EXPECT_EQ(result, "");
    EXPECT_EQ(delivered, 1u);
    EXPECT_LT(elapsed, 6000);
    EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 0);
}

TEST_F(Acquisition, ADeviceFailureEndsTheReaderUntilDisconnect)
{
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    ExpectPendingRead(768);
    QueueSpectra(0, 1, 4);
    std::string pollResult = "unset";
    uint32_t delivered = 99;
    std::thread poll([&] {
        std::vector<uint8_t> buffer(2 * 192);
        pollResult = Call(CMD_GET_SPECTRA, 2, &delivered, buffer.data());
    });
    EXPECT_TRUE(WaitUntilPollHasTaken(1));
    FakePlatform::QueueReadError(ERROR_GEN_FAILURE);
    poll.join(); // the poll ends with its time-out at the latest
    EXPECT_EQ(pollResult, "WARNING: Data polling timeout.");
    EXPECT_EQ(delivered, 1u);
    EXPECT_TRUE(WaitUntil([] { return State->running.load() == 0; }, WaitMs));
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
    EXPECT_TRUE(WaitUntil([&] { return Call(CMD_GET_GPIO_STATUS, 0, &status).empty() && status == 4; }, WaitMs))
        << status;
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
            taken = WaitForSingleObject(State->ReplyLock.Get(), 0) == WAIT_OBJECT_0;
            if (taken)
                ReleaseMutex(State->ReplyLock.Get());
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

// The window thread and the poll thread call at the same moment, round after round: the poll
// waits out its time-out or is refused at once, while the window thread's commands are refused
// with texts of their own (again and again while the poll waits). Each thread reads its text
// after both calls have returned, so a buffer the two shared would show the other's text.
TEST_F(Acquisition, TwoCallerThreadsCallingAtOnceKeepTheirTexts)
{
    ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
    ExpectPendingRead(768);
    struct Refused {
        uint32_t command, param;
        uint32_t* record;
        uint8_t* data;
        const char* text;
    };
    uint32_t i2cRecord[3] = {91, 0x50, 0};
    uint8_t bytes[192] = {};
    const Refused windowCalls[] = {
        {CMD_SET_GAINS, 16, nullptr, nullptr, "ERROR: Input value out of range."},
        {21, 0, nullptr, nullptr, "ERROR: Unknown command."},
        {CMD_SET_DIVIDER, 2, nullptr, nullptr, "ERROR: Device is not in idle mode."},
        {CMD_START_MEASUREMENT, 0, nullptr, nullptr, "ERROR: Device is already in measuring mode."},
        {CMD_I2C_TRANSFER, 0, i2cRecord, bytes, "ERROR: Byte count value out of range."},
    };
    uint8_t spectrum[192] = {};
    const Refused pollCalls[] = {
        {CMD_GET_SPECTRA, 1, nullptr, spectrum, "WARNING: Data polling timeout."}, // waits 54 ms
        {CMD_GET_SPECTRA, 0, nullptr, spectrum, "ERROR: Expected input variables not initialized."},
        {CMD_GET_SPECTRA, 1, nullptr, nullptr, "ERROR: Expected input variables not initialized."},
    };
    constexpr int Rounds = 300;
    const auto pollCallOf = [&](int round) -> const Refused& { return pollCalls[round % 10 == 0 ? 0 : 1 + round % 2]; };

    Gate gate;
    std::atomic<bool> pollReturned{false};
    std::atomic<int> tornPoll{0};
    std::string pollSaw;
    std::thread poll([&] {
        for (int round = 0; round < Rounds; ++round) {
            const Refused& c = pollCallOf(round);
            if (!gate.Pass())
                return;
            const char* text = KalvixControl(c.command, c.param, c.record, c.data);
            pollReturned = true;
            if (!gate.Pass())
                return;
            if (!text || strcmp(text, c.text) != 0) {
                if (tornPoll++ == 0)
                    pollSaw = text ? text : "null";
            }
        }
    });

    int tornWindow = 0, windowCallsMade = 0;
    std::string windowSaw;
    const auto check = [&](const char* text, const Refused& c) {
        if (!text || strcmp(text, c.text) != 0) {
            if (tornWindow++ == 0)
                windowSaw = std::string(text ? text : "null") + " for " + c.text;
        }
    };
    bool together = true;
    for (int round = 0; round < Rounds && together; ++round) {
        const Refused& c = windowCalls[round % 5];
        pollReturned = false;
        together = gate.Pass();
        const char* text = KalvixControl(c.command, c.param, c.record, c.data);
        ++windowCallsMade;
        for (int again = 0; again < 200 && !pollReturned; ++again) {
            check(text, c);
            text = KalvixControl(c.command, c.param, c.record, c.data);
            ++windowCallsMade;
        }
        together = together && gate.Pass();
        check(text, c);
    }
    poll.join();
    EXPECT_TRUE(together) << "a thread did not reach the gate in time";
    EXPECT_EQ(tornPoll.load(), 0) << "the poll thread read: " << pollSaw;
    EXPECT_EQ(tornWindow, 0) << "of " << windowCallsMade << " window calls; first: " << windowSaw;
}

// With nothing arriving, a poll gives up on a record after SpectraPerRead x divider + 50 ms:
// not before, and not much later.
TEST_F(Acquisition, APollWithNothingArrivingWarnsAfterItsTimeOut)
{
    const struct {
        uint32_t divider;
        long long timeoutMs;
    } cases[] = {{1, 4 + 50}, {4, 2 * 4 + 50}, {6, 6 + 50}, {196, 196 + 50}};
    constexpr long long Tick = 16; // a coarse system clock may round the library's wait down by a tick
    constexpr long long Slack = 1400;
    for (const auto& c : cases) {
        SCOPED_TRACE("divider " + std::to_string(c.divider));
        ASSERT_EQ(Call(CMD_SET_DIVIDER, c.divider), "");
        ASSERT_EQ(Call(CMD_START_MEASUREMENT, 0), "");
        ExpectPendingRead(static_cast<ULONG>(192 * State->SpectraPerRead));
        uint8_t buffer[192];
        uint32_t delivered = 99;
        const auto start = Clock::now();
        EXPECT_EQ(Call(CMD_GET_SPECTRA, 1, &delivered, buffer), "WARNING: Data polling timeout.");
        const long long elapsed = MsSince(start);
        EXPECT_EQ(delivered, 0u);
        EXPECT_GE(elapsed, c.timeoutMs - Tick) << "gave up before its time-out";
        EXPECT_LT(elapsed, c.timeoutMs + Slack) << "waited far past its time-out";
        ASSERT_EQ(Call(CMD_STOP_MEASUREMENT), "");
    }
    EXPECT_EQ(statusWord, 0u);
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
