// Loading a plug-in library on ELF systems, the way Windows loads a DLL:
// the entry point recorded in the file's header is the library entry, and
// the compiled resources travel in the file's ".rsrc" section.
#include "standin/plugin_loader.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <algorithm>

#include <map>
#include <utility>
#include <vector>

#include "standin/library_image.h"
#include "standin/plugin_calls.h"
#include "win32/standin_extensions.h"

namespace standin {

namespace {

// The library's entry address and resources, read before the system maps
// the file: a file that is cut short or damaged would crash the mapping.
bool ReadElfFacts(const std::string& path, ElfImage& image, std::vector<char>& resources, std::string& error) {
    std::vector<char> bytes;
    if (!ReadLibraryFile(path, bytes, error)) {
        return false;
    }
    if (const std::string problem = CheckElfLibrary(bytes, image); !problem.empty()) {
        error = path + ": " + problem;
        return false;
    }
    if (image.entry == 0) {
        error = path + ": has no library entry";
        return false;
    }
    if (image.resourceSize == 0) {
        error = path + ": has no resources (no .rsrc section)";
        return false;
    }
    const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(image.resourceOffset);
    resources.assign(begin, begin + static_cast<std::ptrdiff_t>(image.resourceSize));
    if (const std::string problem = win32standin::ResourceBytesProblem(resources.data(), resources.size());
        !problem.empty()) {
        error = path + ": its resources are damaged: " + problem;
        return false;
    }
    return true;
}

}  // namespace

using FileIdentity = std::pair<dev_t, ino_t>;

FileIdentity IdentityOf(const std::string& name) {
    struct stat status {};
    return ::stat(name.c_str(), &status) == 0 ? FileIdentity{status.st_dev, status.st_ino} : FileIdentity{};
}

// The libraries that this loader has mapped and that are mapped still,
// with the file that each was mapped from.
std::map<void*, FileIdentity>& Mapped() {
    static std::map<void*, FileIdentity> mapped;
    return mapped;
}

std::unique_ptr<PluginLibrary> PluginLibrary::Load(const std::string& path, std::string& error) {
    // The file is opened once: what is checked is what is mapped, even if
    // another file takes its name meanwhile. It stays open while the
    // library is mapped, so that no other library's file is given its
    // descriptor's name, which the system's loader would take for it.
    auto file = std::make_unique<OpenLibraryFile>(path);
    if (!file->Opened()) {
        error = path + ": cannot be opened: " + file->Reason();
        return nullptr;
    }
    ElfImage image;
    std::vector<char> resources;
    if (!ReadElfFacts(file->Name(), image, resources, error)) {
        error = path + error.substr(std::min(error.size(), file->Name().size()));
        return nullptr;
    }
    const PluginCall loading(path, "loading (its static objects and library entry)");
    void* handle = dlopen(file->Name().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        error = path + ": cannot be loaded: " + dlerror();
        return nullptr;
    }
    // The same file may be loaded again; another file given an earlier
    // one's mapping would run the wrong code.
    const auto [mapped, added] = Mapped().emplace(handle, IdentityOf(file->Name()));
    if (!added && mapped->second != IdentityOf(file->Name())) {
        dlclose(handle);
        error = path + ": cannot be loaded: the system's loader took it for a library loaded before";
        return nullptr;
    }
    std::unique_ptr<PluginLibrary> library(new PluginLibrary());
    library->path_ = path;
    library->file_ = file.release();
    library->handle_ = handle;

    if (!library->ResolveExports(dlsym, error)) {
        return nullptr;  // the destructor unloads it
    }

    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
        error = path + ": its load address is unknown";
        return nullptr;
    }
    library->entry_ = reinterpret_cast<BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID)>(map->l_addr + image.entry);
    library->module_ = win32standin::LoadModuleFromResBytes(resources.data(), resources.size(), path);
    library->entry_(library->module_, DLL_PROCESS_ATTACH, nullptr);
    return library;
}

void PluginLibrary::NotifyThreadAttach() {
    const PluginCall call(path_, "its library entry (a thread starts)");
    entry_(module_, DLL_THREAD_ATTACH, nullptr);
}

PluginLibrary::~PluginLibrary() {
    const PluginCall call(path_, "unloading (its library entry and static destructors)");
    if (entry_ != nullptr) {
        entry_(module_, DLL_PROCESS_DETACH, nullptr);
    }
    if (module_ != nullptr) {
        win32standin::UnloadModule(module_);
    }
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
    auto* file = static_cast<OpenLibraryFile*>(file_);
    // A library that stays mapped (the system may keep one) keeps its file
    // open, and its descriptor's name with it.
    void* resident = file != nullptr ? dlopen(file->Name().c_str(), RTLD_NOW | RTLD_NOLOAD) : nullptr;
    if (resident != nullptr) {
        dlclose(resident);
        return;
    }
    Mapped().erase(handle_);
    delete file;
}

}  // namespace standin
