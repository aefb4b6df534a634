#include "cli/command_table.h"

#include <algorithm>

#include "cli/option_values.h"
#include "cli/platform_text.h"
#include "files/run_files.h"
#include "text/name_text.h"
#include "tools/tool_row.h"

namespace driver {

namespace {

void BuildSession(const ParsedArguments& arguments, Invocation& invocation) {
    invocation.sessionPath = arguments.positionals[1];
}

void BuildList(const ParsedArguments& arguments, Invocation& invocation) {
    invocation.json = arguments.Value(Option::Json) != nullptr;
}

void BuildView(const ParsedArguments& arguments, Invocation& invocation) {
    if (invocation.outputPath == "-") {
        throw UsageError("-o: the viewer saves to a file, not to standard output");
    }
    const std::string* port = arguments.Value(Option::Port);
    invocation.port = port == nullptr ? 0 : ReadPort(*port, "--port");
    invocation.openBrowser = arguments.Value(Option::Open) != nullptr;
    if (const std::string* allowed = arguments.Value(Option::Allow)) {
        std::size_t start = 0;
        while (start <= allowed->size()) {
            const std::size_t end = std::min(allowed->find(':', start), allowed->size());
            if (end == start) {
                throw UsageError("--allow: an empty folder name in " + QuotedExcerpt(*allowed));
            }
            invocation.allowedFolders.push_back(allowed->substr(start, end - start));
            start = end + 1;
        }
    }
}

}  // namespace

const std::vector<OptionRow>& OptionTable() {
    static const std::vector<OptionRow> rows = {
        {Option::Output, "-o", 'o', "OUT",
         "write the final scene to OUT, a glTF scene as .gltf or .glb as OUT is named, others in SCENE's format; "
         "\"-o -\": to standard output, the transcript then to standard error"},
        {Option::Diff, "--diff", 0, nullptr,
         "print what changed per node: name, position, orientation, scale, object placement"},
        {Option::Svg, "--svg", 0, "FILE", "draw the scene before and after as an SVG picture to FILE"},
        {Option::Quiet, "--quiet", 'q', nullptr,
         "print only refusals, warnings and one summary line (\"changed 3 nodes; written out.gltf\"), besides "
         "what --diff and \"print\" ask for"},
        {Option::Select, "--select", 0, "I,J,...",
         "select nodes by pre-order index (not 0, the root); pivot takes one"},
        {Option::SelectName, "--select-name", 0, "NAME",
         "select the nodes whose names fit NAME: \"*\" is any run of characters, \"?\" one"},
        {Option::SelectPath, "--select-path", 0, "PATH",
         "select the nodes whose path fits PATH: the names from a child of the root down, \"/\" between "
         "(\"Props/Chair\"), each with the wildcards of --select-name, \"**\" any number of levels "
         "(\"**/Chair\"); \"\\/\" is a \"/\" within a name"},
        {Option::CopiesOf, "--copies-of", 0, "NAME",
         "select every node named NAME exactly but the first in pre-order; each takes the place of that first "
         "one"},
        {Option::Axis, "--axis", 0, "X|Y|Z", "the axis of the pivot that turns towards --to; given with --to"},
        {Option::From, "--from", 0, "x,y,z", "the first click: where the pivot moves"},
        {Option::To, "--to", 0, "x,y,z",
         "the second click: the axis then points from --from towards it; without it, the axes stay as they are"},
        {Option::Partial, "--partial", 0, nullptr,
         "load NAMES even when its number of lines differs from the scene's number of nodes: names go by "
         "position, and the counts are warned of"},
        {Option::Json, "--json", 0, nullptr, "print the nodes as JSON, for scripts"},
        {Option::Port, "--port", 0, "N", "serve on port N, 0 to 65535; 0, the default: any free port"},
        {Option::Open, "--open", 0, nullptr, kOpenHelp},
        {Option::Allow, "--allow", 0, "DIR[:DIR...]",
         "let the page's file dialogs and Save reach these folders too, and serve the scene's files there"},
        {Option::Help, "--help", 'h', nullptr, "print this help and exit"},
        {Option::Version, "--version", 0, nullptr, "print the version and exit"},
    };
    return rows;
}

const std::vector<CommandRow>& CommandTable() {
    using O = Option;
    static const std::vector<O> kRun = {O::Output, O::Diff, O::Svg, O::Quiet};
    static const auto with = [](std::vector<O> own) {
        own.insert(own.end(), kRun.begin(), kRun.end());
        return own;
    };
    // A command a row, laid out by hand.
    // clang-format off
    static const std::vector<CommandRow> rows = {
        {Command::Session, "", {"SCENE", "SESSION"}, kRun, "",
         "replay the session script SESSION (one action a line; docs/sessions.md) on SCENE",
         BuildSession},
        {Command::List, "list", {"SCENE"}, {O::Json}, "",
         "print the scene's tree, a node a line: pre-order index (what --select takes), indented by depth, the "
         "name, what the node holds, for glTF the world box its mesh fills and its nodes[N]",
         BuildList},
        {Command::View, "view", {"SCENE"}, {O::Output, O::Port, O::Open, O::Allow}, "",
         "serve a web page on loopback that shows SCENE and runs the tools by clicks on it; -o is what its "
         "Save writes (docs/viewer.md)",
         BuildView},
    };
    // clang-format on
    static const std::vector<CommandRow> withShortcuts = [] {
        std::vector<CommandRow> all(rows.begin(), rows.begin() + 1);
        for (const ToolRow& tool : ToolTable()) {
            for (const ShortcutRow& shortcut : tool.shortcuts) {
                all.push_back({Command::Shortcut, shortcut.command, shortcut.positionals, with(shortcut.options),
                               shortcut.needs, shortcut.help, nullptr, &shortcut, tool.listed});
            }
        }
        all.insert(all.end(), rows.begin() + 1, rows.end());
        return all;
    }();
    return withShortcuts;
}

const OptionRow& RowOf(Option option) {
    const std::vector<OptionRow>& rows = OptionTable();
    return *std::find_if(rows.begin(), rows.end(), [option](const OptionRow& row) { return row.option == option; });
}

bool IsJobOption(Option option) { return option == Option::Help || option == Option::Version; }

std::string CommandsTaking(Option option) {
    std::vector<std::string> names;
    for (const CommandRow& row : CommandTable()) {
        if (row.listed && std::find(row.options.begin(), row.options.end(), option) != row.options.end()) {
            names.push_back(row.name[0] != '\0' ? row.name : "a session");
        }
    }
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    }
    return text;
}

}  // namespace driver
