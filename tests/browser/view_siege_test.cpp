// The viewer's server under siege: connections that need no token to be
// made (idle, trickling, flooding with CR, announcing chunks, sending a
// body without a length, sending a head too long) cost no worker and hold
// no memory, and a token holder's request is answered while they go on;
// an answer's reader that pauses gets the whole of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sanitized_build.h"
#include "served_view.h"
#include "view/worker_pool.h"

namespace {

constexpr long kAllocatorSlackKb = (test_support::kSanitizedBuild ? 160 : 40) * 1024;

using test_support::Connect;
using test_support::MemoryKb;
using test_support::Served;
using test_support::Socket;
using test_support::Status;
using test_support::ThreadCount;

// The answer to `request` on a connection of its own, or "" when none
// came within a minute (a hang guard, not a measure).
std::string Answer(int port, const std::string& request) {
    const Socket socket = Connect(port);
    test_support::ReceiveWithin(socket, 60);
    test_support::Send(socket, request);
    std::string answer = test_support::ReceiveAll(socket);
    test_support::Close(socket);
    return answer;
}

// The process's threads once their count has not changed for longer than
// an idle worker lives; 0 when it still changes after a minute.
long SettledThreadCount() {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    long count = ThreadCount();
    auto since = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const long now = ThreadCount();
        if (now != count) {
            count = now;
            since = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - since > driver::WorkerPool::kIdleEnd + std::chrono::seconds(1)) {
            return count;
        }
    }
    return 0;
}

enum class Pattern { Idle, Trickle, CrFlood, ChunkAnnounce, UnframedBody, LongHead };

// What a connection of `pattern` sends first, and then again and again.
std::pair<std::string, std::string> Sends(Pattern pattern, const std::string& host) {
    const std::string block(64 * 1024, 'x');
    switch (pattern) {
        case Pattern::Idle:
            return {"", ""};
        case Pattern::Trickle:
            return {"GET /api/state HTTP/1.1\r\n" + host, "X-Slow: 1\r\n"};
        case Pattern::CrFlood:
            return {std::string(16383, '\r'), ""};
        case Pattern::ChunkAnnounce:
            return {"POST / HTTP/1.1\r\n" + host + "Transfer-Encoding: chunked\r\n\r\n", "10000\r\n" + block + "\r\n"};
        case Pattern::UnframedBody:
            return {"POST /api/actions HTTP/1.1\r\n" + host + "\r\n", block};
        case Pattern::LongHead:
            return {"GET / HTTP/1.1\r\n" + host + "X-Long: " + std::string(20000, 'x'), std::string(4096, 'x')};
    }
    return {};
}

TEST(ViewSiege, HostileConnectionsDelayNoTokenHolder) {
    const Served served;
    const std::string host = "Host: 127.0.0.1:" + std::to_string(served.port) + "\r\n";
    const std::string holder = "GET /api/session HTTP/1.1\r\n" + host + served.Bearer() + "Connection: close\r\n\r\n";
    // Each listener starts its waiting room's thread as it starts
    // listening: one request to each, and the server has all its threads.
    ASSERT_EQ(Status(Answer(served.port, holder)), 200);
    if (const std::optional<Socket> onIpv6 = test_support::ConnectIpv6(served.port)) {
        test_support::Send(*onIpv6, holder);
        EXPECT_EQ(Status(test_support::ReceiveAll(*onIpv6)), 200);
        test_support::Close(*onIpv6);
    }
    // Then the workers that answered end, once idle: the server rests.
    const long restingThreads = SettledThreadCount();
    ASSERT_GT(restingThreads, 0) << "the server's threads never settled";
    const std::vector<Pattern> all = {Pattern::Idle,          Pattern::Trickle,      Pattern::CrFlood,
                                      Pattern::ChunkAnnounce, Pattern::UnframedBody, Pattern::LongHead};
    struct Row {
        const char* what;
        std::vector<Pattern> mix;  // taken in turn, connection by connection
    };
    const std::vector<Row> rows = {
        {"idle", {Pattern::Idle}},
        {"trickling", {Pattern::Trickle}},
        {"CR flooding", {Pattern::CrFlood}},
        {"announcing chunks", {Pattern::ChunkAnnounce}},
        {"sending a body without a length", {Pattern::UnframedBody}},
        {"sending a head too long", {Pattern::LongHead}},
        {"all of these", all},
    };
    for (const Row& row : rows) {
        std::vector<std::pair<std::string, std::string>> sends;
        for (const Pattern pattern : row.mix) sends.push_back(Sends(pattern, host));
        const long rss = MemoryKb();
        std::vector<std::pair<Socket, const std::string*>> hostile;
        for (std::size_t k = 0; k < 1000; ++k) {
            const auto& [first, again] = sends[k % sends.size()];
            hostile.emplace_back(Connect(served.port), &again);
            test_support::DoNotWait(hostile.back().first);
            test_support::Send(hostile.back().first, first);
        }
        std::atomic<bool> flooding{true};
        std::atomic<long> mostRss{rss}, mostThreads{0};
        std::thread flood([&] {
            while (flooding) {
                for (const auto& [socket, again] : hostile) {
                    if (!again->empty()) test_support::Send(socket, *again);
                }
                mostRss = std::max(mostRss.load(), MemoryKb());
                mostThreads = std::max(mostThreads.load(), ThreadCount());
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Status(Answer(served.port, holder)), 200) << row.what;
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        flooding = false;
        flood.join();
        std::printf("1000 connections %s: a token holder answered in %lld ms; at most %ld MB more, %ld threads\n",
                    row.what, static_cast<long long>(took.count()), (mostRss - rss) / 1024, mostThreads.load());
        // The flood's own thread, and a worker for the token holder: no more.
        EXPECT_LE(mostThreads, restingThreads + 2) << row.what << ": workers for unadmitted connections";
        // At most a head's bound a connection (and what the allocator keeps:
        // a sanitizer's allocator keeps freed blocks in quarantine too).
        EXPECT_LE(mostRss - rss, kAllocatorSlackKb) << row.what << ": kB held for unadmitted connections";
        for (const auto& [socket, again] : hostile) test_support::Close(socket);
    }
    // Idle workers end: the pool rests again.
    EXPECT_EQ(SettledThreadCount(), restingThreads) << "the pool did not shrink back";
}

// A reader that stops reading for longer than any pause of a busy browser
// gets the whole file once it reads again.
TEST(ViewSiege, APausedReaderGetsTheWholeFile) {
    constexpr std::size_t kSize = 48u << 20;
    const Served served(
        [](std::string& room) {
        room.replace(room.find("\"buffers\""), 9, "\"images\": [{\"uri\": \"big.png\"}], \"buffers\"");
        },
        [](const std::filesystem::path& folder) {
        std::ofstream(folder / "big.png", std::ios::binary) << std::string(kSize, 'p');
    });
    std::string route = test_support::Body(served.Request("GET", "/api/state", served.Bearer()))["scene"];
    route = "/" + route.substr(0, route.rfind('/') + 1) + "big.png";
    const Socket socket = Connect(served.port);
    const std::string request = "GET " + route + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(served.port) +
                                "\r\n" + served.Bearer() + "Connection: close\r\n\r\n";
    test_support::Send(socket, request);
    std::string answer(64 * 1024, '\0');
    // What came first, however much (Wine's MSG_WAITALL may return less).
    const long first = static_cast<long>(recv(socket, answer.data(), static_cast<int>(answer.size()), MSG_WAITALL));
    ASSERT_GT(first, 0);
    answer.resize(static_cast<std::size_t>(first));
    std::this_thread::sleep_for(std::chrono::seconds(12));
    answer = test_support::ReceiveAll(socket, std::move(answer));
    test_support::Close(socket);
    ASSERT_EQ(Status(answer), 200);
    EXPECT_EQ(answer.size() - answer.find("\r\n\r\n") - 4, kSize);
}

}  // namespace
