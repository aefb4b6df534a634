// Reading a library file on POSIX systems.
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
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

}  // namespace standin
