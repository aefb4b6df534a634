#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "hosting/panel_model.h"
#include "point3.h"

namespace driver {

// Where an action comes from, for messages: a line of a session script, or
// an option of a shortcut command. The actions of one script share its
// path, so that a long script costs what its actions hold.
struct Origin {
    Origin() = default;
    Origin(std::string text, int lineNumber)
        : source(std::make_shared<const std::string>(std::move(text))), line(lineNumber) {}
    Origin(std::shared_ptr<const std::string> shared, int lineNumber) : source(std::move(shared)), line(lineNumber) {}

    // The script's path, or the shortcut's option ("--select") or command ("align").
    std::shared_ptr<const std::string> source;
    int line = 0;  // the script's line, from 1; 0 for a shortcut

    // "demo.session:5", or "--select".
    std::string Text() const {
        const std::string where = source ? *source : std::string();
        return line > 0 ? where + ":" + std::to_string(line) : where;
    }
};

// What a user does in the host, one value for each kind of action. Each
// kind has its verb in the session language (verb_table.h).
struct OpenTool {
    std::string plugin;  // a bare name ("Tarvel") or a path to a library
};
struct CloseTool {};
struct SelectNodes {
    std::vector<std::size_t> indices;  // pre-order, each once, never the root
};
// The nodes whose names fit the patterns (name_pattern.h), as the scene
// had them when it was read: each pattern's in pre-order, the patterns in
// their order, each node once, never the root.
struct SelectNamed {
    std::vector<std::string> patterns;
    std::vector<std::size_t> indices;  // found when the run is checked
};
// The nodes whose paths fit the patterns (node_path.h), found as those of
// SelectNamed are.
struct SelectPath {
    std::vector<std::string> paths;
    std::vector<std::size_t> indices;  // found when the run is checked
};
struct PressButton {
    std::string caption;
};
struct ClickRadio {
    std::string caption;
};
struct ClickViewport {
    Point3 point;  // finite
};
struct RightClickPanel {};
struct EndPickMode {};
struct AnswerDialog {
    bool cancel = false;
    std::string path;  // typed into the next file dialog, unless it is cancelled
};
struct KeepScene {
    std::string path;  // written once the run has succeeded
};
struct PrintNodes {};

using ActionValue = std::variant<OpenTool, CloseTool, SelectNodes, SelectNamed, SelectPath, PressButton, ClickRadio,
                                 ClickViewport, RightClickPanel, EndPickMode, AnswerDialog, KeepScene, PrintNodes>;

// What the check learnt of a press that opens a file dialog, which the
// replay and everyone after the check read: the dialog, as the tool's
// resources describe it, and the file that the answer it takes chooses
// (none where no answer is left or the dialog is cancelled).
struct CheckedPress {
    PanelDialog dialog;
    std::optional<std::string> chosen;
};

struct Action {
    Action() = default;
    Action(ActionValue value, Origin from) : what(std::move(value)), origin(std::move(from)) {}

    ActionValue what;
    Origin origin;
    std::shared_ptr<const CheckedPress> press;  // set by the check; null for no dialog
};

// The action as the session language writes it ("press Align"), control
// bytes shown as \xHH (verb_table.cpp).
std::string ActionText(const ActionValue& action);

}  // namespace driver
