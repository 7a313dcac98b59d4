#include "FrameBuilders.h"

#include <cstring>

namespace {

Bytes Header(uint16_t tag, size_t length)
{
    Bytes frame(length, 0);
    frame[0] = 0x03;
    frame[1] = 0xFF;
    frame[2] = static_cast<uint8_t>(tag & 0xFF);
    frame[3] = static_cast<uint8_t>(tag >> 8);
    return frame;
}

} // namespace

Bytes SpectrumFrame(uint32_t measCount)
{
    Bytes frame = Header(0x01DD, 192);
    memcpy(&frame[8], &measCount, 4);
    for (int i = 0; i < 15; ++i) {
        const float module = 100.0f + static_cast<float>(measCount % 1000) + static_cast<float>(i);
        memcpy(&frame[24 + 4 * i], &module, 4);
    }
    return frame;
}

Bytes TextReplyFrame(const std::string& text)
{
    Bytes frame = Header(0x02CC, 58);
    memcpy(&frame[4], text.data(), text.size() < 54 ? text.size() : 54);
    return frame;
}

Bytes ConfigReplyFrame(const Bytes& configuration)
{
    Bytes frame = Header(0x03DD, 276);
    memcpy(&frame[4], configuration.data(), configuration.size() < 272 ? configuration.size() : 272);
    return frame;
}

Bytes I2cReplyFrame(const Bytes& data)
{
    Bytes frame = Header(0x02DD, 192);
    for (size_t i = 0; i < data.size() && 10 + 2 * i + 1 < frame.size(); ++i) {
        frame[10 + 2 * i] = data[i];
        frame[10 + 2 * i + 1] = 0x5A; // high bytes are not data
    }
    return frame;
}

Bytes GpioFrame(uint16_t status)
{
    Bytes frame = Header(0x04DD, 6);
    frame[4] = static_cast<uint8_t>(status & 0xFF);
    frame[5] = static_cast<uint8_t>(status >> 8);
    return frame;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Padded(Bytes block, size_t length)
{
    block.resize(length, 0);
    return block;
}

Bytes Request(uint16_t opcode, std::initializer_list<uint16_t> words)
{
    Bytes bytes{0x03, 0xFF, static_cast<uint8_t>(opcode & 0xFF), static_cast<uint8_t>(opcode >> 8)};
    for (uint16_t w : words) {
        bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    }
    return bytes;
}

uint32_t MeasCountOf(const uint8_t* record)
{
    uint32_t count;
    memcpy(&count, record + 8, 4);
    return count;
}
