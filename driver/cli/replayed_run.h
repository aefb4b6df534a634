#pragma once

#include <optional>
#include <string>

#include "cli/invocation.h"
#include "cli/run_outcome.h"
#include "files/scratch_folder.h"
#include "scene/scene_format.h"

namespace driver {

// Whether a run may need a folder of its own (for names saved to standard
// output, or read from standard input), which the driver then makes
// before the plug-ins' process starts, and removes whatever becomes of it.
bool NeedsScratchFolder(const Invocation& invocation);

// The part of a run that calls into the plug-ins, as the plug-ins' process
// of its own runs it: read the scene, build the actions, check them with
// everything else that can be checked, replay them, report them, and make
// the bytes of the files to write; then unload the libraries. What it
// would have written to standard output and standard error is in the
// outcome; nothing is thrown.
RunOutcome ReplayRun(const Invocation& invocation, std::optional<ScratchFolder>& scratch);

// ReplayRun's outcome as bytes (run_outcome.h), or a refusal when a
// file's bytes cannot be made.
std::string EncodedReplayRun(const Invocation& invocation, std::optional<ScratchFolder>& scratch);

// The line that a shortcut's run ends with when it writes no scene.
extern const char* const kSceneNotWritten;

}  // namespace driver
