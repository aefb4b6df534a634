#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "hosting/call_board.h"

namespace driver {

// What crosses the pipe from the plug-ins' process to its supervisor, on
// every system: the length of the result (8 bytes, in this machine's
// order), then the result. Only a whole one, from a process that ended
// cleanly, is a result.
std::string Framed(const std::string& result);

// The largest account of a run that is taken: the files of a run are made
// in memory, and none of the formats' files comes near.
constexpr std::uint64_t kMaxResultBytes = std::uint64_t{16} << 30;

// The argument that starts this program as a plug-ins' process, followed
// by the handles it inherits, in hexadecimal: the request's pipe, the
// result's pipe and the call board's shared memory, ',' between them.
constexpr char kServeSwitch[] = "--serve-plug-ins=";

// A frame as it comes, piece by piece.
class IncomingFrame {
public:
    // Room for `size` more bytes at the end, to be read into, then kept
    // with Received.
    char* Room(std::size_t size);
    void Received(std::size_t size);
    // More came than any frame holds (kMaxResultBytes).
    bool TooLarge() const;
    // The result, when all of one frame came and nothing else.
    bool Whole() const;
    std::string Take();

private:
    std::string bytes_;
    std::size_t kept_ = 0;
    bool sized_ = false;
};

// The limit of one call: given up when the board shows a call entered and
// nothing posted for longer than `limit`; time outside the calls is the
// driver's own.
class CallClock {
public:
    explicit CallClock(std::chrono::seconds limit) : limit_(limit) {}
    bool Expired(const CallBoard& board);

private:
    using Clock = std::chrono::steady_clock;
    std::chrono::seconds limit_;
    std::uint64_t lastChanges_ = 0;
    Clock::time_point lastChange_ = Clock::now();
};

}  // namespace driver
