// A source file on POSIX systems: positioned reads, and copies by
// copy_file_range where the system has it, holes kept as holes.
#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "source_file.h"

namespace safewrite {

namespace {

constexpr std::uint64_t kDirectPieces = 64;

std::int64_t Nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

// Errors after which copy_file_range cannot copy between these two files
// at all (another file system, a kernel without it), while reading and
// writing can.
bool CannotCopyDirectly(int code) {
    return code == EXDEV || code == EINVAL || code == ENOSYS || code == EOPNOTSUPP || code == EBADF || code == ETXTBSY;
}

// Where the next data of `in` starts at or after `at` and where it ends,
// within [at, end): `start` beyond `at` when `at` is in a hole.
struct DataExtent {
    std::uint64_t start;
    std::uint64_t end;
};

DataExtent NextData(int in, std::uint64_t at, std::uint64_t end) {
    const off_t data = ::lseek(in, static_cast<off_t>(at), SEEK_DATA);
    const std::uint64_t start = data >= 0        ? std::min<std::uint64_t>(static_cast<std::uint64_t>(data), end)
                                : errno == ENXIO ? end
                                                 : at;
    if (start > at) {
        return {start, start};
    }
    const off_t hole = ::lseek(in, static_cast<off_t>(at), SEEK_HOLE);
    const std::uint64_t stop = hole > 0 ? std::min<std::uint64_t>(static_cast<std::uint64_t>(hole), end) : end;
    return {at, stop > at ? stop : end};
}

// Copies from `at` towards `end` file to file, in pieces of kDirectPieces
// times CopyPieceSize() (no buffer is needed). Stops early with `direct`
// false when these two files cannot be copied between directly; `at` is
// then where the copy got to.
Error CopyDirectly(int in, int to, std::uint64_t& at, std::uint64_t end, bool& direct) {
    const std::uint64_t limit = std::uint64_t{CopyPieceSize()} * kDirectPieces;
    while (at < end) {
        loff_t from = static_cast<loff_t>(at);
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(limit, end - at));
        const ssize_t copied = ::copy_file_range(in, &from, to, nullptr, piece, 0);
        if (copied > 0) {
            at += static_cast<std::uint64_t>(copied);
        } else if (copied == 0) {
            return Error::Other;  // the file ended early
        } else if (errno != EINTR) {
            if (!CannotCopyDirectly(errno)) {
                return LastError();
            }
            direct = false;
            return Error::None;
        }
    }
    return Error::None;
}

}  // namespace

SourceFile::~SourceFile() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
    }
}

Error SourceFile::Open(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return LastError();
    }
    if (!S_ISREG(status.st_mode)) {
        return S_ISDIR(status.st_mode) ? Error::IsFolder : Error::NotRegular;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return LastError();
    }
    // The path may have come to name something else between the look and the open.
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return Error::NotRegular;
    }
    handle_ = fd;
    if (!StampOfHandle(opened_)) {
        return LastError();
    }
    size_ = opened_.size;
    return Error::None;
}

namespace {

void StampOf(const struct stat& status, std::uint64_t& device, std::uint64_t& file, std::uint64_t& size,
             std::int64_t& modified, std::int64_t& changed) {
    device = static_cast<std::uint64_t>(status.st_dev);
    file = static_cast<std::uint64_t>(status.st_ino);
    size = static_cast<std::uint64_t>(status.st_size);
    modified = Nanoseconds(status.st_mtim);
    changed = Nanoseconds(status.st_ctim);
}

}  // namespace

bool SourceFile::StampOfHandle(Stamp& stamp) const {
    struct stat status {};
    if (::fstat(static_cast<int>(handle_), &status) != 0) {
        return false;
    }
    StampOf(status, stamp.device, stamp.file, stamp.size, stamp.modified, stamp.changed);
    return true;
}

Error SourceFile::ReadAt(std::uint64_t offset, char* data, std::size_t size, std::size_t& got) const {
    got = 0;
    while (got < size) {
        const ssize_t read =
            ::pread(static_cast<int>(handle_), data + got, size - got, static_cast<off_t>(offset + got));
        if (read == 0) {
            break;
        }
        if (read < 0) {
            if (errno == EINTR) {
                continue;
            }
            return LastError();
        }
        got += static_cast<std::size_t>(read);
    }
    return Error::None;
}

Error SourceFile::CopyTo(File& out, std::uint64_t offset, std::uint64_t size) const {
    const int in = static_cast<int>(handle_);
    const int to = static_cast<int>(out.handle_);
    struct stat status {};
    if (::fstat(in, &status) != 0 || static_cast<std::uint64_t>(status.st_size) < offset + size) {
        return Error::Other;  // the file has shrunk
    }
    const std::uint64_t end = offset + size;
    // Holes and direct copies need a regular file to write to (not a pipe).
    if (::fstat(to, &status) != 0 || !S_ISREG(status.st_mode)) {
        return CopyByReading(out, offset, end);
    }
    bool direct = true;
    bool endsInHole = false;
    for (std::uint64_t at = offset; at < end;) {
        const DataExtent data = NextData(in, at, end);
        endsInHole = data.start > at;
        if (endsInHole) {
            if (::lseek(to, static_cast<off_t>(data.start - at), SEEK_CUR) < 0) {
                return LastError();
            }
            at = data.start;
            continue;
        }
        if (direct) {
            if (const Error error = CopyDirectly(in, to, at, data.end, direct); error != Error::None) {
                return error;
            }
        }
        if (const Error error = CopyByReading(out, at, data.end); error != Error::None) {
            return error;
        }
        at = data.end;
    }
    // A hole at the end is made by the file's length.
    const off_t length = endsInHole ? ::lseek(to, 0, SEEK_CUR) : 0;
    if (endsInHole && (length < 0 || ::ftruncate(to, length) != 0)) {
        return LastError();
    }
    return Error::None;
}

}  // namespace safewrite
