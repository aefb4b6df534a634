#pragma once

#include <string>
#include <vector>

namespace driver {

// morvane-host view SCENE [-o OUT] [--port N]: serves the viewer page for
// the scene on 127.0.0.1 until SIGINT, SIGTERM or the page's Quit; prints
// the page's address, with its token, on the first line. `arguments` are
// those after "view". The exit status: 0, 1 (a file, the scene or the
// server failed) or 2 (usage).
int RunView(const std::vector<std::string>& arguments);

}  // namespace driver
