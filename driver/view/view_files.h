#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "view/view_folders.h"

namespace driver {

// The files the viewer serves, and no others: the page's own (a folder
// shipped beside morvane-host) and the scene file with the files that it
// refers to (buffers, images) that are regular files inside the folders
// that serve them (the scene's, and those of --allow). The scene is served as
// "scene/_/_/…/NAME", the "_" folders standing for the scene's folder and
// those above it, so that a URI such as "../textures/wood.png" resolves,
// in the browser, to a path that names the same file here.
class ViewFiles {
public:
    ViewFiles(const std::string& pageDirectory, const std::string& scenePath,
              const std::vector<std::string>& referenced, const ViewFolders& serving);

    // The file for a route ("/viewer.js", "/scene/_/…/room.bin"); none
    // when it is none of the served files or no longer a regular file.
    [[nodiscard]] std::optional<std::string> Find(const std::string& route) const;
    // Whether `route`, as sent, is one of the page's own files ("/" too),
    // which hold nothing of the user's.
    bool IsPageFile(const std::string& route) const { return route == "/" || page_.count(route) != 0; }
    // The scene's route, relative to the page.
    std::string SceneRoute() const;
    // The files that the scene refers to and that are not served, with why.
    const std::vector<std::pair<std::string, std::string>>& Refused() const { return refused_; }

private:
    std::optional<std::string> FindSceneFile(const std::string& rest) const;

    std::map<std::string, std::string> page_;  // route -> file
    std::set<std::string> scene_;              // the paths of their handles
    std::string sceneDirectory_;
    std::string sceneName_;
    std::vector<std::pair<std::string, std::string>> refused_;
};

// The Content-Type for a file's name.
std::string ContentTypeOf(const std::string& path);

// The page's folder, found from the plug-ins' folder: "viewer" in it (a
// build folder, Windows), else the installed share/morvane/viewer.
std::string ViewerPageDirectory(const std::string& pluginDirectory);

}  // namespace driver
