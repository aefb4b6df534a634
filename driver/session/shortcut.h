#pragma once

#include <optional>
#include <string>
#include <vector>

#include "session/action.h"

namespace driver {

class SessionHost;

// The buttons of the names tool, each opening a file dialog.
constexpr const char* kSaveNamesCaption = "Save Names To File";
constexpr const char* kLoadNamesCaption = "Load Names Form File";

// The jobs a shortcut command does, each a small session of its own.
enum class ShortcutKind { Align, Pivot, SaveNames, LoadNames };

// The command's name as it is typed: "align", "pivot", "save-names", "load-names".
const char* ShortcutName(ShortcutKind kind);

// A shortcut command with its values read from the command line.
struct Shortcut {
    ShortcutKind kind = ShortcutKind::Align;
    std::vector<std::size_t> selection;     // --select
    std::optional<std::string> selectName;  // --select-name, instead
    std::string axis;                       // --axis: "X", "Y" or "Z"
    Point3 from, to;                        // --from, --to: two different points
    std::string names;                      // NAMES: the path for the names tool's file dialog
};

// The actions a shortcut stands for, each with the option it comes from as
// its origin (the command itself for the actions it implies):
//   align       open Tarvel, select, press Align, close
//   pivot       open Tarvel, select, radio AXIS, press Pick, click FROM, click TO, close
//   save-names  open Velkora, answer NAMES, press Save Names To File, close
//   load-names  open Velkora, answer NAMES, press Load Names Form File, close
std::vector<Action> ShortcutActions(const Shortcut& shortcut);

// Checks, once the actions are checked (the nodes of --select-name found),
// that the shortcut's job can happen on this scene: pivot works on exactly
// one node, and every node that align moves has a namesake, another node
// of the same name (the root too may be one). Throws SessionError naming
// the option and the nodes.
void CheckShortcutJob(const Shortcut& shortcut, const std::vector<Action>& actions, const SessionHost& host);

}  // namespace driver
