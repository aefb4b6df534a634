#include "session/session.h"

#include <algorithm>

#include "files/input_file.h"
#include "session/session_line.h"
#include "session/verb_table.h"
#include "text/input_bounds.h"
#include "text/name_text.h"
#include "text/nearest_word.h"
#include "tools/tool_row.h"

namespace driver {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// What may have been meant by an unknown verb: a verb within a typo of
// it, or the command line's shortcut command, whose job a session does by
// opening its tool and pressing its button (" (did you mean align? in a
// session: open Tarvel, then press its button)"); "" for neither.
std::string MeantVerb(std::string_view word) {
    if (const char* verb = NearestWord(word, VerbNames())) {
        return std::string(" (did you mean ") + verb + "?)";
    }
    std::vector<const char*> commands;
    std::vector<const char*> tools;
    for (const ToolRow& tool : ToolTable()) {
        for (const ShortcutRow& shortcut : tool.shortcuts) {
            if (tool.listed) {
                commands.push_back(shortcut.command);
                tools.push_back(tool.plugin);
            }
        }
    }
    const char* command = NearestWord(word, commands);
    if (command == nullptr) {
        return "";
    }
    const char* tool =
        tools[static_cast<std::size_t>(std::find(commands.begin(), commands.end(), command) - commands.begin())];
    return std::string(" (did you mean ") + command + "? in a session: open " + tool + ", then press its button)";
}

// One line of the script: an action, or nothing for a blank line or a comment.
void ParseLine(std::string_view line, const Origin& origin, std::vector<Action>& actions) {
    line = TrimBlanks(line);
    // Checked before comments, so that a script whose lines all end in CR
    // is not taken for one comment line.
    if (line.find('\r') != std::string_view::npos) {
        throw SessionError(origin.Text() +
                           ": a line ends in a carriage return alone; a session's lines end in LF or CR LF");
    }
    if (line.empty() || line.front() == '#') {
        return;
    }
    std::size_t space = 0;
    while (space < line.size() && !IsBlank(line[space])) {
        ++space;
    }
    const SessionLine parts(line.substr(0, space), TrimBlanks(line.substr(space)), origin);
    const Verb* verb = FindVerb(parts.Verb());
    if (verb == nullptr) {
        parts.Refuse("unknown action " + QuotedExcerpt(parts.Verb()) + MeantVerb(parts.Verb()));
    }
    actions.push_back({verb->parse(parts), origin});
}

}  // namespace

std::vector<Action> ParseSession(const std::string& text, const std::string& source) {
    std::string_view rest = text;
    if (rest.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        rest.remove_prefix(kByteOrderMark.size());
    }
    // Grown by the actions found, not reserved by the lines: blank lines and
    // comments cost nothing.
    std::vector<Action> actions;
    const auto shared = std::make_shared<const std::string>(source);
    if (text.size() > BoundOf(InputBound::SessionBytes)) {
        RefusePastBound(InputBound::SessionBytes, source);
    }
    for (int lineNumber = 1; !rest.empty(); ++lineNumber) {
        if (static_cast<std::uint64_t>(lineNumber) > BoundOf(InputBound::SessionLines)) {
            RefusePastBound(InputBound::SessionLines, source);
        }
        const std::size_t end = rest.find('\n');
        if (std::min(end, rest.size()) > BoundOf(InputBound::SessionLineBytes)) {
            RefusePastBound(InputBound::SessionLineBytes, Origin{shared, lineNumber}.Text());
        }
        ParseLine(rest.substr(0, end), Origin{shared, lineNumber}, actions);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    return actions;
}

std::vector<Action> ReadSession(const std::string& path) { return ParseSession(ReadInputFile(path), path); }

}  // namespace driver
