#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text/text_span.h"

namespace driver {

// Replacements of parts of one text, made all at once. The new texts are
// kept end to end in one string, so a million edits cost no million
// allocations, and the edited text is handed out in pieces (slices of the
// text between edits, and the edits' texts), so that it need never be
// built whole.
class TextEdits {
public:
    // Spans must not overlap; an empty span inserts. Edits at one place
    // apply in the order they were made.
    void Replace(Span span, std::string_view text) {
        edits_.push_back({span, texts_.size(), text.size()});
        texts_ += text;
        ordered_ = false;
    }
    bool Empty() const { return edits_.empty(); }
    // Room for `count` edits: room that no edit takes costs no memory.
    void Reserve(std::size_t count) { edits_.reserve(count); }

    // Puts the edits in the text's order, which Size and EachPiece need.
    void Order();
    // The size of a text of `size` bytes with the edits made.
    std::size_t Size(std::size_t size) const;
    // Calls `put` with the pieces of `text` with the edits made, in order,
    // none of them empty; stops when `put` gives false. Throws
    // std::logic_error for edits out of order, overlapping or beyond the
    // text.
    template <typename Put>
    bool EachPiece(std::string_view text, Put&& put) const;
    // Whether the edits leave `text` as it was.
    bool LeaveAsIs(std::string_view text) const;
    // The text with the edits made, whole.
    std::string AppliedTo(std::string_view text);

private:
    struct Edit {
        Span span;
        std::size_t from;  // the new text, in texts_
        std::size_t size;
    };
    void CheckOrdered() const;
    [[noreturn]] static void Misplaced();

    std::vector<Edit> edits_;
    std::string texts_;
    bool ordered_ = true;
};

template <typename Put>
bool TextEdits::EachPiece(std::string_view text, Put&& put) const {
    CheckOrdered();
    std::size_t at = 0;
    const auto slice = [&](std::string_view source, std::size_t from, std::size_t size) {
        return size == 0 || put(source.substr(from, size));
    };
    for (const Edit& edit : edits_) {
        if (edit.span.begin < at || edit.span.end < edit.span.begin || edit.span.end > text.size()) {
            Misplaced();
        }
        if (!slice(text, at, edit.span.begin - at) || !slice(texts_, edit.from, edit.size)) {
            return false;
        }
        at = edit.span.end;
    }
    return slice(text, at, text.size() - at);
}

}  // namespace driver
