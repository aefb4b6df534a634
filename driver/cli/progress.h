#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace driver {

// What a run over a large scene is doing, a line a stage on standard
// error, for a user who would otherwise wait in silence; never where
// standard error is a file or a pipe, whose reader wants only what the run
// reports, nor for a scene small enough to take no time.
class Progress {
public:
    // Shows the stages when `shown`.
    explicit Progress(std::ostream& err, bool shown) : err_(err), shown_(shown) {}

    // Shown for a scene file of `bytes` when standard error is a terminal.
    static bool ShownFor(std::uint64_t bytes, bool terminal) { return terminal && bytes >= kLargeScene; }

    // "morvane-host: reading big.glb (1.2 GB)".
    void Stage(const std::string& what) const;

    // A scene from this size on takes a second or more to read and write.
    static constexpr std::uint64_t kLargeScene = std::uint64_t(32) << 20;

private:
    std::ostream& err_;
    bool shown_;
};

// The progress of a run over the scene at `scenePath`, which has begun to
// be read: the first stage says so.
Progress ProgressOfScene(const std::string& scenePath);

// "412 MB", "1.2 GB": a size for a user to read.
std::string SizeText(std::uint64_t bytes);

}  // namespace driver
