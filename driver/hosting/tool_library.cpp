#include "hosting/tool_library.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include "files/native_path.h"
#include "hosting/library_probe.h"
#include "text/name_text.h"

namespace driver {

namespace {

constexpr unsigned long kHostVersion = 0x1B580D00;
constexpr const char* kCategory = "Programs for Morvane";

std::string Hex(unsigned long value) {
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

}  // namespace

std::string FindTool(const std::string& name, const std::string& pluginDir) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (name.find_first_of("/\\.") == std::string::npos) {
        std::string path = pluginDir + "/" + name + ".dlu";
        // Anything of that name is the plug-in asked for: the loader says
        // what is wrong with a folder, a pipe or a link to nothing there.
        if (fs::exists(fs::symlink_status(NativePath(path), error))) {
            return path;
        }
        std::vector<std::string> found;
        for (fs::directory_iterator entry(NativePath(pluginDir), error), end; !error && entry != end;
             entry.increment(error)) {
            if (entry->path().extension() == ".dlu") {
                found.push_back(NativeText(entry->path().stem()));
            }
        }
        std::sort(found.begin(), found.end());
        std::string list;
        for (const std::string& plugin : found) {
            list += (list.empty() ? "" : ", ") + plugin;
        }
        throw ToolLibraryError("no plug-in " + QuotedExcerpt(name) + " beside morvane-host (" +
                               (list.empty() ? "there are none" : "there are: " + list) + ")");
    }
    // A name without a folder is a file here, not one to search for.
    std::string path = name.find_first_of("/\\") == std::string::npos ? "./" + name : name;
    if (!fs::exists(NativePath(path), error)) {
        throw ToolLibraryError(Excerpt(path) + ": no such file");
    }
    if (fs::is_directory(NativePath(path), error)) {
        throw ToolLibraryError(Excerpt(path) + ": is a folder, not a plug-in library");
    }
    return path;
}

namespace {

// The library loaded here and checked; throws ToolLibraryError.
ToolLibrary LoadCheckedLibrary(const std::string& path) {
    ToolLibrary tool;
    std::string error;
    tool.library = standin::PluginLibrary::Load(path, error);
    if (!tool.library) {
        throw ToolLibraryError(error);
    }
    const standin::PluginLibrary& library = *tool.library;
    if (library.LibVersion() != kHostVersion) {
        throw ToolLibraryError(Excerpt(path) + ": LibVersion() is " + Hex(library.LibVersion()) + ", not the host's " +
                               Hex(kHostVersion));
    }
    const int classes = library.LibNumberClasses();
    tool.descriptor = classes >= 1 ? library.LibClassDesc(0) : nullptr;
    if (tool.descriptor == nullptr) {
        throw ToolLibraryError(Excerpt(path) + ": LibClassDesc(0) gives no class descriptor (LibNumberClasses() is " +
                               std::to_string(classes) + ")");
    }
    ClassDesc& descriptor = *tool.descriptor;
    if (descriptor.ClassID() == Class_ID(0, 0)) {
        throw ToolLibraryError(Excerpt(path) + ": the class descriptor has no class identifier (0, 0)");
    }
    if (descriptor.SuperClassID() != UTILITY_CLASS_ID) {
        throw ToolLibraryError(Excerpt(path) + ": the class descriptor's super-class is " +
                               Hex(descriptor.SuperClassID()) + ", not the utility super-class " +
                               Hex(UTILITY_CLASS_ID));
    }
    const char* category = descriptor.Category();
    if (category == nullptr || std::string(category) != kCategory) {
        throw ToolLibraryError(Excerpt(path) + ": the class descriptor's category is " +
                               QuotedExcerpt(category != nullptr ? category : "") + ", not \"" + kCategory + "\"");
    }
    const char* className = descriptor.ClassName();
    if (className == nullptr || className[0] == '\0') {
        throw ToolLibraryError(Excerpt(path) + ": the class descriptor has no class name");
    }
    tool.className = className;
    return tool;
}

}  // namespace

void TryToolAhead(const std::string& name, const std::string& pluginDir) noexcept {
    try {
        const std::string path = FindTool(name, pluginDir);
        (void)ProbeLibrary(path, [&path] { LoadCheckedLibrary(path); });
    } catch (const std::exception&) {
        // The run's own load of the tool reports it.
    }
}

ToolLibrary LoadToolLibrary(const std::string& path) {
    if (const std::optional<std::string> refusal = ProbeLibrary(path, [&path] { LoadCheckedLibrary(path); })) {
        throw ToolLibraryError(*refusal);
    }
    return LoadCheckedLibrary(path);
}

}  // namespace driver
