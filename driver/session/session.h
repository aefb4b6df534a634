#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "session/action.h"
#include "text/refusal.h"

namespace driver {

// A session or a shortcut that cannot be run; the message starts with the
// origin of the action ("demo.session:5: ", "--select: ").
class SessionError : public CodedError {
public:
    explicit SessionError(const std::string& message) : CodedError(RefusalCode::BadSession, message) {}
};

// A session or a shortcut that names what the scene does not have: a node
// that no selection fits, a namesake, a names file of the scene's size.
class NoMatchError : public CodedError {
public:
    explicit NoMatchError(const std::string& message) : CodedError(RefusalCode::NoMatch, message) {}
};

// The actions of a session script: one a line, read by the verb that
// starts it (verb_table.h). Lines end in LF or CR LF; a script whose lines
// end in CR alone is refused. A leading UTF-8 byte-order mark is skipped;
// blank lines and lines starting with '#' are skipped; blanks (space, tab,
// form feed, vertical tab) around a line and its verb are trimmed. Unknown
// verbs and malformed arguments are refused with a SessionError naming the
// line.
//
// A front end that turns what a user does into session lines (a script, a
// viewer page) runs them as morvane-host does:
//   std::vector<Action> actions = ParseSession(lines, "viewer");
//   CheckSession(actions, host, files);           // session_check.h
//   SessionReplay replay(host, transcript, ...);  // session_replay.h
//   replay.Run(actions);
// and the transcript's lines are what the run did (transcript.h). Actions
// that come one at a time go through SessionChecker::Check and
// SessionReplay::Replay each, and SessionReplay::Finish at the end.
std::vector<Action> ParseSession(const std::string& text, const std::string& source);
std::vector<Action> ReadSession(const std::string& path);

}  // namespace driver
