// Loading a plug-in library on ELF systems, the way Windows loads a DLL:
// the entry point recorded in the file's header is the library entry, and
// the compiled resources travel in the file's ".rsrc" section.
#include "standin/plugin_loader.h"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "win32/standin_extensions.h"

namespace standin {

namespace {

struct ElfFacts {
    std::uint64_t entry = 0;
    std::vector<char> resources;
};

// Reads the entry address and the ".rsrc" section of a 64-bit ELF file.
bool ReadElfFacts(const std::string& path, ElfFacts& facts, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < sizeof(Elf64_Ehdr) || std::memcmp(bytes.data(), ELFMAG, SELFMAG) != 0 ||
        bytes[EI_CLASS] != ELFCLASS64) {
        error = path + ": not a 64-bit ELF shared library";
        return false;
    }
    Elf64_Ehdr header;
    std::memcpy(&header, bytes.data(), sizeof header);
    facts.entry = header.e_entry;
    const std::uint64_t tableEnd = header.e_shoff + std::uint64_t{header.e_shnum} * sizeof(Elf64_Shdr);
    if (header.e_shoff == 0 || tableEnd > bytes.size() || header.e_shstrndx >= header.e_shnum) {
        return true;  // no section table: no resources
    }
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    std::memcpy(sections.data(), bytes.data() + header.e_shoff, sections.size() * sizeof(Elf64_Shdr));
    const Elf64_Shdr& names = sections[header.e_shstrndx];
    for (const Elf64_Shdr& section : sections) {
        if (names.sh_offset + section.sh_name + sizeof ".rsrc" > bytes.size()) {
            continue;
        }
        if (std::strcmp(bytes.data() + names.sh_offset + section.sh_name, ".rsrc") != 0) {
            continue;
        }
        if (section.sh_offset + section.sh_size > bytes.size()) {
            error = path + ": its .rsrc section lies outside the file";
            return false;
        }
        const char* begin = bytes.data() + section.sh_offset;
        facts.resources.assign(begin, begin + section.sh_size);
    }
    return true;
}

}  // namespace

std::unique_ptr<PluginLibrary> PluginLibrary::Load(const std::string& path, std::string& error) {
    ElfFacts facts;
    {
        std::ifstream probe(path, std::ios::binary);
        if (!probe) {
            error = path + ": cannot be opened";
            return nullptr;
        }
    }
    if (!ReadElfFacts(path, facts, error)) {
        return nullptr;
    }
    if (facts.entry == 0) {
        error = path + ": has no library entry";
        return nullptr;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        error = path + ": cannot be loaded: " + dlerror();
        return nullptr;
    }
    std::unique_ptr<PluginLibrary> library(new PluginLibrary());
    library->path_ = path;
    library->handle_ = handle;

    if (!library->ResolveExports(dlsym, error)) {
        return nullptr;  // the destructor unloads it
    }

    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
        error = path + ": its load address is unknown";
        return nullptr;
    }
    library->entry_ = reinterpret_cast<BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID)>(map->l_addr + facts.entry);
    library->module_ = win32standin::LoadModuleFromResBytes(facts.resources.data(), facts.resources.size(), path);
    library->entry_(library->module_, DLL_PROCESS_ATTACH, nullptr);
    return library;
}

void PluginLibrary::NotifyThreadAttach() { entry_(module_, DLL_THREAD_ATTACH, nullptr); }

PluginLibrary::~PluginLibrary() {
    if (entry_ != nullptr) {
        entry_(module_, DLL_PROCESS_DETACH, nullptr);
    }
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

}  // namespace standin
