#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "text/input_bounds.h"
#include "text/refusal.h"

namespace driver {

// A file that cannot be read; the message names it and says why.
class InputFileError : public CodedError {
public:
    explicit InputFileError(const std::string& message) : CodedError(RefusalCode::FileMissing, message) {}
};

// The most that is read of one input file (a scene, a session, a file that
// a scene refers to).
constexpr std::uint64_t kMaxInputBytes = BoundOf(InputBound::InputFileBytes);

// The whole content of the regular file at `path`. Throws InputFileError,
// "FILE: cannot be opened: REASON" or "FILE: cannot be read: REASON" (a
// folder's reason is "is a folder"; a device, a pipe or a socket, and a
// file larger than kMaxInputBytes, are refused unread).
std::string ReadInputFile(const std::string& path);

}  // namespace driver
