#include <windows.h>

#include "cli/terminal.h"

namespace driver {

// A console, which the NUL device, a character device too, is not.
bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace driver
