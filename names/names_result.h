#pragma once

#include <cstddef>
#include <string>

namespace names_tool {

// What a save did with the file it was given.
enum class SaveOutcome {
    Replaced,        // an existing file replaced as a whole, safely
    Written,         // a new file
    WrittenInPlace,  // an existing file rewritten directly: safe replacement was impossible
    NotReplaced,     // the existing file is untouched
    NotWritten,      // no file was there, and none is now
    WrittenInPart,   // an in-place write failed midway
};

// The result of SaveNames: `names` is the number of names written, and
// `reason` says why the file was written in place or not (fully) written.
struct SaveResult {
    SaveOutcome outcome = SaveOutcome::NotWritten;
    std::size_t names = 0;
    std::string reason;
};

// The result of LoadNames: `names` is the number of nodes renamed when
// `loaded`; otherwise nothing was renamed, and `reason` says why.
struct LoadResult {
    bool loaded = false;
    std::size_t names = 0;
    std::string reason;
};

}  // namespace names_tool
