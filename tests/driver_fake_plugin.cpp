// A library with the four plug-in exports whose answers are wrong in one
// way each, chosen when it is built, so that morvane-host's checks of a
// tool library can be seen to refuse it:
//   FAKE_VERSION      LibVersion() answers it instead of the host's version
//   FAKE_NO_CLASSES   LibNumberClasses() is 0 and LibClassDesc(0) is null
//   FAKE_SUPER_CLASS  the descriptor's super-class
//   FAKE_OTHER_CATEGORY  the descriptor's category is another one
//   FAKE_NO_CLASS_ID  the descriptor's class identifier is (0, 0)
//   FAKE_NO_EXPORTS   LibDescription is the only export
//   FAKE_CLOSE_AND_WAIT  its library entry starts a process that waits
//                     for ever, closes descriptors 3 to 1023 and then
//                     waits for ever too
//   FAKE_CLOSE_ALONE  its library entry closes descriptors 3 to 1023 and
//                     waits for ever, starting nothing
//   FAKE_SILENT       loading it ends the process quietly, with status 0
//   FAKE_SPOIL_LOADER  a tool without a panel whose library entry points
//                     its own name (DT_SONAME) far past its string table,
//                     which the system's loader reads at every later load
// Its library entry does nothing else; the descriptor creates nothing.
#include "class_desc.h"
#include "win32/win_api.h"

#if defined(FAKE_CLOSE_AND_WAIT) || defined(FAKE_CLOSE_ALONE) || defined(FAKE_SILENT)
#  include <unistd.h>
#endif
#ifdef FAKE_SPOIL_LOADER
#  include <cstdint>

#  include <link.h>
#  include <sys/mman.h>
#  include <unistd.h>

#  include "utility_plugin.h"
#endif

#ifndef FAKE_VERSION
#  define FAKE_VERSION 0x1B580D00
#endif
#ifndef FAKE_SUPER_CLASS
#  define FAKE_SUPER_CLASS 0x1020
#endif
#ifdef FAKE_OTHER_CATEGORY
#  define FAKE_CATEGORY "Other Programs"
#else
#  define FAKE_CATEGORY "Programs for Morvane"
#endif

namespace {

#ifdef FAKE_SPOIL_LOADER
class Panelless final : public UtilityPlugin {
public:
    void BeginEditParams(Interface*, UtilityHandle*) override {}
    void EndEditParams(Interface*, UtilityHandle*) override {}
    void DeleteSelf() override {}
};
Panelless g_utility;

void SpoilOwnName() {
    for (ElfW(Dyn)* entry = _DYNAMIC; entry->d_tag != DT_NULL; ++entry) {
        if (entry->d_tag == DT_SONAME) {
            const long page = sysconf(_SC_PAGESIZE);
            auto* start = reinterpret_cast<char*>(reinterpret_cast<std::uintptr_t>(entry) & ~(page - 1));
            mprotect(start, static_cast<std::size_t>(page), PROT_READ | PROT_WRITE);
            entry->d_un.d_val = 0x7fffffff0000;
        }
    }
}
#endif

class FakeClassDesc final : public ClassDesc {
public:
    int IsPublic() override { return 1; }
#ifdef FAKE_SPOIL_LOADER
    void* Create(int) override { return &g_utility; }
#else
    void* Create(int) override { return nullptr; }
#endif
    const char* ClassName() override { return "Fake"; }
    SClass_ID SuperClassID() override { return FAKE_SUPER_CLASS; }
#ifdef FAKE_NO_CLASS_ID
    Class_ID ClassID() override { return Class_ID(0, 0); }
#else
    Class_ID ClassID() override { return Class_ID(0x1234, 0x5678); }
#endif
    const char* Category() override { return FAKE_CATEGORY; }
};

[[maybe_unused]] FakeClassDesc g_classDesc;

#ifdef FAKE_SILENT
[[maybe_unused]] const int g_loaded = [] {
    _exit(0);
    return 0;
}();
#endif

}  // namespace

extern "C" {

__attribute__((visibility("default"))) const char* LibDescription() { return "fake"; }
#ifndef FAKE_NO_EXPORTS
#  ifdef FAKE_NO_CLASSES
__attribute__((visibility("default"))) int LibNumberClasses() { return 0; }
__attribute__((visibility("default"))) ClassDesc* LibClassDesc(int) { return nullptr; }
#  else
__attribute__((visibility("default"))) int LibNumberClasses() { return 1; }
__attribute__((visibility("default"))) ClassDesc* LibClassDesc(int i) { return i == 0 ? &g_classDesc : nullptr; }
#  endif
__attribute__((visibility("default"))) unsigned long LibVersion() { return FAKE_VERSION; }
#endif

BOOL WINAPI FakeEntry(HINSTANCE, DWORD, LPVOID) {
#if defined(FAKE_CLOSE_AND_WAIT) || defined(FAKE_CLOSE_ALONE)
#  ifdef FAKE_CLOSE_AND_WAIT
    if (fork() == 0) {
        for (;;) {
            pause();
        }
    }
#  endif
    for (int descriptor = 3; descriptor < 1024; ++descriptor) {
        close(descriptor);
    }
    for (;;) {
        pause();
    }
#endif
#ifdef FAKE_SPOIL_LOADER
    SpoilOwnName();
#endif
    return TRUE;
}

}  // extern "C"
