#include "files/input_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "files/native_path.h"
#include "files/system_reason.h"
#include "text/name_text.h"

namespace driver {

namespace fs = std::filesystem;

namespace {

// Only a regular file is read: a device or a pipe may never end.
void CheckRegular(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(NativePath(path), error);
    if (fs::is_directory(status)) {
        throw InputFileError(Excerpt(path) + ": cannot be read: is a folder");
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        throw InputFileError(Excerpt(path) + ": cannot be read: not a regular file (a device, a pipe or a socket)");
    }
}

[[noreturn]] void TooLarge(const std::string& path) {
    throw InputFileError(Excerpt(path) + ": cannot be read: larger than " + std::to_string(kMaxInputBytes >> 20) +
                         " MiB, the most that morvane-host reads");
}

}  // namespace

std::string ReadInputFile(const std::string& path) {
    CheckRegular(path);
    std::FILE* file = OpenToRead(path);
    if (file == nullptr) {
        throw InputFileError(Excerpt(path) + ": cannot be opened: " + SystemReason(errno));
    }
    // The file may have been replaced between the look and the open.
    std::error_code error;
    const fs::file_status status = fs::status(NativePath(path), error);
    const std::uintmax_t size = fs::is_regular_file(status) ? fs::file_size(NativePath(path), error) : 0;
    if (!fs::is_regular_file(status)) {
        std::fclose(file);
        CheckRegular(path);
        throw InputFileError(Excerpt(path) + ": cannot be read: it changed while it was opened");
    }
    if (size > kMaxInputBytes) {
        std::fclose(file);
        TooLarge(path);
    }
    // At once into a buffer of the file's size, then on in chunks in case
    // the file has grown meanwhile, up to the limit.
    std::string bytes(static_cast<std::size_t>(size), '\0');
    std::size_t filled = std::fread(bytes.data(), 1, bytes.size(), file);
    bytes.resize(filled);
    char chunk[1 << 16];
    while (filled == bytes.size() && (filled = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        if (bytes.size() + filled > kMaxInputBytes) {
            std::fclose(file);
            TooLarge(path);
        }
        bytes.append(chunk, filled);
        filled = bytes.size();
    }
    const bool failed = std::ferror(file) != 0;
    const int readError = errno;
    std::fclose(file);
    if (failed) {
        throw InputFileError(Excerpt(path) + ": cannot be read: " + SystemReason(readError));
    }
    return bytes;
}

}  // namespace driver
