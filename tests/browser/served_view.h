// The viewer's server on the room, on a port the system chose, and raw
// HTTP on loopback for its tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "hosting/plugin_directory.h"
#include "loopback_client.h"
#include "scratch_folder.h"
#include "view/view_files.h"
#include "view/view_server.h"

namespace test_support {

inline std::string Bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The room served from a folder of its own, on a port the system chose.
struct Served {
    const test_support::ScratchFolder scratch{"morvane-view-server-test"};
    const std::filesystem::path folder = scratch.Path();
    std::unique_ptr<driver::ViewSession> session;
    std::unique_ptr<driver::ViewServer> server;
    std::future<void> serving;
    int port = 0;
    std::string token;

    // The room, its text edited by `edit` first.
    // `prepare` makes more files in the folder before the session starts.
    explicit Served(const std::function<void(std::string&)>& edit = {},
                    const std::function<void(const std::filesystem::path&)>& prepare = {}) {
        std::filesystem::create_directories(folder / "keep");
        std::string room = Bytes(MORVANE_ROOM_GLTF);
        if (edit) edit(room);
        if (prepare) prepare(folder);
        std::ofstream(folder / "room.gltf", std::ios::binary) << room;
        const driver::ViewFolders reach({folder.string()});
        session = std::make_unique<driver::ViewSession>((folder / "room.gltf").string(), driver::PluginDirectory(), "",
                                                        reach, (folder / "keep").string());
        server = std::make_unique<driver::ViewServer>(*session, driver::ViewerPageDirectory(driver::PluginDirectory()));
        EXPECT_FALSE(server->Bind(0));
        const std::string address = server->Address();
        port = std::stoi(address.substr(address.rfind(':') + 1));
        token = address.substr(address.find("token=") + 6);
        serving = std::async(std::launch::async, [this] { server->Serve(); });
    }
    ~Served() {
        server->Stop();
        serving.wait();
    }
    std::string Request(const std::string& method, const std::string& path, const std::string& headers,
                        const std::string& body = "", bool withLength = true) const {
        return Exchange(port, method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                  "\r\nConnection: close\r\n" + headers +
                                  (withLength ? "Content-Length: " + std::to_string(body.size()) + "\r\n" : "") +
                                  "\r\n" + body);
    }
    std::string Bearer() const { return "Authorization: Bearer " + token + "\r\n"; }
};

inline int Status(const std::string& answer) { return answer.size() > 12 ? std::stoi(answer.substr(9, 3)) : 0; }

inline nlohmann::json Body(const std::string& answer) {
    return nlohmann::json::parse(answer.substr(answer.find("\r\n\r\n") + 4), nullptr, false);
}

}  // namespace test_support
