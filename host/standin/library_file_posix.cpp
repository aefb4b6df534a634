// Reading a library file on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "standin/library_image.h"

namespace standin {

namespace {

// The system's reason for an error number, as a phrase: "permission denied".
std::string SystemReason(int code) {
    std::string reason = std::strerror(code);
    if (!reason.empty()) {
        reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
    }
    return reason;
}

}  // namespace

bool ReadLibraryFile(const std::string& path, std::vector<char>& bytes, std::string& error) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        error = path + ": cannot be opened: " + SystemReason(errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        error = path + (S_ISDIR(status.st_mode) ? ": is a folder, not a plug-in library" : ": not a regular file");
        return false;
    }
    if (static_cast<std::uint64_t>(status.st_size) > kMaxLibraryBytes) {
        error = path + ": larger than a plug-in library may be (" + std::to_string(kMaxLibraryBytes >> 20) + " MiB)";
        return false;
    }
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be opened: " + SystemReason(errno != 0 ? errno : EACCES);
        return false;
    }
    bytes.resize(static_cast<std::size_t>(status.st_size));
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())) ||
        in.peek() != std::ifstream::traits_type::eof()) {
        error = path + ": cannot be read whole (it changed while it was read)";
        return false;
    }
    return true;
}

// Opened without blocking, so that a pipe of that name is read as the
// empty non-library it is instead of waiting for a writer.
OpenLibraryFile::OpenLibraryFile(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        reason_ = SystemReason(errno);
        return;
    }
    handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(descriptor));
    const std::string name = "/proc/self/fd/" + std::to_string(descriptor);
    struct stat byName {};
    struct stat opened {};
    // Without /proc the path is all there is.
    const bool reachable = ::stat(name.c_str(), &byName) == 0 && ::fstat(descriptor, &opened) == 0 &&
                           byName.st_dev == opened.st_dev && byName.st_ino == opened.st_ino;
    name_ = reachable ? name : path;
}

OpenLibraryFile::~OpenLibraryFile() {
    if (handle_ != nullptr) {
        ::close(static_cast<int>(reinterpret_cast<std::intptr_t>(handle_)));
    }
}

}  // namespace standin
