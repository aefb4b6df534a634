// Damaged copies of the built plug-ins, run by morvane-host: a crash, a
// hang or an end of the process at any call the host makes costs one line
// naming the library and the call, exit 1, nothing written, no process
// left behind, never a signal.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "damaged_library.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBuilt = fs::path(HOST_PROGRAM).parent_path();

struct Damage {
    const char* name;
    const char* library;  // the plug-in damaged
    std::function<void(damaged::Bytes&)> damage;
    const char* session;  // what the run does
    const char* call;     // what the line names
};

void PrintTo(const Damage& damage, std::ostream* out) { *out << damage.name; }

std::function<void(damaged::Bytes&)> At(const std::string& symbol, const std::string& code) {
    return [=](damaged::Bytes& bytes) { damaged::Patch(bytes, damaged::CodeOffset(bytes, symbol), code); };
}

const char kBeginEdit[] = "_ZN10PanelFrame15BeginEditParamsEP9InterfaceP13UtilityHandle";
const char kEndEdit[] = "_ZN10PanelFrame13EndEditParamsEP9InterfaceP13UtilityHandle";
const char kAlignSelected[] = "_ZN12PivotUtility13AlignSelectedEv";
const char kAcceptPick[] = "_ZN10pivot_tool10PickHelper10AcceptPickEP9InterfaceP8Viewport";
const char kAlign[] = "open Tarvel\nselect 5 6\npress Align\nclose\n";
const char kPick[] = "open Tarvel\nselect 7\npress Pick\nclick -0.5 -10 0\nclick -0.5 -10 2\nclose\n";
const char kBoth[] = "open Tarvel\nclose\nopen Velkora\nclose\n";
constexpr std::uint64_t kRelaSize = 8, kSoname = 14, kRelativeCount = 0x6ffffff9;

const Damage kDamages[] = {
    {"crash_in_begin_edit", "Tarvel", At(kBeginEdit, damaged::kCrash), kAlign, "in BeginEditParams"},
    {"hang_in_begin_edit", "Tarvel", At(kBeginEdit, damaged::kHang), kAlign, "BeginEditParams did not return"},
    {"crash_in_dialog_procedure", "Tarvel", At(kAlignSelected, damaged::kCrash), kAlign,
     "in the panel's dialog procedure (\"Align\" pressed)"},
    {"ends_the_process_in_begin_edit", "Tarvel", At(kBeginEdit, damaged::kExit3), kAlign,
     "ended its process in BeginEditParams (status 3)"},
    {"crash_in_end_edit", "Tarvel", At(kEndEdit, damaged::kCrash), kAlign, "in EndEditParams"},
    {"crash_in_pick", "Tarvel", At(kAcceptPick, damaged::kCrash), kPick, "in the pick mode (AcceptPick)"},
    {"crash_in_class_descriptor", "Tarvel", At("LibClassDesc", damaged::kCrash), kAlign, "class descriptor"},
    {"crash_in_entry", "Tarvel", At("", damaged::kCrash), kAlign, "in loading"},
    {"hang_in_entry", "Velkora", At("", damaged::kHang), kBoth, "loading (its static objects and library entry) did"},
    {"crash_in_unload", "Tarvel", At("_fini", damaged::kCrash), kAlign, "in unloading"},
    {"crash_in_exit", "Tarvel", [](damaged::Bytes& b) { damaged::SetDynamic(b, kRelaSize, 0); }, kAlign,
     "in the process's exit"},
    // The system's loader asserts, saying so on standard error itself.
    {"loader_asserts", "Tarvel", [](damaged::Bytes& b) { damaged::SetDynamic(b, kRelativeCount, 100000); }, kAlign,
     "ended its process in loading"},
    {"name_past_strings", "Tarvel", [](damaged::Bytes& b) { damaged::SetDynamic(b, kSoname, 999999); }, kBoth,
     "past its string table"},
    {"spoils_the_loader_for_the_next", "Velkora",
     [](damaged::Bytes& b) { b = damaged::ReadFile(SPOIL_LOADER_LIBRARY); },
     "open Velkora\nclose\nopen Tarvel\nclose\n", "Velkora.dlu: it made the plug-ins' process crash as"},
    {"closes_descriptors_and_waits", "Tarvel", [](damaged::Bytes& b) { b = damaged::ReadFile(CLOSE_AND_WAIT_LIBRARY); },
     kAlign, "did not return"},
};

struct Outcome {
    int status = -1;  // the exit status, or minus the signal
    std::string out;
    std::string err;
};

std::string Text(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// morvane-host's copy in `folder`, run there on the scene and `session`.
Outcome RunHost(const fs::path& folder) {
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0 || freopen("out.txt", "w", stdout) == nullptr ||
            freopen("err.txt", "w", stderr) == nullptr) {
            _exit(126);
        }
        setenv("MORVANE_CALL_LIMIT", "1", 1);
        execl("./morvane-host", "morvane-host", "workshop.json", "run.session", "-o", "written.json", nullptr);
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), Text(folder / "out.txt"),
            Text(folder / "err.txt")};
}

// Whether a process that a run left behind lives: this process adopts
// them (a subreaper); those killed are reaped, and a bound waits for them.
bool ProcessLeft() {
    for (int tries = 0; tries < 200; ++tries) {
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        if (waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD) {
            return false;
        }
        usleep(10000);
    }
    return true;
}

void Prepare(const fs::path& folder, const std::string& session) {
    for (const char* file : {"morvane-host", "Tarvel.dlu", "Velkora.dlu"}) {
        fs::copy_file(kBuilt / file, folder / file);
    }
    fs::copy_file(fs::path(EXAMPLES_DIR) / "workshop.json", folder / "workshop.json");
    std::ofstream(folder / "run.session") << session;
}

void ExpectRefused(const Outcome& outcome, const fs::path& folder, const std::string& library,
                   const std::string& call) {
    // A library refused before it runs cannot be loaded (4); one that ran
    // and failed is a plug-in's fault (1).
    EXPECT_EQ(outcome.status, call == "past its string table" ? 4 : 1) << outcome.err;
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
    EXPECT_NE(outcome.err.find(library + ".dlu: "), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find(call), std::string::npos) << outcome.err;
    EXPECT_FALSE(fs::exists(folder / "written.json"));
}

class SupervisedPlugin : public testing::TestWithParam<Damage> {
protected:
    void SetUp() override { prctl(PR_SET_CHILD_SUBREAPER, 1); }
};

TEST_P(SupervisedPlugin, CostsOneLine) {
    const Damage& damage = GetParam();
#if defined(__has_feature)
#  if __has_feature(address_sanitizer)
    // A sanitized library reads its relocated data from its first call on:
    // without relocations it crashes there, not in its exit handlers.
    if (std::string(damage.name) == "crash_in_exit") {
        GTEST_SKIP() << "the sanitized library crashes before its exit handlers";
    }
#  endif
#endif
    test_support::ScratchFolder folder("supervised");
    Prepare(folder.Path(), damage.session);
    const fs::path library = folder.Path() / (std::string(damage.library) + ".dlu");
    damaged::Bytes bytes = damaged::ReadFile(library);
    damage.damage(bytes);
    damaged::WriteFile(library, bytes);
    ExpectRefused(RunHost(folder.Path()), folder.Path(), damage.library, damage.call);
    EXPECT_FALSE(ProcessLeft());
}

INSTANTIATE_TEST_SUITE_P(Damages, SupervisedPlugin, testing::ValuesIn(kDamages),
                         [](const testing::TestParamInfo<Damage>& param) { return param.param.name; });

// A library renamed back and forth between a sound copy and a damaged one
// while runs load it: each run runs the one file it checked.
TEST(SupervisedPluginSwap, RunsTheFileItChecked) {
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    test_support::ScratchFolder folder("supervised");
    Prepare(folder.Path(), kAlign);
    const fs::path library = folder.Path() / "Tarvel.dlu";
    fs::copy_file(library, folder.Path() / "sound.dlu");
    damaged::Bytes bytes = damaged::ReadFile(library);
    damaged::Patch(bytes, damaged::CodeOffset(bytes, kBeginEdit), damaged::kCrash);
    damaged::WriteFile(folder.File("damaged.dlu"), bytes);
    std::atomic<bool> running{true};
    std::thread swapper([&] {
        for (bool sound = false; running; sound = !sound) {
            fs::copy_file(folder.Path() / (sound ? "sound.dlu" : "damaged.dlu"), folder.Path() / "next.dlu",
                          fs::copy_options::overwrite_existing);
            fs::rename(folder.Path() / "next.dlu", library);
        }
    });
    for (int run = 0; run < 20; ++run) {
        fs::remove(folder.Path() / "written.json");
        const Outcome outcome = RunHost(folder.Path());
        if (outcome.status != 0) {
            ExpectRefused(outcome, folder.Path(), "Tarvel", "in BeginEditParams");
        } else {
            EXPECT_TRUE(fs::exists(folder.Path() / "written.json"));
        }
    }
    running = false;
    swapper.join();
    EXPECT_FALSE(ProcessLeft());
}

}  // namespace
