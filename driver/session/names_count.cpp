#include "session/names_count.h"

#include "files/display_path.h"
#include "files/line_count.h"
#include "text/count_text.h"
#include "text/name_text.h"

namespace driver {

std::optional<std::string> NamesCountMismatch(const std::string& path, std::uint64_t lines, std::size_t nodes) {
    if (lines == nodes) {
        return std::nullopt;
    }
    std::string text = Quoted(DisplayPath(path)) + " has " + Counted(static_cast<std::size_t>(lines), "line") +
                       " and the scene " + Counted(nodes, "node") + ": ";
    if (lines < nodes) {
        return text + "nodes from " + std::to_string(lines) + " on keep their names";
    }
    const std::uint64_t unread = lines - nodes;
    return text +
           (unread == 1 ? "the last line is not read" : "the last " + std::to_string(unread) + " lines are not read");
}

void ReportNamesCount(const FileDialogUser::Outcome& dialog, std::size_t nodes, ActionReport& report) {
    if (!dialog.ran || dialog.saving || !dialog.chosen) {
        return;
    }
    if (const std::optional<std::uint64_t> lines = CountLines(dialog.path)) {
        if (const std::optional<std::string> mismatch = NamesCountMismatch(dialog.path, *lines, nodes)) {
            report.Warning("warning: " + *mismatch);
        }
    }
}

}  // namespace driver
