// What both platforms' source files share: the size of a copy's pieces and
// the copy that reads and writes through a buffer.
#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

#include "source_file.h"

namespace safewrite {

namespace {

std::atomic<std::size_t> pieceSize{std::size_t{1} << 20};

}  // namespace

std::size_t CopyPieceSize() { return pieceSize; }
void SetCopyPieceSize(std::size_t size) { pieceSize = std::max<std::size_t>(size, 1); }

std::string SourceFile::Change() const {
    Stamp now;
    if (!StampOfHandle(now)) {
        return "it can no longer be looked at";
    }
    if (now.size != opened_.size) {
        return "it was " + std::to_string(opened_.size) + " bytes, now " + std::to_string(now.size);
    }
    if (now.modified != opened_.modified) {
        return "its modification time changed";
    }
    if (now.changed != opened_.changed || now.device != opened_.device || now.file != opened_.file) {
        return "it was written to, or its names or attributes changed";
    }
    return "";
}

Error SourceFile::CopyByReading(File& out, std::uint64_t from, std::uint64_t end) const {
    const std::size_t pieceLimit = CopyPieceSize();
    std::unique_ptr<char[]> buffer;
    for (std::uint64_t at = from; at < end;) {
        if (!buffer) {
            buffer.reset(new char[pieceLimit]);
        }
        const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(pieceLimit, end - at));
        std::size_t got = 0;
        if (const Error error = ReadAt(at, buffer.get(), piece, got); error != Error::None || got == 0) {
            return error != Error::None ? error : Error::Other;
        }
        if (const Error error = out.Write(buffer.get(), got); error != Error::None) {
            return error;
        }
        at += got;
    }
    return Error::None;
}

}  // namespace safewrite
