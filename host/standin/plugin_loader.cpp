// The part of loading a plug-in library that is the same on every platform.
#include "standin/plugin_loader.h"

namespace standin {

namespace {

template <class Fn>
void LookUp(void* handle, void* (*symbol)(void*, const char*), const char* name, Fn& fn, std::string& missing) {
    fn = reinterpret_cast<Fn>(symbol(handle, name));
    if (fn == nullptr) {
        missing += missing.empty() ? name : std::string(", ") + name;
    }
}

}  // namespace

bool PluginLibrary::ResolveExports(void* (*symbol)(void* handle, const char* name), std::string& error) {
    std::string missing;
    LookUp(handle_, symbol, "LibDescription", description_, missing);
    LookUp(handle_, symbol, "LibNumberClasses", numberClasses_, missing);
    LookUp(handle_, symbol, "LibClassDesc", classDesc_, missing);
    LookUp(handle_, symbol, "LibVersion", version_, missing);
    if (!missing.empty()) {
        error = path_ + ": not a plug-in library: missing export(s) " + missing;
        return false;
    }
    return true;
}

}  // namespace standin
