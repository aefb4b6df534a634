#pragma once

#include <string>
#include <vector>

namespace driver {

struct ViewOptions {
    std::string scenePath;
    std::string outputPath;  // the file that Save writes, or empty
    int port = 0;            // 0 lets the system choose
    bool openBrowser = false;
    std::vector<std::string> allowedFolders;  // reached besides the scene's, OUT's and the start folder
};

// morvane-host view SCENE [-o OUT] [--port N] [--open] [--allow DIRS]:
// serves the viewer page for the scene on loopback until SIGINT, SIGTERM or
// the page's Quit; prints the page's address, with its token, on the first
// line, and writes a page that only the user can read which opens it.
// The exit status: 0, or 1 when a file, the scene or the server failed.
int RunView(const ViewOptions& options);

}  // namespace driver
