#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "source_file.h"

namespace driver {

class FileContent;

// A file held open from when it was read to when what it holds is copied
// into the files written, with its name as messages give it.
struct OpenedFile {
    safewrite::SourceFile file;
    std::string path;
};

// The bytes of the file that a scene is read from: a text given to the
// reader, or a file held open and read only where the format asks (so that
// a GLB file's binary chunk is never held). What is read of a file may be
// kept, so that the scene can be read again without reading the file again
// (the viewer's undo).
class SourceBytes {
public:
    SourceBytes() = default;  // none
    explicit SourceBytes(std::string bytes) : held_(std::make_shared<const std::string>(std::move(bytes))) {}
    // The regular file at `path`, opened. Throws InputFileError as
    // ReadInputFile does when it cannot be opened.
    static SourceBytes OfFile(const std::string& path, bool keepWhatIsRead = false);

    std::uint64_t Size() const;
    // The bytes [offset, offset + size), which lie within Size(). Throws
    // InputFileError when the file cannot give them.
    std::shared_ptr<const std::string> Read(std::uint64_t offset, std::size_t size) const;
    // Every byte, for a format that reads its files whole; a file larger
    // than kMaxInputBytes is refused, as ReadInputFile refuses it.
    std::shared_ptr<const std::string> Whole() const;
    // Adds the bytes [offset, offset + size) to `content`: a slice of the
    // text, or a range that the file gives when the content is written.
    void AddTo(FileContent& content, std::uint64_t offset, std::uint64_t size) const;
    // Throws InputFileError when bytes were read from the file since the
    // last check and it is no longer as it was opened: what was read may
    // mix two versions (a text: nothing to check).
    void CheckUnchanged() const;
    // Tells `content` that bytes of the file were read into it, so that a
    // change of the file refuses it (a text: nothing to tell).
    void MadeInto(FileContent& content) const;

private:
    std::shared_ptr<const std::string> held_;
    std::shared_ptr<const OpenedFile> file_;
    using Kept = std::map<std::pair<std::uint64_t, std::size_t>, std::shared_ptr<const std::string>>;
    std::shared_ptr<Kept> kept_;  // what was read of the file, where it is kept
    std::shared_ptr<std::atomic<bool>> readSinceCheck_;
};

}  // namespace driver
