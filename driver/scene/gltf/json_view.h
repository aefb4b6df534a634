#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "json/json_reader.h"
#include "text/text_span.h"

namespace driver::gltf {

using driver::Span;

struct JsonMember;

// A value of a JSON text: where it lies, and what it holds, read on demand
// from the text, which must outlive it. Members and elements are found with
// the driver's JsonReader, which keeps open containers on a stack of its
// own, so a file may nest its values as deeply as it likes. Only what the
// tools ask for is decoded.
class JsonValue {
public:
    enum class Kind { Object, Array, String, Number, Boolean, Null };

    JsonValue(const std::string& text, Span span) : text_(&text), span_(span) {}

    Kind GetKind() const;
    bool Is(Kind kind) const { return GetKind() == kind; }
    Span GetSpan() const { return span_; }
    std::string_view Raw() const { return std::string_view(*text_).substr(span_.begin, span_.end - span_.begin); }
    const std::string& Text() const { return *text_; }

    // An object's members in their written order; an array's elements.
    std::vector<JsonMember> Members() const;
    std::vector<JsonValue> Elements() const;
    // The value of an object's first member named `key`; none for a value
    // that is not an object or has no such member.
    std::optional<JsonValue> Member(const std::string& key) const;

    // A string's decoded UTF-8 text.
    std::string String() const;
    // A number written as a non-negative integer (no fraction, no exponent)
    // that fits in std::size_t.
    std::optional<std::size_t> Index() const;

private:
    const std::string* text_;
    Span span_;
};

// A number written as a non-negative integer, as JsonValue::Index reads it.
std::optional<std::size_t> IndexOfNumber(std::string_view number);

// A member that may be missing or of another kind: its index where it is a
// non-negative integer, its elements where it is an array (else none).
std::optional<std::size_t> IndexIn(const std::optional<JsonValue>& value);
std::vector<JsonValue> ElementsOf(const std::optional<JsonValue>& value);

struct JsonMember {
    std::string key;
    Span keySpan;  // the key with its quotes
    JsonValue value;
};

// The value whose first token the reader has just read, read to its end:
// its bytes in the reader's text.
Span ValueAfter(JsonReader& reader, JsonReader::Token first);

}  // namespace driver::gltf
