#include "DeviceFrames.h"

#include <cstring>

void PutU16(uint8_t* at, uint16_t value)
{
    at[0] = static_cast<uint8_t>(value & 0xFF);
    at[1] = static_cast<uint8_t>(value >> 8);
}

uint16_t GetU16(const uint8_t* at)
{
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

size_t ExpectedRequestBytes(uint16_t opcode)
{
    // Words per opcode, marker and opcode included.
    size_t words = 0;
    switch (opcode) {
    case OpcodeStop: case OpIdentify: case OpConfiguration: case OpIdentify48: words = 2; break;
    case OpStart: case OpCompensation: case OpExcitation: case OpGains: case OpTrigger:
    case OpBattery: case OpDivider: case OpGpio: case OpTenX: case 16: case 22: case 50:
    case 51: case 52: case 53: case 54: case 65: case 67: case 68: case 73: words = 3; break;
    case 55: case 69: words = 7; break;
    case 49: words = 12; break;
    case 19: words = 17; break;
    case OpLoadShunt: case OpLoadComp: case 20: case 21: words = 62; break;
    case OpLoadPhases: words = 514; break;
    case OpLoadDac: words = 1002; break;
    default: return 0;
    }
    return words * 2;
}

RequestCheck ParseRequest(const uint8_t* bytes, size_t length, Request& out)
{
    out = Request{};
    if (length < 4 || GetU16(bytes) != FrameMarker)
        return RequestCheck::NoMarker;
    out.opcode = GetU16(bytes + 2);
    out.params = bytes + 4;
    out.paramBytes = length - 4;
    if (out.opcode == OpI2c) {
        // {write flag, slave, count} then, for a write, one word per data byte.
        if (length < 10)
            return RequestCheck::WrongLength;
        const bool write = RequestWord(out, 0) != 0;
        const size_t count = RequestWord(out, 2);
        const size_t expected = write ? 10 + 2 * count : 10;
        return length == expected ? RequestCheck::Ok : RequestCheck::WrongLength;
    }
    const size_t expected = ExpectedRequestBytes(out.opcode);
    if (expected == 0)
        return RequestCheck::UnknownOpcode;
    return length == expected ? RequestCheck::Ok : RequestCheck::WrongLength;
}

uint16_t RequestWord(const Request& request, size_t i)
{
    if (2 * i + 2 > request.paramBytes)
        return 0;
    return GetU16(request.params + 2 * i);
}

namespace {
std::vector<uint8_t> FrameHead(uint16_t tag, size_t size)
{
    std::vector<uint8_t> frame(size, 0);
    PutU16(frame.data(), FrameMarker);
    PutU16(frame.data() + 2, tag);
    return frame;
}
}

std::vector<uint8_t> GpioFrame(uint16_t status)
{
    std::vector<uint8_t> frame = FrameHead(TagGpioStatus, GpioStatusFrameLength);
    PutU16(frame.data() + 4, status);
    return frame;
}

std::vector<uint8_t> TextFrame(const char* text)
{
    std::vector<uint8_t> frame = FrameHead(TagTextReply, TextReplyFrameLength);
    const size_t length = strnlen(text, TextPayloadSize);
    memcpy(frame.data() + 4, text, length);
    return frame;
}

std::vector<uint8_t> ConfigurationFrame(const uint8_t (&configuration)[ConfigPayloadSize])
{
    std::vector<uint8_t> frame = FrameHead(TagConfigReply, ConfigReplyFrameLength);
    memcpy(frame.data() + 4, configuration, sizeof configuration);
    return frame;
}

std::vector<uint8_t> I2cReplyFrame(uint8_t slave, const uint8_t* data, size_t count)
{
    std::vector<uint8_t> frame = FrameHead(TagI2cReply, I2cReplyFrameLength);
    const size_t fits = (I2cReplyFrameLength - I2cReplyDataOffset) / 2;
    if (count > fits)
        count = fits;
    PutU16(frame.data() + 4, slave);
    PutU16(frame.data() + 6, static_cast<uint16_t>(count));
    for (size_t i = 0; i < count; ++i)
        PutU16(frame.data() + I2cReplyDataOffset + 2 * i, data[i]);
    return frame;
}
