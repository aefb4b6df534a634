#include "text/text_edits.h"
#include "text/refusal.h"

#include <algorithm>

namespace driver {

void TextEdits::Order() {
    // An edit's new text lies after those of the edits made before it, so
    // where two begin at one place, the place of their texts tells their
    // order; where that is the same too, the first has an empty text, and
    // only an insertion may come before a replacement there.
    const auto before = [](const Edit& a, const Edit& b) {
        if (a.span.begin != b.span.begin) {
            return a.span.begin < b.span.begin;
        }
        return a.from != b.from ? a.from < b.from : a.span.end < b.span.end;
    };
    if (!std::is_sorted(edits_.begin(), edits_.end(), before)) {
        std::sort(edits_.begin(), edits_.end(), before);
    }
    ordered_ = true;
}

std::size_t TextEdits::Size(std::size_t size) const {
    CheckOrdered();
    for (const Edit& edit : edits_) {
        size = size - (edit.span.end - edit.span.begin) + edit.size;
    }
    return size;
}

bool TextEdits::LeaveAsIs(std::string_view text) const {
    if (edits_.empty()) {
        return true;
    }
    if (Size(text.size()) != text.size()) {
        return false;
    }
    std::size_t at = 0;
    return EachPiece(text, [&](std::string_view piece) {
        const bool same = text.compare(at, piece.size(), piece) == 0;
        at += piece.size();
        return same;
    });
}

std::string TextEdits::AppliedTo(std::string_view text) {
    Order();
    std::string result;
    result.reserve(Size(text.size()));
    EachPiece(text, [&](std::string_view piece) {
        result += piece;
        return true;
    });
    return result;
}

void TextEdits::CheckOrdered() const {
    if (!ordered_) {
        throw CodedError(RefusalCode::Failed, "text edits used before they were put in order");
    }
}

void TextEdits::Misplaced() {
    throw CodedError(RefusalCode::Failed, "text edits that overlap or lie beyond their text");
}

}  // namespace driver
