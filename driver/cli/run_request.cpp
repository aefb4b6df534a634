#include "cli/run_request.h"

#include <cstdint>
#include <cstring>

#include "cli/command_line.h"
#include "cli/replayed_run.h"
#include "cli/run_outcome.h"
#include "files/scratch_folder.h"
#include "hosting/tool_library.h"

namespace driver {

namespace {

void PutText(std::string& bytes, const std::string& text) {
    const auto size = static_cast<std::uint32_t>(text.size());
    bytes.append(reinterpret_cast<const char*>(&size), sizeof size);
    bytes += text;
}

bool TakeText(const std::string& bytes, std::size_t& at, std::string& text) {
    std::uint32_t size = 0;
    if (bytes.size() - at < sizeof size) {
        return false;
    }
    std::memcpy(&size, bytes.data() + at, sizeof size);
    at += sizeof size;
    if (bytes.size() - at < size) {
        return false;
    }
    text.assign(bytes, at, size);
    at += size;
    return true;
}

}  // namespace

// The folder, then each argument, each as its length and its bytes.
std::string EncodeRunRequest(const RunRequest& request) {
    std::string bytes;
    PutText(bytes, request.scratchFolder);
    for (const std::string& argument : request.arguments) {
        PutText(bytes, argument);
    }
    return bytes;
}

std::optional<RunRequest> DecodeRunRequest(const std::string& bytes) {
    if (bytes.size() > kMaxRunRequestBytes) {
        return std::nullopt;
    }
    RunRequest request;
    std::size_t at = 0;
    if (!TakeText(bytes, at, request.scratchFolder)) {
        return std::nullopt;
    }
    while (at < bytes.size()) {
        if (!TakeText(bytes, at, request.arguments.emplace_back())) {
            return std::nullopt;
        }
    }
    return request;
}

std::string ReplayRequest(const std::string& bytes) {
    RunOutcome refused;
    try {
        const std::optional<RunRequest> request = DecodeRunRequest(bytes);
        if (!request) {
            throw ToolLibraryError("the plug-ins' process was asked for a run in a form it does not know");
        }
        std::optional<ScratchFolder> scratch;
        if (!request->scratchFolder.empty()) {
            scratch.emplace(request->scratchFolder);
        }
        return EncodedReplayRun(ParseCommandLine(request->arguments), scratch);
    } catch (const std::exception& e) {
        refused.refusal = RefusalOf(e);
    } catch (...) {
        refused.refusal = Refusal{RefusalCode::Failed, "unexpected failure"};
    }
    try {
        return Encode(refused);
    } catch (...) {
        return std::string();  // not an outcome: the driver says the process ended without one
    }
}

}  // namespace driver
