#include "files/native_path.h"

namespace driver {

std::filesystem::path NativePath(const std::string& text) { return std::filesystem::path(text); }

std::string NativeText(const std::filesystem::path& path) { return path.string(); }

std::FILE* OpenToRead(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

}  // namespace driver
