// Finds the device's frames in a received block, free of any platform code.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint16_t FrameMarker = 0xFF03;

enum FrameTag : uint16_t {
    TagSpectrum = 0x01DD,
    TagTextReply = 0x02CC,
    TagI2cReply = 0x02DD,
    TagConfigReply = 0x03DD,
    TagGpioStatus = 0x04DD,
    TagAcknowledge = 0x05CC,
};

constexpr size_t SpectrumFrameLength = 192;
constexpr size_t TextReplyFrameLength = 58;
constexpr size_t I2cReplyFrameLength = 192;
constexpr size_t ConfigReplyFrameLength = 276;
constexpr size_t GpioStatusFrameLength = 6;
constexpr size_t AcknowledgeFrameLength = 12;
constexpr size_t LargestParsedBlock = 768;

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
