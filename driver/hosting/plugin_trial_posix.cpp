#include "hosting/plugin_trial.h"

#include <cstdlib>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "hosting/supervised_run.h"

namespace driver {

namespace {

// The copy holds every descriptor of this process, among them the
// viewer's connections: one that this process ends must end now, not
// when the copy does. Plug-ins, which use the standard library only, hold
// no socket of their own.
void CloseSockets() {
    std::vector<int> sockets;
    if (DIR* open = ::opendir("/proc/self/fd")) {
        const int own = ::dirfd(open);
        while (const dirent* entry = ::readdir(open)) {
            char* end = nullptr;
            const long descriptor = std::strtol(entry->d_name, &end, 10);
            struct stat status {};
            if (*end == '\0' && descriptor != own && ::fstat(static_cast<int>(descriptor), &status) == 0 &&
                S_ISSOCK(status.st_mode)) {
                sockets.push_back(static_cast<int>(descriptor));
            }
        }
        ::closedir(open);
    }
    for (const int descriptor : sockets) {
        ::close(descriptor);
    }
}

}  // namespace

std::optional<std::string> PluginTrialFault(const std::function<void()>& work) {
    try {
        RunSupervised(
            [&work] {
            CloseSockets();
            try {
                work();
            } catch (...) {  // NOLINT(bugprone-empty-catch): not a fault; this process meets it
            }
            return std::string();
            },
            false);
    } catch (const PluginFaultError& fault) {
        return std::string(fault.what());
    }
    return std::nullopt;
}

}  // namespace driver
