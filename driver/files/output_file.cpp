#include "files/output_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "files/native_path.h"
#include "files/system_reason.h"

#if defined(_WIN32)
#include <io.h>
#define MORVANE_ACCESS _access
constexpr int kWritable = 2;
#else
#include <unistd.h>
#define MORVANE_ACCESS access
constexpr int kWritable = W_OK;
#endif

namespace driver {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void FailToWrite(const std::string& path, int error) {
    throw OutputFileError(path + ": cannot be written: " + SystemReason(error != 0 ? error : EIO));
}

}  // namespace

void CheckWritable(const std::string& path, const std::string& what) {
    if (path.empty()) {
        throw OutputFileError(what + ": the file name is empty");
    }
    std::error_code error;
    const fs::path file = NativePath(path);
    const fs::file_status status = fs::status(file, error);
    if (fs::is_directory(status)) {
        throw OutputFileError(what + " " + path + ": is a folder");
    }
    if (fs::exists(status)) {
        if (MORVANE_ACCESS(path.c_str(), kWritable) != 0) {
            throw OutputFileError(what + " " + path + ": the file is not writable");
        }
        return;
    }
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, error)) {
        throw OutputFileError(what + " " + path + ": the folder " + NativeText(folder) + " does not exist");
    }
    if (MORVANE_ACCESS(NativeText(folder).c_str(), kWritable) != 0) {
        throw OutputFileError(what + " " + path + ": the folder " + NativeText(folder) + " is not writable");
    }
}

void FlushStandardOutput() {
    errno = 0;
    std::cout.flush();
    if (!std::cout) {
        throw OutputFileError("standard output cannot be written: " + SystemReason(errno != 0 ? errno : EIO));
    }
}

void WriteOutputFiles(const std::vector<OutputFile>& files) {
    for (const OutputFile& file : files) {
        if (file.path == "-") {
            std::cout << file.text;
            FlushStandardOutput();
            continue;
        }
        errno = 0;
        std::FILE* out = std::fopen(file.path.c_str(), "wb");
        if (out == nullptr) {
            FailToWrite(file.path, errno);
        }
        const bool whole = std::fwrite(file.text.data(), 1, file.text.size(), out) == file.text.size() &&
                           std::fflush(out) == 0;
        const int error = errno;
        const bool closed = std::fclose(out) == 0;
        if (!whole || !closed) {
            FailToWrite(file.path, whole ? errno : error);
        }
    }
}

}  // namespace driver
