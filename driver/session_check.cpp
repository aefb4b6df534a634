#include "session_check.h"

#include <algorithm>

#include "display_path.h"
#include "name_pattern.h"
#include "name_text.h"
#include "output_file.h"
#include "session.h"

namespace driver {

namespace {

std::string QuotedList(const std::vector<std::string>& items) {
    std::string joined;
    for (const std::string& item : items) {
        joined += (joined.empty() ? "\"" : ", \"") + item + "\"";
    }
    return joined.empty() ? "none" : joined;
}

// What the check knows of the run at the action it looks at.
class Checker {
public:
    Checker(SessionHost& host, const std::vector<std::string>& inputs) : host_(host), inputs_(inputs) {}

    void Check(Action& action) {
        origin_ = &action.origin;
        std::visit([this](auto& what) { CheckOne(what); }, action.what);
    }

private:
    [[noreturn]] void Fail(const std::string& what) const { throw SessionError(origin_->Text() + ": " + what); }

    void NeedsTool(const char* verb) const {
        if (open_ == nullptr) {
            Fail(std::string("\"") + verb + "\" needs an open tool, and none is open");
        }
    }

    void CheckOne(const OpenTool& open) {
        if (open_ != nullptr) {
            Fail("a tool is already open (opened " + openedAt_ + "); \"close\" it first");
        }
        try {
            ToolLibrary& tool = host_.Library(open.plugin);
            open_ = &host_.PanelCaptions(tool);
        } catch (const ToolLibraryError& e) {
            Fail(HideWorkingFolder(e.what()));
        }
        openedAt_ = origin_->line > 0 ? "on line " + std::to_string(origin_->line) : "by " + origin_->Text();
    }
    void CheckOne(const CloseTool&) {
        NeedsTool("close");
        open_ = nullptr;
    }
    void CheckOne(const SelectNodes& select) const {
        const std::size_t count = host_.Nodes().size();
        for (const std::size_t index : select.indices) {
            if (index >= count) {
                Fail("node index " + std::to_string(index) + " is out of range (the scene has " +
                     std::to_string(count) + " nodes, 0 to " + std::to_string(count - 1) + ")");
            }
        }
    }
    // The names are those the nodes have now, before anything has run.
    void CheckOne(SelectNamed& select) const {
        const std::vector<standin::StandinNode*>& nodes = host_.Nodes();
        std::vector<bool> taken(nodes.size(), false);
        select.indices.clear();
        for (const std::string& pattern : select.patterns) {
            bool found = false;
            for (std::size_t k = 1; k < nodes.size(); ++k) {
                if (NameMatches(pattern, nodes[k]->Name())) {
                    found = true;
                    if (!taken[k]) {
                        taken[k] = true;
                        select.indices.push_back(k);
                    }
                }
            }
            if (!found) {
                Fail(NameMatches(pattern, nodes[0]->Name())
                         ? "only node 0 " + QuoteName(nodes[0]->Name()) + ", the scene root, has a name that matches " +
                               QuoteName(pattern) + ", and the root cannot be selected"
                         : "no node has a name that matches " + QuoteName(pattern));
            }
        }
    }
    void CheckOne(const PressButton& press) const {
        HasCaption("press", press.caption, open_ ? &open_->buttons : nullptr, "button");
    }
    void CheckOne(const ClickRadio& radio) const {
        HasCaption("radio", radio.caption, open_ ? &open_->radios : nullptr, "radio button");
    }
    void CheckOne(const RightClickPanel&) const { NeedsTool("rightclick"); }
    void CheckOne(const KeepScene& keep) const {
        const std::string wrong = host_.File().WrongName(keep.path);
        if (!wrong.empty()) {
            Fail("save " + keep.path + ": " + wrong);
        }
        try {
            CheckWritable(keep.path, "save");
        } catch (const OutputFileError& e) {
            Fail(e.what());
        }
        for (const std::string& input : inputs_) {
            if (SameFile(keep.path, input)) {
                Fail("save " + keep.path + ": it is an input of the run, which is only read");
            }
        }
    }
    template <class Other>
    void CheckOne(const Other&) const {}

    void HasCaption(const char* verb, const std::string& caption, const std::vector<std::string>* known,
                    const char* kind) const {
        NeedsTool(verb);
        if (std::find(known->begin(), known->end(), caption) == known->end()) {
            Fail(std::string("the panel has no ") + kind + " \"" + caption + "\" (it has: " + QuotedList(*known) + ")");
        }
    }

    SessionHost& host_;
    const std::vector<std::string>& inputs_;
    const Origin* origin_ = nullptr;
    const SessionHost::Captions* open_ = nullptr;  // the panel of the tool open at this point
    std::string openedAt_;
};

}  // namespace

void CheckSession(std::vector<Action>& actions, SessionHost& host, const std::vector<std::string>& inputs) {
    Checker checker(host, inputs);
    for (Action& action : actions) {
        checker.Check(action);
    }
}

}  // namespace driver
