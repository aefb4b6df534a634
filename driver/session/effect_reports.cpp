#include "session/effect_reports.h"

#include "files/display_path.h"
#include "log_sys.h"
#include "text/name_text.h"

namespace driver {

void ReportDialog(const FileDialogUser::Outcome& dialog, const ProxyFiles& proxies, ActionReport& report) {
    if (!dialog.ran) {
        return;
    }
    const std::string name = dialog.saving ? "save dialog" : "open dialog";
    if (dialog.failure) {
        report.Failed("the " + name + " failed: " + *dialog.failure);
    } else if (!dialog.chosen) {
        report.Note(name + " cancelled");
    } else {
        report.Note(name + " chose " + proxies.Named(dialog.path, Quoted(DisplayPath(dialog.path))));
    }
}

void ReportLogEntries(const std::vector<standin::LogRecord>& log, std::size_t first, const ProxyFiles& proxies,
                      ActionReport& report) {
    for (std::size_t i = first; i < log.size(); ++i) {
        const std::string note = AsUtf8Text(log[i].title + ": " + HideWorkingFolder(proxies.InMessage(log[i].text)));
        if (log[i].type == SYSLOG_ERROR || log[i].type == SYSLOG_WARN) {
            report.Warning(note);
        } else {
            report.Note(note);
        }
        if (log[i].type == SYSLOG_ERROR) {
            report.NotDone(note);
        } else if (log[i].type == SYSLOG_WARN) {
            report.NoEffect(note);
        }
    }
}

void ReportChanges(const SceneHistory& history, const std::vector<standin::StandinNode*>& order,
                   const MotionReports& motion, ActionReport& report, NodesChanged& changed) {
    std::string line;
    history.VisitChangesSinceMark([&](const NodeChange& change) {
        changed.Add(change.index);
        line = "changed node ";
        line += std::to_string(change.index);
        line += ' ';
        AppendQuoted(line, order[change.index]->Name());
        const char* separator = ": ";
        for (const Aspect aspect : change.aspects) {
            line += separator;
            line += AspectName(aspect);
            separator = ", ";
        }
        report.Note(line);
        motion.After(change, report);
    });
}

void ReportRefusals(const std::vector<standin::EditRefusal>& refusals, std::size_t first, const SceneHistory& history,
                    ActionReport& report) {
    for (std::size_t i = first; i < refusals.size(); ++i) {
        const standin::StandinNode& node = *refusals[i].node;
        const std::string note = "warning: node " + std::to_string(history.IndexOf(node)) + " " + Quoted(node.Name()) +
                                 " keeps its pivot: " + refusals[i].reason;
        report.Warning(note);
        report.NoEffect(note);
    }
}

void ReportPickMode(bool before, bool now, ActionReport& report) {
    if (now != before) {
        report.Note(now ? "pick mode entered" : "pick mode left");
    }
}

void ReportPanel(const std::vector<PanelControl>& before, const std::vector<PanelControl>& after,
                 ActionReport& report) {
    for (const std::string& note : PanelChangeNotes(before, after)) {
        report.Note(note);
    }
}

void ReportViolations(const std::vector<std::string>& violations, std::size_t first, ActionReport& report) {
    for (std::size_t i = first; i < violations.size(); ++i) {
        report.Failed("the host refused a call: " + violations[i]);
    }
}

}  // namespace driver
