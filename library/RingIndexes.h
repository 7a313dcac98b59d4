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
    bool resetEvent; // the read index wrapped onto an empty ring: reset the ring event
};

// Records stored and not yet delivered: 0 .. capacity. Equal indexes mean empty on the same lap
// and full on the next.
uint16_t RingUnread(const RingIndexes& ring, uint16_t capacity);

// Moves the write index by `writeStep` and the read index by `readStep` (each 0 or 1) in a ring
// of `capacity` slots. The new indexes and lap are worked out in locals and stored once, already
// wrapped, so the ring never holds an index at `capacity`. A writer that passes the reader
// reports an overrun and drops the oldest record (the read index moves along with it); a read
// step on an empty ring moves nothing.
RingAdvance AdvanceRingIndexes(RingIndexes& ring, uint16_t writeStep, uint16_t readStep, uint16_t capacity);
