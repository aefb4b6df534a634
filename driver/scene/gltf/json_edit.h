#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scene/gltf/json_view.h"

namespace driver::gltf {

// A member to give a new value (raw JSON text), or to remove (no value).
struct MemberChange {
    std::string key;
    std::optional<std::string> value;
};

// The text of `object` with the changes made: a member that is there gets
// its new value in its place, or is removed; a new one is added at the end,
// in the order of the changes. Every other member keeps its text, and the
// white space between members is kept, so untouched parts read as before.
std::string ChangedObject(const JsonValue& object, const std::vector<MemberChange>& changes);

// A new object of `members` (key, raw JSON value) laid out like `model`.
std::string NewObjectLike(const JsonValue& model, const std::vector<std::pair<std::string, std::string>>& members);

// Where to insert, and what, to append `elements` (raw JSON values) to
// `array` in its own layout.
std::pair<std::size_t, std::string> ArrayAppendix(const JsonValue& array, const std::vector<std::string>& elements);

// Replacements of parts of one text, made all at once. The new texts are
// kept end to end in one string, so a million edits cost no million
// allocations.
class TextEdits {
public:
    // Spans must not overlap; an empty span inserts. Edits at one place
    // apply in the order they were made.
    void Replace(Span span, std::string_view text) {
        edits_.push_back({span, texts_.size(), text.size()});
        texts_ += text;
    }
    bool Empty() const { return edits_.empty(); }
    // Room for `count` edits: room that no edit takes costs no memory.
    void Reserve(std::size_t count) { edits_.reserve(count); }
    // The text with the edits made (which are put in the text's order).
    std::string AppliedTo(const std::string& text);

private:
    struct Edit {
        Span span;
        std::size_t from;  // the new text, in texts_
        std::size_t size;
    };
    std::vector<Edit> edits_;
    std::string texts_;
};

// Adds to `edits` what makes `object`, an object of `text`, read as
// ChangedObject makes it: where every change gives a new value to a member
// that is there, just those values are replaced; else the object whole.
void EditObject(const std::string& text, Span object, const std::vector<MemberChange>& changes, TextEdits& edits);

// A number that JSON cannot hold: not a number, or an infinity.
struct NotFiniteNumber {};

// A JSON array of single-precision numbers, each in the shortest form that
// reads back to the same value. Throws NotFiniteNumber for a value that is
// not finite.
std::string JsonNumbers(const float* values, std::size_t count);

}  // namespace driver::gltf
