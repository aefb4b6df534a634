#include "command_line.h"

#include <sstream>

namespace driver {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) {
        parts.push_back(part);
    }
    return parts;
}

// The shortcuts are sessions written for the user; their actions are
// parsed like a script, so they are checked the same way.
std::vector<Action> ShortcutActions(const std::string& script, const std::string& command) {
    try {
        return ParseSession(script, command);
    } catch (const SessionError& e) {
        throw UsageError(e.what());
    }
}

std::string Point(const std::string& value, const char* option) {
    const std::vector<std::string> parts = Split(value, ',');
    if (parts.size() != 3) {
        throw UsageError(std::string(option) + " needs x,y,z");
    }
    return parts[0] + " " + parts[1] + " " + parts[2];
}

}  // namespace

std::string UsageText() {
    return R"(usage: morvane-host SCENE SESSION [OPTION]...
       morvane-host align SCENE --select I,J,... [OPTION]...
       morvane-host pivot SCENE --select I --axis X|Y|Z --from x,y,z --to x,y,z [OPTION]...
       morvane-host save-names SCENE NAMES [OPTION]...
       morvane-host load-names SCENE NAMES [OPTION]...
       morvane-host --help

Runs the Tarvel and Velkora plug-ins on a scene read from a JSON scene file,
loading them through their exports and working through their panels, as the
host does, and prints a transcript of every action and what it did. The
scene file is only read: the final scene is written only with -o.

Commands:
  SCENE SESSION   replay the session script SESSION (one action a line; see
                  docs/sessions.md) on the scene SCENE (see docs/scene-files.md)
  align           select nodes I,J,... (pre-order indices, 0 is the root) and
                  press "Align" of Tarvel
  pivot           select node I, choose the axis, press "Pick" of Tarvel and
                  click the two points: the pivot moves to --from and its axis
                  turns towards --to
  save-names      press "Save Names To File" of Velkora and answer NAMES
  load-names      press "Load Names Form File" of Velkora and answer NAMES

Options:
  -o OUT          write the final scene to OUT
  --diff          print what changed per node: name, position, orientation,
                  scale (before and after)
  --svg FILE      draw the scene before and after as an SVG picture
  -h, --help      print this help and exit

The session is checked whole before its first action runs, and the files of
-o, --svg and "save" are written only after it has succeeded.

Exit status: 0 on success, 1 when a file, the session or an action fails,
2 for a wrong command line.
)";
}

Invocation ParseCommandLine(const std::vector<std::string>& arguments) {
    Invocation invocation;
    std::vector<std::string> positional;
    std::string select, axis, from, to;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        auto value = [&](const char* option) -> std::string {
            if (i + 1 >= arguments.size()) {
                throw UsageError(std::string(option) + " needs a value");
            }
            return arguments[++i];
        };
        if (argument == "-h" || argument == "--help") {
            invocation.help = true;
            return invocation;
        } else if (argument == "-o") {
            invocation.outputPath = value("-o");
        } else if (argument == "--diff") {
            invocation.diff = true;
        } else if (argument == "--svg") {
            invocation.svgPath = value("--svg");
        } else if (argument == "--select") {
            select = value("--select");
        } else if (argument == "--axis") {
            axis = value("--axis");
        } else if (argument == "--from") {
            from = value("--from");
        } else if (argument == "--to") {
            to = value("--to");
        } else if (argument.size() > 1 && argument[0] == '-') {
            throw UsageError("unknown option " + argument);
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.empty()) {
        throw UsageError("missing SCENE");
    }
    const std::string command = positional[0];
    auto expect = [&](std::size_t count, const char* what) {
        if (positional.size() != count) {
            throw UsageError(command + " needs " + what);
        }
    };
    auto needSelection = [&]() {
        if (select.empty()) {
            throw UsageError(command + " needs --select");
        }
        std::string indices;
        for (const std::string& index : Split(select, ',')) {
            indices += " " + index;
        }
        return indices;
    };
    if (command == "align" || command == "pivot" || command == "save-names" || command == "load-names") {
        invocation.command = command;
    }
    if (command == "align") {
        expect(2, "SCENE");
        invocation.scenePath = positional[1];
        invocation.shortcut = ShortcutActions("open Tarvel\nselect" + needSelection() + "\npress Align\nclose\n", command);
    } else if (command == "pivot") {
        expect(2, "SCENE");
        invocation.scenePath = positional[1];
        if (axis != "X" && axis != "Y" && axis != "Z") {
            throw UsageError("pivot needs --axis X, Y or Z");
        }
        if (from.empty() || to.empty()) {
            throw UsageError("pivot needs --from and --to");
        }
        const std::string indices = needSelection();
        invocation.shortcut = ShortcutActions("open Tarvel\nselect" + indices + "\nradio " + axis +
                                                  "\npress Pick\nclick " + Point(from, "--from") + "\nclick " +
                                                  Point(to, "--to") + "\nclose\n",
                                              command);
    } else if (command == "save-names" || command == "load-names") {
        expect(3, "SCENE and NAMES");
        invocation.scenePath = positional[1];
        const std::string& names = positional[2];
        if (names == "cancel" || names.find('\n') != std::string::npos) {
            throw UsageError("NAMES must be a file path");
        }
        const char* button = command == "save-names" ? "Save Names To File" : "Load Names Form File";
        invocation.shortcut =
            ShortcutActions("open Velkora\nanswer " + names + "\npress " + button + "\nclose\n", command);
    } else {
        if (positional.size() != 2) {
            throw UsageError("expected SCENE SESSION, or a command (align, pivot, save-names, load-names); got " +
                             std::to_string(positional.size()) + " arguments");
        }
        invocation.scenePath = positional[0];
        invocation.sessionPath = positional[1];
    }
    return invocation;
}

}  // namespace driver
