#include "tools/shortcut_options.h"

#include <algorithm>

#include "cli/option_values.h"
#include "files/run_files.h"
#include "tools/tool_row.h"

namespace driver {

namespace {

bool Takes(const Shortcut& shortcut, Option option) {
    const std::vector<Option>& options = shortcut.row->options;
    return std::find(options.begin(), options.end(), option) != options.end();
}

}  // namespace

void ReadSelectionOptions(const ParsedArguments& arguments, Shortcut& shortcut) {
    const std::string* indices = arguments.Value(Option::Select);
    const std::string* name = arguments.Value(Option::SelectName);
    const std::string* path = arguments.Value(Option::SelectPath);
    const std::string* copiesOf = arguments.Value(Option::CopiesOf);
    const int given = (indices != nullptr) + (name != nullptr) + (path != nullptr) + (copiesOf != nullptr);
    const std::string options = Takes(shortcut, Option::CopiesOf)
                                    ? "--select, --select-name, --select-path or --copies-of"
                                    : "--select, --select-name or --select-path";
    if (given > 1) {
        throw UsageError(options + ": give only one of them");
    }
    if (given == 0) {
        throw UsageError(std::string(ShortcutName(shortcut)) + " needs " + options);
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

const std::string& RequiredValue(const ParsedArguments& arguments, Option option, const Shortcut& shortcut) {
    const std::string* value = arguments.Value(option);
    if (value == nullptr) {
        throw UsageError(std::string(ShortcutName(shortcut)) + " needs " + RowOf(option).name);
    }
    return *value;
}

void ReadNames(const ParsedArguments& arguments, const Invocation& invocation, Shortcut& shortcut) {
    const std::string& names = arguments.positionals[1];
    shortcut.names = names;
    shortcut.namesToStandardOutput = shortcut.row->names == NamesUse::Saved && IsStandardOutput(names);
    shortcut.namesFromStandardInput = shortcut.row->names == NamesUse::Loaded && names == "-";
    if (shortcut.namesToStandardOutput && (invocation.outputPath == "-" || invocation.svgPath == "-")) {
        throw UsageError(std::string("NAMES and ") + (invocation.outputPath == "-" ? "-o" : "--svg") +
                         " cannot both write to standard output");
    }
    shortcut.partial = arguments.Value(Option::Partial) != nullptr;
}

}  // namespace driver
