#include "NumberParse.h"

#include <charconv>
#include <limits>

bool IsBlankChar(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

const char* SkipBlanks(const char* p, const char* end)
{
    while (p < end && IsBlankChar(*p))
        ++p;
    return p;
}

template <typename T>
static const char* ReadFloating(const char* p, const char* end, T& value)
{
    if (p >= end)
        return nullptr;
    // from_chars takes a '-' but no '+'.
    const char* start = p;
    if (*p == '+') {
        ++start;
        if (start >= end || *start == '-' || *start == '+')
            return nullptr;
    }
    T parsed{};
    const auto result = std::from_chars(start, end, parsed, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument)
        return nullptr;
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond the type's range: infinity or zero with the sign, as strtod gives. A negative
        // exponent means the value was too small; without an exponent, a non-zero integer part
        // means it was too large.
        bool overflow = false;
        bool seenPoint = false;
        for (const char* q = start; q < result.ptr; ++q) {
            if (*q == 'e' || *q == 'E') {
                overflow = !(q + 1 < result.ptr && q[1] == '-');
                break;
            }
            if (*q == '.')
                seenPoint = true;
            else if (!seenPoint && *q >= '1' && *q <= '9')
                overflow = true;
        }
        parsed = overflow ? std::numeric_limits<T>::infinity() : static_cast<T>(0);
        if (*start == '-')
            parsed = -parsed;
    }
    value = parsed;
    return result.ptr;
}

const char* ReadDouble(const char* p, const char* end, double& value)
{
    return ReadFloating(p, end, value);
}

const char* ReadFloat(const char* p, const char* end, float& value)
{
    return ReadFloating(p, end, value);
}

static int DigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

const char* ReadInteger(const char* p, const char* end, int base, uint64_t& value)
{
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (base == 16 && end - p >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16)
        p += 2;
    const char* digits = p;
    uint64_t result = 0;
    while (p < end && DigitValue(*p) < base) {
        result = result * static_cast<uint64_t>(base) + static_cast<uint64_t>(DigitValue(*p));
        ++p;
    }
    if (p == digits)
        return nullptr;
    value = negative ? 0 - result : result;
    return p;
}
