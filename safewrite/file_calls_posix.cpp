// The safe writing's file calls on POSIX systems.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_access_posix.h"
#include "file_calls.h"

namespace safewrite {

namespace {

// The error number of this thread's last Error::Other.
thread_local int otherCode = 0;

// As many links as the system itself follows in one path.
constexpr int kMaxLinks = 40;

Error ErrorOf(int code) {
    switch (code) {
        case 0:
            return Error::None;
        case ENOENT:
            return Error::NotFound;
        case ENOTDIR:
            return Error::NoFolder;
        case EACCES:
        case EPERM:
            return Error::Denied;
        case EISDIR:
            return Error::IsFolder;
        case EEXIST:
            return Error::Exists;
        case EBUSY:
            return Error::Busy;
        case ETXTBSY:
            return Error::InUse;
        case EPIPE:
            return Error::ReaderGone;
        case ENXIO:
            return Error::NoReader;
        case ENOSPC:
        case EDQUOT:
            return Error::NoSpace;
        case EFBIG:
            return Error::TooLarge;
        case ENAMETOOLONG:
            return Error::NameTooLong;
        case EROFS:
            return Error::ReadOnly;
        case ELOOP:
            return Error::LinkLoop;
        case EIO:
            return Error::Io;
        case EMFILE:
        case ENFILE:
            return Error::TooManyFiles;
        default:
            otherCode = code;
            return Error::Other;
    }
}

// Opened without waiting for a pipe's other end; later calls block again.
int OpenNow(const char* path, int flags) {
    const int fd = ::open(path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    return fd;
}

Error ReadLink(const std::string& path, std::string& link) {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t got = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (got < 0) {
            return LastError();
        }
        if (static_cast<std::size_t>(got) < buffer.size()) {
            link.assign(buffer.data(), static_cast<std::size_t>(got));
            return Error::None;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

Error LastError() { return ErrorOf(errno); }

const char* OtherReason() {
    thread_local std::string reason;
    reason = otherCode != 0 ? std::strerror(otherCode) : "";
    if (reason.empty()) {
        return "an unexpected system error";
    }
    reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
    return reason.c_str();
}

Error File::Write(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t wrote = ::write(Access::Descriptor(*this), data, size);
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return LastError();
        }
        data += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    return Error::None;
}

Error File::Read(char* data, std::size_t capacity, std::size_t& got) {
    for (;;) {
        const ssize_t read = ::read(Access::Descriptor(*this), data, capacity);
        if (read >= 0) {
            got = static_cast<std::size_t>(read);
            return Error::None;
        }
        if (errno != EINTR) {
            got = 0;
            return LastError();
        }
    }
}

Error File::Truncate() {
    struct stat status {};
    if (::fstat(Access::Descriptor(*this), &status) != 0) {
        return LastError();
    }
    if (S_ISREG(status.st_mode) &&
        (::ftruncate(Access::Descriptor(*this), 0) != 0 || ::lseek(Access::Descriptor(*this), 0, SEEK_SET) != 0)) {
        return LastError();
    }
    return Error::None;
}

Error ReadAtHandle(std::intptr_t handle, std::uint64_t offset, char* data, std::size_t size, std::size_t& got) {
    got = 0;
    while (got < size) {
        const ssize_t read =
            ::pread(static_cast<int>(handle), data + got, size - got, static_cast<off_t>(offset + got));
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

Error File::ReadAt(std::uint64_t offset, char* data, std::size_t size, std::size_t& got) {
    return ReadAtHandle(handle_, offset, data, size, got);
}

Error File::WriteAt(std::uint64_t offset, const char* data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t wrote =
            ::pwrite(Access::Descriptor(*this), data + done, size - done, static_cast<off_t>(offset + done));
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return LastError();
        }
        done += static_cast<std::size_t>(wrote);
    }
    return Error::None;
}

Error File::SizeNow(std::uint64_t& size) {
    struct stat status {};
    if (::fstat(Access::Descriptor(*this), &status) != 0) {
        return LastError();
    }
    size = static_cast<std::uint64_t>(status.st_size);
    return Error::None;
}

Error File::Resize(std::uint64_t size) {
    while (::ftruncate(Access::Descriptor(*this), static_cast<off_t>(size)) != 0) {
        if (errno != EINTR) {
            return LastError();
        }
    }
    return Error::None;
}

Error File::Sync() {
    // A pipe or a device has nothing to put on a disk.
    const int fd = Access::Descriptor(*this);
    return ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS ? Error::None : LastError();
}

Error File::Close() {
    if (!IsOpen()) {
        return Error::None;
    }
    const int fd = Access::Descriptor(*this);
    handle_ = kNone;
    // A close interrupted by a signal has closed the descriptor anyway.
    return ::close(fd) == 0 || errno == EINTR ? Error::None : LastError();
}

Target OpenTarget(const std::string& path) {
    Target target;
    target.path = path;
    struct stat status {};
    for (int links = 0;; ++links) {
        if (::lstat(target.path.c_str(), &status) != 0) {
            target.error = errno == ENOENT ? Error::None : LastError();
            return target;  // Missing: a dangling link leads to the file to create
        }
        if (!S_ISLNK(status.st_mode)) {
            break;
        }
        std::string link;
        if (links == kMaxLinks) {
            target.error = Error::LinkLoop;
            return target;
        }
        if ((target.error = ReadLink(target.path, link)) != Error::None) {
            return target;
        }
        const bool absolute = !link.empty() && link.front() == '/';
        target.path = absolute ? link : target.path.substr(0, FolderLength(target.path)) + link;
    }
    if (S_ISDIR(status.st_mode)) {
        target.kind = Kind::Folder;
        return target;
    }
    target.kind = S_ISREG(status.st_mode) ? Kind::Regular : Kind::Other;
    // Read too where it may be, so that a write in place can keep the old bytes.
    int fd = S_ISREG(status.st_mode) ? OpenNow(target.path.c_str(), O_RDWR) : -1;
    target.readable = fd >= 0;
    if (fd < 0) {
        fd = OpenNow(target.path.c_str(), O_WRONLY);
    }
    if (fd < 0) {
        target.error = LastError();
        return target;
    }
    Access::Handle(target.file) = fd;
    struct stat folder {};
    if (::fstat(fd, &status) == 0) {
        target.kind = S_ISREG(status.st_mode) ? Kind::Regular : Kind::Other;
        target.linked = target.kind == Kind::Regular && status.st_nlink > 1;
        const std::size_t folderLength = FolderLength(target.path);
        const std::string folderPath = folderLength == 0 ? "." : target.path.substr(0, folderLength);
        target.mountPoint = target.kind == Kind::Regular && ::stat(folderPath.c_str(), &folder) == 0 &&
                            folder.st_dev != status.st_dev;
    }
    return target;
}

std::string SystemTemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    std::string path = folder != nullptr && folder[0] == '/' ? folder : "/tmp";
    return path.back() == '/' ? path : path + '/';
}

Error CreateTemporary(const std::string& path, bool ownerOnly, File& file) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, ownerOnly ? 0600 : 0666);
    if (fd < 0) {
        return errno == ENOENT ? Error::NoFolder : LastError();
    }
    file = File();
    Access::Handle(file) = fd;
    // A writer that looked for stale temporaries between the open and the
    // lock may be removing this one, or may have removed it already. On a
    // file system without locks the temporary stays unheld, and only the
    // process number in its name keeps other writers off it.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        file.Close();
        return Error::Exists;
    }
    struct stat held {};
    struct stat named {};
    if (::fstat(fd, &held) != 0 || ::lstat(path.c_str(), &named) != 0 || held.st_dev != named.st_dev ||
        held.st_ino != named.st_ino) {
        file.Close();
        return Error::Exists;
    }
    return Error::None;
}

bool RemoveUnlessHeld(const std::string& path, unsigned long writer) {
    const int fd = OpenNow(path.c_str(), O_RDONLY | O_NOFOLLOW);
    if (fd < 0) {
        return false;
    }
    // A shared lock: two writers may clear the same stale temporary, but
    // neither while its own writer holds it. Only a file system without
    // locks leaves the process number to tell.
    bool removed = false;
    struct stat held {};
    struct stat named {};
    const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) == 0;
    const bool unheld = locked || (errno != EWOULDBLOCK && writer != ProcessId() && ProcessHasEnded(writer));
    if (unheld && ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::lstat(path.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
        removed = ::unlink(path.c_str()) == 0;
    }
    ::close(fd);
    return removed;
}

Error KeepOwnerAndMode(const File& original, File& copy, const std::string&) {
    struct stat was {};
    struct stat now {};
    if (::fstat(Access::Descriptor(original), &was) != 0 || ::fstat(Access::Descriptor(copy), &now) != 0) {
        return LastError();
    }
    // The owner first: changing it may clear the set-id bits of the mode.
    if ((was.st_uid != now.st_uid || was.st_gid != now.st_gid) &&
        ::fchown(Access::Descriptor(copy), was.st_uid, was.st_gid) != 0) {
        return LastError();
    }
    return ::fchmod(Access::Descriptor(copy), was.st_mode & 07777) == 0 ? Error::None : LastError();
}

Error Replace(File& file, const std::string& replacement, const std::string& target) {
    const Error error = ::rename(replacement.c_str(), target.c_str()) == 0 ? Error::None : LastError();
    // Synced before: a late error of the close changes nothing on the disk.
    file.Close();
    return error;
}

void Remove(const std::string& path) { RemoveNow(path.c_str()); }

void RemoveNow(const char* path) { ::unlink(path); }

Error OpenSource(const std::string& path, File& file, std::uint64_t& size) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return LastError();
    }
    if (!S_ISREG(status.st_mode)) {
        return S_ISDIR(status.st_mode) ? Error::IsFolder : Error::NotRegular;
    }
    const int fd = OpenNow(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return LastError();
    }
    file = File();
    Access::Handle(file) = fd;
    // The file may have changed between the look and the open.
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        file.Close();
        return Error::NotRegular;
    }
    size = static_cast<std::uint64_t>(status.st_size);
    return Error::None;
}

unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }

bool ProcessHasEnded(unsigned long id) {
    const auto pid = static_cast<pid_t>(id);
    return pid > 0 && static_cast<unsigned long>(pid) == id && ::kill(pid, 0) != 0 && errno == ESRCH;
}

std::size_t FolderLength(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace safewrite
