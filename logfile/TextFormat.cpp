#include "TextFormat.h"

#include <cstring>

TextSink MakeTextSink(char* buffer, size_t limit)
{
    if (limit > 0)
        buffer[0] = '\0';
    return TextSink{buffer, limit, 0, false};
}

void PrintArgs(TextSink& sink, fmt::string_view format, fmt::format_args args)
{
    const size_t room = sink.limit > 0 ? sink.limit - 1 - sink.length : 0;
    const auto result = fmt::vformat_to_n(sink.buffer + sink.length, room, format, args);
    if (result.size > room) {
        sink.truncated = true;
        sink.length += room;
    } else {
        sink.length += result.size;
    }
    if (sink.limit > 0)
        sink.buffer[sink.length] = '\0';
}

size_t BoundedLength(const char* text, size_t size)
{
    if (!text || size == 0)
        return 0;
    const void* zero = std::memchr(text, 0, size);
    return zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : size;
}
