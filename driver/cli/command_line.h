#pragma once

#include <string>
#include <vector>

#include "cli/invocation.h"
#include "files/run_files.h"

namespace driver {

// Reads the arguments after the program's name in the conventions of a
// Unix tool: "--" ends the options, "--opt=value" is "--opt value", "-oOUT"
// is "-o OUT", short options group ("-qo OUT"). The first argument names the command when it is one of the
// table's names, exactly; else it is SCENE of a session run. Throws
// UsageError naming what is wrong: an unknown command, an unknown,
// repeated or misplaced option, a missing or extra argument, a malformed
// value, or an output that would overwrite an input or another output.
Invocation ParseCommandLine(const std::vector<std::string>& arguments);

// The files of the run that the command line names, with `referenced`, the
// files that the scene file refers to. Throws UsageError, naming both, when
// a file that the run writes is one that it needs (see RunFiles). A names
// shortcut's NAMES is the file `namesChosen` that the tool's dialog gives
// for it; without one, a NAMES that has an extension, which every dialog
// keeps as it is, and no other. `outputBeside`: the files that -o writes
// beside its scene (SceneFile::FilesBeside).
RunFiles FilesOfRun(const Invocation& invocation, const std::vector<std::string>& referenced,
                    const std::optional<std::string>& namesChosen = std::nullopt,
                    const std::vector<std::string>& outputBeside = {});

// The --help and --version texts, and the help of one command ("pivot
// --help", "help pivot").
std::string UsageText();
std::string CommandUsageText(const CommandRow& row);
std::string VersionText();

}  // namespace driver
