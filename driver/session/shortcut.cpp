#include "session/shortcut.h"

namespace driver {

std::vector<Action> ShortcutActions(const Shortcut& shortcut) {
    const Origin command{shortcut.command, 0};
    std::vector<Action> actions;
    if (shortcut.command == "align" || shortcut.command == "pivot") {
        actions.push_back({OpenTool{"Tarvel"}, command});
        if (shortcut.selectName) {
            actions.push_back({SelectNamed{{*shortcut.selectName}, {}}, {"--select-name", 0}});
        } else {
            actions.push_back({SelectNodes{shortcut.selection}, {"--select", 0}});
        }
        if (shortcut.command == "align") {
            actions.push_back({PressButton{"Align"}, command});
        } else {
            actions.push_back({ClickRadio{shortcut.axis}, {"--axis", 0}});
            actions.push_back({PressButton{"Pick"}, command});
            actions.push_back({ClickViewport{shortcut.from}, {"--from", 0}});
            actions.push_back({ClickViewport{shortcut.to}, {"--to", 0}});
        }
    } else {
        const bool saving = shortcut.command == "save-names";
        actions.push_back({OpenTool{"Velkora"}, command});
        actions.push_back({AnswerDialog{false, shortcut.names}, {"NAMES", 0}});
        actions.push_back({PressButton{saving ? kSaveNamesCaption : kLoadNamesCaption}, command});
    }
    actions.push_back({CloseTool{}, command});
    return actions;
}

}  // namespace driver
