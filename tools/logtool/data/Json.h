// JSON as the log tool writes and reads it: nlohmann-json's documents (members in the order they
// were added), written compactly by one rule: numbers as NumberText's AppendCompact writes them
// ("1000", "1e+05", "1e-05"), null when not finite; strings
// escaped as JSON has them, UTF-8 kept (a malformed byte becomes U+FFFD).
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

using Json = nlohmann::ordered_json;

std::string JsonText(const Json& document);

// The document in `text`; false with `error` saying where it is not JSON ("not valid JSON at
// character 17") or nested deeper than `deepest` levels.
bool ParseJson(std::string_view text, Json& document, std::string& error, int deepest = 64);
