#pragma once

namespace driver {

// True when standard error is a terminal that a user watches, rather than
// a file or a pipe that a script reads.
bool StandardErrorIsTerminal();

}  // namespace driver
