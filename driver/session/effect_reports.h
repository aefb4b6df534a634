#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "files/proxy_files.h"
#include "hosting/file_dialog_user.h"
#include "hosting/panel_controls.h"
#include "scene/node_state.h"
#include "scene/scene_history.h"
#include "session/action_report.h"
#include "session/motion_reports.h"
#include "standin/standin_interface.h"

namespace driver {

// The reporters of what an action did, one for each kind of effect, in the
// order the transcript gives them.

// What a file dialog ended with; a dialog that failed fails the run. A
// proxy's file is named as its place.
void ReportDialog(const FileDialogUser::Outcome& dialog, const ProxyFiles& proxies, ActionReport& report);

// The entries that the tools made in the host's log from `first` on: an
// error fails the run; a warning is an edit the tool refused, no effect.
// A proxy's file that an entry names is named as its place.
void ReportLogEntries(const std::vector<standin::LogRecord>& log, std::size_t first, const ProxyFiles& proxies,
                      ActionReport& report);

// The nodes that a run has changed, each counted once.
class NodesChanged {
public:
    explicit NodesChanged(std::size_t nodes) : changed_(nodes, false) {}
    void Add(std::size_t index) {
        if (!changed_[index]) {
            changed_[index] = true;
            ++count_;
        }
    }
    std::size_t Count() const { return count_; }

private:
    std::vector<bool> changed_;
    std::size_t count_ = 0;
};

// A line for each node changed since the history's mark ("changed node 5
// "Chair": position, object"), each followed by what its change means
// beyond it (motion_reports.h),
// written as the changes are found, and added to `changed`. `order` is the
// scene's pre-order.
void ReportChanges(const SceneHistory& history, const std::vector<standin::StandinNode*>& order,
                   const MotionReports& motion, ActionReport& report, NodesChanged& changed);

// The edits that the scene's locks refused from `first` on: a warning
// that names the node and why; no effect.
void ReportRefusals(const std::vector<standin::EditRefusal>& refusals, std::size_t first, const SceneHistory& history,
                    ActionReport& report);

// Whether the tool's pick mode started or ended.
void ReportPickMode(bool before, bool now, ActionReport& report);

// The panel's controls that changed, or all of a panel that has just opened.
void ReportPanel(const std::vector<PanelControl>& before, const std::vector<PanelControl>& after, ActionReport& report);

// The calls the host refused from `first` on; each fails the run.
void ReportViolations(const std::vector<std::string>& violations, std::size_t first, ActionReport& report);

}  // namespace driver
