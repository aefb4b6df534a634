#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "files/proxy_files.h"
#include "session/action.h"
#include "text/refusal.h"

namespace driver {

class SessionHost;

// The jobs a shortcut command does, each a small session of its own.
enum class ShortcutKind { Align, Pivot, SaveNames, LoadNames };

// The command's name as it is typed: "align", "pivot", "save-names", "load-names".
const char* ShortcutName(ShortcutKind kind);

// A shortcut command with its values read from the command line.
struct Shortcut {
    ShortcutKind kind = ShortcutKind::Align;
    std::vector<std::size_t> selection;     // --select
    std::optional<std::string> selectName;  // --select-name, instead
    std::optional<std::string> selectPath;  // --select-path, instead
    std::string axis;                       // --axis: "X", "Y" or "Z"
    Point3 from, to;                        // --from, --to: two different points
    std::string names;                      // NAMES: the path for the names tool's file dialog
    bool partial = false;                   // --partial: load a names file whatever its number of lines
    bool namesToStandardOutput = false;     // save-names with NAMES "-": the names go to standard output
    bool namesFromStandardInput = false;    // load-names with NAMES "-": the names come from standard input
};

// A selection that the command line must make otherwise: a usage error.
class SelectionConflict : public CodedError {
public:
    explicit SelectionConflict(const std::string& message) : CodedError(RefusalCode::SelectionConflict, message) {}
};

// The actions a shortcut stands for, each with the option it comes from as
// its origin (the command itself for the actions it implies):
//   align       open Tarvel, select, press Align, close
//   pivot       open Tarvel, select, radio AXIS, press Pick, click FROM, click TO, close
//   save-names  open Velkora, answer NAMES, press Save Names To File, close
//   load-names  open Velkora, answer NAMES, press Load Names Form File, close
std::vector<Action> ShortcutActions(const Shortcut& shortcut);

// Tries the shortcut's tool ahead of the scene's read (TryToolAhead).
void TryShortcutToolAhead(const Shortcut& shortcut);

// The file that the names tool's dialog gives for NAMES, as the tool's
// panel says; none for a shortcut without NAMES or a press that opens no
// dialog. Throws ToolLibraryError where the tool cannot be loaded.
std::optional<std::string> ShortcutNamesFile(const Shortcut& shortcut, SessionHost& host);

// Checks, once the actions are checked (the nodes of --select-name and
// --select-path found), that the shortcut's job can happen on this scene:
// pivot works on exactly one node; every node that align moves has a
// namesake, another node of the same name (the root too may be one);
// load-names without --partial loads a file of as many lines as the scene
// has nodes. Throws SessionError naming the option and the nodes or the
// counts, and SelectionConflict where align's selection holds a node and
// the namesake it would take, whose result would depend on their order.
// `proxies` gives the file that stands in for a NAMES of "-".
void CheckShortcutJob(const Shortcut& shortcut, const std::vector<Action>& actions, SessionHost& host,
                      const ProxyFiles& proxies);

}  // namespace driver
