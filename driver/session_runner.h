#pragma once

#include <deque>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "file_dialog_user.h"
#include "scene_file.h"
#include "scene_snapshot.h"
#include "session.h"
#include "standin/plugin_loader.h"
#include "standin/standin_interface.h"
#include "utility_plugin.h"

namespace driver {

// Replays a session on a scene the way a user works in the host: tools are
// opened through their libraries' exports and used through their panels,
// the viewport and the file dialogs. Each action and what it did goes to
// the transcript. The only files touched are those the session's own
// actions name ("save", and the files chosen in the tools' dialogs).
class SessionRunner {
public:
    // `pluginDir` is where bare tool names ("open Tarvel") are found.
    SessionRunner(SceneDocument& document, std::ostream& transcript, std::string pluginDir);
    // Closes an open tool and unloads the libraries.
    ~SessionRunner();
    SessionRunner(const SessionRunner&) = delete;
    SessionRunner& operator=(const SessionRunner&) = delete;

    // Runs the actions in order; a failing action throws SessionError
    // naming its line, and the actions after it do not run.
    void Run(const std::vector<Action>& actions, const std::string& source);

    standin::StandinInterface& Host() { return host_; }
    // The selection as pre-order indices, for writing the scene back.
    std::vector<std::size_t> SelectionIndices() const;

private:
    struct ControlState {
        std::string caption;
        bool enabled = false;
        bool checked = false;
    };

    void RunOne(const Action& action);
    void Open(const Action& action);
    void Close();
    void Select(const Action& action);
    void Press(const Action& action);
    void Radio(const Action& action);
    void Click(const Action& action);
    void RightClick();
    void Save(const Action& action);

    HWND Panel() const;
    HWND FindControl(const std::string& caption, bool customButton) const;
    std::vector<ControlState> Controls() const;
    void ReportEffects(const SceneSnapshot& before, bool modeBefore, const std::vector<ControlState>& controlsBefore);
    std::string NextAnswer(bool saving, const std::string& refusal);
    void Note(const std::string& line);
    [[noreturn]] void Fail(const std::string& what) const;

    SceneDocument& document_;
    std::ostream& transcript_;
    std::string pluginDir_;
    std::string source_;
    int line_ = 0;
    standin::StandinInterface host_;
    std::vector<standin::StandinNode*> order_;  // pre-order index -> node
    std::map<std::string, std::unique_ptr<standin::PluginLibrary>> libraries_;
    UtilityPlugin* openTool_ = nullptr;
    std::string openToolName_;
    std::deque<Action> answers_;  // pending answers of file dialogs
    FileDialogUser dialogs_;
};

}  // namespace driver
