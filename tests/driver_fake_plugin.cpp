// A library with the four plug-in exports whose answers are wrong in one
// way each, chosen when it is built, so that morvane-host's checks of a
// tool library can be seen to refuse it:
//   FAKE_VERSION      LibVersion() answers it instead of the host's version
//   FAKE_NO_CLASSES   LibNumberClasses() is 0 and LibClassDesc(0) is null
//   FAKE_SUPER_CLASS  the descriptor's super-class
//   FAKE_OTHER_CATEGORY  the descriptor's category is another one
//   FAKE_NO_CLASS_ID  the descriptor's class identifier is (0, 0)
//   FAKE_NO_EXPORTS   LibDescription is the only export
//   FAKE_SILENT       loading it ends the process quietly, with status 0
//   FAKE_HANG         loading it never ends
// Its library entry does nothing; the descriptor creates nothing.
#include "class_desc.h"
#include "win32/win_api.h"

#if defined(FAKE_SILENT) || defined(FAKE_HANG)
#  include <unistd.h>
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

class FakeClassDesc final : public ClassDesc {
public:
    int IsPublic() override { return 1; }
    void* Create(int) override { return nullptr; }
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

#if defined(FAKE_SILENT) || defined(FAKE_HANG)
[[maybe_unused]] const int g_loaded = [] {
#  ifdef FAKE_SILENT
    _exit(0);
#  else
    for (;;) {
        pause();
    }
#  endif
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

BOOL WINAPI FakeEntry(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // extern "C"
