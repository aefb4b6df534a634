#include "view/view_command.h"

#include <fstream>
#include <iostream>
#include <thread>

#include "files/output_file.h"
#include "hosting/plugin_directory.h"
#include "view/view_server.h"

#if !defined(_WIN32)
#include <csignal>
#include <pthread.h>
#endif

namespace driver {

namespace {

#if !defined(_WIN32)
// SIGINT and SIGTERM stop the server from a thread of their own; the
// server's threads never see them.
std::thread StopOnSignal(ViewServer& server) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
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
#endif

int Serve(const std::string& scenePath, const std::string& outputPath, int port) {
    const std::string plugins = PluginDirectory();
    const std::string page = ViewerPageDirectory(plugins);
    if (!std::ifstream(page + "/index.html")) {
        std::cerr << "morvane-host: view: the viewer's page is not in " << page
                  << " (a build makes it with the target viewer_page)\n";
        return 1;
    }
    ViewSession session(scenePath, plugins, outputPath);
    ViewServer server(session, page);
    if (server.Bind(port) < 0) {
        std::cerr << "morvane-host: view: cannot listen on 127.0.0.1 port " << port << "\n";
        return 1;
    }
#if !defined(_WIN32)
    std::thread waiter = StopOnSignal(server);
#endif
    std::cout << server.Address() << std::endl;
    server.Serve();
#if !defined(_WIN32)
    EndSignalThread(waiter);
#endif
    return 0;
}

}  // namespace

int RunView(const std::string& scenePath, const std::string& outputPath, int port) {
    try {
        return Serve(scenePath, outputPath, port);
    } catch (const std::exception& e) {
        std::cerr << "morvane-host: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace driver
