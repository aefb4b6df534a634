#include "files/standard_input.h"

#include <cerrno>
#include <cstdio>

#include "files/input_file.h"
#include "files/system_reason.h"
#include "text/input_bounds.h"

#if defined(_WIN32)
#  include <fcntl.h>
#  include <io.h>
#endif

namespace driver {

std::string ReadStandardInput() {
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    constexpr std::uint64_t kBound = BoundOf(InputBound::StandardInputBytes);
    std::string bytes;
    char buffer[1 << 16];
    errno = 0;
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof(buffer), stdin)) > 0;) {
        if (bytes.size() + got > kBound) {
            RefusePastBound(InputBound::StandardInputBytes);
        }
        bytes.append(buffer, got);
    }
    if (std::ferror(stdin)) {
        throw InputFileError("standard input cannot be read: " + SystemReason(errno != 0 ? errno : EIO));
    }
    return bytes;
}

}  // namespace driver
