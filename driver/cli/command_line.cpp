#include "cli/command_line.h"

#include <algorithm>
#include <map>

#include "hosting/file_dialog_user.h"
#include "text/name_text.h"
#include "scene/node_index.h"
#include "text/number_text.h"

namespace driver {

namespace {

// The options, and the jobs they belong to.
enum Scope : unsigned {
    kAnyJob = 0xF,
    kSession = 1,
    kAlign = 2,
    kPivot = 4,
    kNames = 8,
};

struct OptionRule {
    const char* name;  // as written: "--select", "-o"
    char shortName;    // the one-letter form, or 0
    bool takesValue;
    unsigned scope;
};

constexpr OptionRule kOptions[] = {
    {"--help", 'h', false, kAnyJob},   {"--version", 0, false, kAnyJob}, {"-o", 'o', true, kAnyJob},
    {"--diff", 0, false, kAnyJob},     {"--svg", 0, true, kAnyJob},      {"--select", 0, true, kAlign | kPivot},
    {"--select-name", 0, true, kAlign | kPivot}, {"--axis", 0, true, kPivot}, {"--from", 0, true, kPivot},
    {"--to", 0, true, kPivot},
};

struct Command {
    const char* name;
    unsigned scope;
    std::vector<const char*> positionals;  // after the command's name
};

const Command kSessionCommand{"", kSession, {"SCENE", "SESSION"}};
const Command kShortcuts[] = {
    {"align", kAlign, {"SCENE"}},
    {"pivot", kPivot, {"SCENE"}},
    {"save-names", kNames, {"SCENE", "NAMES"}},
    {"load-names", kNames, {"SCENE", "NAMES"}},
};

const char* ScopeText(unsigned scope) {
    if (scope == (kAlign | kPivot)) return "align and pivot";
    if (scope == kPivot) return "pivot";
    return "this command";
}

// The items of a comma-separated list; none may be empty.
std::vector<std::string> Items(const std::string& value, const std::string& option) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = value.find(',', start);
        items.push_back(value.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (items.back().empty()) {
            throw UsageError(option + ": " + QuotedExcerpt(value) + " has an empty item");
        }
        if (comma == std::string::npos) {
            return items;
        }
        start = comma + 1;
    }
}

std::vector<std::size_t> ReadSelection(const std::string& value) {
    std::vector<std::size_t> indices;
    for (const std::string& item : Items(value, "--select")) {
        std::size_t index = 0;
        if (!ReadNodeIndex(item, index)) {
            throw UsageError("--select: " + QuotedExcerpt(item) + " is not a node index");
        }
        if (index == 0) {
            throw UsageError(std::string("--select: ") + kRootNotSelectable);
        }
        if (std::find(indices.begin(), indices.end(), index) != indices.end()) {
            throw UsageError("--select: node " + item + " is selected twice");
        }
        indices.push_back(index);
    }
    return indices;
}

Point3 ReadPoint(const std::string& value, const std::string& option) {
    const std::vector<std::string> items = Items(value, option);
    if (items.size() != 3) {
        throw UsageError(option + ": " + QuotedExcerpt(value) + " is not a point x,y,z");
    }
    Point3 point;
    for (int i = 0; i < 3; ++i) {
        const std::string& item = items[static_cast<std::size_t>(i)];
        const NumberProblem problem = ReadNumber(item, point[i]);
        if (problem != NumberProblem::None) {
            throw UsageError(option + ": " + NumberProblemText(item, problem));
        }
    }
    return point;
}

// The options as given, by their rule, and the positional arguments.
struct Arguments {
    std::map<const OptionRule*, std::string> options;
    std::vector<std::string> positionals;
    std::string job;       // "--help" or "--version", the first given
    std::optional<std::string> afterJob;  // the first argument after it, which is one too many

    bool Has(const char* name) const { return Value(name) != nullptr; }
    const std::string* Value(const char* name) const {
        for (const auto& [rule, value] : options) {
            if (std::string(rule->name) == name) {
                return &value;
            }
        }
        return nullptr;
    }
};

const OptionRule* FindOption(const std::string& argument, std::string& inlineValue, bool& hasInline) {
    hasInline = false;
    if (argument.rfind("--", 0) == 0) {
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        if (equals != std::string::npos) {
            hasInline = true;
            inlineValue = argument.substr(equals + 1);
        }
        for (const OptionRule& rule : kOptions) {
            if (name == rule.name) {
                return &rule;
            }
        }
        return nullptr;
    }
    for (const OptionRule& rule : kOptions) {
        if (rule.shortName != 0 && argument[1] == rule.shortName) {
            if (argument.size() > 2) {
                hasInline = true;
                inlineValue = argument.substr(2);
            }
            return &rule;
        }
    }
    return nullptr;
}

Arguments Split(const std::vector<std::string>& list) {
    Arguments arguments;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string& argument = list[i];
        if (!arguments.job.empty() && !arguments.afterJob) {
            arguments.afterJob = argument;
        }
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            arguments.positionals.push_back(argument);
            continue;
        }
        std::string value;
        bool hasInline = false;
        const OptionRule* rule = FindOption(argument, value, hasInline);
        if (rule == nullptr) {
            throw UsageError("unknown option " + QuotedExcerpt(argument.substr(0, argument.find('='))));
        }
        if (rule->takesValue && !hasInline) {
            if (i + 1 >= list.size()) {
                throw UsageError(std::string(rule->name) + " needs a value");
            }
            value = list[++i];
        } else if (!rule->takesValue && hasInline) {
            throw UsageError(std::string(rule->name) + " takes no value");
        }
        if (!arguments.options.emplace(rule, value).second) {
            throw UsageError(std::string(rule->name) + " is given twice");
        }
        if (arguments.job.empty() && (rule->name == std::string("--help") || rule->name == std::string("--version"))) {
            arguments.job = rule->name;
        }
    }
    return arguments;
}

}  // namespace

RunFiles FilesOfRun(const Invocation& invocation, const std::vector<std::string>& referenced) {
    using Use = RunFiles::Use;
    if (invocation.outputPath == "-" && invocation.svgPath == "-") {
        throw UsageError("-o and --svg cannot both write to standard output");
    }
    RunFiles files;
    files.Add(invocation.scenePath, Use::OnlyRead, "the scene file, which is only read");
    files.Add(invocation.sessionPath, Use::OnlyRead, "the session, which is only read");
    for (const std::string& file : referenced) {
        files.Add(file, Use::OnlyRead, "a file that the scene file refers to, which is only read");
    }
    const bool loads = invocation.shortcut && invocation.shortcut->command == "load-names";
    const std::string names =
        invocation.shortcut && !invocation.shortcut->names.empty() ? DialogChoice(invocation.shortcut->names) : "";
    const struct {
        const char* option;
        const std::string& path;
        Use use;
        const char* role;
    } written[] = {
        {"NAMES", names, loads ? Use::ToolReads : Use::ToolWrites,
         loads ? "the names file the run reads" : "the names file the run writes"},
        {"-o", invocation.outputPath, Use::Written, "the scene that -o writes"},
        {"--svg", invocation.svgPath, Use::Written, "the picture that --svg writes"},
    };
    for (const auto& file : written) {
        const std::string clash = files.Add(file.path, file.use, file.role);
        if (!clash.empty()) {
            throw UsageError(std::string(file.option) + ": " + QuotedExcerpt(file.path) + " is " + clash);
        }
    }
    return files;
}

std::string UsageText() {
    return R"(usage: morvane-host [OPTION]... SCENE SESSION
       morvane-host align SCENE (--select I,J,... | --select-name NAME) [OPTION]...
       morvane-host pivot SCENE (--select I | --select-name NAME) --axis X|Y|Z --from x,y,z --to x,y,z [OPTION]...
       morvane-host save-names SCENE NAMES [OPTION]...
       morvane-host load-names SCENE NAMES [OPTION]...
       morvane-host --help | --version

Runs the Tarvel and Velkora plug-ins on a scene, loading them through their
exports and working through their panels, as the host does, and prints a
transcript of every action and what the host and the tools said it did.
SCENE is a glTF 2.0 file, .gltf or .glb (see docs/gltf.md), or a scene file
of the project's own, in JSON (see docs/scene-files.md). It is only read:
the final scene is written only with -o.

Commands:
  SCENE SESSION   replay the session script SESSION (one action a line; see
                  docs/sessions.md) on the scene SCENE
  align           select nodes I,J,... (pre-order indices; 0, the root, cannot
                  be selected) or the nodes named NAME, and press "Align" of
                  Tarvel: each selected node takes the place, orientation and
                  axis scale of its namesake; the children of a moved node
                  stay where they are
  pivot           select node I (or the node named NAME), choose the axis,
                  press "Pick" of Tarvel and click the two points: the pivot
                  moves to --from and its axis turns towards --to, while the
                  object stays where it is
  save-names      press "Save Names To File" of Velkora and answer NAMES
  load-names      press "Load Names Form File" of Velkora (the caption as the
                  tool has it) and answer NAMES; the file dialogs add ".txt"
                  to a name typed without an extension

Options:
  -o OUT          write the final scene to OUT, in the format SCENE was read
                  in: a glTF scene to a .gltf file, a GLB one to a .glb file,
                  a scene file to any other name; "-o -" writes it to
                  standard output, and the transcript then goes to standard
                  error
  --select-name NAME  (align, pivot) instead of --select: the nodes whose
                  names fit NAME, in pre-order, where "*" stands for any run
                  of characters and "?" for one; the names are those of
                  SCENE as read
  --diff          print what changed per node: name, position, orientation,
                  scale and object placement (before and after)
  --svg FILE      draw the scene before and after as an SVG picture
  -h, --help      print this help and exit
  --version       print the version and exit
  --              end the options: what follows is SCENE, SESSION, NAMES
A long option's value may follow after "=" (--select=5,6), -o's directly
(-oOUT). Each option is given at most once. No file that the run writes
(-o, --svg, "save", the NAMES of save-names) may be one that it reads
(SCENE, SESSION, the files a glTF scene refers to, the NAMES of
load-names) or another that it writes; nothing may follow --help or
--version.

The session is checked whole before its first action runs. In the host, a
selection change unchecks "Pick" while its pick mode goes on; pressing a
disabled control does nothing, which a session reports and goes on. A
change to a glTF node that an animation drives is warned of: the animation
overrides the new placement when it plays.

Exit status: 0 when the run did all that was asked: then the files of -o,
--svg and "save" are written. 1 when a file, the session or an action
fails, a file dialog refused or failed, or a tool logged an error (such as
a names file not written); for a shortcut also when its job did not happen
(a disabled control, a refused point, an edit the tool refused): then one
line on standard error says why, and no file of -o, --svg or "save" is
written. 2 for a wrong command line, and for an -o name of another format
than SCENE's.
)";
}

std::string VersionText() { return std::string("morvane-host ") + MORVANE_VERSION + "\n"; }

Invocation ParseCommandLine(const std::vector<std::string>& list) {
    const Arguments arguments = Split(list);
    Invocation invocation;
    // What comes before them may be a command being typed; what comes
    // after would be ignored.
    if (arguments.afterJob) {
        throw UsageError("unexpected argument " + QuotedExcerpt(*arguments.afterJob) + " after " + arguments.job);
    }
    if (arguments.Has("--help")) {
        invocation.job = Invocation::Job::Help;
        return invocation;
    }
    if (arguments.Has("--version")) {
        invocation.job = Invocation::Job::Version;
        return invocation;
    }

    const std::vector<std::string>& positionals = arguments.positionals;
    const Command* command = &kSessionCommand;
    for (const Command& shortcut : kShortcuts) {
        if (!positionals.empty() && positionals[0] == shortcut.name) {
            command = &shortcut;
        }
    }
    const bool isShortcut = command != &kSessionCommand;
    const std::size_t first = isShortcut ? 1 : 0;
    std::string takes = isShortcut ? command->name : "a session";
    takes += " takes";
    for (const char* positional : command->positionals) {
        takes += std::string(" ") + positional;
    }
    for (std::size_t i = 0; i < command->positionals.size(); ++i) {
        if (first + i >= positionals.size()) {
            throw UsageError(std::string("missing ") + command->positionals[i] + " (" + takes + ")");
        }
        if (positionals[first + i].empty()) {
            throw UsageError(std::string(command->positionals[i]) + " is empty");
        }
    }
    if (positionals.size() > first + command->positionals.size()) {
        throw UsageError("unexpected argument " + QuotedExcerpt(positionals[first + command->positionals.size()]) + " (" +
                         takes + ")");
    }
    for (const auto& [rule, value] : arguments.options) {
        if ((rule->scope & command->scope) == 0) {
            throw UsageError(std::string(rule->name) + " is an option of " + ScopeText(rule->scope) + " only");
        }
    }
    invocation.scenePath = positionals[first];
    if (const std::string* output = arguments.Value("-o")) {
        if (output->empty()) {
            throw UsageError("-o: the file name is empty");
        }
        invocation.outputPath = *output;
    }
    if (const std::string* svg = arguments.Value("--svg")) {
        if (svg->empty()) {
            throw UsageError("--svg: the file name is empty");
        }
        invocation.svgPath = *svg;
    }
    invocation.diff = arguments.Has("--diff");

    if (!isShortcut) {
        invocation.sessionPath = positionals[1];
    } else {
        Shortcut shortcut;
        shortcut.command = command->name;
        auto required = [&](const char* option) -> const std::string& {
            const std::string* value = arguments.Value(option);
            if (value == nullptr) {
                throw UsageError(shortcut.command + " needs " + option);
            }
            return *value;
        };
        if (command->scope & (kAlign | kPivot)) {
            const std::string* indices = arguments.Value("--select");
            const std::string* name = arguments.Value("--select-name");
            if (indices != nullptr && name != nullptr) {
                throw UsageError("--select and --select-name cannot both be given");
            }
            if (indices == nullptr && name == nullptr) {
                throw UsageError(shortcut.command + " needs --select or --select-name");
            }
            if (name != nullptr) {
                shortcut.selectName = *name;
            } else {
                shortcut.selection = ReadSelection(*indices);
            }
        }
        if (command->scope & kPivot) {
            shortcut.axis = required("--axis");
            if (shortcut.axis != "X" && shortcut.axis != "Y" && shortcut.axis != "Z") {
                throw UsageError("--axis: " + QuotedExcerpt(shortcut.axis) + " is not X, Y or Z");
            }
            shortcut.from = ReadPoint(required("--from"), "--from");
            shortcut.to = ReadPoint(required("--to"), "--to");
        }
        if (command->scope & kNames) {
            shortcut.names = positionals[2];
        }
        invocation.shortcut = std::move(shortcut);
    }
    FilesOfRun(invocation, {});
    return invocation;
}

}  // namespace driver
