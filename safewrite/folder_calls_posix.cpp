// What the safe writing asks of a folder on POSIX systems: its names, and
// whether it is append-only.
#include <string>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#if defined(__linux__)
#  include <linux/fs.h>
#  include <sys/ioctl.h>
#endif

#include "file_calls.h"

namespace safewrite {

bool FolderIsAppendOnly(const std::string& folder) {
#if defined(__linux__)
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    int flags = 0;  // the kernel reads and writes an int, whatever the request's type says
    const bool appendOnly = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_APPEND_FL) != 0;
    ::close(fd);
    return appendOnly;
#else
    (void)folder;
    return false;
#endif
}

std::vector<std::string> NamesInFolder(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    DIR* listing = ::opendir(folder.empty() ? "." : folder.c_str());
    if (listing == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(listing)) {
        if (std::string_view(entry->d_name).substr(0, prefix.size()) == prefix) {
            names.emplace_back(entry->d_name);
        }
    }
    ::closedir(listing);
    return names;
}

}  // namespace safewrite
