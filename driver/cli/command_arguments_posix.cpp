#include "cli/command_arguments.h"

namespace driver {

std::vector<std::string> CommandArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace driver
