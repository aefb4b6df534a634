#include "files/native_path.h"

namespace driver {

std::filesystem::path NativePath(const std::string& text) { return std::filesystem::path(text); }

std::string NativeText(const std::filesystem::path& path) { return path.string(); }

}  // namespace driver
