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
