#include "files/file_content.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "files/native_path.h"

#include "files/source_bytes.h"
#include "text/name_text.h"
#include "text/refusal.h"

namespace driver {

void FileContent::Add(std::string text) {
    const std::size_t size = text.size();
    Add(std::make_shared<const std::string>(std::move(text)), 0, size);
}

void FileContent::Add(std::shared_ptr<const std::string> text, std::size_t from, std::size_t size) {
    if (from > text->size() || size > text->size() - from) {
        throw CodedError(RefusalCode::Failed, "a part of a file beyond its text");
    }
    size_ += size;
    parts_.push_back({std::move(text), from, size, nullptr, nullptr, 0, 0});
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
    parts_.push_back({std::move(text), 0, size, std::make_shared<const TextEdits>(std::move(edits)), nullptr, 0, 0});
}

void FileContent::Add(std::shared_ptr<const OpenedFile> file, std::uint64_t offset, std::uint64_t size) {
    size_ += size;
    parts_.push_back({nullptr, 0, 0, nullptr, std::move(file), offset, size});
}

void FileContent::MadeFrom(std::shared_ptr<const OpenedFile> file) { madeFrom_.push_back(std::move(file)); }

safewrite::Error FileContent::EachPiece(const std::function<safewrite::Error(std::string_view)>& put) const {
    std::unique_ptr<char[]> buffer;
    const std::size_t pieceSize = safewrite::CopyPieceSize();
    return EachPart(put, [&](const SourceRange& range) {
        if (!buffer) {
            buffer.reset(new char[pieceSize]);
        }
        for (std::uint64_t at = range.offset; at < range.offset + range.size;) {
            const auto piece =
                static_cast<std::size_t>(std::min<std::uint64_t>(pieceSize, range.offset + range.size - at));
            std::size_t got = 0;
            const safewrite::Error error = range.file->ReadAt(at, buffer.get(), piece, got);
            if (error != safewrite::Error::None || got != piece) {
                return error != safewrite::Error::None ? error : safewrite::Error::Other;
            }
            if (const safewrite::Error wrote = put({buffer.get(), got}); wrote != safewrite::Error::None) {
                return wrote;
            }
            at += got;
        }
        return safewrite::Error::None;
    });
}

safewrite::Error FileContent::EachPart(const std::function<safewrite::Error(std::string_view)>& put,
                                       const std::function<safewrite::Error(const SourceRange&)>& copy) const {
    safewrite::Error error = safewrite::Error::None;
    const auto putting = [&](std::string_view piece) {
        error = put(piece);
        return error == safewrite::Error::None;
    };
    for (const Part& part : parts_) {
        if (part.file) {
            error = copy({&part.file->file, part.offset, part.fileSize});
            if (error != safewrite::Error::None) {
                break;
            }
            continue;
        }
        const std::string_view text(*part.text);
        if (part.edits ? !part.edits->EachPiece(text, putting) : !putting(text.substr(part.from, part.size))) {
            break;
        }
    }
    return error;
}

std::optional<std::string> FileContent::ChangedSource() const {
    for (const Part& part : parts_) {
        if (part.file) {
            if (const std::string change = part.file->file.Change(); !change.empty()) {
                return QuotedExcerpt(part.file->path) + ", which it copies from, changed while the run worked (" +
                       change + ")";
            }
        }
    }
    for (const std::shared_ptr<const OpenedFile>& file : madeFrom_) {
        if (const std::string change = file->file.Change(); !change.empty()) {
            return QuotedExcerpt(file->path) + ", which it was made from, changed while the run worked (" + change +
                   ")";
        }
    }
    return std::nullopt;
}

bool FileContent::CopiesFrom(const std::string& path) const {
    for (const Part& part : parts_) {
        std::error_code error;
        if (part.file && std::filesystem::equivalent(NativePath(part.file->path), NativePath(path), error)) {
            return true;
        }
    }
    return false;
}

std::string FileContent::Joined() const {
    std::string joined;
    joined.reserve(static_cast<std::size_t>(size_));
    EachPiece([&](std::string_view piece) {
        joined += piece;
        return safewrite::Error::None;
    });
    return joined;
}

}  // namespace driver
