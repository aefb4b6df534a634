#include "session/session.h"

#include <algorithm>
#include <sstream>

#include "files/input_file.h"
#include "text/name_text.h"
#include "scene/node_index.h"
#include "text/number_text.h"

namespace driver {

namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return "";
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    std::string word;
    while (in >> word) {
        words.push_back(word);
    }
    return words;
}

[[noreturn]] void Refuse(const Origin& origin, const std::string& what) {
    throw SessionError(origin.Text() + ": " + what);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Names separated by blanks, each as it is or in double quotes as the
// transcript shows names.
std::vector<std::string> Names(const std::string& text, const Origin& origin) {
    std::vector<std::string> names;
    for (std::size_t at = 0; at < text.size();) {
        if (IsBlank(text[at])) {
            ++at;
            continue;
        }
        if (text[at] != '"') {
            const std::size_t end = std::find_if(text.begin() + at, text.end(), IsBlank) - text.begin();
            names.push_back(text.substr(at, end - at));
            at = end;
            continue;
        }
        QuotedName quoted = ReadQuotedName(text, at);
        if (!quoted.problem.empty()) {
            Refuse(origin, quoted.problem);
        }
        if (quoted.end < text.size() && !IsBlank(text[quoted.end])) {
            Refuse(origin, "a name in double quotes must be followed by a blank");
        }
        names.push_back(std::move(quoted.name));
        at = quoted.end;
    }
    return names;
}

ActionValue ParseLine(const std::string& verb, const std::string& argument, const Origin& origin) {
    auto fail = [&origin](const std::string& what) { Refuse(origin, what); };
    const std::vector<std::string> words = Words(argument);
    auto needsArgument = [&]() {
        if (argument.empty()) {
            fail(QuotedExcerpt(verb) + " needs an argument");
        }
        return argument;
    };
    auto takesNone = [&]() {
        if (!words.empty()) {
            fail(QuotedExcerpt(verb) + " takes no argument");
        }
    };
    if (verb == "open") {
        return OpenTool{needsArgument()};
    }
    if (verb == "press") {
        return PressButton{needsArgument()};
    }
    if (verb == "radio") {
        return ClickRadio{needsArgument()};
    }
    if (verb == "save") {
        return KeepScene{needsArgument()};
    }
    if (verb == "answer") {
        if (argument.empty()) {
            fail("\"answer\" needs a path or \"cancel\"");
        }
        return argument == "cancel" ? AnswerDialog{true, ""} : AnswerDialog{false, argument};
    }
    if (verb == "select") {
        SelectNodes select;
        for (const std::string& word : words) {
            std::size_t index = 0;
            if (!ReadNodeIndex(word, index)) {
                fail(QuotedExcerpt(word) + " is not a node index");
            }
            if (index == 0) {
                fail(kRootNotSelectable);
            }
            if (std::find(select.indices.begin(), select.indices.end(), index) != select.indices.end()) {
                fail("node " + word + " is selected twice");
            }
            select.indices.push_back(index);
        }
        return select;
    }
    if (verb == "select-name") {
        SelectNamed select{Names(argument, origin), {}};
        if (select.patterns.empty()) {
            fail("\"select-name\" needs a name");
        }
        return select;
    }
    if (verb == "click") {
        if (words.size() != 3) {
            fail("\"click\" needs three numbers: X Y Z");
        }
        ClickViewport click;
        for (int i = 0; i < 3; ++i) {
            const std::string& word = words[static_cast<std::size_t>(i)];
            const NumberProblem problem = ReadNumber(word, click.point[i]);
            if (problem != NumberProblem::None) {
                fail(NumberProblemText(word, problem));
            }
        }
        return click;
    }
    if (verb == "close") {
        takesNone();
        return CloseTool{};
    }
    if (verb == "rightclick") {
        takesNone();
        return RightClickPanel{};
    }
    if (verb == "endpick") {
        takesNone();
        return EndPickMode{};
    }
    if (verb == "print") {
        takesNone();
        return PrintNodes{};
    }
    Refuse(origin, "unknown action " + QuotedExcerpt(verb));
}

}  // namespace

std::vector<Action> ParseSession(const std::string& text, const std::string& source) {
    std::vector<Action> actions;
    std::istringstream in(text);
    std::string raw;
    int lineNumber = 0;
    while (std::getline(in, raw)) {
        ++lineNumber;
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const Origin origin{source, lineNumber};
        const auto space = line.find_first_of(" \t");
        const std::string verb = line.substr(0, space);
        const std::string argument = space == std::string::npos ? "" : Trim(line.substr(space));
        actions.push_back({ParseLine(verb, argument, origin), origin});
    }
    return actions;
}

std::vector<Action> ReadSession(const std::string& path) {
    return ParseSession(ReadInputFile(path), path);
}

}  // namespace driver
