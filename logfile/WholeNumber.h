// Reading a number that fills a whole piece of text, shared by the log reader and the log tool.
#pragma once

#include <charconv>
#include <string_view>

// True when `text` is one number and nothing else: an optional leading '+', then what
// std::from_chars reads, to the last character.
template <typename Number>
bool ParseWholeNumber(std::string_view text, Number& value)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}
