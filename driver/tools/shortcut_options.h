#pragma once

#include <string>

#include "cli/command_table.h"

namespace driver {

// The readings of the command line that the tools' shortcuts share; each
// throws UsageError.

// --select, --select-name, --select-path or --copies-of, whichever of those
// the shortcut takes: exactly one of them.
void ReadSelectionOptions(const ParsedArguments& arguments, Shortcut& shortcut);

// The value of an option that the shortcut needs.
const std::string& RequiredValue(const ParsedArguments& arguments, Option option, const Shortcut& shortcut);

// NAMES, the second positional, for the tool's file dialog; "-" (of a
// save, any name of standard output) stands for standard input or output.
void ReadNames(const ParsedArguments& arguments, const Invocation& invocation, Shortcut& shortcut);

}  // namespace driver
