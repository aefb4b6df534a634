// Loading a plug-in library on Windows: the system runs its library entry.
#include "standin/plugin_loader.h"

namespace standin {

namespace {

template <class Fn>
void LookUp(HMODULE module, const char* name, Fn& fn, std::string& missing) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (fn == nullptr) {
        missing += missing.empty() ? name : std::string(", ") + name;
    }
}

// A thread that ends at once (a lambda would not have the WINAPI convention).
DWORD WINAPI EndAtOnce(LPVOID) { return 0; }

}  // namespace

std::unique_ptr<PluginLibrary> PluginLibrary::Load(const std::string& path, std::string& error) {
    // As the ELF loader says: a file that is not there cannot be opened.
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = path + ": cannot be opened";
        return nullptr;
    }
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        error = path + ": cannot be loaded (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    std::unique_ptr<PluginLibrary> library(new PluginLibrary());
    library->path_ = path;
    library->handle_ = module;
    library->module_ = module;
    std::string missing;
    LookUp(module, "LibDescription", library->description_, missing);
    LookUp(module, "LibNumberClasses", library->numberClasses_, missing);
    LookUp(module, "LibClassDesc", library->classDesc_, missing);
    LookUp(module, "LibVersion", library->version_, missing);
    if (!missing.empty()) {
        error = path + ": not a plug-in library: missing export(s) " + missing;
        return nullptr;
    }
    return library;
}

void PluginLibrary::NotifyThreadAttach() {
    // Windows calls the entry of every loaded library for a new thread.
    HANDLE thread = CreateThread(nullptr, 0, EndAtOnce, nullptr, 0, nullptr);
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}

PluginLibrary::~PluginLibrary() {
    if (handle_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(handle_));
    }
}

}  // namespace standin
