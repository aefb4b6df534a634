#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "files/file_content.h"
#include "files/output_file.h"
#include "text/refusal.h"

namespace driver {

// What a run's replay, made in the plug-ins' process of its own, gives the
// driver, which then reports it and writes its files.
struct RunOutcome {
    std::optional<Refusal> refusal;        // the run was refused with this
    FileContent out;                       // what it wrote to standard output, to be written there
    std::string err;                       // and to standard error
    bool done = false;                     // the job was done: its files are to be written
    int status = 0;                        // else the run's exit status
    std::vector<OutputFile> files;         // in the order of writing
    std::size_t changed = 0;               // nodes that the run changed
    std::vector<std::string> toolWritten;  // files that the tools saved
};

// The outcome as bytes, each file's content whole (or its staged temporary named) (Encode throws
// OutputFileError when a file that a content copies from cannot be read),
// and back, each file's content and standard output's a part of `bytes`, which it shares; Decode
// throws ToolLibraryError for bytes that no Encode made.
std::string Encode(const RunOutcome& outcome);
RunOutcome Decode(const std::shared_ptr<const std::string>& bytes);

}  // namespace driver
