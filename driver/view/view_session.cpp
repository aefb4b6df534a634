// The viewer's one way into the session code: lines are parsed into
// actions, checked, replayed on the stand-in host and reported as a
// session script's are.
#include "view/view_session.h"

#include <algorithm>

#include "files/input_file.h"
#include "files/output_file.h"
#include "files/run_files.h"
#include "hosting/session_host.h"
#include "scene/node_state.h"
#include "scene/scene_format.h"
#include "session/name_pattern.h"
#include "session/session.h"
#include "session/session_check.h"
#include "session/session_replay.h"
#include "session/transcript.h"
#include "view/panel_layout.h"

namespace driver {

namespace {

constexpr const char* kSource = "viewer";
constexpr const char* kIndent = "    ";

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The nodes that a gesture's "changed node N ..." notes name.
std::vector<std::size_t> ChangedNodes(const std::vector<std::string>& lines) {
    const std::string prefix = std::string(kIndent) + "changed node ";
    std::vector<std::size_t> nodes;
    for (const std::string& line : lines) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            nodes.push_back(std::stoul(line.substr(prefix.size())));
        }
    }
    return nodes;
}

// What the viewer takes beyond a session's rules: tools only from the
// plug-in folder, and the scene kept by Save rather than by "save".
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

// The nodes that `patterns` fit among `names` (pre-order, the root's
// first), as a session's check finds them: each pattern's in pre-order, the
// patterns in their order, each node once, never the root.
std::vector<std::size_t> Fitting(const std::vector<std::string>& patterns, const std::vector<std::string>& names) {
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

}  // namespace

// The page's "select-name" finds the nodes by the names they have now, but
// a session run finds them by the names the scene had when it was read: a
// line that would find others there stands as the "select" of the nodes
// found, so that the session replays to the same selection.
void ViewSession::StandAsReplayed(Action& action) const {
    const auto* named = std::get_if<SelectNamed>(&action.what);
    if (named != nullptr && Fitting(named->patterns, startNames_) != named->indices) {
        action.what = SelectNodes{named->indices};
    }
}

// The scene on the stand-in host with the standing actions run, and the
// check that has seen them: each new action is checked and replayed after
// them, in a time that follows the action, not the session.
struct ViewSession::Live {
    std::unique_ptr<SceneFile> file;
    std::unique_ptr<SessionHost> host;
    std::ostringstream out;
    std::unique_ptr<Transcript> transcript;
    std::unique_ptr<SessionReplay> replay;
    RunFiles files;  // those of the run so far, for the check
    std::unique_ptr<SessionChecker> checker;
};

ViewSession::ViewSession(const std::string& scenePath, std::string pluginDir, std::string outputPath)
    : scenePath_(scenePath), pluginDir_(std::move(pluginDir)), bytes_(SourceBytes::OfFile(scenePath, true)) {
    Rebuild();
    for (const standin::StandinNode* node : live_->host->Nodes()) {
        startNames_.push_back(node->Name());
    }
    referenced_ = live_->file->ReferencedFiles();
    for (const std::string& path : referenced_) {
        live_->files.Add(path, RunFiles::Use::OnlyRead, "a file that the scene refers to, which is only read");
    }
    if (!outputPath.empty()) {
        SetOutputPath(outputPath);
    }
}

// A file named before stays one that the run writes until the next undo.
void ViewSession::SetOutputPath(const std::string& path) {
    const std::string wrong = live_->file->WrongName(path);
    if (!wrong.empty()) {
        throw OutputFileError(path + ": " + wrong);
    }
    CheckWritable(path, "Save");
    if (path == outputPath_) {
        return;
    }
    const std::string clash = live_->files.Add(path, RunFiles::Use::Written, "the scene that Save writes");
    if (!clash.empty()) {
        throw OutputFileError(path + ": it is " + clash);
    }
    outputPath_ = path;
}

ViewSession::~ViewSession() = default;

// A new scene from the file's bytes, with the standing gestures checked
// and replayed as they were first: each action as it was checked then (a
// name pattern keeps the nodes it found), the check seeing each in turn.
void ViewSession::Rebuild() {
    live_.reset();
    auto live = std::make_unique<Live>();
    live->file = ParseScene(bytes_, scenePath_);
    live->host = std::make_unique<SessionHost>(*live->file, pluginDir_);
    live->transcript = std::make_unique<Transcript>(live->out);
    live->replay = std::make_unique<SessionReplay>(*live->host, *live->transcript, false, true);
    live->files.Add(scenePath_, RunFiles::Use::OnlyRead, "the scene file, which is only read");
    for (const std::string& path : referenced_) {
        live->files.Add(path, RunFiles::Use::OnlyRead, "a file that the scene refers to, which is only read");
    }
    if (!outputPath_.empty()) {
        live->files.Add(outputPath_, RunFiles::Use::Written, "the scene that Save writes");
    }
    live->checker = std::make_unique<SessionChecker>(*live->host, live->files);
    live_ = std::move(live);
    for (const std::vector<Action>& gesture : gestures_) {
        for (const Action& action : gesture) {
            Action seen = action;
            live_->checker->Check(seen);
            live_->replay->Replay(action);
        }
    }
    live_->out.str("");
}

// Runs one action of the newest gesture; false when it was refused.
bool ViewSession::RunChecked(Action action, ViewState& state) {
    action.origin = {kSource, static_cast<int>(standing_) + 1};
    try {
        CheckViewerRules(action);
        live_->checker->Check(action);
        StandAsReplayed(action);
    } catch (const std::exception& e) {
        state.refused = true;
        state.failure = e.what();
        // A press refused for its names file has taken, in the check, the
        // answer that stays for the next press: the check starts again.
        if (std::holds_alternative<PressButton>(action.what)) {
            Rebuild();
        }
        return false;
    }
    gestures_.back().push_back(action);
    ++standing_;
    live_->out.str("");
    live_->replay->Replay(gestures_.back().back());
    for (std::string& line : SplitLines(live_->out.str())) {
        state.lines.push_back(std::move(line));
    }
    return true;
}

ViewState ViewSession::Apply(const std::string& lines) {
    ViewState state;
    std::vector<Action> actions;
    try {
        actions = ParseSession(lines, kSource);
    } catch (const SessionError& e) {
        state = Report({});
        state.refused = true;
        state.failure = e.what();
        return state;
    }
    undone_.clear();
    gestures_.emplace_back();
    for (Action& action : actions) {
        if (!RunChecked(std::move(action), state)) {
            break;
        }
    }
    if (gestures_.back().empty()) {
        gestures_.pop_back();
    }
    ViewState report = Report(ChangedNodes(state.lines));
    report.lines = std::move(state.lines);
    if (state.refused) {
        report.refused = true;
        report.failure = state.failure;
    }
    return report;
}

ViewState ViewSession::Undo() {
    std::vector<std::size_t> changed = ChangedSinceStart();
    if (!gestures_.empty()) {
        standing_ -= gestures_.back().size();
        undone_.push_back(std::move(gestures_.back()));
        gestures_.pop_back();
        Rebuild();
    }
    const std::vector<std::size_t> after = ChangedSinceStart();
    changed.insert(changed.end(), after.begin(), after.end());
    return Report(std::move(changed));
}

ViewState ViewSession::Redo() {
    if (undone_.empty()) {
        return Report({});
    }
    std::vector<Action> gesture = std::move(undone_.back());
    undone_.pop_back();
    std::vector<std::vector<Action>> keep = std::move(undone_);
    ViewState state;
    gestures_.emplace_back();
    for (Action& action : gesture) {
        if (!RunChecked(std::move(action), state)) {
            break;
        }
    }
    undone_ = std::move(keep);
    ViewState report = Report(ChangedNodes(state.lines));
    report.lines = std::move(state.lines);
    return report;
}

ViewState ViewSession::Whole() {
    std::vector<std::size_t> all(live_->host->Nodes().size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i] = i;
    }
    return Report(std::move(all));
}

std::vector<std::size_t> ViewSession::ChangedSinceStart() const {
    std::vector<std::size_t> nodes;
    for (const NodeChange& change : live_->replay->History().ChangesSinceStart()) {
        nodes.push_back(change.index);
    }
    return nodes;
}

ViewState ViewSession::Report(std::vector<std::size_t> changed) {
    std::sort(changed.begin(), changed.end());
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
    ViewState state;
    SessionHost& host = *live_->host;
    state.done = live_->replay->Failure().empty();
    state.failure = live_->replay->Failure();
    state.pickMode = host.Host().ActivePickMode() != nullptr;
    state.panel = PanelControls(host.Panel());
    state.layout = PanelLayout(host.Panel(), state.panelWidth, state.panelHeight);
    state.selection = host.SelectionIndices();
    const std::vector<standin::StandinNode*>& order = host.Nodes();
    for (const std::size_t index : changed) {
        const NodeState node = StateOf(*order[index]);
        std::size_t depth = 0;
        for (const standin::StandinNode* up = order[index]->Parent(); up != nullptr; up = up->Parent()) {
            ++depth;
        }
        state.nodes.push_back({index, node.name, depth, node.transform, node.objectWorld});
    }
    state.undoable = gestures_.size();
    state.redoable = undone_.size();
    return state;
}

std::string ViewSession::SessionText() const {
    std::string text;
    for (const std::vector<Action>& gesture : gestures_) {
        for (const Action& action : gesture) {
            text += ActionText(action.what) + "\n";
        }
    }
    return text;
}

FileContent ViewSession::SceneContent() {
    return live_->file->Content(outputPath_.empty() ? scenePath_ : outputPath_, live_->host->SelectionIndices());
}

std::string ViewSession::SceneBytes() { return SceneContent().Joined(); }

std::string ViewSession::Save() { return WriteOutputFiles({{outputPath_, SceneContent()}}).front(); }

std::string ViewSession::FormatName() const { return live_->file->FormatName(); }

std::string ViewSession::Failure() const { return live_->replay->Failure(); }

}  // namespace driver
