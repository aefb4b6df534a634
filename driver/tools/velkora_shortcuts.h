#pragma once

#include "tools/tool_row.h"

namespace driver {

// The rules of the names tool's shortcuts, for their rows.

// Without --partial, the names file that the checked press loads (as the
// check recorded it) has as many lines as the scene has nodes: NoMatchError
// naming both counts where it has not.
void CheckLoadNamesJob(const Shortcut& shortcut, ShortcutSession& session, SessionHost& host,
                       const ProxyFiles& proxies);

}  // namespace driver
