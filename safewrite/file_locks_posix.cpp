// The writers' lock, the room taken ahead and a file's identity, on POSIX
// systems.
#include <cerrno>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_access_posix.h"
#include "file_calls.h"

namespace safewrite {

Error File::LockNow() {
    while (::flock(Access::Descriptor(*this), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            return Error::InUse;
        }
        if (errno != EINTR) {
            return errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL ? Error::None : LastError();
        }
    }
    return Error::None;
}

// The room is taken beyond the file's end without moving it; a cut to the
// file's own length gives back what lies beyond it.
Error File::Reserve(std::uint64_t size, bool& held) {
    held = false;
#if defined(__linux__)
    int result = 0;
    do {
        result = size == 0 ? 0
                           : ::fallocate(Access::Descriptor(*this), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        held = true;
        return Error::None;
    }
    if (errno != EOPNOTSUPP && errno != ENOSYS) {
        return LastError();
    }
#else
    (void)size;
#endif
    return Error::None;
}

void File::Unreserve(std::uint64_t size) { Resize(size); }

Error IdentityOf(const File& file, Identity& identity) {
    struct stat status {};
    if (::fstat(Access::Descriptor(file), &status) != 0) {
        return LastError();
    }
    identity.device = static_cast<std::uint64_t>(status.st_dev);
    identity.file = static_cast<std::uint64_t>(status.st_ino);
    identity.born = 0;
#if defined(__linux__) && defined(STATX_BTIME)
    struct statx extended {};
    if (::statx(Access::Descriptor(file), "", AT_EMPTY_PATH, STATX_BTIME, &extended) == 0 &&
        (extended.stx_mask & STATX_BTIME) != 0) {
        identity.born =
            static_cast<std::uint64_t>(extended.stx_btime.tv_sec) * 1000000000U + extended.stx_btime.tv_nsec;
    }
#endif
    return Error::None;
}

bool IsPrivateFile(const File& file) {
    struct stat status {};
    return ::fstat(Access::Descriptor(file), &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink == 1 &&
           status.st_uid == ::geteuid() && (status.st_mode & 077) == 0;
}

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path.front() == '/') {
        return path;
    }
    std::vector<char> folder(4096);
    while (::getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) {
            return path;
        }
        folder.resize(folder.size() * 2);
    }
    const std::string here = folder.data();
    return here + (here.back() == '/' ? "" : "/") + path;
}

}  // namespace safewrite
