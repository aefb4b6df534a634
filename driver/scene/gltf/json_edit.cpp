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
    layout.separator = members.size() > 1
                           ? Between(object, members[0].value.GetSpan().end, members[1].keySpan.begin)
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
        const auto change = std::find_if(changes.begin(), changes.end(),
                                         [&](const MemberChange& c) { return c.key == member.key; });
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
            body += (body.empty() ? "" : layout.separator) + JsonString(changes[i].key) + layout.colon +
                    *changes[i].value;
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

std::string TextEdits::AppliedTo(const std::string& text) const {
    std::vector<const std::pair<Span, std::string>*> order;
    for (const auto& edit : edits_) {
        order.push_back(&edit);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto* a, const auto* b) { return a->first.begin < b->first.begin; });
    std::string result;
    std::size_t at = 0;
    for (const auto* edit : order) {
        result.append(text, at, edit->first.begin - at);
        result += edit->second;
        at = edit->first.end;
    }
    result.append(text, at, std::string::npos);
    return result;
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
