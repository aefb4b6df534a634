#include "view/view_platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

#include <pthread.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <csignal>

#include "files/native_path.h"
#include "files/output_file.h"
#include "view/view_guard.h"
#include "view/view_server.h"

extern char** environ;

namespace fs = std::filesystem;

namespace driver {

std::string MakePrivateFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code error;
    const fs::path base = runtime != nullptr && fs::is_directory(runtime, error) ? fs::path(runtime)
                                                                                 : fs::temp_directory_path();
    for (int attempt = 0; attempt < 8; ++attempt) {
        const fs::path candidate = base / ("morvane-view-" + NewToken().substr(0, 12));
        if (mkdir(candidate.c_str(), 0700) == 0) {
            return NativeText(candidate);
        }
        if (errno != EEXIST) {
            break;
        }
    }
    throw OutputFileError("cannot make a private folder in " + NativeText(base) + ": " + std::strerror(errno));
}

void KeepToUser(const std::string& path) {
    if (chmod(path.c_str(), 0600) != 0) {
        throw OutputFileError("cannot keep " + path + " to its user: " + std::strerror(errno));
    }
}

// SIGINT, SIGTERM, SIGHUP (the terminal closed) and SIGQUIT stop the
// server from a thread of their own; the server's threads never see them.
std::thread StopOnSignal(ViewServer& server) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigaddset(&signals, SIGQUIT);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return std::thread([signals, &server] {
        int received = 0;
        sigwait(&signals, &received);
        server.Stop();
    });
}

void EndSignalThread(std::thread& waiter) {
    pthread_kill(waiter.native_handle(), SIGUSR1);
    waiter.join();
}

// $BROWSER, else xdg-open, with the page's path as its one argument.
void OpenBrowser(const std::string& page) {
    const char* browser = std::getenv("BROWSER");
    std::string program = browser != nullptr && *browser != '\0' ? browser : "xdg-open";
    char* arguments[] = {program.data(), const_cast<char*>(page.c_str()), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, arguments, environ) != 0) {
        std::cerr << "morvane-host: view: cannot start " << program << "; open " << page << " yourself\n";
        return;
    }
    std::thread([child] { waitpid(child, nullptr, 0); }).detach();
}

}  // namespace driver
