#pragma once

#include <map>
#include <string>

#include "hosting/panel_model.h"
#include "hosting/tool_library.h"

namespace driver {

// The tool libraries loaded so far, by path, and the models learnt of
// their panels. A session host has one of its own; the viewer keeps one for
// its whole life and builds every new host over it, so that undo, redo and
// a refused gesture replay into the libraries already loaded instead of
// loading them again (a reload keeps memory on some systems). The libraries
// are unloaded with it, after every host built over it has gone.
class LoadedTools {
public:
    LoadedTools() = default;
    LoadedTools(const LoadedTools&) = delete;
    LoadedTools& operator=(const LoadedTools&) = delete;

    // The library at `path`, loaded and checked on its first use
    // (LoadToolLibrary); throws ToolLibraryError.
    ToolLibrary& Library(const std::string& path);
    // The model learnt of the panel of the library at `path`, or null.
    const PanelModel* Model(const std::string& path) const;
    const PanelModel& Learn(const std::string& path, PanelModel model);

private:
    std::map<std::string, ToolLibrary> libraries_;
    std::map<std::string, PanelModel> models_;
};

}  // namespace driver
