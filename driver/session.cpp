#include "session.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

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

bool ParseIndex(const std::string& word, std::size_t& index) {
    if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos || word.size() > 12) {
        return false;
    }
    index = static_cast<std::size_t>(std::stoull(word));
    return true;
}

bool ParseFloat(const std::string& word, float& value) {
    const char* begin = word.c_str();
    char* end = nullptr;
    const float parsed = std::strtof(begin, &end);
    if (end == begin || *end != '\0' || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

struct Verb {
    const char* name;
    Action::Kind kind;
};

constexpr Verb kVerbs[] = {
    {"open", Action::Kind::Open},       {"close", Action::Kind::Close},   {"select", Action::Kind::Select},
    {"press", Action::Kind::Press},     {"radio", Action::Kind::Radio},   {"click", Action::Kind::Click},
    {"rightclick", Action::Kind::RightClick}, {"endpick", Action::Kind::EndPick}, {"answer", Action::Kind::Answer},
    {"save", Action::Kind::Save},       {"print", Action::Kind::Print},
};

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
        const auto space = line.find_first_of(" \t");
        const std::string verb = line.substr(0, space);
        Action action;
        action.line = lineNumber;
        action.text = line;
        action.argument = space == std::string::npos ? "" : Trim(line.substr(space));
        auto fail = [&](const std::string& what) {
            throw SessionError(source + ":" + std::to_string(lineNumber) + ": " + what);
        };
        bool known = false;
        for (const Verb& candidate : kVerbs) {
            if (verb == candidate.name) {
                action.kind = candidate.kind;
                known = true;
            }
        }
        if (!known) {
            fail("unknown action \"" + verb + "\"");
        }
        const std::vector<std::string> words = Words(action.argument);
        switch (action.kind) {
            case Action::Kind::Open:
            case Action::Kind::Press:
            case Action::Kind::Radio:
            case Action::Kind::Save:
                if (action.argument.empty()) {
                    fail("\"" + verb + "\" needs an argument");
                }
                break;
            case Action::Kind::Answer:
                if (action.argument.empty()) {
                    fail("\"answer\" needs a path or \"cancel\"");
                }
                action.cancel = action.argument == "cancel";
                break;
            case Action::Kind::Close:
            case Action::Kind::RightClick:
            case Action::Kind::EndPick:
            case Action::Kind::Print:
                if (!words.empty()) {
                    fail("\"" + verb + "\" takes no argument");
                }
                break;
            case Action::Kind::Select:
                for (const std::string& word : words) {
                    std::size_t index = 0;
                    if (!ParseIndex(word, index)) {
                        fail("\"" + word + "\" is not a node index");
                    }
                    if (std::find(action.indices.begin(), action.indices.end(), index) != action.indices.end()) {
                        fail("node " + word + " is selected twice");
                    }
                    action.indices.push_back(index);
                }
                break;
            case Action::Kind::Click:
                if (words.size() != 3) {
                    fail("\"click\" needs three numbers: X Y Z");
                }
                for (int i = 0; i < 3; ++i) {
                    if (!ParseFloat(words[static_cast<std::size_t>(i)], action.point[i])) {
                        fail("\"" + words[static_cast<std::size_t>(i)] + "\" is not a finite number");
                    }
                }
                break;
        }
        actions.push_back(std::move(action));
    }
    return actions;
}

std::vector<Action> ReadSession(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw SessionError(path + ": cannot be opened");
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ParseSession(text, path);
}

}  // namespace driver
