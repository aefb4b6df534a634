#pragma once

#include <map>
#include <string>
#include <vector>

#include "cli/invocation.h"

namespace driver {

// The options of morvane-host. --help and --version are the job itself,
// taken after any command; the others belong to the commands that list them.
enum class Option {
    Help,
    Version,
    Output,
    Diff,
    Svg,
    Quiet,
    Select,
    SelectName,
    SelectPath,
    CopiesOf,
    Axis,
    From,
    To,
    Partial,
    Json,
    Port,
    Open,
    Allow
};

struct OptionRow {
    Option option;
    const char* name;   // as written: "--select", "-o"
    char shortName;     // the one-letter form ('h' for -h), or 0
    const char* value;  // what the usage calls its value ("I,J,..."), or nullptr for a switch
    const char* help;   // a line or two of --help
};

// A command line split by the table: the options by name, and the
// arguments after the command's name.
struct ParsedArguments {
    std::map<Option, std::string> options;
    std::vector<std::string> positionals;

    const std::string* Value(Option option) const {
        const auto found = options.find(option);
        return found == options.end() ? nullptr : &found->second;
    }
};

struct CommandRow {
    Command command;
    const char* name;                      // as typed; "" for the session run, which has none
    std::vector<const char*> positionals;  // after the name, SCENE first
    std::vector<Option> options;           // besides --help and --version
    const char* needs;                     // the options it needs, as the usage shows them
    const char* help;                      // a line or two of --help
    // Fills in what only this command has; the table's part (SCENE, -o,
    // --svg, --diff) is there already. Throws UsageError. Null for a
    // shortcut, which its row reads.
    void (*build)(const ParsedArguments& arguments, Invocation& invocation);
    const ShortcutRow* shortcut = nullptr;  // of a tool's shortcut
    bool listed = true;                     // named by --help and the lists of commands
};

// The options in the order --help lists them.
const std::vector<OptionRow>& OptionTable();
// The commands, the session run first: it is the command of a command line
// whose first word names no other, then the tools' shortcuts, as the table
// of tools has them (tools/tool_row.h). A new command is one row here.
const std::vector<CommandRow>& CommandTable();
const OptionRow& RowOf(Option option);
bool IsJobOption(Option option);

// "align and pivot": the commands that take `option`.
std::string CommandsTaking(Option option);

}  // namespace driver
