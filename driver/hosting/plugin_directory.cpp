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
#if defined(_WIN32)
    std::wstring path(32768, L'\0');  // the longest path Windows has
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    const std::string program = NativeText(std::filesystem::path(path));
    const auto slash = program.find_last_of("\\/");
#else
    char path[4096] = {};
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
