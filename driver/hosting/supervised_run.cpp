#include "hosting/supervised_run.h"

#include <cstdlib>

#include "hosting/tool_library.h"

namespace driver {

int CallLimitSeconds() {
    const char* text = std::getenv("MORVANE_CALL_LIMIT");
    if (text == nullptr || *text == '\0') {
        return kDefaultCallLimitSeconds;
    }
    char* end = nullptr;
    const long seconds = std::strtol(text, &end, 10);
    if (*end != '\0' || seconds < 1 || seconds > kMaxCallLimitSeconds) {
        throw ToolLibraryError("MORVANE_CALL_LIMIT: " + std::string(text).substr(0, 20) +
                               ": not a number of seconds from 1 to " + std::to_string(kMaxCallLimitSeconds));
    }
    return static_cast<int>(seconds);
}

}  // namespace driver
