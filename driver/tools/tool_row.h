#pragma once

#include <string_view>
#include <vector>

#include "cli/command_table.h"
#include "session/shortcut.h"

namespace driver {

class ProxyFiles;
class SessionHost;
struct ShortcutSession;

// What a shortcut's NAMES is to the file dialog that its press opens.
enum class NamesUse { None, Saved, Loaded };

// The origin of a line that the command itself implies ("align").
constexpr const char* kCommandOrigin = "{command}";

// One line of a shortcut's session, in the session language. In its text
// "{selection}", the whole line, is the selection that the command line
// gives (its option the line's origin); "{axis}", "{from}", "{to}" and
// "{NAMES}" are the command line's values; "{#ID}" is the caption of the
// control ID of the tool's panel, as its resources have it. A line with a
// value that the command line does not give is left out, and so is a line
// whose `unlessGiven` value it gives.
struct ShortcutLine {
    const char* origin;  // the option whose line it is ("--from"), or kCommandOrigin
    const char* text;
    const char* unlessGiven = nullptr;  // a value's name ("to"), or null
};

// A command of the command line that stands for a small session of one tool.
struct ShortcutRow {
    const char* command;                   // as typed: "pivot"
    std::vector<const char*> positionals;  // after the name, SCENE first
    std::vector<Option> options;           // its own, besides those of every run
    const char* needs;                     // the options it needs, as the usage shows them
    const char* help;                      // a line or two of --help
    NamesUse names;                        // what NAMES is, where it is a positional
    std::vector<ShortcutLine> lines;
    // Reads the command line's values into `shortcut` and checks what the
    // command line alone shows; throws UsageError.
    void (*read)(const ParsedArguments& arguments, const Invocation& invocation, Shortcut& shortcut);
    // Checks, once the session is checked, that the job can happen on this
    // scene; null for a job that any scene allows.
    void (*checkJob)(const Shortcut& shortcut, ShortcutSession& session, SessionHost& host, const ProxyFiles& proxies);
};

// A tool as the driver knows it: the name that opens it and its shortcuts.
// A tool whose row is not `listed` (one that only the tests build) runs as
// any other, but --help and the lists of commands leave it out.
struct ToolRow {
    const char* plugin;
    std::vector<ShortcutRow> shortcuts;
    bool listed = true;
};

// The tools, in the order --help lists their commands. A new tool is its
// folder and one row here (tool_table.cpp).
const std::vector<ToolRow>& ToolTable();
// The tool whose shortcut `row` is.
const ToolRow& ToolOf(const ShortcutRow& row);

}  // namespace driver
