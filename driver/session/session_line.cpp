#include "session/session_line.h"

#include <algorithm>

#include "session/session.h"
#include "text/name_text.h"

namespace driver {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == '\r'; }

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

const std::string& SessionLine::NeededArgument() const {
    if (argument_.empty()) {
        Refuse(QuotedExcerpt(verb_) + " needs an argument");
    }
    return argument_;
}

void SessionLine::NoArgument() const {
    if (!argument_.empty()) {
        Refuse(QuotedExcerpt(verb_) + " takes no argument");
    }
}

std::vector<std::string> SessionLine::Words() const {
    std::vector<std::string> words;
    const auto end = argument_.end();
    for (auto at = std::find_if_not(argument_.begin(), end, IsBlank); at != end;) {
        const auto stop = std::find_if(at, end, IsBlank);
        words.emplace_back(at, stop);
        at = std::find_if_not(stop, end, IsBlank);
    }
    return words;
}

std::vector<std::string> SessionLine::Names() const {
    std::vector<std::string> names;
    const std::string& text = argument_;
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
            Refuse(quoted.problem);
        }
        if (quoted.end < text.size() && !IsBlank(text[quoted.end])) {
            Refuse("a name in double quotes must be followed by a blank");
        }
        names.push_back(std::move(quoted.name));
        at = quoted.end;
    }
    return names;
}

void SessionLine::Refuse(const std::string& what) const { throw SessionError(origin_.Text() + ": " + what); }

}  // namespace driver
