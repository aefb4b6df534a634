#include "gltf/json_view.h"

#include <charconv>
#include <limits>

#include <nlohmann/json.hpp>

namespace driver::gltf {

namespace {

using Json = nlohmann::json;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::size_t SkipSpace(const std::string& text, std::size_t at) {
    while (at < text.size() && IsSpace(text[at])) {
        ++at;
    }
    return at;
}

// The end of the string that opens at `at`.
std::size_t StringEnd(const std::string& text, std::size_t at) {
    for (std::size_t i = at + 1;;) {
        if (text[i] == '\\') {
            i += 2;
        } else if (text[i] == '"') {
            return i + 1;
        } else {
            ++i;
        }
    }
}

// The end of the value that starts at `at`. Nesting is counted, not
// followed, so depth costs nothing.
std::size_t ValueEnd(const std::string& text, std::size_t at) {
    const char first = text[at];
    if (first == '"') {
        return StringEnd(text, at);
    }
    if (first == '{' || first == '[') {
        std::size_t depth = 0;
        for (std::size_t i = at;;) {
            const char c = text[i];
            if (c == '"') {
                i = StringEnd(text, i);
                continue;
            }
            if (c == '{' || c == '[') {
                ++depth;
            } else if (c == '}' || c == ']') {
                --depth;
            }
            ++i;
            if (depth == 0) {
                return i;
            }
        }
    }
    std::size_t i = at;
    while (i < text.size() && !IsSpace(text[i]) && text[i] != ',' && text[i] != ']' && text[i] != '}') {
        ++i;
    }
    return i;
}

std::string DecodeString(std::string_view raw) {
    if (raw.find('\\') == std::string_view::npos) {
        return std::string(raw.substr(1, raw.size() - 2));
    }
    return Json::parse(raw.begin(), raw.end()).get<std::string>();
}

// Accepts every value and keeps the first error.
class SyntaxCheck final : public nlohmann::json_sax<Json> {
public:
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) override {
        position_ = position;
        message_ = e.what();
        return false;
    }

    // nlohmann-json's message without its "[json.exception.NAME.ID] "
    // prefix, with the place added where the message has none.
    std::string Message(const std::string& text) const {
        std::string message = message_;
        const auto end = message.find("] ");
        if (message.rfind("[json.exception.", 0) == 0 && end != std::string::npos) {
            message.erase(0, end + 2);
        }
        if (message.find(" at line ") == std::string::npos) {
            std::size_t line = 1;
            std::size_t column = 1;
            for (std::size_t i = 0; i + 1 < position_ && i < text.size(); ++i) {
                column = text[i] == '\n' ? 1 : column + 1;
                line += text[i] == '\n' ? 1 : 0;
            }
            message += " at line " + std::to_string(line) + ", column " + std::to_string(column);
        }
        return message;
    }

private:
    std::size_t position_ = 0;
    std::string message_;
};

}  // namespace

JsonValue::Kind JsonValue::GetKind() const {
    switch ((*text_)[span_.begin]) {
    case '{': return Kind::Object;
    case '[': return Kind::Array;
    case '"': return Kind::String;
    case 't':
    case 'f': return Kind::Boolean;
    case 'n': return Kind::Null;
    default: return Kind::Number;
    }
}

std::vector<JsonMember> JsonValue::Members() const {
    std::vector<JsonMember> members;
    const std::string& text = *text_;
    std::size_t at = SkipSpace(text, span_.begin + 1);
    while (text[at] == '"') {
        const Span key{at, StringEnd(text, at)};
        const std::size_t valueBegin = SkipSpace(text, SkipSpace(text, key.end) + 1);
        const Span value{valueBegin, ValueEnd(text, valueBegin)};
        members.push_back({DecodeString(std::string_view(text).substr(key.begin, key.end - key.begin)), key,
                           JsonValue(text, value)});
        at = SkipSpace(text, value.end);
        at = text[at] == ',' ? SkipSpace(text, at + 1) : at;
    }
    return members;
}

std::vector<JsonValue> JsonValue::Elements() const {
    std::vector<JsonValue> elements;
    const std::string& text = *text_;
    std::size_t at = SkipSpace(text, span_.begin + 1);
    while (text[at] != ']') {
        const Span element{at, ValueEnd(text, at)};
        elements.emplace_back(text, element);
        at = SkipSpace(text, element.end);
        at = text[at] == ',' ? SkipSpace(text, at + 1) : at;
    }
    return elements;
}

std::string JsonValue::String() const { return DecodeString(Raw()); }

std::optional<double> JsonValue::Number() const {
    // JSON's number syntax is a part of from_chars' general format; what it
    // cannot give, a number too small for a double, nlohmann-json rounds.
    const std::string_view raw = Raw();
    double value = 0;
    const auto [end, error] = std::from_chars(raw.data(), raw.data() + raw.size(), value);
    if (error == std::errc() && end == raw.data() + raw.size()) {
        return value;
    }
    const Json number = Json::parse(raw.begin(), raw.end(), nullptr, false);
    return number.is_number() ? std::optional<double>(number.get<double>()) : std::nullopt;
}

std::optional<std::size_t> JsonValue::Index() const {
    const std::string_view raw = Raw();
    std::size_t value = 0;
    for (const char c : raw) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const auto digit = static_cast<std::size_t>(c - '0');
        if (value > (std::numeric_limits<std::size_t>::max() - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

std::string JsonSyntaxError(const std::string& text) {
    SyntaxCheck check;
    return Json::sax_parse(text, &check) ? std::string() : check.Message(text);
}

JsonValue JsonDocument(const std::string& text) {
    std::size_t at = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    at = SkipSpace(text, at);
    return JsonValue(text, {at, ValueEnd(text, at)});
}

}  // namespace driver::gltf
