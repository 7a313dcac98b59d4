#include "live/QueryParameters.h"

#include <charconv>
#include <cmath>

const std::string* QueryParameters::Find(std::string_view name) const
{
    for (const auto& [key, value] : values) {
        if (key == name)
            return &value;
    }
    return nullptr;
}

bool PercentDecode(std::string_view text, std::string& decoded)
{
    decoded.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            decoded += ' ';
        } else if (c != '%') {
            decoded += c;
        } else {
            unsigned byte = 0;
            const char* digits = text.data() + i + 1;
            if (i + 2 >= text.size() || std::from_chars(digits, digits + 2, byte, 16).ptr != digits + 2)
                return false;
            decoded += static_cast<char>(byte);
            i += 2;
        }
    }
    return true;
}

std::string PercentEncode(std::string_view text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
            || c == '_' || c == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += digits[byte >> 4];
            encoded += digits[byte & 15];
        }
    }
    return encoded;
}

bool ParseQuery(std::string_view query, QueryParameters& parameters, std::string& error)
{
    QueryParameters result;
    size_t start = 0;
    while (start <= query.size()) {
        size_t end = query.find('&', start);
        if (end == std::string_view::npos)
            end = query.size();
        const std::string_view pair = query.substr(start, end - start);
        start = end + 1;
        if (pair.empty())
            continue;
        const size_t equals = pair.find('=');
        std::string name;
        std::string value;
        if (!PercentDecode(pair.substr(0, equals), name)
            || (equals != std::string_view::npos && !PercentDecode(pair.substr(equals + 1), value))) {
            error = "the query has a '%' that is not followed by two hex digits";
            return false;
        }
        if (name.empty()) {
            error = "the query has a value without a name";
            return false;
        }
        if (result.Find(name)) {
            error = "the query gives '" + name + "' more than once";
            return false;
        }
        result.values.emplace_back(std::move(name), std::move(value));
    }
    parameters = std::move(result);
    return true;
}

bool QueryInteger(const QueryParameters& parameters, std::string_view name, long long lowest,
                  long long highest, long long& value, std::string& error)
{
    const std::string* text = parameters.Find(name);
    if (!text)
        return true;
    long long parsed = 0;
    const char* end = text->data() + text->size();
    const auto [stop, failure] = std::from_chars(text->data(), end, parsed);
    if (text->empty() || failure != std::errc() || stop != end || parsed < lowest || parsed > highest) {
        error = "'" + std::string(name) + "' is not a whole number from " + std::to_string(lowest) + " to "
                + std::to_string(highest);
        return false;
    }
    value = parsed;
    return true;
}

bool QueryNumber(const QueryParameters& parameters, std::string_view name, double& value, std::string& error)
{
    const std::string* text = parameters.Find(name);
    if (!text)
        return true;
    double parsed = 0;
    const char* end = text->data() + text->size();
    const auto [stop, failure] = std::from_chars(text->data(), end, parsed);
    if (text->empty() || failure != std::errc() || stop != end || !std::isfinite(parsed)) {
        error = "'" + std::string(name) + "' is not a number";
        return false;
    }
    value = parsed;
    return true;
}
