#include "view/view_gesture.h"

#include <algorithm>
#include <variant>

#include "session/name_pattern.h"
#include "session/session.h"

namespace driver {

std::vector<Action> ViewGesture::Kept() const {
    std::vector<Action> all = actions;
    std::vector<bool> left(all.size(), false);
    for (const ViewNamesFile& file : files) {
        if (file.saved) {
            left[file.answer] = left[file.answer + 1] = true;
        } else {
            std::get<AnswerDialog>(all[file.answer].what).path = file.copy;
        }
    }
    std::vector<Action> kept;
    for (std::size_t k = 0; k < all.size(); ++k) {
        if (!left[k]) {
            kept.push_back(std::move(all[k]));
        }
    }
    return kept;
}

void ViewChanges::Add(std::size_t index, const char* aspect) {
    std::vector<const char*>& aspects = nodes[index];
    if (aspect != nullptr && std::find(aspects.begin(), aspects.end(), aspect) == aspects.end()) {
        aspects.push_back(aspect);
    }
}

std::optional<std::string> ToolLeftOpen(const std::vector<ViewGesture>& gestures) {
    std::optional<std::string> open;
    for (const ViewGesture& gesture : gestures) {
        for (const Action& action : gesture.actions) {
            if (const auto* opened = std::get_if<OpenTool>(&action.what)) {
                open = opened->plugin;
            } else if (std::holds_alternative<CloseTool>(action.what)) {
                open.reset();
            }
        }
    }
    return open;
}

const AnswerDialog* FinalAnswer(const std::vector<Action>& actions) {
    return actions.size() < 2 ? nullptr : std::get_if<AnswerDialog>(&actions[actions.size() - 2].what);
}

void CheckViewerRules(const Action& action) {
    const std::string where = action.origin.Text() + ": ";
    if (const auto* open = std::get_if<OpenTool>(&action.what)) {
        if (open->plugin.find_first_of("/\\.") != std::string::npos) {
            throw SessionError(where + "the viewer opens the plug-ins beside morvane-host only, by name");
        }
    }
    if (std::holds_alternative<KeepScene>(action.what)) {
        throw SessionError(where + "the viewer keeps the scene with Save, not with \"save\"");
    }
}

std::vector<std::size_t> NodesFoundByPatterns(const std::vector<std::string>& patterns,
                                              const std::vector<std::string>& names) {
    std::vector<std::size_t> found;
    std::vector<bool> taken(names.size(), false);
    for (const std::string& pattern : patterns) {
        for (std::size_t k = 1; k < names.size(); ++k) {
            if (!taken[k] && NameMatches(pattern, names[k])) {
                taken[k] = true;
                found.push_back(k);
            }
        }
    }
    return found;
}

void StandAsReplayed(Action& action, const std::vector<std::string>& startNames) {
    const auto* named = std::get_if<SelectNamed>(&action.what);
    if (named != nullptr && NodesFoundByPatterns(named->patterns, startNames) != named->indices) {
        action.what = SelectNodes{named->indices};
    }
    if (const auto* path = std::get_if<SelectPath>(&action.what)) {
        action.what = SelectNodes{path->indices};
    }
}

}  // namespace driver
