#pragma once

#include <string>

namespace driver {

// morvane-host view SCENE [-o OUT] [--port N]: serves the viewer page for
// the scene on 127.0.0.1 until SIGINT, SIGTERM or the page's Quit; prints
// the page's address, with its token, on the first line. `outputPath` is
// the file that Save writes, or empty; `port` 0 lets the system choose.
// The exit status: 0, or 1 when a file, the scene or the server failed.
int RunView(const std::string& scenePath, const std::string& outputPath, int port);

}  // namespace driver
