#include "files/line_count.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "files/native_path.h"

namespace driver {

std::optional<std::uint64_t> CountLines(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(NativePath(path), error)) {
        return std::nullopt;
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenToRead(path), std::fclose);
    if (!file) {
        return std::nullopt;
    }
    std::uint64_t lines = 0;
    char last = '\n';
    char chunk[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        lines += static_cast<std::uint64_t>(std::count(chunk, chunk + got, '\n'));
        last = chunk[got - 1];
    }
    if (std::ferror(file.get()) != 0) {
        return std::nullopt;
    }
    return lines + (last != '\n' ? 1 : 0);
}

}  // namespace driver
