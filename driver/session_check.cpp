// The check of a whole session before its first action runs.
#include <algorithm>

#include "display_path.h"
#include "session_runner.h"

namespace driver {

namespace {

std::string QuotedList(const std::vector<std::string>& items) {
    std::string joined;
    for (const std::string& item : items) {
        joined += (joined.empty() ? "\"" : ", \"") + item + "\"";
    }
    return joined.empty() ? "none" : joined;
}

bool Contains(const std::vector<std::string>& items, const std::string& item) {
    return std::find(items.begin(), items.end(), item) != items.end();
}

}  // namespace

ToolLibrary& SessionRunner::Library(const std::string& path) {
    auto loaded = libraries_.find(path);
    if (loaded == libraries_.end()) {
        try {
            loaded = libraries_.emplace(path, LoadToolLibrary(path)).first;
        } catch (const ToolLibraryError& e) {
            Fail(HideWorkingFolder(e.what()));
        }
    }
    return loaded->second;
}

// Opens the tool on the host and closes it again, reading the captions of
// its panel's custom buttons and radio buttons. Every opening sets the
// panel up anew, so this leaves nothing behind for the run.
SessionRunner::PanelCaptions SessionRunner::LearnPanel(ToolLibrary& tool) {
    auto* utility = static_cast<UtilityPlugin*>(tool.descriptor->Create(0));
    if (utility == nullptr) {
        Fail(tool.library->Path() + ": its class descriptor created no utility");
    }
    host_.OpenUtility(utility);
    PanelCaptions captions;
    for (const ControlState& control : Controls()) {
        (control.customButton ? captions.buttons : captions.radios).push_back(control.caption);
    }
    host_.CloseUtility();
    return captions;
}

void SessionRunner::Check(const std::vector<Action>& actions) {
    std::string open;  // the path of the tool open at this point, or empty
    int openedOn = 0;
    for (const Action& action : actions) {
        line_ = action.line;
        for (std::size_t index : action.indices) {
            if (index >= order_.size()) {
                Fail("node index " + std::to_string(index) + " is out of range (the scene has " +
                     std::to_string(order_.size()) + " nodes, 0 to " + std::to_string(order_.size() - 1) + ")");
            }
        }
        const bool needsTool = action.kind == Action::Kind::Close || action.kind == Action::Kind::Press ||
                               action.kind == Action::Kind::Radio || action.kind == Action::Kind::RightClick;
        if (needsTool && open.empty()) {
            Fail("\"" + action.text.substr(0, action.text.find(' ')) + "\" needs an open tool, and none is open");
        }
        switch (action.kind) {
            case Action::Kind::Open: {
                if (!open.empty()) {
                    Fail("a tool is already open (opened on line " + std::to_string(openedOn) +
                         "); \"close\" it first");
                }
                open = ToolPath(action.argument, pluginDir_);
                openedOn = action.line;
                ToolLibrary& tool = Library(open);
                if (captions_.count(open) == 0) {
                    captions_[open] = LearnPanel(tool);
                }
                break;
            }
            case Action::Kind::Close: open.clear(); break;
            case Action::Kind::Press:
            case Action::Kind::Radio: {
                const bool press = action.kind == Action::Kind::Press;
                const PanelCaptions& captions = captions_.at(open);
                const std::vector<std::string>& known = press ? captions.buttons : captions.radios;
                if (!Contains(known, action.argument)) {
                    Fail(std::string("the panel has no ") + (press ? "button" : "radio button") + " \"" +
                         action.argument + "\" (it has: " + QuotedList(known) + ")");
                }
                break;
            }
            case Action::Kind::Save:
                try {
                    CheckWritable(action.argument, "save");
                } catch (const OutputFileError& e) {
                    Fail(e.what());
                }
                break;
            default: break;
        }
    }
}

}  // namespace driver
