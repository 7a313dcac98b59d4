#include "CsvText.h"

#include <charconv>
#include <cmath>

namespace {

template <typename Number>
void AppendShortest(std::string& out, Number value, std::chars_format format = std::chars_format::general)
{
    if (std::isnan(value)) {
        out += "nan";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    char text[64];
    auto result = std::to_chars(text, text + sizeof text, value, format);
    if (result.ec != std::errc())
        result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

} // namespace

void AppendCsvNumber(std::string& out, double value)
{
    AppendShortest(out, value);
}

void AppendCsvNumber(std::string& out, float value)
{
    AppendShortest(out, value);
}

void AppendCsvFixed(std::string& out, float value)
{
    AppendShortest(out, value, std::chars_format::fixed);
}

void AppendCsvField(std::string& out, std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}
