#include "Utf8Text.h"

std::vector<char32_t> DecodeUtf8(std::string_view text)
{
    std::vector<char32_t> points;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        char32_t point = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length > 0 && i + length <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next >> 6) == 2;
            point = (point << 6) | (next & 0x3F);
        }
        if (!valid) {
            points.push_back(0xFFFD);
            ++i;
            continue;
        }
        points.push_back(point);
        i += length;
    }
    return points;
}

std::string EncodeUtf8(const std::vector<char32_t>& points)
{
    std::string text;
    for (char32_t point : points) {
        if ((point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF)
            point = 0xFFFD;   // surrogates and numbers beyond Unicode are no characters
        if (point < 0x80) {
            text += static_cast<char>(point);
        } else if (point < 0x800) {
            text += static_cast<char>(0xC0 | (point >> 6));
            text += static_cast<char>(0x80 | (point & 0x3F));
        } else if (point < 0x10000) {
            text += static_cast<char>(0xE0 | (point >> 12));
            text += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (point & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | (point >> 18));
            text += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
            text += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (point & 0x3F));
        }
    }
    return text;
}
