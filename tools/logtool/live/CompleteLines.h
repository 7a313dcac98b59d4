// Splitting bytes read from a growing log into the lines that are complete: a line counts once its
// LF has arrived, so a half line, or a CR LF of which only the CR has been written, waits for the
// next read. A line longer than TextLongestLine is reported once, by its number, and its bytes are
// passed over without being kept, however long it goes on.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

struct LineScan {
    uint64_t line = 0;          // complete lines so far
    bool skipping = false;      // inside a line already reported as too long
};

struct CompleteLine {
    std::string_view text;      // without its CR LF (or LF); empty for a line that is too long
    uint64_t offset = 0;        // of its first byte in the file
    uint64_t end = 0;           // past its LF
    uint64_t number = 0;        // 1-based line number
    bool tooLong = false;       // longer than TextLongestLine: reported once, as soon as that is known
};

// Hands every complete line of `bytes` (read from file offset `offset`) to `use`, and a line found
// too long once; returns how many bytes were used up: the rest is the start of a line that has no
// LF yet, to be read again with what follows it.
size_t ScanCompleteLines(std::string_view bytes, uint64_t offset, LineScan& scan,
                         const std::function<void(const CompleteLine&)>& use);
