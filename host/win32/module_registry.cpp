#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>

#include "win32/standin_extensions.h"
#include "win32/standin_objects.h"
#include "win32/string_table.h"
#include "win32/text_encoding.h"

namespace win32standin {

namespace {

std::vector<std::unique_ptr<StandinModule>>& Modules() {
    static std::vector<std::unique_ptr<StandinModule>> modules;
    return modules;
}

// FNV-1a: equal bytes give equal hashes.
std::uint64_t HashOf(const std::uint8_t* bytes, std::size_t size) {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    }
    return hash;
}

}  // namespace

namespace detail {

StandinModule* LiveModule(HINSTANCE module, const char* caller) {
    for (const auto& known : Modules()) {
        if (known.get() == module) {
            return module;
        }
    }
    ReportViolation(std::string(caller) + (module == nullptr ? ": null module handle" : ": not a module handle"));
    return nullptr;
}

}  // namespace detail

HINSTANCE LoadModuleFromResBytes(const void* data, std::size_t size, const std::string& label) {
    // The same bytes loaded again (a library that every host loads anew)
    // are the module loaded before.
    const std::uint64_t hash = data != nullptr ? HashOf(static_cast<const std::uint8_t*>(data), size) : 0;
    for (const auto& known : Modules()) {
        if (data != nullptr && known->origin == label && known->size == size && known->hash == hash) {
            ++known->loads;
            return known.get();
        }
    }
    auto module = std::make_unique<StandinModule>();
    module->origin = label;
    module->size = size;
    module->hash = hash;
    std::string error;
    if (data == nullptr || !ParseResFile(static_cast<const std::uint8_t*>(data), size, module->resources, error)) {
        detail::ReportViolation("LoadModuleFromResBytes(" + label + "): " + (data == nullptr ? "no data" : error));
        return nullptr;
    }
    Modules().push_back(std::move(module));
    return Modules().back().get();
}

void UnloadModule(HINSTANCE module) {
    auto& modules = Modules();
    for (auto known = modules.begin(); known != modules.end(); ++known) {
        if (known->get() == module) {
            if (--(*known)->loads == 0) {
                modules.erase(known);
            }
            return;
        }
    }
}

std::string ResourceBytesProblem(const void* data, std::size_t size) {
    std::vector<ResourceEntry> entries;
    std::string error;
    if (data == nullptr) {
        return "no data";
    }
    return ParseResFile(static_cast<const std::uint8_t*>(data), size, entries, error) ? "" : error;
}

HINSTANCE LoadModuleFromResFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        detail::ReportViolation("LoadModuleFromResFile: cannot open " + path);
        return nullptr;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return LoadModuleFromResBytes(bytes.data(), bytes.size(), path);
}

const std::vector<ResourceEntry>* ModuleResources(HINSTANCE module) {
    for (const auto& known : Modules()) {
        if (known.get() == module) {
            return &module->resources;
        }
    }
    return nullptr;
}

}  // namespace win32standin

extern "C" int LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int capacity) {
    using namespace win32standin;
    return detail::Guarded("LoadStringA", 0, [&]() -> int {
        if (buffer == nullptr || capacity <= 0) {
            detail::ReportViolation("LoadStringA: no buffer to copy string " + std::to_string(id) + " into");
            return 0;
        }
        if (module == nullptr) {
            return 0;  // the process itself has no string resources
        }
        const StandinModule* known = detail::LiveModule(module, "LoadStringA");
        if (known == nullptr) {
            return 0;
        }
        std::u16string text;
        if (!FindString(known->resources, id, text)) {
            return 0;
        }
        const std::string ansi = ToAnsi(text);
        const std::size_t count = std::min(ansi.size(), static_cast<std::size_t>(capacity - 1));
        ansi.copy(buffer, count);
        buffer[count] = '\0';
        return static_cast<int>(count);
    });
}
