// Index and lap arithmetic of the 500-slot spectrum ring.
#include "RingIndexes.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>

namespace {

constexpr uint16_t Capacity = 500;

struct Counts {
    int signals = 0, overruns = 0, resets = 0;
    void Add(const RingAdvance& a)
    {
        signals += a.signal;
        overruns += a.overrun;
        resets += a.resetEvent;
    }
};

TEST(Ring, FillingTheWholeRingIsNoOverrunButOneMoreIs)
{
    RingIndexes ring{};
    Counts counts;
    for (int i = 0; i < 499; ++i)
        counts.Add(AdvanceRingIndexes(ring, 1, 0, Capacity));
    EXPECT_EQ(ring.write, 499);
    EXPECT_EQ(ring.lap, 0x00);

    RingAdvance last = AdvanceRingIndexes(ring, 1, 0, Capacity); // the 500th record fills the ring
    EXPECT_TRUE(last.signal);
    EXPECT_FALSE(last.overrun);
    EXPECT_EQ(ring.write, 0);
    EXPECT_EQ(ring.lap, 0xFF);
    EXPECT_EQ(counts.overruns, 0);
    EXPECT_EQ(counts.signals, 499);

    RingAdvance over = AdvanceRingIndexes(ring, 1, 0, Capacity);
    EXPECT_TRUE(over.overrun);
    EXPECT_TRUE(over.signal); // still a full ring to read
    EXPECT_EQ(ring.write, 1);
}

TEST(Ring, ReaderSignalsWhileRecordsRemainAndNotWhenCaughtUp)
{
    RingIndexes ring{};
    for (int i = 0; i < 3; ++i)
        AdvanceRingIndexes(ring, 1, 0, Capacity);
    EXPECT_TRUE(AdvanceRingIndexes(ring, 0, 1, Capacity).signal);  // 2 left
    EXPECT_TRUE(AdvanceRingIndexes(ring, 0, 1, Capacity).signal);  // 1 left
    RingAdvance caughtUp = AdvanceRingIndexes(ring, 0, 1, Capacity);
    EXPECT_FALSE(caughtUp.signal);
    EXPECT_FALSE(caughtUp.overrun);
}

TEST(Ring, ReadIndexWrapKeepsSignallingForRecordsStoredAfterTheWritersWrap)
{
    RingIndexes ring{0x00, 499, 498};
    AdvanceRingIndexes(ring, 0, 1, Capacity); // read 498: slot 499 is left
    AdvanceRingIndexes(ring, 1, 0, Capacity); // the writer wraps
    EXPECT_EQ(ring.lap, 0xFF);
    AdvanceRingIndexes(ring, 1, 0, Capacity);
    EXPECT_EQ(ring.write, 1);

    RingAdvance wrap = AdvanceRingIndexes(ring, 0, 1, Capacity); // read slot 499, index 500 -> 0
    EXPECT_EQ(ring.read, 0);
    EXPECT_EQ(ring.lap, 0x00);
    EXPECT_FALSE(wrap.resetEvent); // slot 0 is waiting
    EXPECT_TRUE(wrap.signal);

    RingAdvance last = AdvanceRingIndexes(ring, 0, 1, Capacity); // read slot 0: caught up
    EXPECT_FALSE(last.signal);
    EXPECT_TRUE(AdvanceRingIndexes(ring, 1, 0, Capacity).signal); // the next stored record signals
}

TEST(Ring, ReadIndexWrapOnAnEmptyRingResetsTheEvent)
{
    RingIndexes ring{0xFF, 0, 499}; // one record left, in slot 499
    RingAdvance wrap = AdvanceRingIndexes(ring, 0, 1, Capacity);
    EXPECT_TRUE(wrap.resetEvent);
    EXPECT_FALSE(wrap.signal);
    EXPECT_EQ(ring.lap, 0x00);
    EXPECT_EQ(ring.read, 0);
}

TEST(Ring, AfterAnOverrunTheReaderGetsTheNewestFullRingInOrder)
{
    RingIndexes ring{};
    for (int i = 0; i < 504; ++i)
        AdvanceRingIndexes(ring, 1, 0, Capacity);
    // The ring holds records 4..503; the oldest, 4, is next.
    EXPECT_EQ(ring.read, 4);
    EXPECT_EQ(ring.write, 4);
    EXPECT_EQ(ring.lap, 0xFF);
    int delivered = 0;
    bool signalled = true;
    while (signalled) {
        ++delivered;
        signalled = AdvanceRingIndexes(ring, 0, 1, Capacity).signal;
    }
    EXPECT_EQ(delivered, 500);
    EXPECT_EQ(ring.read, ring.write);
    EXPECT_EQ(ring.lap, 0x00);
}

TEST(Ring, WriterKeepsOverwritingAfterAnOverrun)
{
    RingIndexes ring{};
    Counts counts;
    for (int i = 0; i < 1200; ++i)
        counts.Add(AdvanceRingIndexes(ring, 1, 0, Capacity));
    // Every record after the first 500 passes the reader; the ring stays full.
    EXPECT_EQ(counts.overruns, 700);
    EXPECT_EQ(ring.write, 1200 % 500);
    EXPECT_EQ(ring.read, ring.write);
    EXPECT_EQ(ring.lap, 0xFF);
}

// Random runs of stores and reads against a plain queue that drops its oldest entry when full:
// the indexes always name real slots, the unread count and the order of delivery agree, and a
// read of an empty ring moves nothing.
TEST(Ring, AgreesWithADropOldestQueueOverRandomRuns)
{
    for (const uint16_t capacity : {uint16_t{1}, uint16_t{2}, uint16_t{7}, Capacity}) {
        std::mt19937 random(capacity);
        RingIndexes ring{};
        std::deque<uint32_t> model;
        std::vector<uint32_t> slots(capacity);
        uint32_t next = 0;
        for (int step = 0; step < 20000; ++step) {
            // Phases where the writer or the reader is the faster one.
            const bool store = random() % 100 < ((step / 1000) % 2 ? 70u : 30u);
            if (store) {
                slots[ring.write] = next;
                const RingAdvance a = AdvanceRingIndexes(ring, 1, 0, capacity);
                EXPECT_EQ(a.overrun, model.size() == capacity);
                if (model.size() == capacity)
                    model.pop_front();
                model.push_back(next++);
                EXPECT_TRUE(a.signal);
            } else {
                const uint16_t before = ring.read;
                const RingAdvance a = AdvanceRingIndexes(ring, 0, 1, capacity);
                if (model.empty()) {
                    EXPECT_EQ(ring.read, before);
                    EXPECT_FALSE(a.signal || a.overrun || a.resetEvent);
                } else {
                    ASSERT_EQ(slots[before], model.front()) << "step " << step;
                    model.pop_front();
                    EXPECT_EQ(a.signal, !model.empty());
                    EXPECT_FALSE(a.overrun);
                }
            }
            ASSERT_LT(ring.write, capacity);
            ASSERT_LT(ring.read, capacity);
            ASSERT_TRUE(ring.lap == 0x00 || ring.lap == 0xFF);
            ASSERT_EQ(RingUnread(ring, capacity), model.size()) << "capacity " << capacity << ", step " << step;
        }
    }
}

} // namespace
