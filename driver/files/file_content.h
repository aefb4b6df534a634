#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "replacement.h"
#include "text/text_edits.h"

namespace driver {

// What a file to write holds, as parts in order: texts of its own, slices
// of a shared text, or a shared text with edits made. It shares whatever
// its parts view, so it stays valid whatever becomes of the scene that made
// it, and a large file is written piece by piece without ever being one
// string.
class FileContent final : public safewrite::Content {
public:
    FileContent() = default;
    // A file of `text`; implicit, as a text is what most files hold.
    FileContent(std::string text) { Add(std::move(text)); }
    FileContent(const char* text) : FileContent(std::string(text)) {}

    void Add(std::string text);
    // The bytes [from, from + size) of `text`.
    void Add(std::shared_ptr<const std::string> text, std::size_t from, std::size_t size);
    // `text` with `edits` made (they are put in order here).
    void Add(std::shared_ptr<const std::string> text, TextEdits edits);

    std::size_t Size() const { return size_; }
    safewrite::Error EachPiece(const std::function<safewrite::Error(std::string_view)>& put) const override;
    // The content whole.
    std::string Joined() const;

private:
    struct Part {
        std::shared_ptr<const std::string> text;
        std::size_t from = 0;
        std::size_t size = 0;
        std::shared_ptr<const TextEdits> edits;  // none: the slice as it is
    };
    std::vector<Part> parts_;
    std::size_t size_ = 0;
};

}  // namespace driver
