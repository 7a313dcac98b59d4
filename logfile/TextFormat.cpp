#include "TextFormat.h"

#include <charconv>
#include <cmath>
#include <cstring>

TextSink MakeTextSink(char* buffer, size_t limit)
{
    if (limit > 0)
        buffer[0] = '\0';
    return TextSink{buffer, limit, 0, false};
}

void PutText(TextSink& sink, std::string_view text)
{
    if (sink.limit == 0) {
        sink.truncated = sink.truncated || !text.empty();
        return;
    }
    const size_t room = sink.limit - 1 - sink.length;
    size_t count = text.size();
    if (count > room) {
        count = room;
        sink.truncated = true;
    }
    std::memcpy(sink.buffer + sink.length, text.data(), count);
    sink.length += count;
    sink.buffer[sink.length] = '\0';
}

static void PutBlanks(TextSink& sink, int count)
{
    static constexpr char blanks[] = "                                ";
    while (count > 0) {
        const int now = count < 32 ? count : 32;
        PutText(sink, std::string_view(blanks, static_cast<size_t>(now)));
        count -= now;
    }
}

void PutTextPadded(TextSink& sink, std::string_view text, int width)
{
    PutText(sink, text);
    PutBlanks(sink, width - static_cast<int>(text.size()));
}

void PutInt(TextSink& sink, int64_t value, int width, bool zeroPad)
{
    char digits[32];
    const bool negative = value < 0;
    // Magnitude in unsigned arithmetic, so the most negative value converts as well.
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    const auto end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
    const int digitCount = static_cast<int>(end - digits);
    const int total = digitCount + (negative ? 1 : 0);
    if (zeroPad) {
        if (negative)
            PutText(sink, "-");
        for (int i = total; i < width; ++i)
            PutText(sink, "0");
    } else {
        PutBlanks(sink, width - total);
        if (negative)
            PutText(sink, "-");
    }
    PutText(sink, std::string_view(digits, static_cast<size_t>(digitCount)));
}

void PutHex(TextSink& sink, uint64_t value, int width)
{
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    const int count = static_cast<int>(end - digits);
    for (int i = 0; i < count; ++i) {
        if (digits[i] >= 'a' && digits[i] <= 'f')
            digits[i] = static_cast<char>(digits[i] - 'a' + 'A');
    }
    for (int i = count; i < width; ++i)
        PutText(sink, "0");
    PutText(sink, std::string_view(digits, static_cast<size_t>(count)));
}

void PutFixed(TextSink& sink, double value, int width, int precision)
{
    // Enough for the largest double in fixed notation (309 digits) and the decimals.
    char digits[400];
    int count;
    if (std::isnan(value)) {
        const char* text = std::signbit(value) ? "-nan" : "nan";
        count = static_cast<int>(std::strlen(text));
        std::memcpy(digits, text, static_cast<size_t>(count));
    } else {
        const auto result = std::to_chars(digits, digits + sizeof digits, value,
                                          std::chars_format::fixed, precision);
        count = static_cast<int>(result.ptr - digits);
    }
    PutBlanks(sink, width - count);
    PutText(sink, std::string_view(digits, static_cast<size_t>(count)));
}

size_t BoundedLength(const char* text, size_t size)
{
    if (!text || size == 0)
        return 0;
    const void* zero = std::memchr(text, 0, size);
    return zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : size;
}

void PutIntLeft(TextSink& sink, int64_t value, int width)
{
    const size_t start = sink.length;
    PutInt(sink, value);
    for (size_t written = sink.length - start; written < static_cast<size_t>(width); ++written)
        PutText(sink, " ");
}
