#include "session/session.h"

#include "files/input_file.h"
#include "session/session_line.h"
#include "session/verb_table.h"
#include "text/name_text.h"

namespace driver {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

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
        parts.Refuse("unknown action " + QuotedExcerpt(parts.Verb()));
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
    for (int lineNumber = 1; !rest.empty(); ++lineNumber) {
        const std::size_t end = rest.find('\n');
        ParseLine(rest.substr(0, end), Origin{shared, lineNumber}, actions);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    return actions;
}

std::vector<Action> ReadSession(const std::string& path) { return ParseSession(ReadInputFile(path), path); }

}  // namespace driver
