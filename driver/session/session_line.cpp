#include "session/session_line.h"

#include <algorithm>
#include <cstdint>

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
    EachWord([&words](std::string_view word) { words.emplace_back(word); });
    return words;
}

void SessionLine::EachWord(const std::function<void(std::string_view)>& take) const {
    const std::string_view text = argument_;
    for (std::size_t at = 0; at < text.size();) {
        if (IsBlank(text[at])) {
            ++at;
            continue;
        }
        std::size_t stop = at;
        while (stop < text.size() && !IsBlank(text[stop])) {
            ++stop;
        }
        take(text.substr(at, stop - at));
        at = stop;
    }
}

namespace {

// Drops the names given before (each keeps its first place): a repeated
// pattern finds nothing more, and a line of one name repeated millions of
// times is then held as one name.
void DropRepeats(std::vector<std::string>& names) {
    std::vector<std::uint32_t> order(names.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        order[k] = static_cast<std::uint32_t>(k);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&names](std::uint32_t a, std::uint32_t b) { return names[a] < names[b]; });
    std::vector<bool> repeated(names.size(), false);
    for (std::size_t k = 1; k < order.size(); ++k) {
        repeated[order[k]] = names[order[k]] == names[order[k - 1]];
    }
    std::size_t kept = 0;
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (!repeated[k]) {
            if (kept != k) {
                names[kept] = std::move(names[k]);
            }
            ++kept;
        }
    }
    names.resize(kept);
}

}  // namespace

std::vector<std::string> SessionLine::Names() const {
    constexpr std::size_t kFirstLook = 1024;
    std::vector<std::string> names;
    std::size_t nextLook = kFirstLook;
    const std::string& text = argument_;
    for (std::size_t at = 0; at < text.size();) {
        if (names.size() >= nextLook) {
            DropRepeats(names);
            nextLook = std::max(nextLook, 2 * names.size());
        }
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
    DropRepeats(names);
    return names;
}

void SessionLine::Refuse(const std::string& what) const { throw SessionError(origin_.Text() + ": " + what); }

}  // namespace driver
