#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "point3.h"
#include "text/refusal.h"

namespace driver {

struct ShortcutRow;

// A shortcut command with its values read from the command line; its row
// (tools/tool_row.h) makes them a session.
struct Shortcut {
    const ShortcutRow* row = nullptr;
    std::vector<std::size_t> selection;     // --select
    std::optional<std::string> selectName;  // --select-name, instead
    std::optional<std::string> selectPath;  // --select-path, instead
    std::optional<std::string> copiesOf;    // --copies-of, instead: the name's nodes but the first
    std::optional<std::string> axis;        // --axis
    std::optional<Point3> from, to;         // --from, --to
    std::optional<std::string> names;       // NAMES: the path for the tool's file dialog
    bool partial = false;                   // --partial: load a names file whatever its number of lines
    bool namesToStandardOutput = false;     // NAMES "-" of a save: the file goes to standard output
    bool namesFromStandardInput = false;    // NAMES "-" of a load: the file comes from standard input
};

// The command's name as it is typed: "align".
const char* ShortcutName(const Shortcut& shortcut);

// A selection that the command line must make otherwise: a usage error.
class SelectionConflict : public CodedError {
public:
    explicit SelectionConflict(const std::string& message) : CodedError(RefusalCode::SelectionConflict, message) {}
};

}  // namespace driver
