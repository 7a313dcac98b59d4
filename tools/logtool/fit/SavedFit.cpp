#include "SavedFit.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <memory>

namespace {

// Just enough JSON: a value is a string, a number (null reads as NaN), a boolean, an array or
// an object.
struct JsonValue {
    enum class Kind { Null, Boolean, Number, String, Array, Object } kind = Kind::Null;
    double number = NAN;
    std::string text;
    std::vector<JsonValue> items;          // an array's items, or an object's values
    std::vector<std::string> names;        // an object's names, one per item

    const JsonValue* Member(std::string_view name) const
    {
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == name)
                return &items[i];
        return nullptr;
    }
};

class JsonReader {
public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    bool ReadDocument(JsonValue& value, std::string& error)
    {
        if (!Read(value, 0) || (Skip(), position_ != text_.size())) {
            error = "not valid JSON at character " + std::to_string(position_ + 1);
            return false;
        }
        return true;
    }

private:
    void Skip()
    {
        while (position_ < text_.size() && (text_[position_] == ' ' || text_[position_] == '\n' ||
                                            text_[position_] == '\r' || text_[position_] == '\t'))
            ++position_;
    }
    bool Literal(std::string_view word)
    {
        if (text_.substr(position_, word.size()) != word)
            return false;
        position_ += word.size();
        return true;
    }
    bool ReadString(std::string& out)
    {
        if (position_ >= text_.size() || text_[position_] != '"')
            return false;
        ++position_;
        while (position_ < text_.size() && text_[position_] != '"') {
            char c = text_[position_++];
            if (c == '\\') {
                if (position_ >= text_.size())
                    return false;
                const char escaped = text_[position_++];
                switch (escaped) {
                case 'n': c = '\n'; break;
                case 't': c = '\t'; break;
                case 'r': c = '\r'; break;
                case 'b': c = '\b'; break;
                case 'f': c = '\f'; break;
                case 'u': {
                    unsigned code = 0;
                    const auto result = std::from_chars(text_.data() + position_,
                                                        text_.data() + std::min(text_.size(), position_ + 4), code, 16);
                    if (result.ptr != text_.data() + position_ + 4)
                        return false;
                    position_ += 4;
                    if (code < 0x80) {
                        out += static_cast<char>(code);
                    } else if (code < 0x800) {
                        out += static_cast<char>(0xC0 | (code >> 6));
                        out += static_cast<char>(0x80 | (code & 0x3F));
                    } else {
                        out += static_cast<char>(0xE0 | (code >> 12));
                        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                        out += static_cast<char>(0x80 | (code & 0x3F));
                    }
                    continue;
                }
                default: c = escaped;   // '"', '\\', '/'
                }
            }
            out += c;
        }
        if (position_ >= text_.size())
            return false;
        ++position_;
        return true;
    }
    bool Read(JsonValue& value, int depth)
    {
        if (depth > 64)
            return false;
        Skip();
        if (position_ >= text_.size())
            return false;
        const char c = text_[position_];
        if (c == '"') {
            value.kind = JsonValue::Kind::String;
            return ReadString(value.text);
        }
        if (c == '{' || c == '[') {
            const bool object = c == '{';
            value.kind = object ? JsonValue::Kind::Object : JsonValue::Kind::Array;
            ++position_;
            Skip();
            if (position_ < text_.size() && text_[position_] == (object ? '}' : ']')) {
                ++position_;
                return true;
            }
            while (true) {
                Skip();
                std::string key;
                if (object) {
                    if (!ReadString(key))
                        return false;
                    Skip();
                    if (!Literal(":"))
                        return false;
                }
                JsonValue item;
                if (!Read(item, depth + 1))
                    return false;
                if (object)
                    value.names.push_back(std::move(key));
                value.items.push_back(std::move(item));
                Skip();
                if (Literal(","))
                    continue;
                return Literal(object ? "}" : "]");
            }
        }
        if (Literal("null"))
            return true;
        if (Literal("true") || Literal("false")) {
            value.kind = JsonValue::Kind::Boolean;
            return true;
        }
        value.kind = JsonValue::Kind::Number;
        const auto result = std::from_chars(text_.data() + position_, text_.data() + text_.size(), value.number);
        if (result.ec != std::errc() || result.ptr == text_.data() + position_)
            return false;
        position_ = result.ptr - text_.data();
        return true;
    }

    std::string_view text_;
    size_t position_ = 0;
};

} // namespace

bool ParseSavedFit(std::string_view json, SavedFit& fit, std::string& error)
{
    JsonValue document;
    if (!JsonReader(json).ReadDocument(document, error))
        return false;
    if (document.kind != JsonValue::Kind::Object) {
        error = "not a fit result: the JSON is not an object";
        return false;
    }
    const JsonValue* circuit = document.Member("circuit");
    const JsonValue* parameters = document.Member("parameters");
    if (!circuit || circuit->kind != JsonValue::Kind::String || !parameters ||
        parameters->kind != JsonValue::Kind::Array) {
        error = "not a fit result: it has no \"circuit\" text and \"parameters\" list";
        return false;
    }
    fit = {circuit->text, {}};
    for (size_t i = 0; i < parameters->items.size(); ++i) {
        const JsonValue& parameter = parameters->items[i];
        const JsonValue* name = parameter.Member("name");
        const JsonValue* value = parameter.Member("value");
        if (!name || name->kind != JsonValue::Kind::String || !value || value->kind != JsonValue::Kind::Number ||
            !std::isfinite(value->number)) {
            error = "parameter " + std::to_string(i + 1) + " has no name or no finite \"value\"";
            return false;
        }
        fit.values.emplace_back(name->text, value->number);
    }
    return true;
}
