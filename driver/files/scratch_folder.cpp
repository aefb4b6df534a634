#include "files/scratch_folder.h"

#include <filesystem>
#include <random>
#include <system_error>

#include "files/native_path.h"
#include "files/output_file.h"

namespace driver {

namespace fs = std::filesystem;

// A name that no other run picks, made anew while one is taken; the folder
// is made by this run alone, so no one else's file can be in it.
ScratchFolder::ScratchFolder() {
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    if (error) {
        throw OutputFileError("no temporary folder: " + error.message());
    }
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path folder = base / ("morvane-" + std::to_string(random() % 1000000000000ULL));
        if (fs::create_directory(folder, error)) {
            fs::permissions(folder, fs::perms::owner_all, error);
            folder_ = NativeText(folder);
            return;
        }
    }
    throw OutputFileError("no folder of its own could be made in " + NativeText(base) +
                          (error ? ": " + error.message() : ""));
}

ScratchFolder::~ScratchFolder() {
    if (!owned_) {
        return;
    }
    std::error_code error;
    fs::remove_all(NativePath(folder_), error);
}

std::string ScratchFolder::PathOf(const std::string& name) const { return NativeText(NativePath(folder_) / name); }

}  // namespace driver
