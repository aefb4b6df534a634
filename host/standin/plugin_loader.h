#pragma once

#include <memory>
#include <string>

#include "class_desc.h"
#include "host_api.h"
#include "win32/win_api.h"

namespace standin {

// A plug-in library loaded as the host loads one: the file is mapped, its
// static objects are constructed, its library entry runs with the module
// handle, and its four exports are looked up. Destroying the object runs
// the entry's detach call and unloads the library.
class HOST_API PluginLibrary {
public:
    using DescriptionFn = const char* (*)();
    using NumberClassesFn = int (*)();
    using ClassDescFn = ClassDesc* (*)(int);
    using VersionFn = unsigned long (*)();

    // The library at `path`, or null with `error` saying what is missing.
    static std::unique_ptr<PluginLibrary> Load(const std::string& path, std::string& error);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const char* LibDescription() const { return description_(); }
    int LibNumberClasses() const { return numberClasses_(); }
    ClassDesc* LibClassDesc(int i) const { return classDesc_(i); }
    unsigned long LibVersion() const { return version_(); }

    // A thread of the host starts: the library entry hears of it, as
    // Windows tells every loaded library.
    void NotifyThreadAttach();

    HINSTANCE Module() const { return module_; }
    const std::string& Path() const { return path_; }

private:
    PluginLibrary() = default;
    // Looks up the four exports with `symbol` (the platform's look-up by
    // name); false with `error` naming the missing ones.
    bool ResolveExports(void* (*symbol)(void* handle, const char* name), std::string& error);

    std::string path_;
    // The file as it was opened and checked (an OpenLibraryFile), held
    // while the library is loaded.
    void* file_ = nullptr;
    void* handle_ = nullptr;
    HINSTANCE module_ = nullptr;
    BOOL(WINAPI* entry_)(HINSTANCE, DWORD, LPVOID) = nullptr;
    DescriptionFn description_ = nullptr;
    NumberClassesFn numberClasses_ = nullptr;
    ClassDescFn classDesc_ = nullptr;
    VersionFn version_ = nullptr;
};

}  // namespace standin
