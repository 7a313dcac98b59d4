#include "I2cText.h"

#include "NumberParse.h"

#include <iterator>
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

I2cInputError CheckByteCount(uint32_t count, I2cInputError whenZero)
{
    if (count == 0)
        return whenZero;
    return count > I2cMaxTransferBytes ? I2cInputError::TooManyBytes : I2cInputError::None;
}

} // namespace

const char* I2cInputErrorText(I2cInputError error)
{
    // In the order of I2cInputError.
    static constexpr const char* Texts[] = {
        "",
        "No bytes to send!",
        "Maximum of 90 bytes allowed!",
        "No byte count specified!",
        "No slave address provided!",
        "Not HEX format data!",
    };
    static_assert(std::size(Texts) == static_cast<size_t>(I2cInputError::NotHexData) + 1);
    const auto index = static_cast<size_t>(error);
    return index < std::size(Texts) ? Texts[index] : "";
}

I2cInputError CheckWriteByteCount(uint32_t count)
{
    return CheckByteCount(count, I2cInputError::NoBytesToSend);
}

I2cInputError CheckReadByteCount(uint32_t count)
{
    return CheckByteCount(count, I2cInputError::NoByteCount);
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
    Print(sink, "{:02X}", fmt::join(bytes, bytes + count, ""));
}
