#pragma once

#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "session/action.h"
#include "hosting/file_dialog_user.h"
#include "files/output_file.h"
#include "hosting/panel_controls.h"
#include "scene/scene_history.h"
#include "hosting/session_host.h"
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

    // Runs the actions in order; false when the run was not done, and
    // Failure() says why ("ORIGIN: WHAT", for the first reason).
    bool Run(const std::vector<Action>& actions);
    const std::string& Failure() const { return failure_; }

    // The scene files that "save" actions produced, in order.
    const std::vector<OutputFile>& KeptScenes() const { return kept_; }
    const SceneHistory& History() const { return history_; }

private:
    // What the user sees of the host around an action.
    struct HostView {
        bool pickMode = false;
        std::vector<PanelControl> controls;
        std::size_t logEntries = 0;
        std::size_t violations = 0;
    };
    HostView View() const;

    void RunOne(const OpenTool& open);
    void RunOne(const CloseTool&);
    void RunOne(const SelectNodes& select);
    void RunOne(const SelectNamed& select);
    void RunOne(const PressButton& press);
    void RunOne(const ClickRadio& radio);
    void RunOne(const ClickViewport& click);
    void RunOne(const RightClickPanel&);
    void RunOne(const EndPickMode&);
    void RunOne(const AnswerDialog& answer);
    void RunOne(const KeepScene& keep);
    void RunOne(const PrintNodes&);

    void Select(const std::vector<std::size_t>& indices);
    void PressControl(const std::string& caption, bool customButton);
    void ReportEffects(const HostView& before);
    // Warns when an animation drives a part of `node`'s local placement
    // that got new values (`changed`).
    void WarnOfAnimation(const standin::StandinNode& node, std::size_t index, const AnimatedParts& changed);
    // The node's pre-order index; the index of all nodes is made on first use.
    std::size_t IndexOf(const standin::StandinNode& node);
    void ReportDialog();
    std::string NextAnswer(bool saving, const std::string& refusal);
    // The run was not done; the first reason is kept.
    void NotDone(const std::string& why);
    // An action had no effect: a reason in a strict run only.
    void NoEffect(const std::string& why);

    SessionHost& host_;
    Transcript& transcript_;
    bool strict_;
    SceneHistory history_;
    const Action* action_ = nullptr;  // the running action
    std::string toolName_;
    std::deque<Action> answers_;      // answers of file dialogs not yet given
    std::string lastAnswer_;          // the answer given to the running dialog
    std::vector<OutputFile> kept_;
    std::unordered_map<const standin::StandinNode*, std::size_t> indexOf_;
    std::string failure_;
    FileDialogUser dialogs_;
};

}  // namespace driver
