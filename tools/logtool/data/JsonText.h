// Pieces of JSON text: numbers in full precision with '.' whatever the locale (null when not
// finite) and quoted, escaped strings.
#pragma once

#include <string>
#include <string_view>

std::string JsonNumber(double value);
std::string JsonString(std::string_view text);
