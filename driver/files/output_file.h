#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "files/file_content.h"
#include "replacement.h"
#include "temporary_files.h"
#include "text/refusal.h"

namespace driver {

// A file that cannot be written; the message names it and says why.
class OutputFileError : public CodedError {
public:
    explicit OutputFileError(const std::string& message, RefusalCode code = RefusalCode::NotWritable)
        : CodedError(code, message) {}
};

// The most files that one run writes at once (-o, --svg and "save"): each
// holds its file and a temporary or two open, and their names in the
// table that the signals clean up (temporary_files.h), until all are put
// in place.
constexpr std::size_t kMostFilesWritten = 1000;

// A file to be written once the whole run has succeeded. The path "-" is
// standard output. A file staged by the plug-ins' process has no content,
// but the temporary that holds it (HandOverStagedFiles).
struct OutputFile {
    std::string path;
    FileContent content;
    std::optional<safewrite::Handed> staged = std::nullopt;
};

// Throws OutputFileError unless `path` names a file that can be created or
// replaced: its folder exists and is writable, and the path is not a
// folder nor an existing file without write permission. Touches nothing.
void CheckWritable(const std::string& path, const std::string& what);

// Sends what standard output holds on; throws OutputFileError, with the
// reason, when it cannot be written (code ReaderGone when its reader has
// gone, as `| head` does: a reader that stopped reading is told nothing).
void FlushStandardOutput();

// In a process forked while a safewrite::ChildTemporaries lives (the
// plug-ins' own): stages each file that can be replaced (not standard
// output, nor one to be written in place) in its temporary beside it, whole
// and synced, and hands it over to the parent, which puts it in place with
// WriteOutputFiles; the content of those is dropped. Throws OutputFileError,
// the files as they were, where one cannot be staged.
void HandOverStagedFiles(std::vector<OutputFile>& files);

// Writes the files, each replaced whole through the safe way of writing
// (a temporary beside it, then a rename; or written in place, its old
// bytes kept until the new ones are whole): all of them, or, when one
// fails and OutputFileError is thrown, none, unless the message says which
// were written all the same (a rename that the system refused after
// others were made, a device). The interrupting signals wait while the
// files are put in place. Gives for each file why it was written in place,
// or none when it was replaced or made (or is a device or a pipe). With
// `holdUntilReported`, the signals stay held in it once the files begin to
// change, until the caller has reported them.
using InPlaceReason = std::optional<std::string>;
// Each file staged (HandOverStagedFiles) is put in place from its temporary.
std::vector<InPlaceReason> WriteOutputFiles(const std::vector<OutputFile>& files,
                                            std::optional<safewrite::InterruptsHeld>* holdUntilReported = nullptr);

}  // namespace driver
