#pragma once

#include <optional>
#include <string>
#include <vector>

#include "files/proxy_files.h"
#include "hosting/panel_model.h"
#include "session/action.h"
#include "session/shortcut.h"

namespace driver {

class SessionHost;

// The session that a shortcut stands for, built once from its row, and
// what building it learnt of the tool's panel.
struct ShortcutSession {
    std::vector<Action> actions;
    // The file dialog that its press opens, as the tool's resources say;
    // none where the press opens none or the tool cannot be loaded.
    std::optional<PanelDialog> dialog;

    // The file that the dialog gives the tool for NAMES; none without
    // either, or where NAMES is standard input or output.
    std::optional<std::string> ChosenFile(const Shortcut& shortcut) const;
};

// The session of `shortcut`'s row with the command line's values, each
// action's origin the option it comes from. The captions of the controls
// it presses and clicks are those of the tool's panel; a value given for a
// radio button must be the caption of one (else a UsageError). A tool that
// cannot be loaded leaves out the lines of its controls, for the check to
// say why where it opens the tool.
ShortcutSession BuildShortcutSession(const Shortcut& shortcut, SessionHost& host);

// Checks, once the session is checked (the nodes of its selection found),
// that the shortcut's job can happen on this scene, by its row's rules.
// `proxies` gives the files that stand in for a NAMES of "-".
void CheckShortcutJob(const Shortcut& shortcut, ShortcutSession& session, SessionHost& host, const ProxyFiles& proxies);

}  // namespace driver
