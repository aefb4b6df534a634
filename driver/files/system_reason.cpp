#include "files/system_reason.h"

#include <cctype>
#include <cstring>

namespace driver {

std::string SystemReason(int error) {
    std::string reason = std::strerror(error);
    if (!reason.empty()) {
        reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
    }
    return reason;
}

}  // namespace driver
