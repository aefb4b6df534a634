// Loading a plug-in library on Windows: the system runs its library entry.
#include "standin/plugin_loader.h"

#include <cstdio>
#include <string>
#include <vector>

#include "standin/file_dialog_calls.h"
#include "standin/library_image.h"
#include "standin/plugin_calls.h"
#include "wide_text.h"

namespace standin {

namespace {

void* ExportOf(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

// A thread that ends at once (a lambda would not have the WINAPI convention).
DWORD WINAPI EndAtOnce(LPVOID) { return 0; }

// Why the system did not load a library: an exception that its library
// entry raised (the system's loader stops it), or the system's error.
std::string LoadFailure(DWORD error) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(error));
    if ((error & 0xC0000000) == 0xC0000000) {
        return std::string(": its library entry crashed (exception ") + code +
               "): the library is damaged or not made for this system";
    }
    return " (error " + std::to_string(error) + ")";
}

}  // namespace

std::unique_ptr<PluginLibrary> PluginLibrary::Load(const std::string& path, std::string& error) {
    // A file that is cut short or damaged is refused before the system
    // maps it, as the ELF loader refuses one.
    // Held while the library is loaded: the file can be neither renamed
    // nor changed meanwhile.
    auto held = std::make_unique<OpenLibraryFile>(path);
    std::vector<char> bytes;
    if (!ReadLibraryFile(path, bytes, error)) {
        return nullptr;
    }
    if (const std::string problem = CheckPeLibrary(bytes); !problem.empty()) {
        error = path + ": " + problem;
        return nullptr;
    }
    const PluginCall loading(path, "loading (its static objects and library entry)");
    HMODULE module = LoadLibraryW(safewrite::WideText(path).c_str());
    if (module == nullptr) {
        error = path + ": cannot be loaded" + LoadFailure(GetLastError());
        return nullptr;
    }
    std::unique_ptr<PluginLibrary> library(new PluginLibrary());
    library->path_ = path;
    library->file_ = held.release();
    library->handle_ = module;
    library->module_ = module;
    HookFileDialogImports(module);
    if (!library->ResolveExports(ExportOf, error)) {
        return nullptr;
    }
    return library;
}

void PluginLibrary::NotifyThreadAttach() {
    const PluginCall call(path_, "its library entry (a thread starts)");
    // Windows calls the entry of every loaded library for a new thread.
    HANDLE thread = CreateThread(nullptr, 0, EndAtOnce, nullptr, 0, nullptr);
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}

PluginLibrary::~PluginLibrary() {
    const PluginCall call(path_, "unloading (its library entry and static destructors)");
    if (handle_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(handle_));
    }
    delete static_cast<OpenLibraryFile*>(file_);
}

}  // namespace standin
