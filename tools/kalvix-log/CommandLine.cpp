#include "CommandLine.h"

#include "WholeNumber.h"

#include <algorithm>
#include <cmath>

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

CommandLine::CommandLine(const std::vector<std::string>& arguments, const CommandGrammar& grammar)
{
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool looksLikeOption = argument.size() > 1 && argument[0] == '-' &&
                                     !(std::isdigit(static_cast<unsigned char>(argument[1])) ||
                                       argument[1] == '.');
        if (!looksLikeOption) {
            positional_.push_back(argument);
            continue;
        }
        std::string name = argument;
        std::optional<std::string> inlineValue;
        if (const size_t equals = argument.find('='); argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = argument.substr(0, equals);
            inlineValue = argument.substr(equals + 1);
        }
        const bool takesValue = Contains(grammar.valueOptions, name) || Contains(grammar.repeatable, name);
        if (!takesValue && !Contains(grammar.flags, name))
            throw UsageError("unknown option " + name);
        if (options_.count(name) && !Contains(grammar.repeatable, name))
            throw UsageError(name + " is given twice");
        if (!takesValue) {
            if (inlineValue)
                throw UsageError(name + " takes no value");
            options_.emplace(name, "");
            continue;
        }
        if (inlineValue) {
            options_.emplace(name, *inlineValue);
        } else {
            if (i + 1 >= arguments.size())
                throw UsageError(name + " needs a value");
            options_.emplace(name, arguments[++i]);
        }
    }
    if (positional_.size() < grammar.minPositional)
        throw UsageError(grammar.minPositional == 1 ? "a file name is missing" : "arguments are missing");
    if (positional_.size() > grammar.maxPositional)
        throw UsageError("unexpected argument \"" + positional_[grammar.maxPositional] + "\"");
}

bool CommandLine::Has(const std::string& option) const
{
    return options_.count(option) != 0;
}

std::optional<std::string> CommandLine::Value(const std::string& option) const
{
    const auto found = options_.find(option);
    if (found == options_.end())
        return std::nullopt;
    return found->second;
}

std::vector<std::string> CommandLine::Values(const std::string& option) const
{
    std::vector<std::string> values;
    const auto [first, last] = options_.equal_range(option);
    for (auto it = first; it != last; ++it)
        values.push_back(it->second);
    return values;
}

std::optional<int64_t> CommandLine::Integer(const std::string& option, int64_t low, int64_t high) const
{
    const auto text = Value(option);
    if (!text)
        return std::nullopt;
    int64_t value = 0;
    if (!ParseWholeNumber(*text, value) || value < low || value > high)
        throw UsageError(option + " needs a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not \"" + *text + "\"");
    return value;
}

std::optional<double> CommandLine::Number(const std::string& option) const
{
    const auto text = Value(option);
    if (!text)
        return std::nullopt;
    double value = 0;
    if (!ParseWholeNumber(*text, value) || !std::isfinite(value))
        throw UsageError(option + " needs a number, not \"" + *text + "\"");
    return value;
}

CountRange ParseCountRange(const std::string& text)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos)
        throw UsageError("a range is FIRST:LAST, not \"" + text + "\"");
    CountRange range;
    auto parse = [&](std::string_view part, uint64_t& value) {
        if (part.empty())
            return;
        if (!ParseWholeNumber(part, value))
            throw UsageError("a range is FIRST:LAST with whole numbers, not \"" + text + "\"");
    };
    parse(std::string_view(text).substr(0, colon), range.first);
    parse(std::string_view(text).substr(colon + 1), range.last);
    if (range.first > range.last)
        throw UsageError("the range " + text + " is empty (its first is after its last)");
    return range;
}
