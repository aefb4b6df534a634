// A file's place on POSIX systems: the handle's device and inode, and its
// path as /proc gives it.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/file_identity_platform.h"

namespace driver {

namespace {

#if defined(O_PATH)
constexpr int kLookOnly = O_PATH;  // opens without reading: a pipe does not wait, no read access needed
#else
constexpr int kLookOnly = O_RDONLY | O_NONBLOCK;
#endif

// The path that the descriptor `fd` is open at; `path`'s own resolution
// where /proc is not there.
std::string PathOfHandle(int fd, const std::string& path) {
    char buffer[PATH_MAX + 1];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), buffer, PATH_MAX);
    if (length > 0 && buffer[0] == '/') {
        return std::string(buffer, static_cast<std::size_t>(length));
    }
    char* resolved = ::realpath(path.c_str(), nullptr);
    std::string text = resolved != nullptr ? resolved : path;
    std::free(resolved);
    return text;
}

}  // namespace

OpenOutcome OpenPlace(const std::string& path, FilePlace& place) {
    const int fd = ::open(path.c_str(), kLookOnly | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return errno == ENOENT ? OpenOutcome::Missing : OpenOutcome::Failed;
    }
    struct stat status {};
    const bool looked = ::fstat(fd, &status) == 0;
    if (looked) {
        place.exists = true;
        place.folder = S_ISDIR(status.st_mode);
        place.regular = S_ISREG(status.st_mode);
        place.links = static_cast<std::uint32_t>(status.st_nlink);
        place.identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
        place.realPath = PathOfHandle(fd, path);
    }
    ::close(fd);
    return looked ? OpenOutcome::Opened : OpenOutcome::Failed;
}

std::string FoldedName(const std::string& name) { return name; }

std::optional<FileIdentity> IdentityOfHandle(std::intptr_t handle) {
    struct stat status {};
    if (::fstat(static_cast<int>(handle), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

std::optional<FileIdentity> StandardOutputIdentity() {
    struct stat status {};
    if (::fstat(1, &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

}  // namespace driver
