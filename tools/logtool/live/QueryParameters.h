// A request's query ("a=1&b=two%20words"): names and values percent-decoded once ("+" is a
// space), one value per name. "%2541" stays "%41": nothing is decoded twice.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct QueryParameters {
    std::vector<std::pair<std::string, std::string>> values;   // in the order given

    // The value of `name`, or null when it was not given.
    const std::string* Find(std::string_view name) const;
};

// `query` (without the "?"); false with `error` naming the fault: a "%" not followed by two hex
// digits, a name given twice, an empty name.
bool ParseQuery(std::string_view query, QueryParameters& parameters, std::string& error);

// Percent-decoding of one name or value; false when a "%" is not followed by two hex digits.
bool PercentDecode(std::string_view text, std::string& decoded);

// `text` for a query: letters, digits and "-._~" as they are, every other byte as "%XX".
std::string PercentEncode(std::string_view text);

// A whole number parameter within [lowest, highest]; `value` keeps its default when the parameter
// is absent. False with `error` ("'count' is not a whole number from 1 to 100") otherwise.
bool QueryInteger(const QueryParameters& parameters, std::string_view name, long long lowest,
                  long long highest, long long& value, std::string& error);

// A finite number parameter (decimal, as "12.5" or "1e3"); `value` keeps its default when the
// parameter is absent. False with `error` ("'from_s' is not a number") otherwise.
bool QueryNumber(const QueryParameters& parameters, std::string_view name, double& value, std::string& error);
