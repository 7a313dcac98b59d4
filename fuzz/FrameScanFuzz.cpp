// The frame scanner on any received block: every frame it finds lies wholly inside the block,
// starts with the marker, has its tag's length and comes after the one before; the scan always
// ends at the block's end; a block it calls whole frames (of 192 bytes, or of any kind) is read as
// exactly those frames.
#include "FrameScanner.h"
#include "FuzzInput.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto block = ExactCopy(data, size);
    const uint8_t* bytes = block.get();
    size_t pos = 0;
    FoundFrame frame{};
    std::vector<FoundFrame> frames;
    while (NextFrame(bytes, size, pos, frame)) {
        FUZZ_CHECK(frame.length > 0 && frame.length == FrameLength(frame.tag));
        FUZZ_CHECK(frame.offset + frame.length <= size);
        FUZZ_CHECK(frames.empty() || frame.offset >= frames.back().offset + frames.back().length);
        FUZZ_CHECK(pos == frame.offset + frame.length);
        FUZZ_CHECK(bytes[frame.offset] == 0x03 && bytes[frame.offset + 1] == 0xFF);
        FUZZ_CHECK((bytes[frame.offset + 2] | bytes[frame.offset + 3] << 8) == frame.tag);
        FUZZ_CHECK(frame.payloadOffset > frame.offset && frame.payloadOffset <= frame.offset + frame.length);
        frames.push_back(frame);
    }
    if (size > LargestParsedBlock)
        FUZZ_CHECK(frames.empty() && pos == 0);
    else
        FUZZ_CHECK(pos == size);

    if (IsWholeFrameBlock(bytes, size)) {
        FUZZ_CHECK(size > 0 && size % SpectrumFrameLength == 0 && size <= LargestParsedBlock);
        FUZZ_CHECK(frames.size() == size / SpectrumFrameLength);
        for (size_t i = 0; i < frames.size(); ++i)
            FUZZ_CHECK(frames[i].offset == i * SpectrumFrameLength && frames[i].length == SpectrumFrameLength);
    }
    if (HoldsWholeFramesOnly(bytes, size)) {
        FUZZ_CHECK(!frames.empty() && frames.front().offset == 0);
        for (size_t i = 1; i < frames.size(); ++i)
            FUZZ_CHECK(frames[i].offset == frames[i - 1].offset + frames[i - 1].length);
        FUZZ_CHECK(frames.back().offset + frames.back().length == size);
    }
    if (IsWholeFrameBlock(bytes, size))
        FUZZ_CHECK(HoldsWholeFramesOnly(bytes, size));
    return 0;
}
