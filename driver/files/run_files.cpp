#include "files/run_files.h"

#include <filesystem>
#include <system_error>

#include "files/native_path.h"

namespace driver {

namespace fs = std::filesystem;

namespace {

bool SameFile(const std::string& aText, const std::string& bText) {
    const fs::path a = NativePath(aText);
    const fs::path b = NativePath(bText);
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) {
        return fs::equivalent(a, b, error);
    }
    const fs::path first = fs::weakly_canonical(fs::absolute(a, error), error);
    const fs::path second = fs::weakly_canonical(fs::absolute(b, error), error);
    return first == second;
}

bool MayBeOneFile(RunFiles::Use a, RunFiles::Use b) {
    using Use = RunFiles::Use;
    if (a == Use::Written || b == Use::Written) {
        return false;
    }
    return !((a == Use::OnlyRead && b == Use::ToolWrites) || (a == Use::ToolWrites && b == Use::OnlyRead));
}

}  // namespace

std::string RunFiles::Add(const std::string& path, Use use, const std::string& role) {
    if (path.empty() || path == "-") {
        return "";
    }
    for (const File& file : files_) {
        if (!MayBeOneFile(file.use, use) && SameFile(file.path, path)) {
            return file.role;
        }
    }
    files_.push_back({path, use, role});
    return "";
}

}  // namespace driver
