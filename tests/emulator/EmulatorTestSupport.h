// Helpers shared by the emulator tests: request frames as the library would send them, and
// frames picked out of device transfers.
#pragma once

#include "DeviceModel.h"
#include "FrameScanner.h"
#include "KalvixCtrl.h"

#include <cstring>
#include <initializer_list>
#include <vector>

inline std::vector<uint8_t> Req(uint16_t opcode, std::initializer_list<uint16_t> words = {})
{
    std::vector<uint8_t> bytes(4 + 2 * words.size());
    PutU16(bytes.data(), FrameMarker);
    PutU16(bytes.data() + 2, opcode);
    size_t at = 4;
    for (uint16_t w : words) {
        PutU16(bytes.data() + at, w);
        at += 2;
    }
    return bytes;
}

inline std::vector<uint8_t> ReqBlock(uint16_t opcode, const void* block, size_t length)
{
    std::vector<uint8_t> bytes(4 + length);
    PutU16(bytes.data(), FrameMarker);
    PutU16(bytes.data() + 2, opcode);
    memcpy(bytes.data() + 4, block, length);
    return bytes;
}

inline void Send(DeviceModel& device, const std::vector<uint8_t>& bytes, Micros now)
{
    ReceiveRequest(device, bytes.data(), bytes.size(), now);
}

// The next transfer for a read of `capacity` bytes; empty when nothing is ready.
inline std::vector<uint8_t> Take(DeviceModel& device, size_t capacity, Micros now)
{
    std::vector<uint8_t> out(capacity);
    const int n = TakeTransfer(device, out.data(), capacity, now);
    if (n < 0)
        return {};
    out.resize(static_cast<size_t>(n));
    return out;
}

inline std::vector<FoundFrame> FramesIn(const std::vector<uint8_t>& block)
{
    std::vector<FoundFrame> frames;
    size_t pos = 0;
    FoundFrame frame;
    while (NextFrame(block.data(), block.size(), pos, frame))
        frames.push_back(frame);
    return frames;
}

inline SpectrumRecord SpectrumAt(const std::vector<uint8_t>& block, size_t offset)
{
    SpectrumRecord record;
    memcpy(&record, block.data() + offset, sizeof record);
    return record;
}

// MeasCounts of the spectrum frames in a block, in order.
inline std::vector<uint32_t> MeasCountsIn(const std::vector<uint8_t>& block)
{
    std::vector<uint32_t> counts;
    for (const FoundFrame& frame : FramesIn(block))
        if (frame.tag == TagSpectrum)
            counts.push_back(SpectrumAt(block, frame.offset).MeasCount);
    return counts;
}
