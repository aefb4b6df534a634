#include "files/input_file.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "files/system_reason.h"
#include "text/name_text.h"

namespace driver {

namespace {

std::function<void(const std::string&)>& PieceHook() {
    static std::function<void(const std::string&)> hook;
    return hook;
}

[[noreturn]] void TooLarge(const std::string& path) {
    throw InputFileError(Excerpt(path) + ": cannot be read: larger than " + std::to_string(kMaxInputBytes >> 20) +
                             " MiB, the most that morvane-host reads",
                         RefusalCode::TooLarge);
}

}  // namespace

void OpenInputFile(safewrite::SourceFile& file, const std::string& path) {
    errno = 0;
    const safewrite::Error error = file.Open(path);
    const int code = errno;
    if (error == safewrite::Error::IsFolder) {
        throw InputFileError(Excerpt(path) + ": cannot be read: is a folder");
    }
    if (error == safewrite::Error::NotRegular) {
        throw InputFileError(Excerpt(path) + ": cannot be read: not a regular file (a device, a pipe or a socket)");
    }
    if (error != safewrite::Error::None) {
        throw InputFileError(Excerpt(path) + ": cannot be opened: " +
                             (code != 0 ? SystemReason(code) : std::string(safewrite::ReasonOf(error))));
    }
}

void CheckInputUnchanged(const safewrite::SourceFile& file, const std::string& path) {
    if (const std::string change = file.Change(); !change.empty()) {
        throw InputFileError(Excerpt(path) + ": cannot be read: it changed while it was read (" + change +
                             "); nothing was written");
    }
}

namespace {

std::string ReadOpenedFile(const safewrite::SourceFile& file, const std::string& path);

}  // namespace

std::string ReadInputFile(const std::string& path) {
    safewrite::SourceFile file;
    OpenInputFile(file, path);
    return ReadOpenedFile(file, path);
}

std::string ReadInputFile(const std::string& path, const FileIdentity& judged) {
    safewrite::SourceFile file;
    OpenInputFile(file, path);
    if (IdentityOfHandle(file.Handle()) != std::optional(judged)) {
        throw InputFileError(Excerpt(path) +
                                 ": cannot be read: it is no longer the file that was checked (its name "
                                 "now leads to another file); nothing was read",
                             RefusalCode::OutsideReach);
    }
    return ReadOpenedFile(file, path);
}

namespace {

std::string ReadOpenedFile(const safewrite::SourceFile& file, const std::string& path) {
    if (file.Size() > kMaxInputBytes) {
        TooLarge(path);
    }
    std::string bytes(static_cast<std::size_t>(file.Size()), '\0');
    const std::size_t piece = safewrite::CopyPieceSize();
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t got = 0;
        const std::size_t size = std::min(piece, bytes.size() - at);
        if (const safewrite::Error error = file.ReadAt(at, bytes.data() + at, size, got);
            error != safewrite::Error::None) {
            throw InputFileError(Excerpt(path) + ": cannot be read: " + safewrite::ReasonOf(error));
        }
        if (got == 0) {
            break;  // it has shrunk: the check below says how
        }
        at += got;
        if (PieceHook()) {
            PieceHook()(path);
        }
    }
    // One version of the file, from its first byte to its last.
    CheckInputUnchanged(file, path);
    return bytes;
}

}  // namespace

void SetInputPieceHook(std::function<void(const std::string& path)> hook) { PieceHook() = std::move(hook); }

}  // namespace driver
