// The ring's index arithmetic against a plain queue that drops its oldest entry when full, over
// any run of stores, reads and both at once, in a ring of any capacity up to 500.
#include "FuzzInput.h"
#include "RingIndexes.h"

#include <deque>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const auto capacity = static_cast<uint16_t>(1 + input.Below(500));
    RingIndexes ring{};
    std::deque<uint32_t> model;
    std::vector<uint32_t> slots(capacity);
    uint32_t next = 0;
    while (input.Left() > 0) {
        const uint8_t op = input.Take<uint8_t>() % 3; // 0 read, 1 store, 2 store and read
        const bool store = op != 0, read = op != 1;
        const uint16_t readFrom = ring.read;
        if (store)
            slots[ring.write] = next;
        const bool full = model.size() == capacity;
        const RingAdvance advance = AdvanceRingIndexes(ring, store, read, capacity);

        if (store) {
            if (full)
                model.pop_front();
            model.push_back(next++);
        }
        FUZZ_CHECK(advance.overrun == (store && full));
        if (read && !model.empty()) {
            // A full ring read in the same step starts at the record after the one dropped.
            const uint16_t from = store && full ? static_cast<uint16_t>((readFrom + 1) % capacity) : readFrom;
            FUZZ_CHECK(slots[from] == model.front());
            model.pop_front();
        } else if (read) {
            FUZZ_CHECK(ring.read == readFrom);
        }
        FUZZ_CHECK(ring.write < capacity && ring.read < capacity);
        FUZZ_CHECK(ring.lap == 0x00 || ring.lap == 0xFF);
        FUZZ_CHECK(RingUnread(ring, capacity) == model.size());
        FUZZ_CHECK(advance.signal == !model.empty());
        FUZZ_CHECK(!advance.resetEvent || (model.empty() && ring.read == 0));
    }
    return 0;
}
