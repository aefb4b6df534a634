#include "files/display_path.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "files/native_path.h"

namespace driver {

namespace fs = std::filesystem;

namespace {

std::string WorkingFolder() {
    std::error_code error;
    const fs::path folder = fs::current_path(error);
    return error ? std::string() : NativeText(folder);
}

// The path's text with '/' between its parts on every platform.
std::string GenericText(const fs::path& path) {
    std::string text = NativeText(path);
    std::replace(text.begin(), text.end(), static_cast<char>(fs::path::preferred_separator), '/');
    return text;
}

}  // namespace

std::string DisplayPath(const std::string& path) {
    const fs::path given = NativePath(path);
    if (!given.is_absolute()) {
        return GenericText(given.lexically_normal());
    }
    const std::string folder = WorkingFolder();
    if (folder.empty()) {
        return path;
    }
    const fs::path relative = given.lexically_relative(NativePath(folder));
    if (relative.empty() || *relative.begin() == "..") {
        return path;
    }
    return GenericText(relative);
}

std::string HideWorkingFolder(std::string text) {
    const std::string folder = WorkingFolder();
    if (folder.empty()) {
        return text;
    }
    const char separator = static_cast<char>(fs::path::preferred_separator);
    const std::string prefix = folder + separator;
    for (std::size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at)) {
        text.erase(at, prefix.size());
        // The working folder itself stays named, as "./".
        if (at == text.size() || text[at] == ' ' || text[at] == '"' || text[at] == ':') {
            text.insert(at, "./");
            at += 2;
        }
        // A quoted path goes on as DisplayPath shows paths, with '/'.
        if (separator != '/' && at > 0 && text[at - 1] == '"') {
            const std::size_t end = text.find('"', at);
            std::replace(text.begin() + static_cast<std::ptrdiff_t>(at),
                         end == std::string::npos ? text.end() : text.begin() + static_cast<std::ptrdiff_t>(end),
                         separator, '/');
        }
    }
    return text;
}

}  // namespace driver
