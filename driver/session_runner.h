#pragma once

#include <deque>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "file_dialog_user.h"
#include "output_file.h"
#include "scene_format.h"
#include "scene_snapshot.h"
#include "session.h"
#include "standin/standin_interface.h"
#include "tool_library.h"
#include "utility_plugin.h"

namespace driver {

// Replays a session on a scene the way a user works in the host: tools are
// opened through their libraries' exports and used through their panels,
// the viewport and the file dialogs. Each action and what it did goes to
// the transcript.
//
// Run checks the whole session before the first action runs (see Run), so
// that a session that fails does so before anything is done. The scene
// files of "save" actions are not written by the runner: they are handed
// out by PendingFiles for the caller to write once everything succeeded.
// The only files the run itself touches are those that the tools write
// and read through their file dialogs.
class SessionRunner {
public:
    // `pluginDir` is where bare tool names ("open Tarvel") are found.
    SessionRunner(SceneFile& file, std::ostream& transcript, std::string pluginDir);
    // Closes an open tool and unloads the libraries.
    ~SessionRunner();
    SessionRunner(const SessionRunner&) = delete;
    SessionRunner& operator=(const SessionRunner&) = delete;

    // Checks, then runs the actions in order. The check refuses, with a
    // SessionError naming the line, and before any action runs: a node
    // index out of range; "open" of a file that is not a tool library, or
    // while a tool is open; "close", "press", "radio" or "rightclick" with
    // no tool open; a caption that the open tool's panel does not have;
    // a "save" to a file that cannot be written.
    void Run(const std::vector<Action>& actions, const std::string& source);

    // The scene files that "save" actions produced, in order.
    const std::vector<OutputFile>& PendingFiles() const { return pending_; }
    // The selection as pre-order indices, for writing the scene back.
    std::vector<std::size_t> SelectionIndices() const;

private:
    struct ControlState {
        std::string caption;
        bool customButton = false;  // else a radio button
        bool enabled = false;
        bool checked = false;
    };
    // The captions of a tool's panel, learnt by opening it once.
    struct PanelCaptions {
        std::vector<std::string> buttons;
        std::vector<std::string> radios;
    };

    void Check(const std::vector<Action>& actions);
    ToolLibrary& Library(const std::string& path);
    PanelCaptions LearnPanel(ToolLibrary& tool);

    void RunOne(const Action& action);
    void Open(const Action& action);
    void Close();
    void Select(const Action& action);
    void Press(const Action& action);
    void Radio(const Action& action);
    void Click(const Action& action);
    void RightClick();
    void EndPick();
    void Save(const Action& action);

    HWND Panel() const;
    HWND FindControl(const std::string& caption, bool customButton) const;
    std::vector<ControlState> Controls() const;
    void ReportEffects(const SceneSnapshot& before, bool modeBefore, const std::vector<ControlState>& controlsBefore);
    void ReportDialog();
    std::string NextAnswer(bool saving, const std::string& refusal);
    void Note(const std::string& line);
    [[noreturn]] void Fail(const std::string& what) const;

    SceneFile& file_;
    SceneDocument& document_;
    std::ostream& transcript_;
    std::string pluginDir_;
    std::string source_;
    int line_ = 0;
    standin::StandinInterface host_;
    std::vector<standin::StandinNode*> order_;  // pre-order index -> node
    std::map<std::string, ToolLibrary> libraries_;
    std::map<std::string, PanelCaptions> captions_;
    UtilityPlugin* openTool_ = nullptr;
    std::string openToolName_;
    std::deque<Action> answers_;  // pending answers of file dialogs
    std::string lastAnswer_;      // the answer given to the running dialog
    std::vector<OutputFile> pending_;
    std::size_t violationsSeen_ = 0;
    int notes_ = 0;  // transcript notes of the running action
    FileDialogUser dialogs_;
};

}  // namespace driver
