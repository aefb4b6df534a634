#include "tools/velkora_shortcuts.h"

#include "files/display_path.h"
#include "files/line_count.h"
#include "hosting/session_host.h"
#include "session/session.h"
#include "text/count_text.h"
#include "text/name_text.h"
#include "tools/shortcut_session.h"

namespace driver {

// A names file of another number of lines than the scene has nodes gives
// names by position all the same: one line missing or added moves every
// later name one node on, which nothing in the result shows.
void CheckLoadNamesJob(const Shortcut& shortcut, ShortcutSession& session, SessionHost& host,
                       const ProxyFiles& proxies) {
    if (shortcut.partial || !shortcut.names) {
        return;
    }
    const ProxyFile* proxy = proxies.Of(*shortcut.names);
    const CheckedPress* press = nullptr;
    for (const Action& action : session.actions) {
        press = action.press != nullptr ? action.press.get() : press;
    }
    if (press == nullptr || !press->chosen) {
        return;  // the press is refused, and says why
    }
    const std::string& chosen = *press->chosen;
    const std::optional<std::uint64_t> lines = CountLines(chosen);
    if (!lines) {
        return;  // the dialog refuses it, and says why
    }
    const std::size_t nodes = host.Nodes().size();
    if (*lines != nodes) {
        throw NoMatchError("NAMES: " + (proxy != nullptr ? proxy->shown : Quoted(DisplayPath(chosen))) + " has " +
                           Counted(static_cast<std::size_t>(*lines), "line") + " and the scene " +
                           Counted(nodes, "node") +
                           ", so its names would shift off the nodes they belong to; "
                           "nothing was loaded or written (--partial loads it by position all the same)");
    }
}

}  // namespace driver
