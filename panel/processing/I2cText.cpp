#include "I2cText.h"

#include "NumberParse.h"

#include <limits>

namespace {

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

const char* I2cInputErrorText(I2cInputError error)
{
    switch (error) {
    case I2cInputError::None:
        return "";
    case I2cInputError::NoBytesToSend:
        return "No bytes to send!";
    case I2cInputError::TooManyBytes:
        return "Maximum of 90 bytes allowed!";
    case I2cInputError::NoByteCount:
        return "No byte count specified!";
    case I2cInputError::NoSlaveAddress:
        return "No slave address provided!";
    case I2cInputError::NotHexData:
        return "Not HEX format data!";
    }
    return "";
}

I2cInputError CheckWriteByteCount(uint32_t count)
{
    if (count == 0)
        return I2cInputError::NoBytesToSend;
    return count > I2cMaxTransferBytes ? I2cInputError::TooManyBytes : I2cInputError::None;
}

I2cInputError CheckReadByteCount(uint32_t count)
{
    if (count == 0)
        return I2cInputError::NoByteCount;
    return count > I2cMaxTransferBytes ? I2cInputError::TooManyBytes : I2cInputError::None;
}

uint32_t HexPairCount(size_t length)
{
    return static_cast<uint32_t>((length & ~static_cast<size_t>(1)) / 2);
}

bool ScanHexByte(std::string_view text, uint8_t& value)
{
    const char* end = text.data() + text.size();
    const char* p = SkipBlanks(text.data(), end);
    int result = 0;
    int digits = 0;
    for (; digits < 2 && p < end && HexDigitValue(*p) >= 0; ++digits, ++p)
        result = result * 16 + HexDigitValue(*p);
    if (digits == 0)
        return false;
    value = static_cast<uint8_t>(result);
    return true;
}

uint32_t ScanHexPairs(std::string_view text, uint32_t count, uint8_t* bytes)
{
    for (uint32_t i = 0; i < count; ++i) {
        const size_t start = 2 * static_cast<size_t>(i);
        if (start >= text.size() || !ScanHexByte(text.substr(start), bytes[i]))
            return i;
    }
    return count;
}

uint32_t ReadByteCountText(std::string_view text)
{
    const char* end = text.data() + text.size();
    const char* p = SkipBlanks(text.data(), end);
    const char* digits = p;
    constexpr uint64_t Largest = std::numeric_limits<uint32_t>::max();
    uint64_t value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > Largest)
            value = Largest + 1; // stays above the limit however many digits follow
    }
    if (p == digits || SkipBlanks(p, end) != end)
        return 0;
    return value > Largest ? static_cast<uint32_t>(Largest) : static_cast<uint32_t>(value);
}

void FormatHexBytes(TextSink& sink, const uint8_t* bytes, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        PutHex(sink, bytes[i], 2);
}
