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

bool IsWholeFrameBlock(const uint8_t* bytes, size_t n)
{
    if (n == 0 || n % SpectrumFrameLength != 0 || n > LargestParsedBlock)
        return false;
    for (size_t pos = 0; pos < n; pos += SpectrumFrameLength)
        if (WordAt(bytes, pos) != FrameMarker || FrameLength(WordAt(bytes, pos + 2)) != SpectrumFrameLength)
            return false;
    return true;
}
