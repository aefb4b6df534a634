#include "hosting/plugin_directory.h"

#include <filesystem>
#include <system_error>

#include "files/native_path.h"

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <unistd.h>
#endif

namespace driver {

namespace {

std::string ProgramDirectory() {
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

}  // namespace

std::string PluginDirectory() {
    std::string programDirectory = ProgramDirectory();
    // The build says where an installation keeps the plug-ins, seen from
    // the program's folder ("" when it is that folder); a build folder has
    // no such folder.
    const std::string fromProgram = MORVANE_PLUGINDIR_FROM_BIN;
    if (fromProgram.empty()) {
        return programDirectory;
    }
    const std::filesystem::path installed = (NativePath(programDirectory) / fromProgram).lexically_normal();
    std::error_code error;
    return std::filesystem::is_directory(installed, error) ? NativeText(installed) : programDirectory;
}

}  // namespace driver
