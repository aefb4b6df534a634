#include "files/input_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "files/native_path.h"
#include "files/system_reason.h"

namespace driver {

std::string ReadInputFile(const std::string& path) {
    // A folder opens on some systems, and tells a size that is none.
    std::error_code status;
    if (std::filesystem::is_directory(NativePath(path), status)) {
        throw InputFileError(path + ": cannot be read: is a folder");
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        throw InputFileError(path + ": cannot be opened: " + SystemReason(errno));
    }
    // Read at once into a buffer of the file's size, then on in chunks in
    // case the file has grown meanwhile.
    std::string bytes;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        bytes.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
        std::rewind(file);
    }
    std::size_t filled = std::fread(bytes.data(), 1, bytes.size(), file);
    bytes.resize(filled);
    char chunk[1 << 16];
    while (filled == bytes.size() && (filled = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.append(chunk, filled);
        filled = bytes.size();
    }
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) {
        throw InputFileError(path + ": cannot be read: " + SystemReason(error));
    }
    return bytes;
}

}  // namespace driver
