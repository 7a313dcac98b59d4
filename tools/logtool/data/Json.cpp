#include "Json.h"

#include "NumberText.h"

#include <cmath>

namespace {

void AppendString(std::string& out, const std::string& text)
{
    out += Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

void AppendNumber(std::string& out, double value)
{
    if (std::isfinite(value))
        AppendCompact(out, value);
    else
        out += "null";
}

void Append(std::string& out, const Json& value)
{
    switch (value.type()) {
    case Json::value_t::object: {
        out += '{';
        bool first = true;
        for (const auto& [name, member] : value.items()) {
            if (!first)
                out += ',';
            first = false;
            AppendString(out, name);
            out += ':';
            Append(out, member);
        }
        out += '}';
        return;
    }
    case Json::value_t::array: {
        out += '[';
        for (size_t i = 0; i < value.size(); ++i) {
            if (i)
                out += ',';
            Append(out, value[i]);
        }
        out += ']';
        return;
    }
    case Json::value_t::string: AppendString(out, value.get_ref<const std::string&>()); return;
    case Json::value_t::number_float: AppendNumber(out, value.get<double>()); return;
    default: out += value.dump(); return;   // integers, booleans, null
    }
}

} // namespace

std::string JsonText(const Json& document)
{
    std::string out;
    Append(out, document);
    return out;
}

bool ParseJson(std::string_view text, Json& document, std::string& error, int deepest)
{
    bool tooDeep = false;
    const Json::parser_callback_t depthGuard = [&](int depth, Json::parse_event_t, Json&) {
        tooDeep = tooDeep || depth > deepest;
        return !tooDeep;
    };
    try {
        document = Json::parse(text.begin(), text.end(), depthGuard);
    } catch (const Json::parse_error& problem) {
        error = "not valid JSON at character " + std::to_string(problem.byte);
        return false;
    } catch (const Json::exception&) {
        error = "not valid JSON (a number out of range)";
        return false;
    }
    if (tooDeep) {
        error = "not valid JSON: nested deeper than " + std::to_string(deepest) + " levels";
        return false;
    }
    return true;
}
