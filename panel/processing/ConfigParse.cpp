#include "ConfigParse.h"

#include "NumberParse.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

enum class Conversion { None, Floating, Signed, Unsigned, Hex, Word };

// The conversion letter of a one-conversion pattern such as "%f", "%lf", "%hu" or "%31s".
Conversion PatternConversion(const char* pattern)
{
    const char* p = pattern ? std::strchr(pattern, '%') : nullptr;
    if (!p)
        return Conversion::None;
    ++p;
    while (*p && std::strchr("0123456789hlLqjzt", *p))
        ++p;
    switch (*p) {
    case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A':
        return Conversion::Floating;
    case 'd': case 'i':
        return Conversion::Signed;
    case 'u':
        return Conversion::Unsigned;
    case 'x': case 'X':
        return Conversion::Hex;
    case 's':
        return Conversion::Word;
    default:
        return Conversion::None;
    }
}

struct ConfigValue {
    bool isFloat;
    bool isSigned;
    bool isSingle;  // read straight into single precision (floating text for a float table)
    double floating;
    float single;
    uint64_t bits; // integers modulo 2^64
};

uint64_t IntegerBits(const ConfigValue& value)
{
    if (!value.isFloat)
        return value.bits;
    // Truncated toward zero and held inside the 64-bit range, so the conversion is defined.
    const double d = value.floating;
    if (std::isnan(d))
        return 0;
    if (d >= 9223372036854775807.0)
        return static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (d <= -9223372036854775808.0)
        return static_cast<uint64_t>(std::numeric_limits<int64_t>::min());
    return static_cast<uint64_t>(static_cast<int64_t>(d));
}

double FloatingValue(const ConfigValue& value)
{
    if (value.isFloat)
        return value.floating;
    return value.isSigned ? static_cast<double>(static_cast<int64_t>(value.bits)) : static_cast<double>(value.bits);
}

float SingleValue(double d)
{
    // Out of single-precision range gives infinity, as the hardware conversion would.
    if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max())
        return d > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    return static_cast<float>(d);
}

void StoreNumber(const ConfigValue& value, uint8_t* destination, int32_t index, int32_t type)
{
    const size_t at = static_cast<size_t>(index) * ConfigElementSize(type);
    switch (type) {
    case DstBytePtr: {
        const uint8_t v = static_cast<uint8_t>(IntegerBits(value));
        std::memcpy(destination + at, &v, sizeof v);
        break;
    }
    case DstShortPtr: {
        const uint16_t v = static_cast<uint16_t>(IntegerBits(value));
        std::memcpy(destination + at, &v, sizeof v);
        break;
    }
    case DstLongPtr: {
        const uint32_t v = static_cast<uint32_t>(IntegerBits(value));
        std::memcpy(destination + at, &v, sizeof v);
        break;
    }
    case DstFloatPtr: {
        const float v = value.isSingle ? value.single : SingleValue(FloatingValue(value));
        std::memcpy(destination + at, &v, sizeof v);
        break;
    }
    case DstDoublePtr: {
        const double v = FloatingValue(value);
        std::memcpy(destination + at, &v, sizeof v);
        break;
    }
    default:
        break;
    }
}

bool IsSeparator(char c, const char* separators)
{
    return c != '\0' && std::strchr(separators, c) != nullptr;
}

} // namespace

size_t ConfigElementSize(int32_t type)
{
    switch (type) {
    case DstBytePtr: return 1;
    case DstShortPtr: return 2;
    case DstLongPtr: return 4;
    case DstFloatPtr: return 4;
    case DstDoublePtr: return 8;
    default: return 0;
    }
}

int32_t ParseConfigValues(const char* text, size_t length, const char* pattern, const char* separators,
                          void* destination, int32_t count, int32_t stride, int32_t type)
{
    const Conversion conversion = PatternConversion(pattern);
    if (type < DstBytePtr || type > DstStrPtr || conversion == Conversion::None)
        return 0;
    if (type == DstStrPtr ? stride < 2 : conversion == Conversion::Word)
        return 0;

    uint8_t* out = static_cast<uint8_t*>(destination);
    const char* p = text;
    const char* const end = text + length;
    int32_t n = 0;
    while (n < count) {
        while (p < end && IsSeparator(*p, separators))
            ++p;
        if (p >= end)
            break;
        const char* runEnd = p;
        while (runEnd < end && !IsSeparator(*runEnd, separators))
            ++runEnd;

        ConfigValue value{};
        const char* valueEnd = nullptr;
        switch (conversion) {
        case Conversion::Floating:
            value.isFloat = true;
            if (type == DstFloatPtr) {
                // Rounded once from the text, as "%f" into a float does; going through double
                // first could round a halfway case the other way.
                value.isSingle = true;
                valueEnd = ReadFloat(p, runEnd, value.single);
                value.floating = value.single;
            } else {
                valueEnd = ReadDouble(p, runEnd, value.floating);
            }
            break;
        case Conversion::Signed:
            value.isSigned = true;
            valueEnd = ReadInteger(p, runEnd, 10, value.bits);
            break;
        case Conversion::Unsigned:
            valueEnd = ReadInteger(p, runEnd, 10, value.bits);
            break;
        case Conversion::Hex:
            valueEnd = ReadInteger(p, runEnd, 16, value.bits);
            break;
        case Conversion::Word:
            valueEnd = runEnd;
            break;
        case Conversion::None:
            break;
        }

        if (valueEnd) {
            if (type == DstStrPtr) {
                // The value's own text, cut to the element's room.
                char* slot = reinterpret_cast<char*>(out + static_cast<size_t>(n) * static_cast<size_t>(stride));
                size_t copy = static_cast<size_t>(valueEnd - p);
                if (copy > static_cast<size_t>(stride) - 1)
                    copy = static_cast<size_t>(stride) - 1;
                std::memcpy(slot, p, copy);
                slot[copy] = '\0';
            } else {
                StoreNumber(value, out, n, type);
            }
            ++n;
        }
        p = runEnd;
    }
    return n;
}

int32_t ParseConfigSection(const char* text, size_t length, void* destination, int32_t count,
                           const char* key, const char* pattern, int32_t type)
{
    const std::string_view whole(text, length);
    const std::string_view keyText(key ? key : "");
    if (keyText.empty())
        return ConfigKeyMissing;
    const size_t keyAt = whole.find(keyText);
    if (keyAt == std::string_view::npos)
        return ConfigKeyMissing;

    const size_t start = keyAt + keyText.size();
    size_t sectionEnd = length;
    auto limitAt = [&](std::string_view other) {
        const size_t at = whole.find(other, start);
        if (at != std::string_view::npos && at < sectionEnd)
            sectionEnd = at;
    };
    for (const char* other : ConfigSectionKeys)
        limitAt(other);
    limitAt(keyText);

    const int32_t n = ParseConfigValues(text + start, sectionEnd - start, pattern, ConfigSeparators,
                                        destination, count, 0, type);
    return n == count ? ConfigReadOk : ConfigTooFewValues;
}
