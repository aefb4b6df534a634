#include "files/native_path.h"

#include "wide_text.h"

namespace driver {

std::filesystem::path NativePath(const std::string& text) { return std::filesystem::path(safewrite::WideText(text)); }

std::string NativeText(const std::filesystem::path& path) { return safewrite::Utf8Text(path.native()); }

std::FILE* OpenToRead(const std::string& path) { return _wfopen(safewrite::WideText(path).c_str(), L"rb"); }

}  // namespace driver
