#include "files/file_content.h"

#include <stdexcept>

namespace driver {

void FileContent::Add(std::string text) {
    const std::size_t size = text.size();
    Add(std::make_shared<const std::string>(std::move(text)), 0, size);
}

void FileContent::Add(std::shared_ptr<const std::string> text, std::size_t from, std::size_t size) {
    if (from > text->size() || size > text->size() - from) {
        throw std::out_of_range("a part of a file beyond its text");
    }
    size_ += size;
    parts_.push_back({std::move(text), from, size, nullptr});
}

void FileContent::Add(std::shared_ptr<const std::string> text, TextEdits edits) {
    if (edits.Empty()) {
        const std::size_t size = text->size();
        Add(std::move(text), 0, size);
        return;
    }
    edits.Order();
    const std::size_t size = edits.Size(text->size());
    size_ += size;
    parts_.push_back({std::move(text), 0, size, std::make_shared<const TextEdits>(std::move(edits))});
}

safewrite::Error FileContent::EachPiece(const std::function<safewrite::Error(std::string_view)>& put) const {
    safewrite::Error error = safewrite::Error::None;
    const auto putting = [&](std::string_view piece) {
        error = put(piece);
        return error == safewrite::Error::None;
    };
    for (const Part& part : parts_) {
        const std::string_view text(*part.text);
        if (part.edits ? !part.edits->EachPiece(text, putting) : !putting(text.substr(part.from, part.size))) {
            break;
        }
    }
    return error;
}

std::string FileContent::Joined() const {
    std::string joined;
    joined.reserve(size_);
    EachPiece([&](std::string_view piece) {
        joined += piece;
        return safewrite::Error::None;
    });
    return joined;
}

}  // namespace driver
