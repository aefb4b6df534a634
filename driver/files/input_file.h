#pragma once

#include <stdexcept>
#include <string>

namespace driver {

// A file that cannot be read; the message names it and says why.
class InputFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The whole content of the file at `path`. Throws InputFileError,
// "FILE: cannot be opened: REASON" or "FILE: cannot be read: REASON" (a
// folder's reason is "is a folder").
std::string ReadInputFile(const std::string& path);

}  // namespace driver
