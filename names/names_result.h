#pragma once

#include <cstddef>
#include <string>

#include "replacement.h"

namespace names_tool {

// What a save did with the file it was given: what the safe replacement
// did to it, by the replacement's own outcome, so that each outcome has one
// report (names_report.cpp).
using SaveOutcome = safewrite::Outcome;

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
