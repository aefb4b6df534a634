#include <unistd.h>

#include "cli/terminal.h"

namespace driver {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace driver
