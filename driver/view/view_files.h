#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace driver {

// The files the viewer serves, and no others: the page's own (a folder
// shipped beside morvane-host) and the scene file with the files that it
// refers to (buffers, images). The scene is served as
// "scene/_/_/…/NAME", the "_" folders standing for the scene's folder and
// those above it, so that a URI such as "../textures/wood.png" resolves,
// in the browser, to a path that names the same file here.
class ViewFiles {
public:
    ViewFiles(const std::string& pageDirectory, const std::string& scenePath,
              const std::vector<std::string>& referenced);

    // The file for a route ("/viewer.js", "/scene/_/…/room.bin"), or ""
    // when it is none of the served files.
    std::string Find(const std::string& route) const;
    // The scene's route, relative to the page.
    std::string SceneRoute() const;

private:
    std::string FindSceneFile(const std::string& rest) const;

    std::map<std::string, std::string> page_;  // route -> file
    std::set<std::string> scene_;              // canonical paths
    std::string sceneDirectory_;
    std::string sceneName_;
};

// The Content-Type for a file's name.
std::string ContentTypeOf(const std::string& path);

// The page's folder, found from the plug-ins' folder: "viewer" in it (a
// build folder, Windows), else the installed share/morvane/viewer.
std::string ViewerPageDirectory(const std::string& pluginDirectory);

}  // namespace driver
