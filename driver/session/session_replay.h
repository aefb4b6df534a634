#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "files/output_file.h"
#include "files/proxy_files.h"
#include "hosting/file_dialog_user.h"
#include "hosting/panel_controls.h"
#include "hosting/session_host.h"
#include "scene/scene_history.h"
#include "session/action.h"
#include "session/action_report.h"
#include "session/effect_reports.h"
#include "session/motion_reports.h"
#include "session/transcript.h"

namespace driver {

// Replays checked actions on the host the way a user works: tools are
// opened through their libraries' exports and used through their panels,
// the viewport and the file dialogs. Each action goes to the transcript
// with what it did: what the dialogs did, the entries the tools made in
// the host's log, the nodes that changed, the pick mode and the panel.
//
// A run is not done when a file dialog refused an answer or failed, a tool
// logged an error, or the host refused a tool's call. A strict run (a
// shortcut's) is not done either when an action has no effect: a disabled
// control, a click without a pick mode or one the mode refused, or an edit
// that the tool refused (a warning in the log).
class SessionReplay {
public:
    // With `keepStart`, the history keeps the scene's start for the
    // changes and the picture.
    SessionReplay(SessionHost& host, Transcript& transcript, bool strict, bool keepStart);
    ~SessionReplay();
    SessionReplay(const SessionReplay&) = delete;
    SessionReplay& operator=(const SessionReplay&) = delete;
    // The files of the run's own that stand in for places: a dialog
    // answered with a place gives the tool the file, and the notes name
    // the place. None unless given.
    void UseProxies(ProxyFiles proxies) { proxies_ = std::move(proxies); }

    // Runs the actions in order, then Finish(); false when the run was not
    // done, and Failure() says why ("ORIGIN: WHAT", for the first reason).
    // A front end may run more actions afterwards, in further calls.
    bool Run(const std::vector<Action>& actions);
    // One action with its transcript lines, for a front end that runs its
    // actions as they come.
    void Replay(const Action& action);
    // The end lines of the run so far: a pick that took its first point
    // and no second, the answers that no dialog has asked for (they stay
    // for the dialogs of later actions). True when the run was done.
    bool Finish();
    const std::optional<Refusal>& Failure() const { return report_.Failure(); }
    // Whether answers wait for a file dialog that has not asked yet.
    bool AnswersWaiting() const { return !answers_.empty(); }

    // The scene files that "save" actions produced, in order, handed over
    // without a copy.
    std::vector<OutputFile> TakeKeptScenes() { return std::move(kept_); }
    const SceneHistory& History() const { return history_; }
    // How many nodes the run has changed so far, each counted once.
    std::size_t ChangedCount() const { return changed_.Count(); }
    // The files that tools wrote through a save dialog (the path it chose,
    // with no error logged by the press); a proxy's file is left out, as
    // the run hands it on.
    const std::vector<std::string>& ToolWritten() const { return toolWritten_; }

private:
    // The actions' own replay, one function for each kind of action.
    struct Player;

    // What the user sees of the host around an action.
    struct HostView {
        bool pickMode = false;
        std::vector<PanelControl> controls;
        std::size_t logEntries = 0;
        std::size_t violations = 0;
        std::size_t refusals = 0;
    };
    HostView View() const;
    void ReportEffects(const HostView& before);
    std::optional<std::string> NextAnswer(bool saving, const std::optional<std::string>& refusal);

    SessionHost& host_;
    Transcript& transcript_;
    ActionReport report_;
    SceneHistory history_;
    MotionReports motion_;
    NodesChanged changed_;
    std::size_t steps_ = 0;           // the actions replayed so far
    const Action* action_ = nullptr;  // the running action
    std::string toolName_;
    std::deque<Action> answers_;  // answers of file dialogs not yet given
    std::string lastAnswer_;      // the answer given to the running dialog
    std::vector<OutputFile> kept_;
    std::vector<std::string> toolWritten_;
    std::string firstPointOnly_;  // where the last pick took its first point and no second, or ""
    FileDialogUser dialogs_;
    ProxyFiles proxies_;
};

}  // namespace driver
