// The viewer's server under siege: the time a token holder's request takes
// to be answered while a thousand connections that need no token to be
// made go on (idle, trickling, flooding with CR, announcing chunks). Give
// the load (uptime) with the figures.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "hosting/plugin_directory.h"
#include "view/view_files.h"
#include "view/view_server.h"

namespace {

int Connect(int port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    return socket;
}

void ViewSiegeLatency(benchmark::State& state) {
    bench::ScratchFolder folder{"morvane-view-siege-bench"};
    const std::string path = folder.File("scene.gltf");
    std::ofstream(path, std::ios::binary) << R"({"asset": {"version": "2.0"}, "scenes": [{"nodes": [0]}],
        "nodes": [{"name": "Node"}]})";
    driver::ViewSession session(path, driver::PluginDirectory(), "", driver::ViewFolders({folder.File("")}),
                                folder.File(""));
    driver::ViewServer server(session, driver::ViewerPageDirectory(driver::PluginDirectory()));
    if (server.Bind(0)) {
        state.SkipWithError("no port");
        return;
    }
    auto serving = std::async(std::launch::async, [&] { server.Serve(); });
    const int port = std::stoi(server.Origin().substr(server.Origin().rfind(':') + 1));
    const std::string host = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
    const std::string patterns[] = {"", "GET / HTTP/1.1\r\n" + host, std::string(16383, '\r'),
                                    "POST / HTTP/1.1\r\n" + host + "Transfer-Encoding: chunked\r\n\r\n"};
    const std::string& first = patterns[state.range(0)];
    std::vector<int> hostile;
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        // Reconnects what the server has cut off, so that a thousand stay.
        while (flooding) {
            while (hostile.size() < 1000) {
                hostile.push_back(Connect(port));
                send(hostile.back(), first.data(), first.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            }
            for (int& socket : hostile) {
                char byte = 0;
                if (recv(socket, &byte, 1, MSG_DONTWAIT) >= 0) {
                    close(socket);
                    socket = Connect(port);
                    send(socket, first.data(), first.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                } else if (state.range(0) == 1) {
                    send(socket, "X: 1\r\n", 6, MSG_NOSIGNAL | MSG_DONTWAIT);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::string request =
        "GET /api/session HTTP/1.1\r\n" + host + "Authorization: Bearer " + server.Token() + "\r\n\r\n";
    for (auto _ : state) {
        const int socket = Connect(port);
        send(socket, request.data(), request.size(), MSG_NOSIGNAL);
        char buffer[4096];
        while (recv(socket, buffer, sizeof buffer, 0) > 0) {
        }
        close(socket);
    }
    flooding = false;
    flood.join();
    for (const int socket : hostile) close(socket);
    server.Stop();
    serving.wait();
}

}  // namespace

// 0 idle, 1 trickling, 2 CR flooding, 3 announcing chunks.
BENCHMARK(ViewSiegeLatency)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();
