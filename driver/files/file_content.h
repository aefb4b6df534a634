#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "replacement.h"
#include "text/text_edits.h"

namespace driver {

struct OpenedFile;

// What a file to write holds, as parts in order: texts of its own, slices
// of a shared text, or a shared text with edits made. It shares whatever
// its parts view, so it stays valid whatever becomes of the scene that made
// it, and a large file is written piece by piece without ever being one
// string. A part may also be a range of a file held open, which is copied
// from that file, file to file where the writer can, when it is written.
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
    // The bytes [offset, offset + size) of the open `file`.
    void Add(std::shared_ptr<const OpenedFile> file, std::uint64_t offset, std::uint64_t size);
    // A file that the content was made from (bytes of it read into a
    // text): ChangedSource looks at it too.
    void MadeFrom(std::shared_ptr<const OpenedFile> file);

    std::uint64_t Size() const { return size_; }
    // Files read in pieces; Other when a file holds fewer bytes than its range.
    safewrite::Error EachPiece(const std::function<safewrite::Error(std::string_view)>& put) const override;
    safewrite::Error EachPart(const std::function<safewrite::Error(std::string_view)>& put,
                              const std::function<safewrite::Error(const SourceRange&)>& copy) const override;
    // Why the content cannot be made as it was meant: a file it copies from
    // or was made from changed since it was opened ("\"in.glb", which it
    // copies from, changed while the run worked (...)"); "" when none did.
    std::string ChangedSource() const;
    // Whether a part is copied from the file at `path` (the same file by
    // any name).
    bool CopiesFrom(const std::string& path) const;
    // The content whole.
    std::string Joined() const;

private:
    struct Part {
        std::shared_ptr<const std::string> text;
        std::size_t from = 0;
        std::size_t size = 0;
        std::shared_ptr<const TextEdits> edits;  // none: the slice as it is
        std::shared_ptr<const OpenedFile> file;  // else a range of it: [offset, offset + fileSize)
        std::uint64_t offset = 0;
        std::uint64_t fileSize = 0;
    };
    std::vector<Part> parts_;
    std::vector<std::shared_ptr<const OpenedFile>> madeFrom_;
    std::uint64_t size_ = 0;
};

}  // namespace driver
