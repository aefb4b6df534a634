#include "session/session_replay.h"

#include <sstream>
#include <unordered_set>

#include "files/display_path.h"
#include "log_sys.h"
#include "text/name_text.h"
#include "standin/standin_custom_button.h"

namespace driver {

namespace {

std::string HexId(std::uint32_t value) {
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

}  // namespace

SessionReplay::SessionReplay(SessionHost& host, Transcript& transcript, bool strict, bool keepStart)
    : host_(host),
      transcript_(transcript),
      strict_(strict),
      history_(*host.File().Document().scene, host.Nodes(), keepStart),
      dialogs_([this](bool saving, const std::string& refusal) { return NextAnswer(saving, refusal); }) {}

SessionReplay::~SessionReplay() = default;

void SessionReplay::NotDone(const std::string& why) {
    if (failure_.empty()) {
        failure_ = action_->origin.Text() + ": " + why;
    }
}

void SessionReplay::NoEffect(const std::string& why) {
    if (strict_) {
        NotDone(why);
    }
}

bool SessionReplay::Run(const std::vector<Action>& actions) {
    std::size_t step = 0;
    for (const Action& action : actions) {
        action_ = &action;
        transcript_.Echo(action, ++step);
        const HostView before = View();
        history_.Mark();
        std::visit([this](const auto& what) { RunOne(what); }, action.what);
        ReportEffects(before);
        if (transcript_.NotesOfAction() == 0 && !std::holds_alternative<PrintNodes>(action.what)) {
            transcript_.Note("nothing happens");
        }
    }
    for (const Action& answer : answers_) {
        transcript_.End("the answer of " +
                        (answer.origin.line > 0 ? "line " + std::to_string(answer.origin.line) : answer.origin.Text()) +
                        " was never asked for");
    }
    return failure_.empty();
}

SessionReplay::HostView SessionReplay::View() const {
    standin::StandinInterface& host = host_.Host();
    return {host.ActivePickMode() != nullptr, PanelControls(host_.Panel()), host.LogRecords().size(),
            host.Scene().Violations().size()};
}

void SessionReplay::RunOne(const OpenTool& open) {
    ToolLibrary& tool = host_.Library(open.plugin);
    UtilityPlugin* utility = host_.Utility(tool);
    toolName_ = tool.className;
    host_.Host().OpenUtility(utility);
    const Class_ID id = tool.descriptor->ClassID();
    transcript_.Note("opened " + Quoted(toolName_) + " (class " + HexId(id.a) + " " + HexId(id.b) + ")");
}

void SessionReplay::RunOne(const CloseTool&) {
    host_.Host().CloseUtility();
    transcript_.Note("closed " + Quoted(toolName_));
}

void SessionReplay::RunOne(const SelectNodes& select) { Select(select.indices); }

void SessionReplay::RunOne(const SelectNamed& select) { Select(select.indices); }

void SessionReplay::Select(const std::vector<std::size_t>& indices) {
    std::vector<standin::StandinNode*> nodes;
    std::string names;
    for (const std::size_t index : indices) {
        standin::StandinNode* node = host_.Nodes()[index];
        nodes.push_back(node);
        names += (names.empty() ? "" : ", ") + std::to_string(index) + " " + Quoted(node->Name());
    }
    host_.Host().ChangeSelection(std::move(nodes));
    transcript_.Note(names.empty() ? "selection cleared" : "selected " + names);
}

void SessionReplay::PressControl(const std::string& caption, bool customButton) {
    HWND control = FindPanelControl(host_.Panel(), caption, customButton);
    if (control == nullptr || !IsWindowEnabled(control)) {
        transcript_.Note(Quoted(caption) + " is disabled: nothing happens");
        const std::size_t selected = host_.Host().Selection().size();
        NoEffect(Quoted(caption) + " is disabled with " + std::to_string(selected) +
                 (selected == 1 ? " node" : " nodes") + " selected: nothing was done");
        return;
    }
    if (customButton) {
        standin::PressCustomButton(control);
    } else {
        SendMessageA(control, BM_CLICK, 0, 0);
    }
}

void SessionReplay::RunOne(const PressButton& press) { PressControl(press.caption, true); }

void SessionReplay::RunOne(const ClickRadio& radio) { PressControl(radio.caption, false); }

void SessionReplay::RunOne(const ClickViewport& click) {
    if (host_.Host().ActivePickMode() == nullptr) {
        transcript_.Note("no pick mode is active: the click does nothing");
        NoEffect("no pick mode is active: the click does nothing");
        return;
    }
    const standin::StandinInterface::PickEvent event = host_.Host().ClickViewport(click.point);
    if (!event.accepted) {
        transcript_.Note("the pick mode refused the point");
        NoEffect("the pick mode refused the point " + FormatPoint(click.point));
    } else {
        transcript_.Note("picked " + FormatPoint(click.point));
    }
}

void SessionReplay::RunOne(const RightClickPanel&) {
    HWND panel = host_.Panel();
    if (panel == nullptr) {
        transcript_.Note("the tool has no panel: nothing happens");
        return;
    }
    SendMessageA(panel, WM_RBUTTONDOWN, 0, 0);
    SendMessageA(panel, WM_RBUTTONUP, 0, 0);
}

void SessionReplay::RunOne(const EndPickMode&) {
    if (host_.Host().ActivePickMode() == nullptr) {
        transcript_.Note("no pick mode is active: nothing happens");
        return;
    }
    host_.Host().EndPickMode();
}

void SessionReplay::RunOne(const AnswerDialog& answer) {
    answers_.push_back(*action_);
    transcript_.Note(answer.cancel ? "the next file dialog will be cancelled"
                                   : "the next file dialog will be answered with " + Quoted(answer.path));
}

void SessionReplay::RunOne(const KeepScene& keep) {
    kept_.push_back({keep.path, host_.File().Write(keep.path, host_.SelectionIndices())});
    transcript_.Note("scene kept for " + Quoted(DisplayPath(keep.path)) + " (written when the session has succeeded)");
}

void SessionReplay::RunOne(const PrintNodes&) { transcript_.Raw(FormatNodeTable(TakeSnapshot(host_.Host().Scene()))); }

std::string SessionReplay::NextAnswer(bool saving, const std::string& refusal) {
    const std::string dialog = saving ? "save dialog" : "open dialog";
    if (!refusal.empty()) {
        const std::string note = "the " + dialog + " refused " + Quoted(lastAnswer_) + ": " + HideWorkingFolder(refusal);
        transcript_.Note(note);
        NotDone(note);
    }
    if (answers_.empty()) {
        transcript_.Note("the " + dialog + " has no answer left: cancelled");
        NoEffect("the " + dialog + " had no answer: nothing was done");
        lastAnswer_.clear();
        return "";
    }
    const AnswerDialog answer = std::get<AnswerDialog>(answers_.front().what);
    answers_.pop_front();
    lastAnswer_ = answer.cancel ? "" : answer.path;
    return lastAnswer_;
}

void SessionReplay::ReportDialog() {
    const FileDialogUser::Outcome dialog = dialogs_.TakeOutcome();
    if (!dialog.ran) {
        return;
    }
    const std::string name = dialog.saving ? "save dialog" : "open dialog";
    if (!dialog.failure.empty()) {
        const std::string note = "the " + name + " failed: " + dialog.failure;
        transcript_.Note(note);
        NotDone(note);
    } else if (!dialog.chosen) {
        transcript_.Note(name + " cancelled");
    } else {
        transcript_.Note(name + " chose " + Quoted(DisplayPath(dialog.path)));
    }
}

namespace {

// The parts of a node's local placement that a change of its `aspects`
// gives new values.
AnimatedParts OwnParts(const std::vector<std::string>& aspects) {
    AnimatedParts parts;
    for (const std::string& aspect : aspects) {
        parts.translation = parts.translation || aspect == "position";
        parts.rotation = parts.rotation || aspect == "orientation" || aspect == "axes";
        parts.scale = parts.scale || aspect == "scale" || aspect == "axes";
    }
    return parts;
}

// The parts of a child's local placement that get new values when its
// parent changes by `aspects` and the child stays where it is.
AnimatedParts ChildParts(const std::vector<std::string>& aspects) {
    AnimatedParts parts;
    for (const std::string& aspect : aspects) {
        const bool scaled = aspect == "scale" || aspect == "axes";
        const bool turned = scaled || aspect == "orientation";
        parts.translation = parts.translation || turned || aspect == "position";
        parts.rotation = parts.rotation || turned;
        parts.scale = parts.scale || scaled;
    }
    return parts;
}

AnimatedParts Either(const AnimatedParts& a, const AnimatedParts& b) {
    return {a.translation || b.translation, a.rotation || b.rotation, a.scale || b.scale};
}

}  // namespace

std::size_t SessionReplay::IndexOf(const standin::StandinNode& node) {
    if (indexOf_.empty()) {
        const std::vector<standin::StandinNode*>& order = host_.Nodes();
        indexOf_.reserve(order.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            indexOf_.emplace(order[i], i);
        }
    }
    return indexOf_.at(&node);
}

void SessionReplay::WarnOfAnimation(const standin::StandinNode& node, std::size_t index, const AnimatedParts& changed) {
    const AnimatedParts driven = host_.File().DrivenByAnimation(node);
    std::vector<const char*> parts;
    for (const auto& [part, name] : {std::pair{driven.translation && changed.translation, "translation"},
                                     std::pair{driven.rotation && changed.rotation, "rotation"},
                                     std::pair{driven.scale && changed.scale, "scale"}}) {
        if (part) {
            parts.push_back(name);
        }
    }
    if (parts.empty()) {
        return;
    }
    std::string list;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        list += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + std::string(parts[i]);
    }
    transcript_.Note("warning: node " + std::to_string(index) + " " + Quoted(node.Name()) +
                     ": an animation drives its " + list +
                     ", which overrides the new placement when it plays (the edit is still written)");
}

void SessionReplay::ReportEffects(const HostView& before) {
    ReportDialog();
    standin::StandinInterface& host = host_.Host();
    const std::vector<standin::LogRecord>& log = host.LogRecords();
    for (std::size_t i = before.logEntries; i < log.size(); ++i) {
        const std::string note = log[i].title + ": " + HideWorkingFolder(log[i].text);
        transcript_.Note(note);
        if (log[i].type == SYSLOG_ERROR) {
            NotDone(note);
        } else if (log[i].type == SYSLOG_WARN) {
            NoEffect(note);  // the tool refused the edit asked of it
        }
    }
    const std::vector<NodeChange> changes = history_.ChangesSinceMark();
    std::unordered_set<std::size_t> changed;
    for (const NodeChange& change : changes) {
        changed.insert(change.index);
    }
    // A changed node's parent comes first (pre-order): what the parent's
    // change gave the child's local placement waits for the child's line.
    std::unordered_map<std::size_t, AnimatedParts> byParent;
    for (const NodeChange& change : changes) {
        std::string aspects;
        for (const std::string& aspect : change.aspects) {
            aspects += (aspects.empty() ? "" : ", ") + aspect;
        }
        transcript_.Note("changed node " + std::to_string(change.index) + " " + Quoted(change.name) + ": " +
                         aspects);
        const standin::StandinNode& node = *host_.Nodes()[change.index];
        WarnOfAnimation(node, change.index, Either(OwnParts(change.aspects), byParent[change.index]));
        // A child keeps its place in the world, so it gets a new local placement.
        const AnimatedParts childParts = ChildParts(change.aspects);
        const std::vector<standin::StandinNode*> none;
        for (const standin::StandinNode* child : childParts.Any() ? node.Children() : none) {
            if (!host_.File().DrivenByAnimation(*child).Any()) {
                continue;
            }
            const std::size_t index = IndexOf(*child);
            if (changed.count(index) != 0) {
                byParent[index] = childParts;
            } else {
                WarnOfAnimation(*child, index, childParts);
            }
        }
    }
    const bool pickMode = host.ActivePickMode() != nullptr;
    if (pickMode != before.pickMode) {
        transcript_.Note(pickMode ? "pick mode entered" : "pick mode left");
    }
    for (const std::string& note : PanelChangeNotes(before.controls, PanelControls(host_.Panel()))) {
        transcript_.Note(note);
    }
    const std::vector<std::string>& violations = host.Scene().Violations();
    for (std::size_t i = before.violations; i < violations.size(); ++i) {
        const std::string note = "the host refused a call: " + violations[i];
        transcript_.Note(note);
        NotDone(note);
    }
}

}  // namespace driver
