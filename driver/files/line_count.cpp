#include "files/line_count.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "files/native_path.h"

namespace driver {

namespace {

// memchr skips the bytes between line feeds many at a time.
std::uint64_t LineFeeds(const char* bytes, std::size_t size) {
    std::uint64_t count = 0;
    const char* end = bytes + size;
    for (const char* at = bytes; at != end; ++count, ++at) {
        at = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
        if (at == nullptr) {
            break;
        }
    }
    return count;
}

}  // namespace

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
        lines += LineFeeds(chunk, got);
        last = chunk[got - 1];
    }
    if (std::ferror(file.get()) != 0) {
        return std::nullopt;
    }
    return lines + (last != '\n' ? 1 : 0);
}

}  // namespace driver
