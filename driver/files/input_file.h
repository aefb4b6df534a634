#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "files/file_identity.h"
#include "source_file.h"
#include "text/input_bounds.h"
#include "text/refusal.h"

namespace driver {

// A file that cannot be read; the message names it and says why.
class InputFileError : public CodedError {
public:
    explicit InputFileError(const std::string& message, RefusalCode code = RefusalCode::FileMissing)
        : CodedError(code, message) {}
};

// The most that is read of one input file (a scene, a session, a file that
// a scene refers to).
constexpr std::uint64_t kMaxInputBytes = BoundOf(InputBound::InputFileBytes);

// Opens the regular file at `path` into `file`. Throws InputFileError,
// "FILE: cannot be opened: REASON" or "FILE: cannot be read: REASON" (a
// folder's reason is "is a folder"; a device, a pipe or a socket are
// refused unopened).
void OpenInputFile(safewrite::SourceFile& file, const std::string& path);

// Throws InputFileError when `file` is no longer the file it was when it
// was opened, as it was (its identity, size, modification or change time
// moved): what was read of it may mix two versions.
void CheckInputUnchanged(const safewrite::SourceFile& file, const std::string& path);

// The whole content of the regular file at `path`, read through one handle
// and checked against the file's stamp after its last byte. Throws
// InputFileError as OpenInputFile does, for a file larger than
// kMaxInputBytes, and for a file that changed while it was read.
std::string ReadInputFile(const std::string& path);

// The same, read only where the handle opened is the file `judged` (what
// a check of reach or clash judged, a moment before): else InputFileError
// (OutsideReach), "it is no longer the file that was checked", and nothing
// read. What is checked is then exactly what is read.
std::string ReadInputFile(const std::string& path, const FileIdentity& judged);

// Called with the file's path after each piece (CopyPieceSize() bytes)
// that ReadInputFile reads; none by default. Tests change a file there.
void SetInputPieceHook(std::function<void(const std::string& path)> hook);

}  // namespace driver
