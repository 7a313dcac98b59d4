// Finds the device's frames in a received block, free of any platform code.
#pragma once

#include "FrameFormat.h"

#include <cstddef>
#include <cstdint>

// The reader's longest transfer: four spectrum frames.
constexpr size_t LargestParsedBlock = 4 * SpectrumFrameLength;

struct FoundFrame {
    uint16_t tag;
    size_t offset;        // where the marker starts
    size_t length;        // whole frame, marker and tag included
    size_t payloadOffset; // where the reply's payload starts (from the block's start)
};

// Length of a frame with this tag, or 0 for an unknown tag.
size_t FrameLength(uint16_t tag);

// Finds the next whole frame at or after `pos` in the `n` bytes and moves `pos` past it.
// Bytes that do not start a known frame are skipped one by one. A frame that does not lie
// wholly inside the n bytes is dropped and ends the scan. Blocks longer than 768 bytes are not
// scanned at all.
bool NextFrame(const uint8_t* bytes, size_t n, size_t& pos, FoundFrame& frame);

// True for one or more whole 192-byte frames (spectra or I2C replies) back to back and nothing
// else: what a device sends when fewer frames than a full transfer are ready.
bool IsWholeFrameBlock(const uint8_t* bytes, size_t n);

// True for one or more whole frames of any known kind back to back and nothing else.
bool HoldsWholeFramesOnly(const uint8_t* bytes, size_t n);
