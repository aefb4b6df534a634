#include "scene/gltf/json_edit.h"

#include <algorithm>
#include <cmath>

#include "json/json_text.h"
#include "text/number_text.h"

namespace driver::gltf {

namespace {

std::string Between(const JsonValue& value, std::size_t begin, std::size_t end) {
    return value.Text().substr(begin, end - begin);
}

// How an object's members are laid out: the white space after "{", between
// a key and its value, between members, and before "}".
struct ObjectLayout {
    std::string leading;
    std::string colon = ": ";
    std::string separator = ", ";
    std::string closing;
};

ObjectLayout LayoutOf(const JsonValue& object, const std::vector<JsonMember>& members) {
    ObjectLayout layout;
    if (members.empty()) {
        return layout;
    }
    const Span span = object.GetSpan();
    layout.leading = Between(object, span.begin + 1, members.front().keySpan.begin);
    layout.colon = Between(object, members.front().keySpan.end, members.front().value.GetSpan().begin);
    layout.separator = members.size() > 1 ? Between(object, members[0].value.GetSpan().end, members[1].keySpan.begin)
                                          : "," + (layout.leading.empty() ? std::string(" ") : layout.leading);
    layout.closing = Between(object, members.back().value.GetSpan().end, span.end - 1);
    return layout;
}

}  // namespace

std::string ChangedObject(const JsonValue& object, const std::vector<MemberChange>& changes) {
    const std::vector<JsonMember> members = object.Members();
    const ObjectLayout layout = LayoutOf(object, members);
    std::vector<bool> applied(changes.size(), false);
    std::string body;
    for (std::size_t i = 0; i < members.size(); ++i) {
        const JsonMember& member = members[i];
        const auto change =
            std::find_if(changes.begin(), changes.end(), [&](const MemberChange& c) { return c.key == member.key; });
        std::string text;
        if (change == changes.end()) {
            text = Between(object, member.keySpan.begin, member.value.GetSpan().end);
        } else {
            applied[static_cast<std::size_t>(change - changes.begin())] = true;
            if (!change->value) {
                continue;
            }
            text = Between(object, member.keySpan.begin, member.value.GetSpan().begin) + *change->value;
        }
        // A member keeps the white space it had before it, unless it is now first.
        if (!body.empty()) {
            body += i > 0 ? Between(object, members[i - 1].value.GetSpan().end, member.keySpan.begin)
                          : layout.separator;
        }
        body += text;
    }
    for (std::size_t i = 0; i < changes.size(); ++i) {
        if (!applied[i] && changes[i].value) {
            body +=
                (body.empty() ? "" : layout.separator) + JsonString(changes[i].key) + layout.colon + *changes[i].value;
        }
    }
    return body.empty() ? "{}" : "{" + layout.leading + body + layout.closing + "}";
}

std::string NewObjectLike(const JsonValue& model, const std::vector<std::pair<std::string, std::string>>& members) {
    const ObjectLayout layout = LayoutOf(model, model.Members());
    std::string body;
    for (const auto& [key, value] : members) {
        body += (body.empty() ? "" : layout.separator) + JsonString(key) + layout.colon + value;
    }
    return body.empty() ? "{}" : "{" + layout.leading + body + layout.closing + "}";
}

std::pair<std::size_t, std::string> ArrayAppendix(const JsonValue& array, const std::vector<std::string>& elements) {
    const std::vector<JsonValue> present = array.Elements();
    const Span span = array.GetSpan();
    std::string separator = ", ";
    if (present.size() > 1) {
        separator = Between(array, present[present.size() - 2].GetSpan().end, present.back().GetSpan().begin);
    } else if (present.size() == 1) {
        separator = "," + Between(array, span.begin + 1, present.front().GetSpan().begin);
    }
    std::string text;
    for (const std::string& element : elements) {
        text += (text.empty() && present.empty() ? "" : separator) + element;
    }
    return {present.empty() ? span.begin + 1 : present.back().GetSpan().end, text};
}

namespace {

// A walk over JSON text that is known to be well-formed.
std::size_t SkipBlanks(std::string_view text, std::size_t at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\n' || text[at] == '\r' || text[at] == '\t')) {
        ++at;
    }
    return at;
}

// Just past the string whose opening quote is at `at`.
std::size_t StringEnd(std::string_view text, std::size_t at) {
    for (++at;; ++at) {
        if (text[at] == '\\') {
            ++at;
        } else if (text[at] == '"') {
            return at + 1;
        }
    }
}

// Just past the value that begins at `at`.
std::size_t ValueEnd(std::string_view text, std::size_t at) {
    const char first = text[at];
    if (first == '"') {
        return StringEnd(text, at);
    }
    if (first != '{' && first != '[') {
        while (at < text.size() && text[at] != ',' && text[at] != '}' && text[at] != ']' && text[at] != ' ' &&
               text[at] != '\n' && text[at] != '\r' && text[at] != '\t') {
            ++at;
        }
        return at;
    }
    for (std::size_t depth = 0;;) {
        const char c = text[at];
        if (c == '"') {
            at = StringEnd(text, at);
            continue;
        }
        if (c == '{' || c == '[') {
            ++depth;
        } else if ((c == '}' || c == ']') && --depth == 0) {
            return at + 1;
        }
        ++at;
    }
}

// The member of `object` whose key is `key`, where exactly one has it.
std::optional<Span> OnlyValueOf(const std::string& text, Span object, const std::string& key) {
    std::optional<Span> found;
    std::size_t at = SkipBlanks(text, object.begin + 1);
    while (text[at] != '}') {
        const Span keySpan{at, StringEnd(text, at)};
        const std::size_t valueBegin = SkipBlanks(text, SkipBlanks(text, keySpan.end) + 1);
        const Span value{valueBegin, ValueEnd(text, valueBegin)};
        const std::string_view raw(text.data() + keySpan.begin + 1, keySpan.end - keySpan.begin - 2);
        const bool same = raw.find('\\') == std::string_view::npos ? raw == key
                                                                   : JsonValue(text, keySpan).String() == key;
        if (same) {
            if (found) {
                return std::nullopt;
            }
            found = value;
        }
        at = SkipBlanks(text, value.end);
        if (text[at] == ',') {
            at = SkipBlanks(text, at + 1);
        }
    }
    return found;
}

}  // namespace

void EditObject(const std::string& text, Span object, const std::vector<MemberChange>& changes, TextEdits& edits) {
    // Only a change of a member that is there, and that no other change
    // touches, keeps the object's other bytes as they are.
    std::vector<Span> values;
    values.reserve(changes.size());
    for (std::size_t i = 0; i < changes.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (changes[j].key == changes[i].key) {
                values.clear();
                break;
            }
        }
        const std::optional<Span> value = changes[i].value ? OnlyValueOf(text, object, changes[i].key) : std::nullopt;
        if (!value || values.size() != i) {
            edits.Replace(object, ChangedObject(JsonValue(text, object), changes));
            return;
        }
        values.push_back(*value);
    }
    for (std::size_t i = 0; i < changes.size(); ++i) {
        edits.Replace(values[i], *changes[i].value);
    }
}

std::string JsonNumbers(const float* values, std::size_t count) {
    std::string text = "[";
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::isfinite(values[i])) {
            throw NotFiniteNumber();
        }
        text += i == 0 ? "" : ", ";
        AppendNumber(text, values[i]);
    }
    return text + "]";
}

}  // namespace driver::gltf
