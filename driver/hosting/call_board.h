#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "standin/plugin_calls.h"

namespace driver {

// Where a supervised process posts the call into a plug-in it is in, in
// memory that its supervisor shares: what the supervisor names when the
// process crashes or hangs. Fixed in size and without pointers, so that it
// reads the same in both processes.
struct CallBoard {
    std::atomic<std::uint64_t> changes{0};  // one more at every entry and return
    std::atomic<int> depth{0};              // calls entered and not yet returned
    char library[1024] = {};
    char call[256] = {};
    char loaded[2048] = {};  // every library loaded, ", " between them
};

// The supervised process's watcher of the plug-in calls: it posts the
// innermost call to `board`, and keeps the last one posted once all
// returned.
class BoardWatcher : public standin::PluginCallWatcher {
public:
    explicit BoardWatcher(CallBoard& board) : board_(board) {}
    void Entering(const std::string& library, const std::string& call) override;
    void Returned() override;

private:
    void Post(const std::string& library, const std::string& call);

    CallBoard& board_;
    std::vector<std::pair<std::string, std::string>> calls_;
};

// Copies `text` into `field`, cut to fit, always ended by a NUL.
void PutField(char* field, std::size_t size, const std::string& text);

// The line that names what a supervised process was doing when it ended
// abnormally: it crashed (`detail` names the signal), ended by itself (the
// status), or a call did not return (the limit), in the call the board
// shows, or after every call returned.
enum class Fault { Crashed, Ended, Hung };
std::string FaultLine(const CallBoard& board, Fault fault, const std::string& detail);

}  // namespace driver
