#include "plugin_directory.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace driver {

std::string PluginDirectory() {
    char path[4096] = {};
#if defined(_WIN32)
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string program(path, length);
    const auto slash = program.find_last_of("\\/");
#else
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string program(path, length > 0 ? static_cast<std::size_t>(length) : 0);
    const auto slash = program.find_last_of('/');
#endif
    return slash == std::string::npos ? "." : program.substr(0, slash);
}

}  // namespace driver
