#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "session/action.h"
#include "session/session_line.h"

namespace driver {

// One verb of the session language: how its line reads into an action, how
// the action is written back, and its row in the table of verbs of
// docs/sessions.md. Every kind of action has exactly one verb.
//
// A new verb is a new action in action.h, a row in verb_table.cpp, and a
// check and a replay of the action (session_check.cpp, session_replay.cpp),
// which do not compile without them; the docs' table is
// VerbTableMarkdown(), which a test finds in docs/sessions.md.
struct Verb {
    const char* name;       // "open"
    const char* arguments;  // as the docs write them: "PLUGIN"; "" for none
    const char* meaning;    // what the user does, as the docs' table says it
    // Reads the line's argument; refuses it with SessionLine::Refuse.
    ActionValue (*parse)(const SessionLine& line);
    std::size_t action;  // the index of the verb's action in ActionValue
    // The argument of an action of this verb, as the session language
    // writes it; "" for none.
    std::string (*argumentText)(const ActionValue& action);
};

// The verbs, in the order of the docs' table; null for an unknown name.
const Verb* FindVerb(std::string_view name);
// The verbs' names, in the order of the docs' table.
std::vector<const char*> VerbNames();
// The verb of an action.
const Verb& VerbOf(const ActionValue& action);

// The table of verbs as the docs give it, a Markdown table: heading, rule
// and one "| `VERB ARGUMENTS` | MEANING |" row a verb.
std::string VerbTableMarkdown();

}  // namespace driver
