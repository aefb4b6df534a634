#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hosting/loaded_tools.h"
#include "hosting/panel_model.h"
#include "hosting/tool_library.h"
#include "scene/scene_format.h"
#include "standin/standin_interface.h"
#include "utility_plugin.h"

namespace driver {

// The host that a session runs on: the stand-in host over the scene of a
// scene file (its selection, animation range and current time), with the
// tool libraries loaded so far and what was learnt of their panels.
class SessionHost {
public:
    // `pluginDir` is where bare tool names ("Tarvel") are found.
    SessionHost(SceneFile& file, std::string pluginDir);
    // A host whose libraries are those of `tools`, which outlives it.
    SessionHost(SceneFile& file, std::string pluginDir, LoadedTools& tools);
    // Closes an open tool, then unloads the libraries that are its own.
    ~SessionHost();
    SessionHost(const SessionHost&) = delete;
    SessionHost& operator=(const SessionHost&) = delete;

    standin::StandinInterface& Host() { return host_; }
    SceneFile& File() { return file_; }
    // The scene's nodes in pre-order: index 0 is the root.
    const std::vector<standin::StandinNode*>& Nodes() const { return order_; }

    // The library that "open PLUGIN" means, loaded on its first use. Throws
    // ToolLibraryError; a bare name that is not found lists the plug-ins
    // that are there.
    ToolLibrary& Library(const std::string& plugin);
    // The tool's utility object, from its class descriptor.
    UtilityPlugin* Utility(ToolLibrary& tool);

    // The model of a tool's panel, learnt by opening the tool once on the
    // side to see which page it adds (every opening sets the panel up anew,
    // so this leaves nothing behind). Null when it is yet to be learnt and
    // another tool is open, which learning would disturb.
    const PanelModel* Model(ToolLibrary& tool);

    // The page of the open tool, or null.
    HWND Panel() const;
    // The model of that page; empty while no tool is open.
    PanelModel OpenPanelModel() const;
    // The selection as pre-order indices.
    std::vector<std::size_t> SelectionIndices() const;

private:
    SessionHost(SceneFile& file, std::string pluginDir, std::unique_ptr<LoadedTools> own, LoadedTools* shared);

    SceneFile& file_;
    std::string pluginDir_;
    standin::StandinInterface host_;
    std::vector<standin::StandinNode*> order_;
    std::unique_ptr<LoadedTools> ownTools_;  // none when the libraries are another's
    LoadedTools& tools_;
};

}  // namespace driver
