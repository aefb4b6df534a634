#include "session/session_check.h"

#include <deque>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "files/display_path.h"
#include "files/output_file.h"
#include "hosting/panel_model.h"
#include "session/name_pattern.h"
#include "session/node_path.h"
#include "session/pattern_bounds.h"
#include "session/session.h"
#include "text/count_text.h"
#include "text/name_text.h"

namespace driver {

namespace {

std::string QuotedList(const std::vector<std::string>& items) {
    std::string joined;
    for (const std::string& item : items) {
        joined += (joined.empty() ? "" : ", ") + QuotedExcerpt(item);
    }
    return joined.empty() ? "none" : joined;
}

using NodesByName = std::unordered_map<std::string, std::vector<std::size_t>>;

}  // namespace

// What the check knows of the run at the action it looks at.
class SessionChecker::Impl {
public:
    Impl(SessionHost& host, RunFiles& files) : host_(host), files_(&files) {}
    // What `other` knows, with `files` for its run's files.
    Impl(const Impl& other, RunFiles& files) : Impl(other) { files_ = &files; }
    const RunFiles& Files() const { return *files_; }

    void Check(Action& action) {
        origin_ = &action.origin;
        action_ = &action;
        std::visit([this](auto& what) { CheckOne(what); }, action.what);
    }

private:
    // The action's line, or the option it comes from.
    std::string Where() const { return origin_->line > 0 ? "line " + std::to_string(origin_->line) : origin_->Text(); }

    [[noreturn]] void Fail(const std::string& what) const { throw SessionError(origin_->Text() + ": " + what); }
    // A selection that fits no node of this scene.
    [[noreturn]] void Unmatched(const std::string& what) const { throw NoMatchError(origin_->Text() + ": " + what); }

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
            open_ = host_.Model(tool);
        } catch (const ToolLibraryError& e) {
            Fail(HideWorkingFolder(e.what()));
        }
        if (open_ == nullptr) {
            Fail("its panel cannot be learnt while another tool is open; open it in a gesture of its own");
        }
        openedAt_ = (origin_->line > 0 ? "on " : "by ") + Where();
    }
    void CheckOne(const CloseTool&) {
        NeedsTool("close");
        open_ = nullptr;
    }
    void CheckOne(const SelectNodes& select) const {
        const std::size_t count = host_.Nodes().size();
        for (const std::size_t index : select.indices) {
            if (index >= count) {
                Unmatched("node index " + std::to_string(index) + " is out of range (the scene has " +
                          Counted(count, "node") + ", 0 to " + std::to_string(count - 1) + ")");
            }
        }
    }
    // The names are those the nodes have now, before anything has run.
    void CheckOne(SelectNamed& select) {
        const std::vector<standin::StandinNode*>& nodes = host_.Nodes();
        CheckNameBounds(select.patterns, *origin_);
        std::unordered_set<std::size_t> taken;
        select.indices.clear();
        for (const std::string& pattern : select.patterns) {
            const std::vector<std::size_t> fitting = NodesWhoseNameMatches(pattern);
            for (const std::size_t k : fitting) {
                if (taken.insert(k).second) {
                    select.indices.push_back(k);
                }
            }
            if (fitting.empty()) {
                Unmatched(NameMatches(pattern, nodes[0]->Name())
                              ? "only node 0 " + QuotedExcerpt(nodes[0]->Name()) +
                                    ", the scene root, has a name that matches " + QuotedExcerpt(pattern) +
                                    ", and the root cannot be selected"
                              : "no node has a name that matches " + QuotedExcerpt(pattern));
            }
        }
    }
    // The paths too fit the nodes as they are before anything has run.
    void CheckOne(SelectPath& select) {
        CheckPathBounds(select.paths, *origin_);
        if (!tree_) {
            tree_ = std::make_shared<const NodeTree>(TreeOf(host_.Nodes()));
        }
        std::unordered_set<std::size_t> taken;
        select.indices.clear();
        for (const std::string& path : select.paths) {
            const std::vector<std::size_t> fitting = NodesOnPath(PathSteps(path), host_.Nodes(), *tree_);
            if (fitting.empty()) {
                Unmatched("no node has a path that matches " + QuotedExcerpt(path) +
                          " (a path starts at a child of the root: \"Props/Chair\"; see \"morvane-host list\")");
            }
            for (const std::size_t k : fitting) {
                if (taken.insert(k).second) {
                    select.indices.push_back(k);
                }
            }
        }
    }
    // The nodes whose names fit `pattern`, in pre-order, the root left out.
    // A name without wildcards is looked up, so that many names are found
    // in a time that follows their number, not their number times the
    // scene's size.
    std::vector<std::size_t> NodesWhoseNameMatches(const std::string& pattern) {
        const std::vector<standin::StandinNode*>& nodes = host_.Nodes();
        if (pattern.find_first_of("*?") == std::string::npos) {
            if (!byName_) {
                NodesByName byName;
                for (std::size_t k = 1; k < nodes.size(); ++k) {
                    byName[nodes[k]->Name()].push_back(k);
                }
                byName_ = std::make_shared<const NodesByName>(std::move(byName));
            }
            const auto found = byName_->find(pattern);
            return found == byName_->end() ? std::vector<std::size_t>() : found->second;
        }
        std::vector<std::size_t> fitting;
        for (std::size_t k = 1; k < nodes.size(); ++k) {
            if (NameMatches(pattern, nodes[k]->Name())) {
                fitting.push_back(k);
            }
        }
        return fitting;
    }
    void CheckOne(const AnswerDialog& answer) { answers_.push_back(answer.cancel ? "" : answer.path); }
    // A press of a button that opens a file dialog takes the next answer, if any.
    void CheckOne(const PressButton& press) {
        HasCaption("press", press.caption, "button", "button");
        const PanelDialog* dialog = open_->DialogOf(press.caption);
        if (dialog == nullptr) {
            return;
        }
        const bool saves = dialog->saving;
        if (!saves) {
            // When the actions run as they are checked, the names looked up
            // after this press may be those it loaded.
            byName_.reset();
        }
        if (answers_.empty()) {
            action_->press = std::make_shared<const CheckedPress>(CheckedPress{*dialog, std::nullopt});
            return;
        }
        const std::string names = ChosenFile(answers_.front(), *dialog);
        answers_.pop_front();
        action_->press = std::make_shared<const CheckedPress>(
            CheckedPress{*dialog, names.empty() ? std::nullopt : std::optional(names)});
        const std::optional<Refusal> clash =
            files_->Add(names, saves ? RunFiles::Use::ToolWrites : RunFiles::Use::ToolReads,
                        "the names file that " + Where() + (saves ? " saves" : " loads"));
        if (clash) {
            Fail("press " + press.caption + ": " + files_->Proxies().Named(names, QuotedExcerpt(names)) + " is " +
                 clash->message);
        }
    }
    // The file that `dialog` answered with `answer` gives the tool; "" for a cancel.
    std::string ChosenFile(const std::string& answer, const PanelDialog& dialog) const {
        const ProxyFile* proxy = files_->Proxies().Of(answer);
        return proxy != nullptr ? proxy->file : answer.empty() ? "" : dialog.FileFor(answer);
    }
    void CheckOne(const ClickRadio& radio) const { HasCaption("radio", radio.caption, "radio", "radio button"); }
    void CheckOne(const RightClickPanel&) const { NeedsTool("rightclick"); }
    void CheckOne(const KeepScene& keep) const {
        if (const std::optional<Refusal> wrong = host_.File().WrongName(keep.path)) {
            Fail("save " + Excerpt(keep.path) + ": " + wrong->message);
        }
        if (files_->WrittenCount() >= kMostFilesWritten) {
            Fail("save " + Excerpt(keep.path) + ": one file too many: a run writes at most " +
                 std::to_string(kMostFilesWritten) + " files (-o, --svg and save)");
        }
        try {
            CheckWritable(keep.path, "save");
        } catch (const OutputFileError& e) {
            Fail(e.what());
        }
        if (const std::optional<Refusal> clash =
                files_->Add(keep.path, RunFiles::Use::Written, "the scene that " + Where() + " saves")) {
            Fail("save " + Excerpt(keep.path) + ": it is " + clash->message);
        }
        for (const FileBeside& beside : host_.File().FilesBeside(keep.path)) {
            CheckBeside(keep.path, beside.path);
        }
    }
    // A file that "save" writes beside its scene (a .gltf file's .bin).
    void CheckBeside(const std::string& scene, const std::string& beside) const {
        const std::string what =
            "save " + Excerpt(scene) + ": " + QuotedExcerpt(beside) + ", the file it writes beside";
        if (files_->WrittenCount() >= kMostFilesWritten) {
            Fail(what + ", is one file too many: a run writes at most " + std::to_string(kMostFilesWritten) +
                 " files (-o, --svg and save)");
        }
        try {
            CheckWritable(beside, "save");
        } catch (const OutputFileError& e) {
            Fail(e.what());
        }
        if (const std::optional<Refusal> clash = files_->Add(beside, RunFiles::Use::Written, kWrittenBeside)) {
            Fail(what + ", is " + clash->message);
        }
    }
    // Nothing to check before the run: a click, an end of the pick mode or
    // a print without an effect is reported when it runs.
    void CheckOne(const ClickViewport&) const {}
    void CheckOne(const EndPickMode&) const {}
    void CheckOne(const PrintNodes&) const {}

    void HasCaption(const char* verb, const std::string& caption, const char* kind, const char* kindName) const {
        NeedsTool(verb);
        if (open_->Find(kind, caption) == nullptr) {
            Fail(std::string("the panel has no ") + kindName + " " + QuotedExcerpt(caption) +
                 " (it has: " + QuotedList(open_->Captions(kind)) + ")");
        }
    }

    SessionHost& host_;
    RunFiles* files_;
    std::deque<std::string> answers_;  // those not yet taken by a dialog; "" cancels
    const Origin* origin_ = nullptr;
    Action* action_ = nullptr;          // the action being checked, which keeps what its check learns
    const PanelModel* open_ = nullptr;  // the panel of the tool open at this point
    std::string openedAt_;
    // The nodes but the root, by name, and the tree of the scene before the
    // run, once a name or a path needs them: shared with a copy that foresees.
    std::shared_ptr<const NodesByName> byName_;
    std::shared_ptr<const NodeTree> tree_;
};

SessionChecker::SessionChecker(SessionHost& host, RunFiles& files) : impl_(std::make_unique<Impl>(host, files)) {}

SessionChecker::~SessionChecker() = default;

void SessionChecker::Check(Action& action) { impl_->Check(action); }

void SessionChecker::Foresee(std::vector<Action>& actions) const {
    RunFiles files = impl_->Files();
    Impl foreseeing(*impl_, files);
    try {
        for (Action& action : actions) {
            foreseeing.Check(action);
        }
    } catch (const CodedError&) {  // NOLINT(bugprone-empty-catch): met again when the action is checked
    }
}

void CheckSession(std::vector<Action>& actions, SessionHost& host, RunFiles& files) {
    SessionChecker checker(host, files);
    for (Action& action : actions) {
        checker.Check(action);
    }
}

}  // namespace driver
