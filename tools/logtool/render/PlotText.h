// Text of the pictures: UTF-8 strings in which "^{..}" marks a superscript ("10^{-3}"), split
// into runs for drawing, and a width estimate the layout uses for both back-ends alike.
#pragma once

#include "data/Utf8Text.h"

#include <string>
#include <string_view>
#include <vector>

struct TextRun {
    std::string text;
    bool superscript = false;
};

constexpr double SuperscriptScale = 0.7;    // size of a superscript relative to the text
constexpr double SuperscriptRaise = 0.38;   // its baseline's lift, in ems of the text

// The runs of `markup`; text without "^{" is one plain run. An unclosed "^{" is kept as text.
std::vector<TextRun> SplitTextRuns(std::string_view markup);
// The text without markup ("10^{-3}" -> "10-3"), for messages and searches.
std::string PlainText(std::string_view markup);
// Estimated advance width of `markup` at `size` pixels (DejaVu Sans proportions).
double EstimateTextWidth(std::string_view markup, double size);
