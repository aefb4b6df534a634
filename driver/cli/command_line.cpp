#include "cli/command_line.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "cli/command_table.h"
#include "files/native_path.h"
#include "text/name_text.h"
#include "text/nearest_word.h"
#include "win32/file_name_rules.h"

namespace driver {

namespace {

// The option that `argument` names, with its value when it is given inline
// ("--svg=x.svg", "-ox.json"); nullptr when there is none of that name.
const OptionRow* FindOption(const std::string& argument, std::optional<std::string>& inlineValue) {
    const bool isLong = argument.rfind("--", 0) == 0;
    const std::size_t equals = isLong ? argument.find('=') : std::string::npos;
    const std::string name = argument.substr(0, equals);
    for (const OptionRow& row : OptionTable()) {
        if (isLong ? name == row.name : row.shortName != 0 && argument[1] == row.shortName) {
            if (equals != std::string::npos) {
                inlineValue = argument.substr(equals + 1);
            } else if (!isLong && argument.size() > 2) {
                inlineValue = argument.substr(2);
            }
            return &row;
        }
    }
    return nullptr;
}

// The long option nearest to a mistyped `--name`; null for none, or for
// a name that is no long option at all.
const char* NearestLongOption(const std::string& name) {
    if (name.rfind("--", 0) != 0) {
        return nullptr;
    }
    std::vector<const char*> names;
    for (const OptionRow& row : OptionTable()) {
        if (row.name[1] == '-') {
            names.push_back(row.name);
        }
    }
    return NearestWord(name, names);
}

// The options by name and the other arguments, in their order; the job
// option given first, and the argument after it, which is one too many.
struct SplitArguments {
    ParsedArguments parsed;
    const OptionRow* job = nullptr;
    std::optional<std::string> afterJob;
};

SplitArguments Split(const std::vector<std::string>& list) {
    SplitArguments split;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string& argument = list[i];
        if (split.job != nullptr && !split.afterJob) {
            split.afterJob = argument;
        }
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            split.parsed.positionals.push_back(argument);
            continue;
        }
        std::optional<std::string> value;
        const OptionRow* row = FindOption(argument, value);
        if (row == nullptr) {
            const std::string name = argument.substr(0, argument.find('='));
            const char* nearest = NearestLongOption(name);
            throw UsageError("unknown option " + QuotedExcerpt(name) +
                             (nearest != nullptr ? std::string(" (did you mean ") + nearest + "?)" : ""));
        }
        if (row->value != nullptr && !value) {
            if (i + 1 >= list.size()) {
                throw UsageError(std::string(row->name) + " needs a value");
            }
            value = list[++i];
        } else if (row->value == nullptr && value) {
            throw UsageError(std::string(row->name) + " takes no value");
        }
        if (!split.parsed.options.emplace(row->option, value.value_or("")).second) {
            throw UsageError(std::string(row->name) + " is given twice");
        }
        if (split.job == nullptr && IsJobOption(row->option)) {
            split.job = row;
        }
    }
    return split;
}

std::string Lowered(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// The command that the first argument names. A word that is no command is
// SCENE when it may be a file name: one that exists, or has a '.' or a
// folder in it; else it is a command mistyped.
const CommandRow& FindCommand(const std::vector<std::string>& positionals) {
    const std::vector<CommandRow>& rows = CommandTable();
    if (positionals.empty()) {
        return rows.front();
    }
    const std::string& word = positionals.front();
    std::string names;
    std::vector<const char*> commands;
    const char* sameButCase = nullptr;
    for (const CommandRow& row : rows) {
        if (row.name[0] == '\0') {
            continue;
        }
        if (word == row.name) {
            return row;
        }
        names += (names.empty() ? "" : ", ") + std::string(row.name);
        commands.push_back(row.name);
        sameButCase = Lowered(word) == row.name ? row.name : sameButCase;
    }
    std::error_code error;
    if (word.empty() || word == "-" || word.find_first_of("./\\") != std::string::npos ||
        std::filesystem::exists(std::filesystem::symlink_status(NativePath(word), error))) {
        return rows.front();
    }
    if (sameButCase != nullptr) {
        throw UsageError("unknown command " + QuotedExcerpt(word) + " (commands are lower case: did you mean \"" +
                         sameButCase + "\"?)");
    }
    const char* nearest = NearestWord(word, commands);
    throw UsageError("unknown command " + QuotedExcerpt(word) +
                     (nearest != nullptr ? std::string(" (did you mean ") + nearest + "?)"
                                         : " (the commands are " + names + "; a session takes SCENE SESSION)"));
}

// The arguments after the command's name: as many as it takes, none empty,
// and SCENE and SESSION no "-" (standard input is not read).
void CheckPositionals(const CommandRow& command, const std::vector<std::string>& given) {
    std::string takes = command.name[0] != '\0' ? command.name : "a session";
    takes += " takes";
    for (const char* positional : command.positionals) {
        takes += std::string(" ") + positional;
    }
    for (std::size_t i = 0; i < command.positionals.size(); ++i) {
        const std::string name = command.positionals[i];
        if (i >= given.size()) {
            throw UsageError("missing " + name + " (" + takes + ")");
        }
        if (given[i].empty()) {
            throw UsageError(name + " is empty");
        }
        if (given[i] == "-" && (name == "SCENE" || name == "SESSION")) {
            throw UsageError(name +
                             ": \"-\" would be standard input, which morvane-host does not read; name a file "
                             "(./- for one named \"-\")");
        }
    }
    if (given.size() > command.positionals.size()) {
        throw UsageError("unexpected argument " + QuotedExcerpt(given[command.positionals.size()]) + " (" + takes +
                         ")");
    }
}

// An -o or --svg file; any name of standard output is "-".
std::string OutputName(const ParsedArguments& arguments, Option option) {
    const std::string* path = arguments.Value(option);
    if (path == nullptr) {
        return "";
    }
    if (path->empty()) {
        throw UsageError(std::string(RowOf(option).name) + ": the file name is empty");
    }
    return IsStandardOutput(*path) ? "-" : *path;
}

// The picture is SVG whatever its name says, so its name must say so too,
// as -o's names follow the scene's format.
void CheckSvgName(const std::string& path) {
    const std::string extension = path.size() >= 4 ? Lowered(path.substr(path.size() - 4)) : "";
    if (!path.empty() && path != "-" && extension != ".svg") {
        throw UsageError("--svg: " + QuotedExcerpt(path) + ": the picture is SVG, which is written to a .svg file");
    }
}

}  // namespace

RunFiles FilesOfRun(const Invocation& invocation, const std::vector<std::string>& referenced,
                    const std::optional<std::string>& namesChosen) {
    CommandLineFiles named{invocation.scenePath,  invocation.sessionPath, "", false,
                           invocation.outputPath, invocation.svgPath};
    const std::optional<Shortcut>& shortcut = invocation.shortcut;
    if (shortcut && !shortcut->names.empty() && !shortcut->namesToStandardOutput && !shortcut->namesFromStandardInput &&
        (namesChosen || file_name_rules::ExtensionOffset(shortcut->names) != 0)) {
        named.names = namesChosen ? *namesChosen : shortcut->names;
        named.namesLoaded = invocation.shortcut->kind == ShortcutKind::LoadNames;
    }
    try {
        return FilesOfRun(named, referenced);
    } catch (const RunFilesError& e) {
        throw UsageError(e.what());
    }
}

Invocation ParseCommandLine(const std::vector<std::string>& list) {
    SplitArguments split = Split(list);
    Invocation invocation;
    // What comes before them may be a command being typed; what comes
    // after would be ignored.
    if (split.afterJob) {
        throw UsageError("unexpected argument " + QuotedExcerpt(*split.afterJob) + " after " + split.job->name);
    }
    if (split.job != nullptr) {
        invocation.job = split.job->option == Option::Help ? Invocation::Job::Help : Invocation::Job::Version;
        return invocation;
    }
    ParsedArguments& arguments = split.parsed;
    const CommandRow& command = FindCommand(arguments.positionals);
    if (command.name[0] != '\0') {
        arguments.positionals.erase(arguments.positionals.begin());
    }
    CheckPositionals(command, arguments.positionals);
    for (const auto& [option, value] : arguments.options) {
        if (std::find(command.options.begin(), command.options.end(), option) == command.options.end()) {
            throw UsageError(std::string(RowOf(option).name) + " is an option of " + CommandsTaking(option) + " only");
        }
    }
    invocation.command = command.command;
    invocation.scenePath = arguments.positionals.front();
    invocation.outputPath = OutputName(arguments, Option::Output);
    invocation.svgPath = OutputName(arguments, Option::Svg);
    CheckSvgName(invocation.svgPath);
    invocation.diff = arguments.Value(Option::Diff) != nullptr;
    invocation.quiet = arguments.Value(Option::Quiet) != nullptr;
    command.build(arguments, invocation);
    FilesOfRun(invocation, {});
    return invocation;
}

}  // namespace driver
