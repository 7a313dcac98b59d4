#include "FrameScanner.h"

namespace {

uint16_t WordAt(const uint8_t* bytes, size_t pos)
{
    return static_cast<uint16_t>(bytes[pos] | (bytes[pos + 1] << 8));
}

size_t PayloadOffset(uint16_t tag)
{
    switch (tag) {
    case TagI2cReply: return I2cReplyDataOffset;
    case TagAcknowledge: return AcknowledgeFrameLength; // just past the frame; nothing reads it
    default: return ReplyPayloadOffset;
    }
}

} // namespace

size_t FrameLength(uint16_t tag)
{
    switch (tag) {
    case TagSpectrum: return SpectrumFrameLength;
    case TagTextReply: return TextReplyFrameLength;
    case TagI2cReply: return I2cReplyFrameLength;
    case TagConfigReply: return ConfigReplyFrameLength;
    case TagGpioStatus: return GpioStatusFrameLength;
    case TagAcknowledge: return AcknowledgeFrameLength;
    default: return 0;
    }
}

bool NextFrame(const uint8_t* bytes, size_t n, size_t& pos, FoundFrame& frame)
{
    if (n > LargestParsedBlock)
        return false;
    while (pos + 4 <= n) {
        if (WordAt(bytes, pos) != FrameMarker) {
            ++pos;
            continue;
        }
        const uint16_t tag = WordAt(bytes, pos + 2);
        const size_t length = FrameLength(tag);
        if (length == 0) {
            ++pos;
            continue;
        }
        if (pos + length > n) {
            pos = n; // cut off by the end of the block: dropped
            return false;
        }
        frame = FoundFrame{tag, pos, length, pos + PayloadOffset(tag)};
        pos += length;
        return true;
    }
    pos = n;
    return false;
}

namespace {

// Frames back to back from the first byte to the last, each accepted by `fits` (given its length).
template <typename Fits>
bool FramesBackToBack(const uint8_t* bytes, size_t n, Fits fits)
{
    if (n == 0 || n > LargestParsedBlock)
        return false;
    size_t pos = 0;
    while (pos + 4 <= n) {
        const size_t length = WordAt(bytes, pos) == FrameMarker ? FrameLength(WordAt(bytes, pos + 2)) : 0;
        if (length == 0 || !fits(length) || pos + length > n)
            return false;
        pos += length;
    }
    return pos == n;
}

} // namespace

bool IsWholeFrameBlock(const uint8_t* bytes, size_t n)
{
    return FramesBackToBack(bytes, n, [](size_t length) { return length == SpectrumFrameLength; });
}

bool HoldsWholeFramesOnly(const uint8_t* bytes, size_t n)
{
    return FramesBackToBack(bytes, n, [](size_t) { return true; });
}
