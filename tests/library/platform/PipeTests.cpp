// Reading and writing the pipes of an open device: immediate and pending reads, a read ended by
// the wake event or by its time-out, read errors, exact OUT transfers.
#include "TransportTest.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>

namespace {

using FakePlatform::Bytes;

struct ReadOutcome {
    DWORD result = 0xDEAD;
    ULONG count = 0xDEAD;
};

class PipeTest : public TransportTest {
protected:
    void SetUp() override
    {
        TransportTest::SetUp();
        device = OpenUsbDevice(DevGUID, 0);
        ASSERT_NE(device, nullptr) << GetLastError();
        wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        ASSERT_NE(wake, nullptr);
        std::memset(buffer, 0xAA, sizeof(buffer));
    }

    void TearDown() override
    {
        if (device) { // a test that closed the device itself checks what it left
            EXPECT_EQ(CloseUsbDevice(device), 0u);
            EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 0) << "handles left open";
        }
        CloseHandle(wake);
        TransportTest::TearDown();
    }

    ReadOutcome Read(ULONG length, DWORD timeoutMs = INFINITE, bool withWake = true)
    {
        ReadOutcome outcome;
        outcome.result = ReadPipe(device, buffer, length, &outcome.count, timeoutMs, withWake ? wake : nullptr);
        return outcome;
    }

    // Starts a read on another thread and returns once the fake sees it pending.
    std::future<ReadOutcome> ReadInBackground(ULONG length, DWORD timeoutMs = INFINITE)
    {
        auto outcome = std::async(std::launch::async, [=, this] { return Read(length, timeoutMs); });
        EXPECT_TRUE(FakePlatform::WaitForPendingRead(length, WaitMs)) << "no read of " << length << " pending";
        return outcome;
    }

    static Bytes Pattern(size_t length, uint8_t seed)
    {
        Bytes bytes(length);
        for (size_t i = 0; i < length; ++i)
            bytes[i] = static_cast<uint8_t>(seed + i * 13);
        return bytes;
    }

    bool BufferHolds(const Bytes& bytes) const { return std::memcmp(buffer, bytes.data(), bytes.size()) == 0; }

    UsbDevice* device = nullptr;
    HANDLE wake = nullptr;
    uint8_t buffer[800];
};

TEST_F(PipeTest, ReadCompletingAtOnceOrLaterDeliversTheBlock)
{
    const Bytes gpio = {0x03, 0xFF, 0xDD, 0x04, 0x34, 0x12};
    FakePlatform::QueueInBlock(gpio);
    ReadOutcome now = Read(6);
    EXPECT_EQ(now.result, 0u);
    EXPECT_EQ(now.count, 6u);
    EXPECT_TRUE(BufferHolds(gpio));

    const Bytes reply = Pattern(58, 3);
    auto later = ReadInBackground(58);
    FakePlatform::QueueInBlock(reply);
    const ReadOutcome done = later.get();
    EXPECT_EQ(done.result, 0u);
    EXPECT_EQ(done.count, 58u);
    EXPECT_TRUE(BufferHolds(reply));

    // A short block is reported as what it is; the reader decides to drop it.
    FakePlatform::QueueInBlock(Pattern(100, 9));
    const ReadOutcome shortRead = Read(192);
    EXPECT_EQ(shortRead.result, 0u);
    EXPECT_EQ(shortRead.count, 100u);
    EXPECT_EQ(FakePlatform::AbortCount(), 0);
}

TEST_F(PipeTest, WakeEventEndsAPendingReadWithNoBytesAndThePipeAborted)
{
    auto pending = ReadInBackground(768);
    SetEvent(wake);
    const ReadOutcome woken = pending.get();
    EXPECT_EQ(woken.result, 0u);
    EXPECT_EQ(woken.count, 0u);
    EXPECT_EQ(FakePlatform::AbortCount(), 1);
    EXPECT_EQ(FakePlatform::PendingReadLength(), 0u) << "the aborted read is still outstanding";
    EXPECT_EQ(buffer[0], 0xAA);

    // A wake set before the read was issued ends it as soon as it is pending.
    SetEvent(wake);
    const ReadOutcome early = Read(6);
    EXPECT_EQ(early.result, 0u);
    EXPECT_EQ(early.count, 0u);
    EXPECT_EQ(FakePlatform::AbortCount(), 2);

    // Nothing is lost for the next read: a block arriving afterwards is delivered.
    const Bytes next = Pattern(6, 1);
    FakePlatform::QueueInBlock(next);
    const ReadOutcome after = Read(6);
    EXPECT_EQ(after.count, 6u);
    EXPECT_TRUE(BufferHolds(next));
}

TEST_F(PipeTest, ReadFinishingAsItIsAbortedKeepsItsBytes)
{
    const Bytes block = Pattern(6, 77);
    FakePlatform::SetBlockCompletingOnAbort(block);
    auto pending = ReadInBackground(6);
    SetEvent(wake);
    const ReadOutcome outcome = pending.get();
    EXPECT_EQ(outcome.result, 0u);
    EXPECT_EQ(outcome.count, 6u);
    EXPECT_TRUE(BufferHolds(block));
}

// A platform slow to cancel: the woken read is given AbortFinishWaitMs to finish, then left
// outstanding with its record; nothing is read until it has finished, and closing the device
// still ends it.
TEST_F(PipeTest, AbortThatDoesNotFinishIsLeftOutstandingUntilItDoes)
{
    FakePlatform::SetAbortLeavesReadPending(true);
    auto pending = ReadInBackground(768);
    const auto start = std::chrono::steady_clock::now();
    SetEvent(wake);
    ASSERT_EQ(pending.wait_for(std::chrono::seconds(5)), std::future_status::ready) << "the abort is waited for without end";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    const ReadOutcome woken = pending.get();
    EXPECT_EQ(woken.result, static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    EXPECT_EQ(woken.count, 0u);
    EXPECT_EQ(FakePlatform::PendingReadLength(), 768u) << "still the old read";

    // Until it finishes, reads come back at once without reading (a second read would be misuse).
    EXPECT_EQ(Read(6).result, static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    EXPECT_EQ(Read(6, 20, false).result, static_cast<DWORD>(ERROR_IO_INCOMPLETE));

    // The old read finally ends with a block: it is dropped, and the next block is read.
    FakePlatform::QueueInBlock(Pattern(768, 5));
    const Bytes next = Pattern(6, 40);
    FakePlatform::QueueInBlock(next);
    const ReadOutcome after = Read(6);
    EXPECT_EQ(after.result, 0u);
    EXPECT_EQ(after.count, 6u);
    EXPECT_TRUE(BufferHolds(next));

    // Left outstanding once more: closing the device (in TearDown) ends it and releases all.
    auto again = ReadInBackground(192);
    SetEvent(wake);
    EXPECT_EQ(again.get().result, static_cast<DWORD>(ERROR_IO_INCOMPLETE));
}

// A platform that finishes an aborted read only after the device is closed (at an unload, when
// the caller's memory is about to go): the late bytes land in the record left to the platform,
// never in the caller's buffer.
TEST_F(PipeTest, ReadLeftToThePlatformAtCloseNeverWritesIntoTheCallersBuffer)
{
    FakePlatform::SetAbortLeavesReadPending(true);
    FakePlatform::SetFreeLeavesReadPending(true);
    auto pending = ReadInBackground(768);
    SetEvent(wake);
    EXPECT_EQ(pending.get().result, static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CloseUsbDevice(device), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "the close is bounded";
    device = nullptr;
    ASSERT_EQ(FakePlatform::PendingReadLength(), 768u) << "the read was to be still pending";

    std::memset(buffer, 0x5C, sizeof(buffer));
    FakePlatform::QueueInBlock(Pattern(768, 21));
    EXPECT_EQ(FakePlatform::PendingReadLength(), 0u);
    EXPECT_TRUE(std::all_of(std::begin(buffer), std::end(buffer), [](uint8_t b) { return b == 0x5C; }))
        << "the late read wrote into the caller's buffer";
    // Only the read event stays open (the platform completed through it); Reset closes it.
    EXPECT_EQ(FakePlatform::CurrentlyOpen().total(), 1);
}

TEST_F(PipeTest, TimeOutAbortsTheReadAndGives258)
{
    const auto start = std::chrono::steady_clock::now();
    const ReadOutcome outcome = Read(192, 50, false);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(outcome.result, 258u);
    EXPECT_EQ(outcome.count, 0u);
    EXPECT_EQ(FakePlatform::AbortCount(), 1);
    EXPECT_EQ(FakePlatform::PendingReadLength(), 0u);
    EXPECT_LT(elapsed, std::chrono::seconds(5));

    // Without a wake event only the completion ends the wait.
    auto pending = std::async(std::launch::async, [this] { return Read(6, INFINITE, false); });
    ASSERT_TRUE(FakePlatform::WaitForPendingRead(6, WaitMs));
    SetEvent(wake);
    EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    FakePlatform::QueueInBlock(Pattern(6, 2));
    EXPECT_EQ(pending.get().count, 6u);
}

TEST_F(PipeTest, ReadErrorsComeBackAsTheirCode)
{
    FakePlatform::QueueReadError(ERROR_GEN_FAILURE);
    EXPECT_EQ(Read(6).result, 31u);

    auto pending = ReadInBackground(384);
    FakePlatform::QueueReadError(ERROR_GEN_FAILURE);
    const ReadOutcome failed = pending.get();
    EXPECT_EQ(failed.result, 31u);
    EXPECT_EQ(failed.count, 0u);
    EXPECT_EQ(FakePlatform::AbortCount(), 0);
}

TEST_F(PipeTest, MissingArgumentsGive87WithoutARead)
{
    ULONG count = 5;
    EXPECT_EQ(ReadPipe(nullptr, buffer, 6, &count, INFINITE, wake), 87u);
    EXPECT_EQ(ReadPipe(device, nullptr, 6, &count, INFINITE, wake), 87u);
    EXPECT_EQ(ReadPipe(device, buffer, 6, nullptr, INFINITE, wake), 87u);
    EXPECT_EQ(ReadPipe(device, buffer, 0, &count, INFINITE, wake), 87u);
    EXPECT_EQ(ReadPipe(device, buffer, ReadCapacity + 1, &count, INFINITE, wake), 87u);
    EXPECT_EQ(FakePlatform::PendingReadLength(), 0u);

    ULONG written = 7;
    SetLastError(0);
    EXPECT_FALSE(WritePipe(nullptr, buffer, 4, &written));
    EXPECT_EQ(GetLastError(), 87u);
    EXPECT_FALSE(WritePipe(device, nullptr, 4, &written));
    EXPECT_FALSE(WritePipe(device, buffer, 4, nullptr));
    EXPECT_FALSE(WritePipe(device, buffer, 0, &written));
    EXPECT_TRUE(FakePlatform::OutTransfers().empty());
}

TEST_F(PipeTest, WrittenBytesReachTheDeviceExactlyWhileAReadIsPending)
{
    auto pending = ReadInBackground(6);

    const Bytes stop = {0x03, 0xFF, 0xFF, 0x00};
    Bytes dac = {0x03, 0xFF, 0x11, 0x00};
    const Bytes table = Pattern(2000, 5);
    dac.insert(dac.end(), table.begin(), table.end());

    ULONG written = 0;
    ASSERT_TRUE(WritePipe(device, stop.data(), static_cast<ULONG>(stop.size()), &written));
    EXPECT_EQ(written, 4u);
    ASSERT_TRUE(WritePipe(device, dac.data(), static_cast<ULONG>(dac.size()), &written));
    EXPECT_EQ(written, 2004u);
    EXPECT_EQ(FakePlatform::OutTransfers(), (std::vector<Bytes>{stop, dac}));

    // A failing write reports the platform's error.
    FakePlatform::QueueWriteError(ERROR_GEN_FAILURE);
    EXPECT_FALSE(WritePipe(device, stop.data(), 4, &written));
    EXPECT_EQ(GetLastError(), 31u);

    SetEvent(wake);
    EXPECT_EQ(pending.get().count, 0u);
}

} // namespace
