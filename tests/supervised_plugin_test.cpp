// Damaged copies of the built plug-ins, run by morvane-host: a crash, a
// hang or an end of the process at any call the host makes costs one line
// naming the library and the call, exit 1, nothing written, no process
// left behind, never a signal.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "damaged_library.h"
#include "sanitized_build.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBuilt = fs::path(HOST_PROGRAM).parent_path();

struct Damage {
    const char* name;
    const char* library;  // the plug-in damaged
    std::function<void(damaged::Bytes&)> damage;
    const char* session;  // what the run does
    const char* call;     // what the line names; empty: the run succeeds
};

void PrintTo(const Damage& damage, std::ostream* out) { *out << damage.name; }

std::function<void(damaged::Bytes&)> At(const std::string& symbol, const std::string& code) {
    return [=](damaged::Bytes& bytes) { damaged::Patch(bytes, damaged::CodeOffset(bytes, symbol), code); };
}

using damaged::kAcceptPick;
using damaged::kAlignSelected;
using damaged::kBeginEdit;
using damaged::kEndEdit;
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
    // The last call, once the files of -o and "save" are staged beside their targets.
    {"crash_in_exit_after_saving", "Tarvel", [](damaged::Bytes& b) { damaged::SetDynamic(b, kRelaSize, 0); },
     "open Tarvel\nselect 5 6\npress Align\nsave kept.json\nclose\n", "in the process's exit"},
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
    // A process that the plug-in starts, which leaves its group and session
    // or keeps fleeing into new ones, is ended with the run, however it ends.
    {"left_its_group_at_crash", "Tarvel", At(kBeginEdit, damaged::LeavingGroup(false) + damaged::kCrash), kAlign,
     "in BeginEditParams"},
    {"left_its_group_at_hang", "Tarvel", At(kBeginEdit, damaged::LeavingGroup(false) + damaged::kHang), kAlign,
     "BeginEditParams did not return"},
    {"left_its_group_at_clean_end", "Tarvel", At("_fini", damaged::LeavingGroup(false) + "\xc3"), kAlign, ""},
    {"flees_at_crash", "Tarvel", At(kBeginEdit, damaged::LeavingGroup(true) + damaged::kCrash), kAlign,
     "in BeginEditParams"},
    {"flees_at_hang", "Tarvel", At(kBeginEdit, damaged::LeavingGroup(true) + damaged::kHang), kAlign,
     "BeginEditParams did not return"},
    {"flees_at_clean_end", "Tarvel", At("_fini", damaged::LeavingGroup(true) + "\xc3"), kAlign, ""},
    // One library's fault is its own: the other's run goes on.
    {"other_library_crashes_in_entry", "Tarvel", At("", damaged::kCrash), "open Velkora\nclose\n", ""},
    {"other_library_names_past_strings", "Tarvel", [](damaged::Bytes& b) { damaged::SetDynamic(b, kSoname, 999999); },
     "open Velkora\nclose\n", ""},
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

// A terminal's end (a pseudo-terminal's) as standard input.
bool TerminalInput() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    const int terminal =
        master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0 ? open(ptsname(master), O_RDWR | O_NOCTTY) : -1;
    return terminal >= 0 && dup2(terminal, 0) == 0;
}

// morvane-host's copy in `folder`, started there on the scene and
// `session`, with a call limit of `limit` seconds, its standard input
// empty or a terminal.
pid_t StartHost(const fs::path& folder, const char* limit = "1", bool terminal = false) {
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0 || !(terminal ? TerminalInput() : freopen("/dev/null", "r", stdin) != nullptr) ||
            freopen("out.txt", "w", stdout) == nullptr || freopen("err.txt", "w", stderr) == nullptr) {
            _exit(126);
        }
        // A shell's background job inherits interrupts ignored, and a
        // program keeps them so; the driver's own handling is under test.
        for (const int signal : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) {
            std::signal(signal, SIG_DFL);
        }
        setenv("MORVANE_CALL_LIMIT", limit, 1);
        execl("./morvane-host", "morvane-host", "workshop.json", "run.session", "-o", "written.json", nullptr);
        _exit(127);
    }
    return child;
}

Outcome WaitHost(pid_t child, const fs::path& folder) {
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), Text(folder / "out.txt"),
            Text(folder / "err.txt")};
}

Outcome RunHost(const fs::path& folder) { return WaitHost(StartHost(folder), folder); }

// The children of `process` (their numbers): each process whose parent
// /proc tells is it (not every kernel keeps a list of a task's children).
std::vector<pid_t> Children(pid_t process) {
    std::vector<pid_t> children;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        const std::string status =
            name.find_first_not_of("0123456789") == std::string::npos ? Text(entry.path() / "stat") : std::string();
        const std::size_t named = status.rfind(") ");
        if (named != std::string::npos && std::atol(status.c_str() + named + 4) == process) {
            children.push_back(static_cast<pid_t>(std::stol(name)));
        }
    }
    return children;
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
    for (const pid_t left : Children(getpid())) {
        kill(left, SIGKILL);  // not to outlive the test
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
    if (call.empty()) {
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.err, "");
        EXPECT_TRUE(fs::exists(folder / "written.json"));
        return;
    }
    // A library refused before it runs cannot be loaded (4); one that ran
    // and failed is a plug-in's fault (1).
    EXPECT_EQ(outcome.status, call == "past its string table" ? 4 : 1) << outcome.err;
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
    EXPECT_NE(outcome.err.find(library + ".dlu: "), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find(call), std::string::npos) << outcome.err;
    EXPECT_FALSE(fs::exists(folder / "written.json"));
    EXPECT_FALSE(fs::exists(folder / "kept.json"));
    for (const auto& entry : fs::directory_iterator(folder)) {
        EXPECT_NE(entry.path().filename().string().rfind(".~", 0), 0u) << "left behind: " << entry.path();
    }
}

class SupervisedPlugin : public testing::TestWithParam<Damage> {
protected:
    void SetUp() override { prctl(PR_SET_CHILD_SUBREAPER, 1); }
};

TEST_P(SupervisedPlugin, CostsOneLine) {
    const Damage& damage = GetParam();
    // A sanitized library reads its relocated data from its first call on:
    // without relocations it crashes there, not in its exit handlers.
    if (test_support::kSanitizedBuild && std::string(damage.name).rfind("crash_in_exit", 0) == 0) {
        GTEST_SKIP() << "the sanitized library crashes before its exit handlers";
    }
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

// The processes below `process`, as the system lists them, each with its
// depth (1 for a child).
std::vector<std::pair<pid_t, int>> Descendants(pid_t process) {
    std::vector<std::pair<pid_t, int>> found;
    for (const pid_t child : Children(process)) {
        found.emplace_back(child, 1);
    }
    for (std::size_t at = 0; at < found.size(); ++at) {
        for (const pid_t below : Children(found[at].first)) {
            found.emplace_back(below, found[at].second + 1);
        }
    }
    return found;
}

// Whether a process that the plug-ins' process started runs. Below the
// driver stand the stage and, below it, the plug-ins' process: another
// process is one that it started, or one that the stage took in.
bool StartedByAPlugin(pid_t host) {
    int staged = 0;
    for (const auto& [process, depth] : Descendants(host)) {
        staged += depth == 2 ? 1 : 0;
        if (depth > 2 || staged > 1) {
            return true;
        }
    }
    return false;
}

// The processes below `host`, each with its group, session and state.
std::string Tree(pid_t host) {
    std::string tree;
    for (const auto& [process, depth] : Descendants(host)) {
        tree += std::string(2 * static_cast<std::size_t>(depth), ' ') + std::to_string(process) + " group " +
                std::to_string(getpgid(process)) + " session " + std::to_string(getsid(process)) + ": " +
                Text("/proc/" + std::to_string(process) + "/stat") + "\n";
    }
    return tree;
}

struct Interruption {
    const char* name;
    int signal;
    std::function<void(damaged::Bytes&)> damage;  // of Tarvel
};

void PrintTo(const Interruption& interruption, std::ostream* out) { *out << interruption.name; }

const auto kCloseAndWait = [](damaged::Bytes& b) { b = damaged::ReadFile(CLOSE_AND_WAIT_LIBRARY); };

const Interruption kInterruptions[] = {
    {"sigint", SIGINT, kCloseAndWait},
    {"sigterm", SIGTERM, kCloseAndWait},
    {"sighup", SIGHUP, kCloseAndWait},
    {"sigquit", SIGQUIT, kCloseAndWait},
    {"sigterm_past_one_that_left_its_group", SIGTERM, At(kBeginEdit, damaged::LeavingGroup(false) + damaged::kHang)},
    {"sigterm_past_one_that_flees", SIGTERM, At(kBeginEdit, damaged::LeavingGroup(true) + damaged::kHang)},
    // One that the driver cannot handle, which ends it at once.
    {"sigkill_past_one_that_left_its_group", SIGKILL, At(kBeginEdit, damaged::LeavingGroup(false) + damaged::kHang)},
};

// A signal that ends the driver while a plug-in waits, with a process it
// started, ends them both.
class SupervisedPluginSignal : public testing::TestWithParam<Interruption> {};

TEST_P(SupervisedPluginSignal, EndsAllThePluginsStarted) {
    const Interruption& interruption = GetParam();
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    test_support::ScratchFolder folder("supervised");
    Prepare(folder.Path(), kAlign);
    const fs::path library = folder.Path() / "Tarvel.dlu";
    damaged::Bytes bytes = damaged::ReadFile(library);
    interruption.damage(bytes);
    damaged::WriteFile(library, bytes);
    const pid_t host = StartHost(folder.Path(), "3600");
    bool started = false;
    for (int tries = 0; tries < 1000 && !started; ++tries) {
        started = StartedByAPlugin(host);
        usleep(10000);
    }
    if (!started) {
        const std::string seen = Tree(host);
        kill(host, SIGKILL);
        ProcessLeft();
        FAIL() << "no process that a plug-in started was seen below the driver; there ran:\n" << seen;
    }
    kill(host, interruption.signal);
    const int signal = interruption.signal;
    EXPECT_EQ(WaitHost(host, folder.Path()).status, signal == SIGKILL ? -SIGKILL : 128 + signal);
    EXPECT_FALSE(ProcessLeft());
}

INSTANTIATE_TEST_SUITE_P(Signals, SupervisedPluginSignal, testing::ValuesIn(kInterruptions),
                         [](const testing::TestParamInfo<Interruption>& param) { return param.param.name; });

// On a terminal, which the plug-ins' process may read, it stays in the
// terminal's group; what its library started is ended all the same.
TEST(SupervisedPluginOnATerminal, EndsAllThePluginsStarted) {
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    test_support::ScratchFolder folder("supervised");
    Prepare(folder.Path(), kAlign);
    fs::copy_file(CLOSE_AND_WAIT_LIBRARY, folder.Path() / "Tarvel.dlu", fs::copy_options::overwrite_existing);
    const fs::path& path = folder.Path();
    ExpectRefused(WaitHost(StartHost(path, "1", true), path), path, "Tarvel", "did not return");
    EXPECT_FALSE(ProcessLeft());
}

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
