#include "files/standard_output.h"

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <streambuf>

#if defined(_WIN32)
#  include <fcntl.h>
#  include <io.h>
#else
#  include <poll.h>
#  include <unistd.h>
#endif

namespace driver {

namespace {

int firstError = 0;

// Each write goes to the C library's stdout, which buffers it, as
// std::cout's own would.
class RememberingBuffer final : public std::streambuf {
protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char byte = traits_type::to_char_type(c);
        return Put(&byte, 1) ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* data, std::streamsize size) override {
        return Put(data, static_cast<std::size_t>(size)) ? size : 0;
    }
    int sync() override {
        errno = 0;
        if (std::fflush(stdout) != 0) {
            Remember();
            return -1;
        }
        return 0;
    }

private:
    static bool Put(const char* data, std::size_t size) {
        errno = 0;
        if (std::fwrite(data, 1, size, stdout) == size) {
            return true;
        }
        Remember();
        return false;
    }
    static void Remember() {
        if (firstError == 0) {
            firstError = errno != 0 ? errno : EIO;
        }
    }
};

}  // namespace

void KeepStandardOutputErrors() {
#if defined(_WIN32)
    // Bytes, as on every system: a GLB or a scene sent to "-" is the file's
    // bytes, and a names file keeps its own line ends (CR LF), not CR CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    // Never freed: std::cout is flushed once more at exit.
    static RememberingBuffer* const buffer = new RememberingBuffer();
    std::cout.rdbuf(buffer);
}

int StandardOutputError() { return firstError; }

bool StandardOutputReaderGone() {
    if (firstError == EPIPE) {
        return true;
    }
#if defined(_WIN32)
    return false;
#else
    // The write end of a pipe whose reader has closed it polls as an error.
    pollfd output{STDOUT_FILENO, POLLOUT, 0};
    return ::poll(&output, 1, 0) == 1 && (output.revents & POLLERR) != 0;
#endif
}

}  // namespace driver
