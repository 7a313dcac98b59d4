// UTF-8 text taken apart into Unicode code points and put together again (the pictures' text,
// file names on Windows).
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The Unicode code points of UTF-8 text; a malformed byte becomes U+FFFD.
std::vector<char32_t> DecodeUtf8(std::string_view text);
// Code points back to UTF-8.
std::string EncodeUtf8(const std::vector<char32_t>& points);
