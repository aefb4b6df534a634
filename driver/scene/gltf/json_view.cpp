#include "scene/gltf/json_view.h"

#include <limits>

#include "json/json_reader.h"

namespace driver::gltf {

namespace {

using Token = JsonReader::Token;

Span Shifted(Span span, std::size_t base) { return {base + span.begin, base + span.end}; }

// The members of the object whose '{' the reader has just read.
std::vector<JsonMember> MembersAfter(JsonReader& reader, const std::string& text, std::size_t base) {
    std::vector<JsonMember> members;
    while (reader.Next() == Token::Key) {
        const Span key{base + reader.TokenBegin(), base + reader.TokenEnd()};
        std::string name(reader.Text());
        const Span value = Shifted(ValueAfter(reader, reader.Next()), base);
        members.push_back({std::move(name), key, JsonValue(text, value)});
    }
    return members;
}

}  // namespace

JsonValue::Kind JsonValue::GetKind() const {
    switch ((*text_)[span_.begin]) {
        case '{':
            return Kind::Object;
        case '[':
            return Kind::Array;
        case '"':
            return Kind::String;
        case 't':
        case 'f':
            return Kind::Boolean;
        case 'n':
            return Kind::Null;
        default:
            return Kind::Number;
    }
}

std::vector<JsonMember> JsonValue::Members() const {
    JsonReader reader(Raw());
    reader.Next();  // the '{'
    return MembersAfter(reader, *text_, span_.begin);
}

std::vector<JsonValue> JsonValue::Elements() const {
    std::vector<JsonValue> elements;
    JsonReader reader(Raw());
    reader.Next();  // the '['
    for (Token token = reader.Next(); token != Token::EndArray; token = reader.Next()) {
        elements.emplace_back(*text_, Shifted(ValueAfter(reader, token), span_.begin));
    }
    return elements;
}

std::string JsonValue::String() const {
    const std::string_view raw = Raw();
    if (raw.find('\\') == std::string_view::npos) {
        return std::string(raw.substr(1, raw.size() - 2));
    }
    JsonReader reader(raw);
    reader.Next();
    return std::string(reader.Text());
}

std::optional<std::size_t> JsonValue::Index() const { return IndexOfNumber(Raw()); }

std::optional<std::size_t> IndexOfNumber(std::string_view number) {
    std::size_t value = 0;
    for (const char c : number) {
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

Span ValueAfter(JsonReader& reader, JsonReader::Token first) {
    const std::size_t begin = reader.TokenBegin();
    if (first == Token::BeginObject || first == Token::BeginArray) {
        reader.SkipContainer();
    }
    return {begin, reader.TokenEnd()};
}

std::optional<JsonValue> JsonValue::Member(const std::string& key) const {
    if (!Is(Kind::Object)) {
        return std::nullopt;
    }
    for (const JsonMember& member : Members()) {
        if (member.key == key) {
            return member.value;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> IndexIn(const std::optional<JsonValue>& value) {
    return value && value->Is(JsonValue::Kind::Number) ? value->Index() : std::nullopt;
}

std::vector<JsonValue> ElementsOf(const std::optional<JsonValue>& value) {
    return value && value->Is(JsonValue::Kind::Array) ? value->Elements() : std::vector<JsonValue>();
}

}  // namespace driver::gltf
