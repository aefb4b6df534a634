#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "file_calls.h"

namespace safewrite {

// A regular file that content is read and copied from, held open from the
// start of a run to its writes, so that what is copied is the file that was
// read even when its name comes to lead elsewhere. Offsets are 64 bits on
// every platform. Reads are positioned: one object may serve several
// readers at once. Other programs may still write, rename or delete the
// file while it is open; Change tells whether it is still the file that
// was opened, as it was.
class SourceFile {
public:
    SourceFile() = default;
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;
    ~SourceFile();

    // Opens the regular file at `path`; anything else (a folder, a device,
    // a pipe) is refused unopened, with IsFolder or NotRegular.
    Error Open(const std::string& path);
    // The size when it was opened.
    std::uint64_t Size() const { return size_; }
    // The descriptor or HANDLE it is open as (-1: none), to be looked at.
    std::intptr_t Handle() const { return handle_; }
    // Reads up to `size` bytes at `offset`; `got` is short only at the end of the file.
    Error ReadAt(std::uint64_t offset, char* data, std::size_t size, std::size_t& got) const;
    // How the file differs from what it was when it was opened, as a
    // phrase ("it was 120 bytes, now 96"); "" when it is the same. Its
    // identity (device and file number), size, modification time and
    // change time tell: a write that puts the modification time back still
    // moves the change time, and so does a file renamed over this one's
    // name (which takes that name from it).
    std::string Change() const;
    // Appends the bytes [offset, offset + size) of this file to `out`, at
    // its position: file to file where the system can (in pieces of 64
    // times CopyPieceSize(); into a regular file, the file's holes left
    // holes), else read and written in pieces of CopyPieceSize(). Other if
    // the file ends before them.
    Error CopyTo(File& out, std::uint64_t offset, std::uint64_t size) const;

private:
    // Copies [from, end) through a buffer of CopyPieceSize() bytes.
    Error CopyByReading(File& out, std::uint64_t from, std::uint64_t end) const;

    // What tells the file and its state, in the system's own units.
    struct Stamp {
        std::uint64_t device = 0;
        std::uint64_t file = 0;
        std::uint64_t size = 0;
        std::int64_t modified = 0;
        std::int64_t changed = 0;
    };
    bool StampOfHandle(Stamp& stamp) const;

    std::intptr_t handle_ = -1;  // a descriptor or a HANDLE
    std::uint64_t size_ = 0;
    Stamp opened_;
};

// The most bytes one read of a source moves (1 MiB), and what a copy holds
// at once; a test may make it small to see a file copied in many pieces.
std::size_t CopyPieceSize();
void SetCopyPieceSize(std::size_t size);

}  // namespace safewrite
