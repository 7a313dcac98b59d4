#include "PlotText.h"

namespace {

// Advance of one code point in ems, close to DejaVu Sans.
double EstimateAdvance(char32_t c)
{
    if (c == ' ' || c == '.' || c == ',' || c == ':' || c == ';' || c == '\'' || c == '|' ||
        c == 'i' || c == 'j' || c == 'l' || c == '!')
        return 0.32;
    if (c == '(' || c == ')' || c == '[' || c == ']' || c == 'f' || c == 't' || c == 'r' || c == '-')
        return 0.39;
    if (c >= '0' && c <= '9')
        return 0.64;
    if (c == 'm' || c == 'w' || c == 'M' || c == 'W')
        return 0.95;
    if (c >= 'A' && c <= 'Z')
        return 0.72;
    if (c < 0x80)
        return 0.6;
    return 0.75;   // Ω, °, µ, ×, −: wide enough not to be crowded
}

} // namespace

std::vector<TextRun> SplitTextRuns(std::string_view markup)
{
    std::vector<TextRun> runs;
    auto add = [&](std::string_view text, bool superscript) {
        if (text.empty())
            return;
        if (!runs.empty() && runs.back().superscript == superscript)
            runs.back().text += text;
        else
            runs.push_back({std::string(text), superscript});
    };
    size_t position = 0;
    while (position < markup.size()) {
        const size_t open = markup.find("^{", position);
        const size_t close = open == std::string_view::npos ? open : markup.find('}', open + 2);
        if (close == std::string_view::npos) {
            add(markup.substr(position), false);
            break;
        }
        add(markup.substr(position, open - position), false);
        add(markup.substr(open + 2, close - open - 2), true);
        position = close + 1;
    }
    return runs;
}

std::string PlainText(std::string_view markup)
{
    std::string text;
    for (const TextRun& run : SplitTextRuns(markup))
        text += run.text;
    return text;
}

double EstimateTextWidth(std::string_view markup, double size)
{
    double width = 0;
    for (const TextRun& run : SplitTextRuns(markup)) {
        const double runSize = run.superscript ? size * SuperscriptScale : size;
        for (char32_t c : DecodeUtf8(run.text))
            width += EstimateAdvance(c) * runSize;
    }
    return width;
}

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
