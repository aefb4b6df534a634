// Reading a library file on Windows, through the wide calls of the
// project's file layer, so that any path can be named.
#include "file_calls.h"
#include "standin/library_image.h"

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

}  // namespace standin
