#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace {

// `format` empty: std::to_chars's plain shortest form (fewest characters).
template <typename Number>
void Append(std::string& out, Number value, std::optional<std::chars_format> format)
{
    if (std::isnan(value)) {
        out += "nan";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    char text[400];   // the largest double in fixed notation has 309 digits
    auto result = format ? std::to_chars(text, text + sizeof text, value, *format)
                         : std::to_chars(text, text + sizeof text, value);
    if (result.ec != std::errc())
        result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

} // namespace

void AppendShortest(std::string& out, double value)
{
    Append(out, value, std::chars_format::general);
}

void AppendShortest(std::string& out, float value)
{
    Append(out, value, std::chars_format::general);
}

void AppendCompact(std::string& out, double value)
{
    Append(out, value, std::nullopt);
}

std::string CompactText(double value)
{
    std::string text;
    AppendCompact(text, value);
    return text;
}

void AppendShortestFixed(std::string& out, double value)
{
    Append(out, value, std::chars_format::fixed);
}

void AppendShortestFixed(std::string& out, float value)
{
    Append(out, value, std::chars_format::fixed);
}
