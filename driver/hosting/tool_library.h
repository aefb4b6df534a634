#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "class_desc.h"
#include "standin/plugin_loader.h"
#include "text/refusal.h"

namespace driver {

// A plug-in library that offers a utility tool as the host expects one:
// the four exports, the host's interface version, and a class descriptor
// at index 0 with a class identifier, the utility super-class 0x1020 and
// the category "Programs for Morvane".
struct ToolLibrary {
    std::unique_ptr<standin::PluginLibrary> library;
    ClassDesc* descriptor = nullptr;
    std::string className;  // the descriptor's ClassName(), as the user sees it
};

// A file that is not such a library; the message names the file and what
// is missing or wrong.
class ToolLibraryError : public CodedError {
public:
    explicit ToolLibraryError(const std::string& message) : CodedError(RefusalCode::NoTool, message) {}
};

// Loads and checks the library at `path`, first in a process of its own
// (library_probe.h), then here. Loading runs the library's static
// constructors and its entry, as the host does; nothing is created yet.
ToolLibrary LoadToolLibrary(const std::string& path);

// Tries the library of "open NAME" in a process of its own now, while this
// process is small, so that the load finds the answer kept (library_probe.h):
// the fork of a process that holds a large scene would copy the scene's page
// tables, and make each later write to its pages fault once more. Says
// nothing; what is wrong is said by the load, where the run reaches it.
void TryToolAhead(const std::string& name, const std::string& pluginDir) noexcept;

// The file that "open NAME" means: a bare name (no folder, no dot) is
// NAME.dlu in `pluginDir`; anything else is a path, taken in the working
// folder when it names no folder ("x.dlu" is "./x.dlu"). Throws
// ToolLibraryError when there is no such file; for a bare name the message
// lists the plug-ins that `pluginDir` holds.
std::string FindTool(const std::string& name, const std::string& pluginDir);

}  // namespace driver
