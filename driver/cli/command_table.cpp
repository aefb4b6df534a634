#include "cli/command_table.h"

#include <algorithm>

#include "cli/option_values.h"
#include "cli/platform_text.h"
#include "files/run_files.h"
#include "text/name_text.h"

namespace driver {

namespace {

// --select, --select-name, --select-path or (align's) --copies-of, one of them.
void ReadSelectionOptions(const ParsedArguments& arguments, Shortcut& shortcut) {
    const std::string* indices = arguments.Value(Option::Select);
    const std::string* name = arguments.Value(Option::SelectName);
    const std::string* path = arguments.Value(Option::SelectPath);
    const std::string* copiesOf = arguments.Value(Option::CopiesOf);
    const int given = (indices != nullptr) + (name != nullptr) + (path != nullptr) + (copiesOf != nullptr);
    const std::string options = shortcut.kind == ShortcutKind::Align
                                    ? "--select, --select-name, --select-path or --copies-of"
                                    : "--select, --select-name or --select-path";
    if (given > 1) {
        throw UsageError(options + ": give only one of them");
    }
    if (given == 0) {
        throw UsageError(std::string(ShortcutName(shortcut.kind)) + " needs " + options);
    }
    if (copiesOf != nullptr) {
        if (copiesOf->empty()) {
            throw UsageError("--copies-of: the name is empty");
        }
        shortcut.copiesOf = *copiesOf;
    } else if (name != nullptr) {
        shortcut.selectName = *name;
    } else if (path != nullptr) {
        shortcut.selectPath = *path;
    } else {
        shortcut.selection = ReadSelection(*indices, "--select");
    }
}

const std::string& Required(const ParsedArguments& arguments, Option option, const Shortcut& shortcut) {
    const std::string* value = arguments.Value(option);
    if (value == nullptr) {
        throw UsageError(std::string(ShortcutName(shortcut.kind)) + " needs " + RowOf(option).name);
    }
    return *value;
}

void BuildSession(const ParsedArguments& arguments, Invocation& invocation) {
    invocation.sessionPath = arguments.positionals[1];
}

void BuildAlign(const ParsedArguments& arguments, Invocation& invocation) {
    Shortcut shortcut;
    shortcut.kind = ShortcutKind::Align;
    ReadSelectionOptions(arguments, shortcut);
    invocation.shortcut = std::move(shortcut);
}

void BuildPivot(const ParsedArguments& arguments, Invocation& invocation) {
    Shortcut shortcut;
    shortcut.kind = ShortcutKind::Pivot;
    ReadSelectionOptions(arguments, shortcut);
    if (shortcut.selection.size() > 1) {
        throw UsageError("--select: pivot works on one node, and " + std::to_string(shortcut.selection.size()) +
                         " are given");
    }
    shortcut.from = ReadPoint(Required(arguments, Option::From, shortcut), "--from");
    // Without --to the pivot only moves, its axes kept.
    if (arguments.Value(Option::To) == nullptr) {
        if (arguments.Value(Option::Axis) != nullptr) {
            throw UsageError(
                "--axis turns an axis towards --to, which is not given (without --to, pivot only "
                "moves the pivot to --from)");
        }
        invocation.shortcut = std::move(shortcut);
        return;
    }
    shortcut.axis = Required(arguments, Option::Axis, shortcut);
    if (shortcut.axis != "X" && shortcut.axis != "Y" && shortcut.axis != "Z") {
        throw UsageError("--axis: " + QuotedExcerpt(shortcut.axis) + " is not X, Y or Z");
    }
    shortcut.to = ReadPoint(*arguments.Value(Option::To), "--to");
    if (shortcut.from.x == shortcut.to.x && shortcut.from.y == shortcut.to.y && shortcut.from.z == shortcut.to.z) {
        throw UsageError("--to: the same point as --from, so the two points give no direction");
    }
    invocation.shortcut = std::move(shortcut);
}

void BuildNames(const ParsedArguments& arguments, Invocation& invocation, ShortcutKind kind) {
    Shortcut shortcut;
    shortcut.kind = kind;
    shortcut.names = arguments.positionals[1];
    shortcut.namesToStandardOutput = kind == ShortcutKind::SaveNames && IsStandardOutput(shortcut.names);
    shortcut.namesFromStandardInput = kind == ShortcutKind::LoadNames && shortcut.names == "-";
    if (shortcut.namesToStandardOutput && (invocation.outputPath == "-" || invocation.svgPath == "-")) {
        throw UsageError(std::string("NAMES and ") + (invocation.outputPath == "-" ? "-o" : "--svg") +
                         " cannot both write to standard output");
    }
    shortcut.partial = arguments.Value(Option::Partial) != nullptr;
    invocation.shortcut = std::move(shortcut);
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
         "write the final scene to OUT in SCENE's format; \"-o -\": to standard output, the transcript then "
         "to standard error"},
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
        {Command::Align, ShortcutName(ShortcutKind::Align), {"SCENE"}, with({O::Select, O::SelectName, O::SelectPath, O::CopiesOf}),
         "(--select I,J,... | --select-name NAME | --select-path PATH | --copies-of NAME)",
         "press \"Align\" of Tarvel: each selected node takes the place, orientation and axis scale of its "
         "namesake", BuildAlign},
        {Command::Pivot, ShortcutName(ShortcutKind::Pivot), {"SCENE"},
         with({O::Select, O::SelectName, O::SelectPath, O::Axis, O::From, O::To}),
         "(--select I | --select-name NAME | --select-path PATH) --from x,y,z [--axis X|Y|Z --to x,y,z]",
         "press \"Pick\" of Tarvel, click --from, then --to: the pivot moves to --from, its axis turns "
         "to --to; without --axis and --to the pivot only moves, its axes kept", BuildPivot},
        {Command::SaveNames, ShortcutName(ShortcutKind::SaveNames), {"SCENE", "NAMES"}, kRun, "",
         "press \"Save Names To File\" of Velkora and answer NAMES (the dialog adds \".txt\" to a bare "
         "name); NAMES \"-\": the names go to standard output, the transcript to standard error",
         [](const ParsedArguments& arguments, Invocation& invocation) {
             BuildNames(arguments, invocation, ShortcutKind::SaveNames);
         }},
        {Command::LoadNames, ShortcutName(ShortcutKind::LoadNames), {"SCENE", "NAMES"}, with({O::Partial}), "",
         "press \"Load Names Form File\" of Velkora (the tool's caption) and answer NAMES; a NAMES of another "
         "number of lines than the scene has nodes is refused, as its names would shift (see --partial)",
         [](const ParsedArguments& arguments, Invocation& invocation) {
             BuildNames(arguments, invocation, ShortcutKind::LoadNames);
         }},
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
    return rows;
}

const OptionRow& RowOf(Option option) {
    const std::vector<OptionRow>& rows = OptionTable();
    return *std::find_if(rows.begin(), rows.end(), [option](const OptionRow& row) { return row.option == option; });
}

bool IsJobOption(Option option) { return option == Option::Help || option == Option::Version; }

std::string CommandsTaking(Option option) {
    std::vector<std::string> names;
    for (const CommandRow& row : CommandTable()) {
        if (std::find(row.options.begin(), row.options.end(), option) != row.options.end()) {
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
