#pragma once

#include <optional>
#include <string>
#include <vector>

namespace driver {

// A run as the driver asks the plug-ins' process for it: the program's
// arguments, and the folder of the run's own that the driver made (empty:
// none), which that process uses and leaves.
struct RunRequest {
    std::vector<std::string> arguments;
    std::string scratchFolder;
};

// The largest request taken: a command line holds far less.
constexpr std::size_t kMaxRunRequestBytes = std::size_t{1} << 20;

std::string EncodeRunRequest(const RunRequest& request);
// None for bytes that no EncodeRunRequest made.
std::optional<RunRequest> DecodeRunRequest(const std::string& bytes);

// The work of the plug-ins' process (supervised_run.h): the replayed run
// of the request, its outcome encoded (run_outcome.h); never throws.
std::string ReplayRequest(const std::string& bytes);

}  // namespace driver
