#include "cli/command_arguments.h"

#include <windows.h>

#include <shellapi.h>

#include "wide_text.h"

namespace driver {

// Windows splits the command line as the C runtime does for `argv`.
std::vector<std::string> CommandArguments(int, char**) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide != nullptr && i < count; ++i) {
        arguments.push_back(safewrite::Utf8Text(wide[i]));
    }
    LocalFree(static_cast<HLOCAL>(wide));
    return arguments;
}

}  // namespace driver
