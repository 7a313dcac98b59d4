// Which frames are found where in a received block, and what parsing does with each.
#include "FrameBuilders.h"
#include "FrameScanner.h"
#include "LibraryState.h"
#include "Protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>

namespace {

std::vector<FoundFrame> Scan(const Bytes& block)
{
    std::vector<FoundFrame> frames;
    size_t pos = 0;
    FoundFrame frame;
    while (NextFrame(block.data(), block.size(), pos, frame))
        frames.push_back(frame);
    return frames;
}

TEST(FrameScan, FindsBackToBackSpectraOfAFullTransfer)
{
    const Bytes block = Concat({SpectrumFrame(1), SpectrumFrame(2), SpectrumFrame(3), SpectrumFrame(4)});
    const auto frames = Scan(block);
    ASSERT_EQ(frames.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(frames[i].tag, TagSpectrum);
        EXPECT_EQ(frames[i].offset, 192 * i);
    }
}

TEST(FrameScan, SkipsNoiseByteByByteAndUnknownTags)
{
    // a stray byte, a marker with an unknown tag, a lone marker byte, then a GPIO frame
    const Bytes block = Concat({{0x00}, {0x03, 0xFF, 0x77, 0x07}, {0xFF, 0x03}, GpioFrame(0x1234)});
    const auto frames = Scan(block);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].tag, TagGpioStatus);
    EXPECT_EQ(frames[0].offset, 7u);
}

TEST(FrameScan, ReplyPayloadOffsets)
{
    const auto text = Scan(Concat({{0xAA}, TextReplyFrame("x")}));
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].payloadOffset, 1u + 4);
    const auto i2c = Scan(I2cReplyFrame({1, 2, 3}));
    ASSERT_EQ(i2c.size(), 1u);
    EXPECT_EQ(i2c[0].payloadOffset, 10u);
    const auto config = Scan(ConfigReplyFrame(Bytes(272, 1)));
    ASSERT_EQ(config.size(), 1u);
    EXPECT_EQ(config[0].length, 276u);
}

TEST(FrameScan, FrameCutOffByTheEndOfTheBlockIsDropped)
{
    // One stray byte shifts the fourth spectrum so that its last byte lies beyond the block.
    Bytes block = Concat({{0x00}, SpectrumFrame(1), SpectrumFrame(2), SpectrumFrame(3), SpectrumFrame(4)});
    block.resize(768);
    const auto frames = Scan(block);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[2].offset, 1u + 2 * 192);

    // A marker and tag in the last bytes: nothing is read past the end.
    const Bytes tail = Concat({GpioFrame(1), {0x03, 0xFF, 0xDD, 0x01}});
    EXPECT_EQ(Scan(tail).size(), 1u);
    EXPECT_EQ(Scan(Bytes{0x03, 0xFF, 0xDD}).size(), 0u);
}

// Two rules for short blocks: whole 192-byte frames only (what measuring accepts) and whole frames
// of any kind (what the wait for queued spectra after a stop accepts).
TEST(FrameScan, WholeFrameBlocksAreOnlyBackToBackFrames)
{
    const Bytes s1 = SpectrumFrame(1), s2 = SpectrumFrame(2), i2c = I2cReplyFrame({7}), gpio = GpioFrame(1);
    Bytes wrongTag = SpectrumFrame(3);
    wrongTag[2] = 0xCC; // a text reply's tag: 58 bytes long
    const struct {
        const char* what;
        Bytes block;
        bool whole192;
        bool wholeAny;
    } cases[] = {
        {"one spectrum", s1, true, true},
        {"a lone I2C reply", i2c, true, true},
        {"spectrum and reply", Concat({s1, i2c}), true, true},
        {"four spectra", Concat({s1, s2, s1, s2}), true, true},
        {"five frames: longer than any transfer", Concat({s1, s2, s1, s2, s1}), false, false},
        {"empty", {}, false, false},
        {"a byte short", Bytes(s1.begin(), s1.end() - 1), false, false},
        {"a byte over", Concat({s1, {0}}), false, false},
        {"noise before", Concat({{0}, Bytes(s1.begin(), s1.end() - 1)}), false, false},
        {"second slot zeros", Concat({s1, Bytes(192, 0)}), false, false},
        {"a frame of another length cut short", Concat({s1, wrongTag}), false, false},
        {"a GPIO frame padded", Padded(GpioFrame(1), 192), false, false},
        {"a GPIO frame", gpio, false, true},
        {"a GPIO frame after a spectrum", Concat({s1, gpio}), false, true},
        {"two GPIO frames", Concat({gpio, gpio}), false, true},
        {"a GPIO frame and a byte", Concat({gpio, {0x03}}), false, false},
        {"a GPIO frame's first half", Bytes(gpio.begin(), gpio.begin() + 3), false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsWholeFrameBlock(c.block.data(), c.block.size()), c.whole192) << c.what;
        EXPECT_EQ(HoldsWholeFramesOnly(c.block.data(), c.block.size()), c.wholeAny) << c.what;
    }
}

TEST(FrameScan, BlocksLongerThanTheReceiveBufferAreNotParsed)
{
    Bytes block = Concat({SpectrumFrame(1), SpectrumFrame(2), SpectrumFrame(3), SpectrumFrame(4)});
    block.push_back(0);
    EXPECT_TRUE(Scan(block).empty());
}

// ParseBlock on a state of its own: this thread plays the reader.
class ParseBlockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state = std::make_unique<LibraryState>();
        state->ring.event = OwnedEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        state->ReplyLock = OwnedMutex(CreateMutexA(nullptr, TRUE, nullptr));
        state->ReaderHoldsReplyLock = true;
        state->ReplyTaken = OwnedEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        state->StatusWord = &status;
        state->GpioWord = &gpio;
    }
    void TearDown() override
    {
        state->ring.event.Reset();
        state->ReplyLock.Reset();
        state->ReplyTaken.Reset();
    }
    void Parse(const Bytes& block)
    {
        memcpy(state->ReceiveBuffer, block.data(), block.size());
        ParseBlock(*state, block.size());
    }
    std::unique_ptr<LibraryState> state;
    uint32_t status = 0;
    uint32_t gpio = 0;
};

TEST_F(ParseBlockTest, StoresSpectraOnlyWhileMeasuring)
{
    const Bytes block = Concat({SpectrumFrame(10), SpectrumFrame(11), SpectrumFrame(12), SpectrumFrame(13)});
    state->ring.waiters = 1; // a caller waits on the ring event
    Parse(block);
    EXPECT_EQ(state->ring.indexes.write, 0);
    EXPECT_EQ(WaitForSingleObject(state->ring.event.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    state->mode = ModeMeasuring;
    Parse(block);
    EXPECT_EQ(state->ring.indexes.write, 4);
    EXPECT_EQ(WaitForSingleObject(state->ring.event.Get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(MeasCountOf(state->ring.slots[i]), 10u + i);
        EXPECT_EQ(memcmp(state->ring.slots[i], block.data() + 192 * i, 192), 0) << "record " << i;
    }
    EXPECT_EQ(status, 0u);
}

TEST_F(ParseBlockTest, GpioStatusKeepsTheUpperHalfAndReachesTheRegisteredWord)
{
    state->GpioStatus = 0xABCD0000u;
    Parse({0x03, 0xFF, 0xDD, 0x04, 0x34, 0x12});
    EXPECT_EQ(state->GpioStatus.load(), 0xABCD1234u);
    EXPECT_EQ(gpio, 0xABCD1234u);
}

// Identification replies arriving before a command announces what it expects, after that but
// before it waits, while it waits, and after it has given up, each with a text of its own. The
// reader here holds ReplyLock only while it parses, so a reply it wrongly kept or handed over
// stays there for the command that comes next to find.
TEST_F(ParseBlockTest, EachReplyReachesOnlyTheRequestWaitingForIt)
{
    enum class Op {
        Announce,         // the command tells the reader which reply it expects
        Arrive,           // the reader parses a reply with this text
        Fetch,            // the command takes its reply: this text, or none (nullptr)
        FetchWhileArriving, // the command waits, and the reply with this text arrives meanwhile
    };
    struct Step {
        Op op;
        const char* text;
    };
    const struct {
        const char* what;
        std::vector<Step> steps;
    } cases[] = {
        {"reply before the command waits",
         {{Op::Announce, nullptr}, {Op::Arrive, "RIGHT A"}, {Op::Fetch, "RIGHT A"}, {Op::Fetch, nullptr}}},
        {"reply while the command waits",
         {{Op::Announce, nullptr}, {Op::FetchWhileArriving, "RIGHT B"}, {Op::Fetch, nullptr}}},
        {"reply before anything is expected, nothing after",
         {{Op::Arrive, "STALE C"}, {Op::Announce, nullptr}, {Op::Fetch, nullptr}}},
        {"reply before anything is expected, the right one after",
         {{Op::Arrive, "STALE D"}, {Op::Announce, nullptr}, {Op::FetchWhileArriving, "RIGHT D"}}},
        {"late reply, the next request unanswered",
         {{Op::Announce, nullptr}, {Op::Fetch, nullptr}, {Op::Arrive, "LATE E"}, {Op::Announce, nullptr},
          {Op::Fetch, nullptr}}},
        {"late reply, the next request answered",
         {{Op::Announce, nullptr}, {Op::Fetch, nullptr}, {Op::Arrive, "LATE F"}, {Op::Announce, nullptr},
          {Op::Arrive, "RIGHT F"}, {Op::Fetch, "RIGHT F"}}},
    };

    const auto arrive = [&](const char* text) {
        ASSERT_EQ(WaitForSingleObject(state->ReplyLock.Get(), 5000), static_cast<DWORD>(WAIT_OBJECT_0));
        state->ReaderHoldsReplyLock = true;
        Parse(TextReplyFrame(text));
        if (state->ReaderHoldsReplyLock) // it may have failed to take the lock back after a hand-over
            ReleaseMutex(state->ReplyLock.Get());
        state->ReaderHoldsReplyLock = false;
    };
    const auto fetch = [&] {
        char text[64] = {};
        const int result = FetchReplyText(*state, reinterpret_cast<uint8_t*>(text));
        return result == 0 ? std::string(text) : result == RESULT_NO_RESPONSE ? "none" : "error " + std::to_string(result);
    };
    ReleaseMutex(state->ReplyLock.Get());
    state->ReaderHoldsReplyLock = false;
    const HANDLE fetching = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            const std::string expected = step.text ? step.text : "none";
            switch (step.op) {
            case Op::Announce:
                ExpectReply(*state, TagTextReply);
                break;
            case Op::Arrive:
                arrive(step.text);
                break;
            case Op::Fetch:
                EXPECT_EQ(fetch(), expected) << "step " << i;
                break;
            case Op::FetchWhileArriving: {
                std::string got;
                std::thread command([&] {
                    SetEvent(fetching);
                    got = fetch();
                });
                WaitForSingleObject(fetching, 5000);
                arrive(step.text);
                command.join();
                EXPECT_EQ(got, expected) << "step " << i;
                break;
            }
            }
        }
        ExpectReply(*state, 0);
    }
    CloseHandle(fetching);
    // The fixture's reader holds the lock.
    WaitForSingleObject(state->ReplyLock.Get(), 5000);
    EXPECT_EQ(status, 0u);
}

TEST_F(ParseBlockTest, RepliesNobodyAskedForAreNotHandedOver)
{
    uint8_t text[64] = {};
    ExpectReply(*state, TagTextReply);
    // An acknowledge frame and a configuration reply are not the text the command waits for.
    Bytes ack(12, 0);
    ack[0] = 0x03;
    ack[1] = 0xFF;
    ack[2] = 0xCC;
    ack[3] = 0x05;
    Parse(ack);
    Parse(ConfigReplyFrame(Bytes(272, 0x42)));
    int fetched = -1;
    std::thread command([&] { fetched = FetchReplyText(*state, text); });
    command.join();
    EXPECT_EQ(fetched, RESULT_NO_RESPONSE);
    EXPECT_EQ(text[0], 0);
}

} // namespace
