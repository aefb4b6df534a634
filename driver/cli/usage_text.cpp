// The --help text, made from the tables of commands and options in the
// form that help2man reads (man/): the usage lines first, then each entry
// as a tag and its text, the text's lines all starting in one column.
#include <algorithm>

#include "cli/command_line.h"
#include "cli/command_table.h"
#include "cli/platform_text.h"
#include "text/refusal.h"

namespace driver {

namespace {

constexpr std::size_t kTextColumn = 22;  // help2man takes a text on the tag's next line from column 20
constexpr std::size_t kWidth = 79;

// "  TAG   TEXT", the text from `textColumn`, wrapped at word ends to kWidth.
std::string Entry(const std::string& tag, const std::string& text, std::size_t textColumn = kTextColumn) {
    std::string entry = "  " + tag;
    entry += entry.size() + 2 <= textColumn ? std::string(textColumn - entry.size(), ' ')
                                            : "\n" + std::string(textColumn, ' ');
    std::size_t column = textColumn;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::size_t length = end - at;
        if (column > textColumn && column + 1 + length > kWidth) {
            entry += "\n" + std::string(textColumn, ' ');
            column = textColumn;
        } else if (column > textColumn) {
            entry += ' ';
            ++column;
        }
        entry += text.substr(at, length);
        column += length;
        at = end + 1;
    }
    return entry + "\n";
}

// "morvane-host pivot SCENE ... [OPTION]...".
std::string UsageLine(const CommandRow& row) {
    std::string line = std::string("morvane-host") + (row.name[0] != '\0' ? " " : "") + row.name;
    for (const char* positional : row.positionals) {
        line += std::string(" ") + positional;
    }
    line += row.needs[0] != '\0' ? std::string(" ") + row.needs : "";
    return line + " [OPTION]...\n";
}

std::string UsageLines() {
    std::string lines;
    for (const CommandRow& row : CommandTable()) {
        lines += !row.listed ? "" : (lines.empty() ? "usage: " : "       ") + UsageLine(row);
    }
    return lines + "       morvane-host help [COMMAND] | --help | --version\n";
}

std::string CommandEntries() {
    std::string entries = "Commands:\n";
    for (const CommandRow& row : CommandTable()) {
        entries += !row.listed ? "" : Entry(row.name[0] != '\0' ? row.name : "SCENE SESSION", row.help);
    }
    return entries;
}

std::string OptionTag(const OptionRow& row) {
    std::string tag = row.shortName != 0 && row.name[1] == '-' ? std::string("-") + row.shortName + ", " : "";
    tag += row.name;
    return tag + (row.value != nullptr ? std::string(" ") + row.value : "");
}

std::string OptionEntries() {
    std::string entries = "Options:\n";
    const std::size_t commands =
        static_cast<std::size_t>(std::count_if(CommandTable().begin(), CommandTable().end(),
                                               [](const CommandRow& command) { return command.listed; }));
    for (const OptionRow& row : OptionTable()) {
        std::size_t taking = 0;
        std::string notTaking;
        for (const CommandRow& command : CommandTable()) {
            if (!command.listed) {
                continue;
            }
            const bool takes = std::count(command.options.begin(), command.options.end(), row.option) > 0;
            taking += takes ? 1 : 0;
            notTaking += takes ? "" : (notTaking.empty() ? "" : ", ") + std::string(command.name);
        }
        // An option of most commands names those that do not take it.
        const std::string commandsOf = IsJobOption(row.option) || taking == commands ? ""
                                       : 2 * taking > commands                       ? "(not " + notTaking + ") "
                                                               : "(" + CommandsTaking(row.option) + ") ";
        entries += Entry(OptionTag(row), commandsOf + row.help);
    }
    return entries + Entry("--",
                           "end the options: what follows is SCENE, SESSION or NAMES, even when it starts "
                           "with \"-\"");
}

constexpr std::size_t kStatusColumn = 9;

// "1  LEAD: what the refusal table ends with 1; TAIL", and so on.
std::string StatusEntry(int status, const std::string& lead, const std::string& tail) {
    std::string kinds;
    for (const char* shown : RefusalsShown(status)) {
        kinds += (kinds.empty() ? "" : "; ") + std::string(shown);
    }
    return Entry(std::to_string(status), lead + ": " + kinds + ". " + tail, kStatusColumn);
}

std::string StatusEntries() {
    return "Exit status:\n" +
           Entry("0", "the run did all that was asked; then the files of -o, --svg and \"save\" are written.",
                 kStatusColumn) +
           StatusEntry(1, "the content refuses the job, which the same command may do on another scene",
                       "One line on standard error says why, led by SCENE for a command; no file of -o, --svg "
                       "or \"save\" is written.") +
           StatusEntry(2, "a wrong command line", "One line on standard error; nothing is written.") +
           Entry("3",
                 "every file of -o, --svg and \"save\" was written, but the transcript's last lines could not "
                 "be (a full disk, a file size limit).",
                 kStatusColumn) +
           StatusEntry(4, "a file that cannot be read, parsed or written",
                       "One line on standard error names it; no file of -o, --svg or \"save\" is written.") +
           Entry("128+N",
                 "the run was ended by signal N (130 for SIGINT, 143 for SIGTERM): every file is as it was. 141 "
                 "(SIGPIPE's) also when standard output's reader went before the files were written. A reader "
                 "that stops early (| head) is told nothing: list and --help then exit 0.",
                 kStatusColumn);
}

}  // namespace

std::string UsageText() {
    return UsageLines() + R"(
Runs the Tarvel and Velkora plug-ins on a scene, loading them through their
exports and working through their panels, as the host does, and prints a
transcript of every action and what the host and the tools said it did.
SCENE is a glTF 2.0 file, .gltf or .glb (see docs/gltf.md), or a scene file
of the project's own, in JSON (see docs/scene-files.md). It is only read:
the final scene is written only with -o.

)" + CommandEntries() +
           "\n" + OptionEntries() + R"(
A command is matched exactly, in lower case; a first word that is no command,
no file and has no "." or "/" in it is refused as an unknown command. A long
option's value may follow after "=" (--select=5,6), -o's directly (-oOUT);
short options group (-qo OUT). Each option is given at most once; nothing may
follow --help or --version. "help COMMAND" and "COMMAND --help" print the help
of one command.
SCENE and SESSION are files: "-" is refused there. The NAMES of load-names
(and a session's "answer -" for the open dialog) may be "-": standard input,
read whole before the run. Any name of standard output (/dev/stdout) is "-".
No file that the run writes (-o, --svg, "save", the NAMES of save-names) may
be one that it reads (SCENE, SESSION, the files a glTF scene refers to, the
NAMES of load-names) or another that it writes, also through symbolic links,
dangling ones included.

The session is checked whole before its first action runs. In the host, a
selection change unchecks "Pick" while its pick mode goes on; pressing a
disabled control does nothing, which a session reports and goes on. A
glTF edit is refused, failing the run, where the keys of the file's
animations cannot follow it so that everything plays as it did.

Environment:
)" + kEnvironmentHelp +
           R"(
)" + StatusEntries() +
           R"(
Report bugs to: Morvane developers <dev@morvane.org>
)";
}

std::string CommandUsageText(const CommandRow& row) {
    std::string text = "usage: " + UsageLine(row) + "\n" + Entry(row.name, row.help) + "\nOptions:\n";
    for (const Option option : row.options) {
        text += Entry(OptionTag(RowOf(option)), RowOf(option).help);
    }
    text += Entry(OptionTag(RowOf(Option::Help)), "print this help and exit");
    return text + "\nThe exit statuses, and what every command shares: morvane-host --help\n";
}

std::string VersionText() {
    return std::string("morvane-host (Morvane) ") + MORVANE_VERSION + R"(
Copyright (C) 2026 Morvane developers
License MIT: <https://opensource.org/licenses/MIT>
This is free software: you are free to change and redistribute it.
There is NO WARRANTY, to the extent permitted by law.
)";
}

}  // namespace driver
