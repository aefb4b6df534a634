// Reading a library file on Windows, through the wide calls of the
// project's file layer, so that any path can be named.
#include <windows.h>

#include "file_calls.h"
#include "standin/library_image.h"
#include "wide_text.h"

namespace standin {

bool ReadLibraryFile(const std::string& path, std::vector<char>& bytes, std::string& error) {
    safewrite::File file;
    std::uint64_t size = 0;
    const safewrite::Error opened = safewrite::OpenSource(path, file, size);
    if (opened != safewrite::Error::None) {
        error = path + (opened == safewrite::Error::IsFolder ? ": is a folder, not a plug-in library"
                        : opened == safewrite::Error::NotRegular
                            ? ": not a regular file"
                            : ": cannot be opened: " + std::string(safewrite::ReasonOf(opened)));
        return false;
    }
    if (size > kMaxLibraryBytes) {
        error = path + ": larger than a plug-in library may be (" + std::to_string(kMaxLibraryBytes >> 20) + " MiB)";
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t at = 0;
    std::size_t got = 1;
    while (got > 0 && at < bytes.size()) {
        if (file.Read(bytes.data() + at, bytes.size() - at, got) != safewrite::Error::None) {
            error = path + ": cannot be read";
            return false;
        }
        at += got;
    }
    char more = 0;
    if (at != bytes.size() || file.Read(&more, 1, got) != safewrite::Error::None || got != 0) {
        error = path + ": cannot be read whole (it changed while it was read)";
        return false;
    }
    return true;
}

// Held open, sharing only reading: the file can be neither renamed,
// removed nor written while it is checked and loaded. A path that cannot
// be opened so (a folder) is read by name, and the reading says why.
OpenLibraryFile::OpenLibraryFile(const std::string& path) : name_(path) {
    HANDLE file = CreateFileW(safewrite::WideText(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        handle_ = file;
    }
}

OpenLibraryFile::~OpenLibraryFile() {
    if (handle_ != nullptr) {
        CloseHandle(handle_);
    }
}

}  // namespace standin
