#include "output_file.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

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

void CheckWritable(const std::string& path, const std::string& what) {
    if (path.empty()) {
        throw OutputFileError(what + ": the file name is empty");
    }
    std::error_code error;
    const fs::path file(path);
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
        throw OutputFileError(what + " " + path + ": the folder " + folder.string() + " does not exist");
    }
    if (MORVANE_ACCESS(folder.string().c_str(), kWritable) != 0) {
        throw OutputFileError(what + " " + path + ": the folder " + folder.string() + " is not writable");
    }
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) {
        return fs::equivalent(a, b, error);
    }
    const fs::path first = fs::weakly_canonical(fs::absolute(a, error), error);
    const fs::path second = fs::weakly_canonical(fs::absolute(b, error), error);
    return first == second;
}

void WriteOutputFiles(const std::vector<OutputFile>& files) {
    for (const OutputFile& file : files) {
        if (file.path == "-") {
            std::cout << file.text << std::flush;
            if (!std::cout) {
                throw OutputFileError("standard output cannot be written");
            }
            continue;
        }
        std::ofstream out(file.path, std::ios::binary | std::ios::trunc);
        out << file.text;
        out.close();
        if (!out) {
            throw OutputFileError(file.path + ": cannot be written");
        }
    }
}

}  // namespace driver
