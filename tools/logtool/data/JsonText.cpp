#include "JsonText.h"

#include <charconv>
#include <cmath>
#include <cstdio>

std::string JsonNumber(double value)
{
    if (!std::isfinite(value))
        return "null";
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc())
        return "null";
    return std::string(buffer, end);
}

std::string JsonString(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}
