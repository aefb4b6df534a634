#pragma once

#include <optional>
#include <string>
#include <vector>

#include "session/action.h"

namespace driver {

// The buttons of the names tool, each opening a file dialog.
constexpr const char* kSaveNamesCaption = "Save Names To File";
constexpr const char* kLoadNamesCaption = "Load Names Form File";

// A shortcut command with its values read from the command line.
struct Shortcut {
    std::string command;                 // "align", "pivot", "save-names" or "load-names"
    std::vector<std::size_t> selection;  // --select
    std::optional<std::string> selectName;  // --select-name, instead
    std::string axis;                    // --axis: "X", "Y" or "Z"
    Point3 from, to;                     // --from, --to
    std::string names;                   // NAMES: the path for the names tool's file dialog
};

// The actions a shortcut stands for, each with the option it comes from as
// its origin (the command itself for the actions it implies):
//   align       open Tarvel, select, press Align, close
//   pivot       open Tarvel, select, radio AXIS, press Pick, click FROM, click TO, close
//   save-names  open Velkora, answer NAMES, press Save Names To File, close
//   load-names  open Velkora, answer NAMES, press Load Names Form File, close
std::vector<Action> ShortcutActions(const Shortcut& shortcut);

}  // namespace driver
