#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scene/gltf/json_view.h"
#include "text/refusal.h"
#include "text/text_edits.h"

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

// Adds to `edits` what makes `object`, an object of `text`, read as
// ChangedObject makes it: where every change gives a new value to a member
// that is there, just those values are replaced; else the object whole.
void EditObject(const std::string& text, Span object, const std::vector<MemberChange>& changes, TextEdits& edits);

// A number that JSON cannot hold: not a number, or an infinity.
class NotFiniteNumber : public CodedError {
public:
    NotFiniteNumber() : CodedError(RefusalCode::BadScene, "a number that JSON cannot hold") {}
};

// A JSON array of single-precision numbers, each in the shortest form that
// reads back to the same value. Throws NotFiniteNumber for a value that is
// not finite.
std::string JsonNumbers(const float* values, std::size_t count);

}  // namespace driver::gltf
