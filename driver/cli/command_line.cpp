#include "cli/command_line.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "cli/command_table.h"
#include "files/native_path.h"
#include "text/name_text.h"
#include "text/nearest_word.h"
#include "tools/tool_row.h"
#include "win32/file_name_rules.h"

namespace driver {

namespace {

// The long option that `argument` names, with its value when it is given
// inline ("--svg=x.svg"); nullptr when there is none of that name.
const OptionRow* FindLongOption(const std::string& argument, std::optional<std::string>& inlineValue) {
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    for (const OptionRow& row : OptionTable()) {
        if (name == row.name) {
            if (equals != std::string::npos) {
                inlineValue = argument.substr(equals + 1);
            }
            return &row;
        }
    }
    return nullptr;
}

const OptionRow* FindShortOption(char letter) {
    for (const OptionRow& row : OptionTable()) {
        if (row.shortName != 0 && row.shortName == letter) {
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

void Record(SplitArguments& split, const OptionRow& row, const std::optional<std::string>& value) {
    if (!split.parsed.options.emplace(row.option, value.value_or("")).second) {
        throw UsageError(std::string(row.name) + " is given twice");
    }
    if (split.job == nullptr && IsJobOption(row.option)) {
        split.job = &row;
    }
}

// "--name", "--name=value" or "--name value"; `i` moves past a value that
// is the next argument.
void SplitLong(SplitArguments& split, const std::vector<std::string>& list, std::size_t& i) {
    std::optional<std::string> value;
    const OptionRow* row = FindLongOption(list[i], value);
    if (row == nullptr) {
        const std::string name = list[i].substr(0, list[i].find('='));
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
    Record(split, *row, value);
}

// Short options, grouped as getopt groups them: "-q", "-qo OUT", "-qoOUT";
// an option that takes a value ends the group, its value the rest of it
// or else the next argument.
void SplitShort(SplitArguments& split, const std::vector<std::string>& list, std::size_t& i) {
    const std::string& argument = list[i];
    for (std::size_t at = 1; at < argument.size(); ++at) {
        const OptionRow* row = FindShortOption(argument[at]);
        if (row == nullptr) {
            throw UsageError("unknown option " + QuotedExcerpt(std::string("-") + argument[at]) +
                             (argument.size() > 2 ? " in " + QuotedExcerpt(argument) : ""));
        }
        if (row->value == nullptr) {
            Record(split, *row, std::nullopt);
            continue;
        }
        if (at + 1 < argument.size()) {
            Record(split, *row, argument.substr(at + 1));
        } else if (i + 1 < list.size()) {
            Record(split, *row, list[++i]);
        } else {
            throw UsageError(std::string(row->name) + " needs a value");
        }
        return;
    }
}

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
        } else if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            split.parsed.positionals.push_back(argument);
        } else if (argument[1] == '-') {
            SplitLong(split, list, i);
        } else {
            SplitShort(split, list, i);
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

// The commands' names, the session run's (none) left out.
std::vector<const char*> CommandNames() {
    std::vector<const char*> names;
    for (const CommandRow& row : CommandTable()) {
        if (row.name[0] != '\0' && row.listed) {
            names.push_back(row.name);
        }
    }
    return names;
}

// "align, pivot, ...".
std::string Listed(const std::vector<const char*>& names) {
    std::string listed;
    for (const char* name : names) {
        listed += (listed.empty() ? "" : ", ") + std::string(name);
    }
    return listed;
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
    const char* sameButCase = nullptr;
    for (const CommandRow& row : rows) {
        if (row.name[0] != '\0' && word == row.name) {
            return row;
        }
        sameButCase = row.name[0] != '\0' && row.listed && Lowered(word) == row.name ? row.name : sameButCase;
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
    const char* nearest = NearestWord(word, CommandNames());
    throw UsageError("unknown command " + QuotedExcerpt(word) +
                     (nearest != nullptr
                          ? std::string(" (did you mean ") + nearest + "?)"
                          : " (the commands are " + Listed(CommandNames()) + "; a session takes SCENE SESSION)"));
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

// The command that `word` names exactly; null for none.
const CommandRow* ExactCommand(const std::string& word) {
    for (const CommandRow& row : CommandTable()) {
        if (row.name[0] != '\0' && word == row.name) {
            return &row;
        }
    }
    return nullptr;
}

// "help" and "help COMMAND": the whole help, or the command's.
Invocation HelpInvocation(const ParsedArguments& arguments) {
    const std::vector<std::string>& words = arguments.positionals;
    if (!arguments.options.empty()) {
        throw UsageError("help takes no options (help [COMMAND])");
    }
    if (words.size() > 2) {
        throw UsageError("unexpected argument " + QuotedExcerpt(words[2]) + " (help takes [COMMAND])");
    }
    Invocation invocation;
    invocation.job = Invocation::Job::Help;
    if (words.size() == 2) {
        const CommandRow* row = ExactCommand(words[1]);
        if (row == nullptr) {
            const char* nearest = NearestWord(words[1], CommandNames());
            throw UsageError("help: " + QuotedExcerpt(words[1]) + " is no command (" +
                             (nearest != nullptr ? std::string("did you mean ") + nearest + "?"
                                                 : "the commands are " + Listed(CommandNames())) +
                             ")");
        }
        invocation.helpOf = row;
    }
    return invocation;
}

}  // namespace

RunFiles FilesOfRun(const Invocation& invocation, const std::vector<std::string>& referenced,
                    const std::optional<std::string>& namesChosen, const std::vector<std::string>& outputBeside) {
    CommandLineFiles named{invocation.scenePath,  invocation.sessionPath, "",          false,
                           invocation.outputPath, invocation.svgPath,     outputBeside};
    const std::optional<Shortcut>& shortcut = invocation.shortcut;
    if (shortcut && shortcut->names && !shortcut->namesToStandardOutput && !shortcut->namesFromStandardInput &&
        (namesChosen || file_name_rules::ExtensionOffset(*shortcut->names) != 0)) {
        named.names = namesChosen ? *namesChosen : *shortcut->names;
        named.namesLoaded = shortcut->row->names == NamesUse::Loaded;
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
    ParsedArguments& arguments = split.parsed;
    if (split.job != nullptr) {
        invocation.job = split.job->option == Option::Help ? Invocation::Job::Help : Invocation::Job::Version;
        if (invocation.job == Invocation::Job::Help && !arguments.positionals.empty()) {
            if (const CommandRow* row = ExactCommand(arguments.positionals.front())) {
                invocation.helpOf = row;
            }
        }
        return invocation;
    }
    if (!arguments.positionals.empty() && arguments.positionals.front() == "help") {
        return HelpInvocation(arguments);
    }
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
    if (command.shortcut != nullptr) {
        Shortcut shortcut;
        shortcut.row = command.shortcut;
        command.shortcut->read(arguments, invocation, shortcut);
        invocation.shortcut = std::move(shortcut);
    } else {
        command.build(arguments, invocation);
    }
    FilesOfRun(invocation, {});
    return invocation;
}

}  // namespace driver
