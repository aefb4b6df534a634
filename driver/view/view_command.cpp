#include "view/view_command.h"

#include <fstream>
#include <iostream>
#include <stdexcept>
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

struct ViewArguments {
    std::string scene;
    std::string output;
    int port = 0;
};

class ViewUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

int PortNumber(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(text) > 65535) {
        throw ViewUsageError("--port: \"" + text + "\" is not a port number (0 to 65535)");
    }
    return std::stoi(text);
}

ViewArguments ParseViewArguments(const std::vector<std::string>& arguments) {
    ViewArguments parsed;
    bool options = true, port = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasNext = i + 1 < arguments.size();
        if (options && argument == "--") {
            options = false;
        } else if (options && (argument == "-o" || argument == "--port")) {
            if (!hasNext) {
                throw ViewUsageError(argument + ": needs an argument");
            }
            if (argument == "-o" ? !parsed.output.empty() : port) {
                throw ViewUsageError(argument + ": given twice");
            }
            if (argument == "-o") {
                parsed.output = arguments[++i];
            } else {
                parsed.port = PortNumber(arguments[++i]);
                port = true;
            }
        } else if (options && argument.size() > 1 && argument[0] == '-') {
            throw ViewUsageError("unknown option \"" + argument + "\" of view");
        } else if (parsed.scene.empty()) {
            parsed.scene = argument;
        } else {
            throw ViewUsageError("view takes one scene; \"" + argument + "\" is one too many");
        }
    }
    if (parsed.scene.empty()) {
        throw ViewUsageError("view needs a SCENE");
    }
    if (parsed.output == "-") {
        throw ViewUsageError("-o: the viewer saves to a file, not to standard output");
    }
    return parsed;
}

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

int Serve(const ViewArguments& arguments) {
    const std::string plugins = PluginDirectory();
    const std::string page = ViewerPageDirectory(plugins);
    if (!std::ifstream(page + "/index.html")) {
        std::cerr << "morvane-host: view: the viewer's page is not in " << page
                  << " (a build makes it with the target viewer_page)\n";
        return 1;
    }
    ViewSession session(arguments.scene, plugins, arguments.output);
    ViewServer server(session, page);
    if (server.Bind(arguments.port) < 0) {
        std::cerr << "morvane-host: view: cannot listen on 127.0.0.1 port " << arguments.port << "\n";
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

int RunView(const std::vector<std::string>& arguments) {
    ViewArguments parsed;
    try {
        parsed = ParseViewArguments(arguments);
    } catch (const ViewUsageError& e) {
        std::cerr << "morvane-host: view: " << e.what() << "; try morvane-host --help\n";
        return 2;
    }
    try {
        return Serve(parsed);
    } catch (const std::exception& e) {
        std::cerr << "morvane-host: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace driver
