// The viewer's server without a browser: raw HTTP on loopback.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "hosting/plugin_directory.h"
#include "names/resource.h"
#include "pivot/resource.h"
#include "served_view.h"
#include "view/view_files.h"
#include "view/view_server.h"

namespace {

using test_support::Body;
using test_support::Bytes;
using test_support::Connect;
using test_support::Served;
using test_support::Status;

TEST(ViewServer, AnswersAsTheRulesSay) {
    const Served served;
    const std::string bearer = served.Bearer();
    const std::string lines256 = [] {
        std::string body;
        for (int k = 0; k < 256; ++k) body += "select 7\n";
        return body;
    }();
    struct Case {
        const char* what;
        std::string method, path, headers, body;
        int status;
    };
    const std::vector<Case> cases = {
        {"256 lines ending in a line feed", "POST", "/api/actions", bearer, lines256, 200},
        {"257 lines", "POST", "/api/actions", bearer, lines256 + "select 7", 413},
        {"a NUL in the route", "GET", "/scene/_/_/_/_/_/_/_/_/room.gltf%00.png", bearer, "", 404},
        {"a buffer that is missing", "GET", "/scene/_/_/_/_/_/_/_/_/room.bin", bearer, "", 404},
        {"no token", "GET", "/api/state", "", "", 403},
        {"the token in the query, not on the page's address", "GET", "/api/state?token=" + served.token, "", "", 403},
        {"a POST of another origin", "POST", "/api/actions",
         bearer + "Origin: http://127.0.0.1:" + std::to_string(served.port) + "1\r\n", "select 7", 403},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Status(served.Request(c.method, c.path, c.headers, c.body)), c.status) << c.what;
    }
    // The page is the product's own: read without the token, which it
    // keeps itself; no cookie is set, and none admits.
    const std::string page = served.Request("GET", "/?token=" + served.token, "");
    EXPECT_EQ(Status(page), 200);
    EXPECT_EQ(page.find("Set-Cookie"), std::string::npos);
    for (const char* header :
         {"Content-Security-Policy: default-src 'none'; script-src 'self' "
          "'wasm-unsafe-eval' 'nonce-",
          "Referrer-Policy: no-referrer", "X-Content-Type-Options: nosniff", "X-Frame-Options: DENY"}) {
        EXPECT_NE(page.find(header), std::string::npos) << header;
    }
    EXPECT_NE(page.find("<script type=\"importmap\" nonce=\""), std::string::npos);
    const std::string scene = Body(served.Request("GET", "/api/state", bearer))["scene"];
    const std::string cookie = "Cookie: morvane-view-" + std::to_string(served.port) + "=" + served.token + "\r\n";
    for (const std::string& route : {std::string("/api/state"), "/" + scene}) {
        EXPECT_EQ(Status(served.Request("GET", route, cookie)), 403) << route;
        EXPECT_EQ(Status(served.Request("GET", route, bearer)), 200) << route;
    }
    // Quit asks while edits are unsaved, and needs no body to ask.
    EXPECT_EQ(Status(served.Request("POST", "/api/quit", bearer, "", false)), 409);
}

// Each route, asked with and without the token, by its own method and by
// the other: the page alone is open to all; a route asked by a method it
// does not take is no route.
TEST(ViewServer, EveryRouteButThePageNeedsTheToken) {
    const Served served;
    const std::string scene =
        "/" + Body(served.Request("GET", "/api/state", served.Bearer()))["scene"].get<std::string>();
    const struct {
        std::string method, path;
        int withToken;  // without it: 403, unless open to all
        bool open;
    } routes[] = {
        {"GET", "/", 200, true},
        {"GET", "/index.html", 200, true},
        {"HEAD", "/index.html", 200, true},
        {"GET", "/viewer.js", 200, true},
        {"GET", "/api/state", 200, false},
        {"HEAD", "/api/state", 200, false},
        {"GET", "/api/session", 200, false},
        {"GET", "/api/session.tar", 200, false},
        {"GET", "/api/files/save", 200, false},
        {"GET", "/api/files/load", 200, false},
        {"GET", "/api/scene", 200, false},
        {"GET", scene, 200, false},
        {"POST", "/api/actions", 200, false},
        {"POST", "/api/select-name", 200, false},
        {"POST", "/api/undo", 200, false},
        {"POST", "/api/redo", 200, false},
        {"POST", "/api/save", 409, false},
        {"POST", "/api/quit", 409, false},  // unsaved edits: it asks
        {"POST", "/", 404, false},
        {"POST", "/api/state", 404, false},
        {"GET", "/api/undo", 404, false},
        {"GET", "/api/other", 404, false},
    };
    for (const auto& route : routes) {
        EXPECT_EQ(Status(served.Request(route.method, route.path, "")), route.open ? 200 : 403) << route.path;
        EXPECT_EQ(Status(served.Request(route.method, route.path, served.Bearer())), route.withToken)
            << route.method << " " << route.path;
    }
}

// Every refusal of the API is {code, message}, with its code's status; a
// refused gesture's comes in its state. Warnings are a field of their own,
// each also a line of the gesture's transcript.
TEST(ViewServer, RefusesWithACodeAndWarnsApart) {
    const Served served;
    const std::string bearer = served.Bearer();
    std::string names;
    for (int k = 0; k < 1000; ++k) names += "n" + std::to_string(k) + "\n";
    std::ofstream(served.folder / "long.txt") << names;
    const nlohmann::json loaded = Body(served.Request("POST", "/api/actions", bearer,
                                                      "open Velkora\nanswer " + (served.folder / "long.txt").string() +
                                                          "\npress Load Names Form File"));
    ASSERT_EQ(loaded["warnings"].size(), 1u) << loaded["lines"];
    EXPECT_EQ(loaded["warnings"][0].get<std::string>().rfind("warning: ", 0), 0u);
    const std::vector<std::string> lines = loaded["lines"];
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "    " + loaded["warnings"][0].get<std::string>()), 1);
    const nlohmann::json refusedGesture = Body(served.Request("POST", "/api/actions", bearer, "select 99"));
    EXPECT_EQ(refusedGesture["refusal"]["code"], "no-match");
    EXPECT_TRUE(refusedGesture["warnings"].empty());
    const struct {
        std::string method, path, headers, body;
        int status;
        const char* code;
    } cases[] = {
        {"GET", "/api/state", "", "", 403, "forbidden"},
        {"GET", "/no-such-route", bearer, "", 404, "not-found"},
        {"POST", "/api/actions", bearer, std::string(5000, 'x'), 413, "too-large"},
        {"POST", "/api/save", bearer, "", 409, "no-output"},
        {"POST", "/api/save", bearer, (served.folder / "out.glb").string(), 400, "wrong-format"},
        {"POST", "/api/save", bearer, (served.folder / ".hidden.gltf").string(), 403, "outside-reach"},
        {"POST", "/api/quit", bearer, "", 409, "unsaved"},
    };
    for (const auto& c : cases) {
        const std::string answer = served.Request(c.method, c.path, c.headers, c.body);
        const nlohmann::json body = Body(answer);
        EXPECT_EQ(Status(answer), c.status) << c.path << " " << c.body;
        EXPECT_EQ(body["code"], c.code) << answer;
        EXPECT_TRUE(body["message"].is_string() && !body["message"].get<std::string>().empty()) << answer;
    }
}

// A typed name pattern is sent as typed, and the server quotes it into one
// session line whatever it holds: quotes, backslashes, a line end.
TEST(ViewServer, QuotesATypedPatternIntoOneLine) {
    const std::string name = "Door \"7\" \\ back";
    const Served served([&](std::string& room) {
        const std::string door = "{\"name\": \"Door\", \"translation\"";
        room.replace(room.find(door), door.size(), "{\"name\": " + nlohmann::json(name).dump() + ", \"translation\"");
    });
    const std::string bearer = served.Bearer();
    std::vector<nlohmann::json> selections;
    for (const std::string& pattern : {name, std::string("Door \"?\" \\*"), std::string("*\\ back")}) {
        const nlohmann::json state = Body(served.Request("POST", "/api/select-name", bearer, pattern));
        EXPECT_TRUE(state["refusal"].is_null()) << pattern << ": " << state["refusal"];
        // The transcript quotes '"' and '\\' with a backslash, as JSON does.
        const std::string last = state["lines"].back();
        const std::string quoted = nlohmann::json(name).dump();
        EXPECT_TRUE(last.size() > quoted.size() &&
                    last.compare(last.size() - quoted.size(), quoted.size(), quoted) == 0)
            << last;
        selections.push_back(state["selection"]);
    }
    EXPECT_EQ(selections[0].size(), 1u);
    EXPECT_EQ(std::count(selections.begin(), selections.end(), selections[0]), 3);
    // A line end in the pattern is part of the one name: no second action
    // runs, and no node has that name.
    const nlohmann::json injected = Body(served.Request("POST", "/api/select-name", bearer, "Door\nopen Tarvel"));
    EXPECT_EQ(injected["refusal"]["code"], "no-match");
    const std::string session = served.Request("GET", "/api/session", bearer);
    const std::string lines = session.substr(session.find("\r\n\r\n") + 4);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3) << lines;
    EXPECT_EQ(lines.find("open"), std::string::npos) << lines;
}

// What the page draws is what the state says: the tools offered (the
// listed rows of the tool table), the one open, its panel a control an
// entry keyed by its id with its place and state (Pick and the axes
// enabled by a selection of one node), and which nodes draw.
TEST(ViewServer, TheStateTellsThePageWhatItDraws) {
    const Served served;
    const std::string bearer = served.Bearer();
    const nlohmann::json whole = Body(served.Request("GET", "/api/state", bearer));
    EXPECT_EQ(whole["tools"], nlohmann::json::parse(R"([{"name": "Tarvel", "label": "Open Tarvel"},
                                                         {"name": "Velkora", "label": "Open Velkora"}])"));
    EXPECT_TRUE(whole["openTool"].is_null());
    EXPECT_EQ(whole["panel"], nlohmann::json::array());
    EXPECT_EQ(whole["nodes"]["draws"], nlohmann::json::parse("[5, 6, 7, 8]")) << "the nodes that hold meshes";
    EXPECT_EQ(whole["nodes"]["joints"], nlohmann::json::array());
    EXPECT_FALSE(whole.contains("layout"));
    const auto control = [](const nlohmann::json& state, int id) {
        for (const nlohmann::json& entry : state["panel"]) {
            if (entry["id"] == id) return entry;
        }
        return nlohmann::json();
    };
    const nlohmann::json tarvel =
        Body(served.Request("POST", "/api/actions", bearer, "select 7\nopen Tarvel\nradio Y"));
    EXPECT_EQ(tarvel["openTool"], "Tarvel");
    EXPECT_EQ(tarvel["panelSize"], nlohmann::json::parse(R"({"width": 108, "height": 150})"));
    EXPECT_EQ(control(tarvel, IDC_PICK), nlohmann::json::parse(R"({"id": 1099, "kind": "button", "text": "Pick",
        "x": 38, "y": 57, "width": 30, "height": 11, "enabled": true, "checked": false, "fileDialog": null})"));
    EXPECT_EQ(control(tarvel, IDC_AXIS_Y)["checked"], true);
    EXPECT_EQ(control(tarvel, IDC_AXIS_X)["checked"], false);
    ASSERT_EQ(tarvel["panel"].size(), 8u);
    EXPECT_EQ(tarvel["panel"][1], nlohmann::json::parse(R"({"id": -1, "kind": "group", "text": "Pivot by axis",
        "x": 7, "y": 31, "width": 94, "height": 46})"))
        << "a control that no gesture works has no state";
    const nlohmann::json velkora = Body(served.Request("POST", "/api/actions", bearer, "close\nopen Velkora"));
    EXPECT_EQ(velkora["openTool"], "Velkora");
    EXPECT_EQ(control(velkora, IDC_SAVE_NAMES)["text"], "Save Names To File");
    EXPECT_EQ(control(velkora, IDC_SAVE_NAMES)["fileDialog"],
              nlohmann::json::parse(R"({"kind": "save", "title": "Save As"})"));
    EXPECT_EQ(control(velkora, IDC_LOAD_NAMES)["fileDialog"]["kind"], "load");
    const nlohmann::json closed = Body(served.Request("POST", "/api/actions", bearer, "close"));
    EXPECT_TRUE(closed["openTool"].is_null());
    EXPECT_EQ(closed["panel"], nlohmann::json::array());
    EXPECT_FALSE(closed["nodes"].contains("draws")) << "what never changes comes in the whole state alone";
}

// The page's file form offers the names files of the folders reached:
// not dotfiles, not other kinds, nothing deeper; a save suggests the scene's
// own name, a load only a file that is there.
TEST(ViewServer, FileFormListsTheNamesFilesReached) {
    const Served served;
    for (const char* name : {"a.txt", ".hidden.txt", "data.bin", "keep/deeper.txt"}) {
        std::ofstream(served.folder / name) << "x\n";
    }
    const std::filesystem::path folder = std::filesystem::weakly_canonical(served.folder);
    const nlohmann::json save = Body(served.Request("GET", "/api/files/save", served.Bearer()));
    EXPECT_EQ(save["files"], nlohmann::json::array({(folder / "a.txt").string()}));
    EXPECT_EQ(save["suggested"], (folder / "room-names.txt").string());
    EXPECT_EQ(Body(served.Request("GET", "/api/files/load", served.Bearer()))["suggested"], "");
}

// Clients that send a header line now and then hold no worker for long:
// the page's request is answered, and a stop ends the server at once.
TEST(ViewServer, SlowClientsFreezeNothing) {
    auto served = std::make_unique<Served>();
    std::vector<int> slow;
    for (int k = 0; k < 100; ++k) {
        slow.push_back(Connect(served->port));
        send(slow.back(), "GET / HTTP/1.1\r\n", 16, MSG_NOSIGNAL);
    }
    std::atomic<bool> trickling{true};
    std::thread trickle([&] {
        for (int round = 0; round < 300 && trickling; ++round) {
            for (const int socket : slow) send(socket, "X-Slow: 1\r\n", 11, MSG_NOSIGNAL);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    EXPECT_EQ(Status(served->Request("GET", "/api/session", served->Bearer())), 200);
    served->server->Stop();
    EXPECT_EQ(served->serving.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "the stop waits for no client";
    trickling = false;
    trickle.join();
    for (const int socket : slow) close(socket);
}

// A thousand idle connections, which need no token to be made, hold no
// worker: a request that arrives whole is answered while they all still
// wait; and each is cut off when its time is up, counted from its
// acceptance however it trickles.
TEST(ViewServer, IdleConnectionsDelayNoRequest) {
    const Served served;
    std::vector<int> idle;
    for (int k = 0; k < 1000; ++k) {
        idle.push_back(Connect(served.port));
    }
    const int trickling = Connect(served.port);
    send(trickling, "GET / HTTP/1.1\r\n", 16, MSG_NOSIGNAL);
    EXPECT_EQ(Status(served.Request("GET", "/api/session", served.Bearer())), 200);
    std::size_t open = 0;
    for (const int socket : idle) {
        char byte = 0;
        const ssize_t got = recv(socket, &byte, 1, MSG_DONTWAIT);
        open += got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) ? 1 : 0;
    }
    EXPECT_EQ(open, idle.size()) << "the request waited for idle connections to be cut off";
    // A header line every half second: cut off within the time of one request.
    int lines = 0;
    for (; lines < 24 && send(trickling, "X-Slow: 1\r\n", 11, MSG_NOSIGNAL) == 11; ++lines) {
        char byte = 0;
        if (recv(trickling, &byte, 1, MSG_DONTWAIT) == 0) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    EXPECT_LT(lines, 16) << "a trickling client stays as long as it sends";
    close(trickling);
    for (const int socket : idle) close(socket);
}

// Parts of answers are never given: a Range, well formed or not, gets the
// whole answer; the library's own refusals are JSON refusals too; each
// header comes once; a gesture without actions is no step to undo.
TEST(ViewServer, AnswersWholeOnceAndInJson) {
    const Served served;
    const std::string bearer = served.Bearer();
    const std::string route = "/" + Body(served.Request("GET", "/api/state", bearer))["scene"].get<std::string>();
    for (const char* range : {"bytes=0-9", "bytes=9999999-10000000", "bytes=oops", "bytes=5-1"}) {
        const std::string answer = served.Request("GET", route, bearer + "Range: " + range + "\r\n");
        EXPECT_EQ(Status(answer), 200) << range;
        EXPECT_EQ(answer.find("Content-Range"), std::string::npos) << range;
        EXPECT_EQ(answer.substr(answer.find("\r\n\r\n") + 4), Bytes(served.folder / "room.gltf")) << range;
        for (const char* header : {"Cache-Control:", "X-Content-Type-Options:", "Content-Type:"}) {
            EXPECT_EQ(answer.find(header), answer.rfind(header)) << header << " twice, " << range;
        }
    }
    const std::string tooLarge = served.Request("POST", "/api/actions", bearer, std::string(70000, 'x'));
    EXPECT_EQ(Status(tooLarge), 413);
    EXPECT_EQ(Body(tooLarge)["code"], "too-large") << tooLarge.substr(0, 300);
    for (const char* empty : {"", "# a note\n\n"}) {
        const nlohmann::json state = Body(served.Request("POST", "/api/actions", bearer, empty));
        EXPECT_EQ(state["undoable"], 0) << empty;
        EXPECT_EQ(state["refusal"]["code"], "bad-session") << empty;
    }
    // The token posted in a form admits nothing: no body is read before
    // a request is let in.
    EXPECT_EQ(Status(served.Request("POST", "/", "Origin: null\r\nContent-Type: application/x-www-form-urlencoded\r\n",
                                    "token=" + served.token)),
              403);
    // A long head is refused as such, whoever sends it; a select-name
    // pattern is bounded as typed, not as the session language quotes it.
    EXPECT_EQ(Status(served.Request("GET", "/api/state", bearer + "X-Long: " + std::string(17000, 'x') + "\r\n")), 414);
    EXPECT_EQ(Status(served.Request("GET", "/" + std::string(9000, 'x'), bearer)), 414);
    EXPECT_EQ(Status(served.Request("POST", "/api/select-name", bearer, std::string(1100, '\xff'))), 200);
    EXPECT_EQ(Status(served.Request("POST", "/api/select-name", bearer, std::string(4097, 'x'))), 413);
}

// A port that another program holds on either loopback address is refused.
TEST(ViewServer, ListensAloneOrNotAtAll) {
    const Served first;
    const std::string page = driver::ViewerPageDirectory(driver::PluginDirectory());
    driver::ViewServer second(*first.session, page);
    EXPECT_TRUE(second.Bind(first.port)) << "a second viewer on the same port";
    const int other = socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    if (other >= 0 && bind(other, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
        listen(other, 1) == 0) {
        socklen_t size = sizeof(address);
        getsockname(other, reinterpret_cast<sockaddr*>(&address), &size);
        driver::ViewServer third(*first.session, page);
        EXPECT_TRUE(third.Bind(ntohs(address.sin6_port))) << "::1 held by another program";
    }
    close(other);
}

}  // namespace
