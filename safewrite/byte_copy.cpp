#include "byte_copy.h"

#include <algorithm>
#include <memory>

#include "replacement.h"
#include "source_file.h"

namespace safewrite {

namespace {

// Small pieces are gathered to this size before they are written; larger
// ones are written as they are. A million short names thus cost a few
// hundred writes, not a million.
constexpr std::size_t kGathered = std::size_t{256} * 1024;

}  // namespace

Error WriteAll(File& file, const Content& content, bool sync) {
    std::unique_ptr<char[]> buffer;
    std::size_t held = 0;
    const auto flush = [&] {
        const Error error = held > 0 ? file.Write(buffer.get(), held) : Error::None;
        held = 0;
        return error;
    };
    const auto copy = [&](const Content::SourceRange& range) {
        const Error flushed = flush();
        return flushed != Error::None ? flushed : range.file->CopyTo(file, range.offset, range.size);
    };
    Error error = content.EachPart(
        [&](std::string_view piece) {
        if (held + piece.size() > kGathered) {
            if (const Error flushed = flush(); flushed != Error::None) {
                return flushed;
            }
        }
        if (piece.size() >= kGathered) {
            return file.Write(piece.data(), piece.size());
        }
        if (!buffer) {
            buffer.reset(new char[kGathered]);
        }
        std::copy(piece.begin(), piece.end(), buffer.get() + held);
        held += piece.size();
        return Error::None;
        },
        copy);
    if (error == Error::None) {
        error = flush();
    }
    return error != Error::None || !sync ? error : file.Sync();
}

Error WriteAndClose(File& file, const Content& content) {
    const Error written = WriteAll(file, content, true);
    const Error closed = file.Close();
    return written != Error::None ? written : closed;
}

Error CopyOver(File& from, std::uint64_t fromOffset, File& to, std::uint64_t toOffset, std::uint64_t size) {
    const std::size_t pieceLimit = CopyPieceSize();
    const std::unique_ptr<char[]> buffer(new char[pieceLimit]);
    for (std::uint64_t at = 0; at < size;) {
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(pieceLimit, size - at));
        std::size_t got = 0;
        if (const Error error = from.ReadAt(fromOffset + at, buffer.get(), piece, got);
            error != Error::None || got != piece) {
            return error != Error::None ? error : Error::Other;
        }
        if (const Error error = to.WriteAt(toOffset + at, buffer.get(), piece); error != Error::None) {
            return error;
        }
        at += piece;
    }
    return Error::None;
}

}  // namespace safewrite
