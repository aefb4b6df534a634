// The table of tools. What the driver knows of a tool beyond its own
// resources is here: its shortcuts, each a session in the session language
// whose controls are named by their ids in the tool's resource.h (the
// captions, dialogs and default extensions come from its resources through
// the panel model), with the rules of its command line and of its job.
#include "tools/tool_row.h"

#include "names/resource.h"
#include "pivot/resource.h"
#include "tests/tools/tally/resource.h"
#include "tools/shortcut_options.h"
#include "tools/tarvel_shortcuts.h"
#include "tools/velkora_shortcuts.h"

// "{#1099}": the caption of the control IDC_X, as a shortcut's line writes it.
#define MORVANE_CONTROL_TEXT(id) "{#" #id "}"
#define CONTROL(id) MORVANE_CONTROL_TEXT(id)

namespace driver {

namespace {

using O = Option;

// clang-format off
const std::vector<ToolRow> kTools = {
    {"Tarvel", {
        {"align", {"SCENE"}, {O::Select, O::SelectName, O::SelectPath, O::CopiesOf},
         "(--select I,J,... | --select-name NAME | --select-path PATH | --copies-of NAME)",
         "press \"Align\" of Tarvel: each selected node takes the place, orientation and axis scale of its "
         "namesake", NamesUse::None,
         {{kCommandOrigin, "open Tarvel"},
          {kCommandOrigin, "{selection}"},
          {kCommandOrigin, "press " CONTROL(IDC_ALIGN)},
          {kCommandOrigin, "close"}},
         ReadAlign, CheckAlignJob},
        {"pivot", {"SCENE"}, {O::Select, O::SelectName, O::SelectPath, O::Axis, O::From, O::To},
         "(--select I | --select-name NAME | --select-path PATH) --from x,y,z [--axis X|Y|Z --to x,y,z]",
         "press \"Pick\" of Tarvel, click --from, then --to: the pivot moves to --from, its axis turns "
         "to --to; without --axis and --to the pivot only moves, its axes kept", NamesUse::None,
         {{kCommandOrigin, "open Tarvel"},
          {kCommandOrigin, "{selection}"},
          {"--axis", "radio {axis}"},
          {kCommandOrigin, "press " CONTROL(IDC_PICK)},
          {"--from", "click {from}"},
          {"--to", "click {to}"},
          {kCommandOrigin, "endpick", "to"},
          {kCommandOrigin, "close"}},
         ReadPivot, CheckPivotJob},
    }},
    {"Velkora", {
        {"save-names", {"SCENE", "NAMES"}, {}, "",
         "press \"Save Names To File\" of Velkora and answer NAMES (the dialog adds \".txt\" to a bare "
         "name); NAMES \"-\": the names go to standard output, the transcript to standard error",
         NamesUse::Saved,
         {{kCommandOrigin, "open Velkora"},
          {"NAMES", "answer {NAMES}"},
          {kCommandOrigin, "press " CONTROL(IDC_SAVE_NAMES)},
          {kCommandOrigin, "close"}},
         ReadNames, nullptr},
        {"load-names", {"SCENE", "NAMES"}, {O::Partial}, "",
         "press \"Load Names Form File\" of Velkora (the tool's caption) and answer NAMES; a NAMES of another "
         "number of lines than the scene has nodes is refused, as its names would shift (see --partial)",
         NamesUse::Loaded,
         {{kCommandOrigin, "open Velkora"},
          {"NAMES", "answer {NAMES}"},
          {kCommandOrigin, "press " CONTROL(IDC_LOAD_NAMES)},
          {kCommandOrigin, "close"}},
         ReadNames, CheckLoadNamesJob},
    }},
    {"./Tally.dlu", {
        {"tally", {"SCENE", "NAMES"}, {O::Select, O::SelectName, O::SelectPath, O::Axis},
         "(--select I,J,... | --select-name NAME | --select-path PATH) --axis X|Y|Z",
         "press \"Write Tally\" of Tally and answer NAMES: the axis, then the selected nodes' names",
         NamesUse::Saved,
         {{kCommandOrigin, "open ./Tally.dlu"},
          {kCommandOrigin, "{selection}"},
          {"--axis", "radio {axis}"},
          {"NAMES", "answer {NAMES}"},
          {kCommandOrigin, "press " CONTROL(IDC_WRITE_TALLY)},
          {kCommandOrigin, "close"}},
         [](const ParsedArguments& arguments, const Invocation& invocation, Shortcut& shortcut) {
             ReadSelectionOptions(arguments, shortcut);
             shortcut.axis = RequiredValue(arguments, Option::Axis, shortcut);
             ReadNames(arguments, invocation, shortcut);
         }, nullptr},
    }, false},
};
// clang-format on

}  // namespace

const std::vector<ToolRow>& ToolTable() { return kTools; }

const ToolRow& ToolOf(const ShortcutRow& row) {
    for (const ToolRow& tool : kTools) {
        for (const ShortcutRow& each : tool.shortcuts) {
            if (&each == &row) {
                return tool;
            }
        }
    }
    throw CodedError(RefusalCode::Failed, std::string("the shortcut ") + row.command + " is in no tool's row");
}

const char* ShortcutName(const Shortcut& shortcut) { return shortcut.row->command; }

}  // namespace driver
