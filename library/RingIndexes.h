// Index and lap arithmetic of the spectrum ring, free of any platform code.
#pragma once

#include <cstdint>

struct RingIndexes {
    uint8_t lap;    // 0x00: writer and reader on the same lap; 0xFF: the writer has wrapped once more
    uint16_t write; // slot the next stored spectrum goes to
    uint16_t read;  // slot the next delivered spectrum comes from
};

// What the caller must do after an index update.
struct RingAdvance {
    bool signal;     // unread records exist: set the ring event
    bool overrun;    // the writer passed the reader: post the overrun status
    bool resetEvent; // the read index wrapped: reset the ring event
};

// Moves the write index by `writeStep` and the read index by `readStep` in a ring of `capacity`
// slots. The signal/overrun test looks at the indexes before they wrap, so an index may
// momentarily stand at `capacity`. Equal indexes mean empty on the same lap and full on the
// next. A writer that passes the reader reports an overrun and drops the oldest record.
RingAdvance AdvanceRingIndexes(RingIndexes& ring, uint16_t writeStep, uint16_t readStep, uint16_t capacity);
