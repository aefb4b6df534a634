#pragma once

// A fresh folder of a test's own, made with a name no other process can
// have (tests run side by side under ctest -j), removed with its content at
// the end.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#if defined(_WIN32)
#  include <io.h>
#else
#  include <unistd.h>
#endif

namespace test_support {

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix = "morvane-test") {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
#if defined(_WIN32)
        // No mkdtemp on Windows: a name that no file has, then the folder.
        if (_mktemp_s(pattern.data(), pattern.size() + 1) != 0 || !std::filesystem::create_directory(pattern)) {
#else
        if (::mkdtemp(pattern.data()) == nullptr) {
#endif
            ADD_FAILURE() << "no scratch folder";
        }
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code error;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, error);
        std::filesystem::remove_all(path_, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace test_support
