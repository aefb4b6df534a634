// Damaged copies of the built plug-in DLLs, run by morvane-host.exe: a
// crash or a hang at any call the host makes costs one line naming the
// library and the call, exit 1, nothing written, no process left behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

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
    const char* line;     // what the line says; empty: the run succeeds
    DWORD status;
};

void PrintTo(const Damage& damage, std::ostream* out) { *out << damage.name; }

std::function<void(damaged::Bytes&)> At(const std::string& symbol, const std::string& code) {
    return [=](damaged::Bytes& bytes) { damaged::Patch(bytes, damaged::CodeOffset(bytes, symbol), code); };
}

using damaged::kAlignSelected;
using damaged::kBeginEdit;
const char kAlign[] = "open Tarvel\nselect 5 6\npress Align\nclose\n";
const char kVelkora[] = "open Velkora\nclose\n";

const Damage kDamages[] = {
    {"crash_in_begin_edit", "Tarvel", At(kBeginEdit, damaged::kCrash), kAlign,
     "Tarvel.dlu: the library crashed in BeginEditParams (illegal instruction", 1},
    {"hang_in_begin_edit", "Tarvel", At(kBeginEdit, damaged::kHang), kAlign,
     "Tarvel.dlu: BeginEditParams did not return within 5 s", 1},
    {"crash_in_dialog_procedure", "Tarvel", At(kAlignSelected, damaged::kCrash), kAlign,
     "crashed in the panel's dialog procedure (\"Align\" pressed)", 1},
    {"crash_in_class_descriptor", "Tarvel", At("LibClassDesc", damaged::kCrash), kAlign, "class descriptor", 1},
    // The system's loader stops what its library entry raises, and refuses it.
    {"crash_in_entry", "Tarvel", At("", damaged::kCrash), kAlign,
     "Tarvel.dlu: cannot be loaded: its library entry crashed (exception 0xC000001D)", 4},
    {"entry_loops", "Velkora", At("", damaged::kHang), "open Tarvel\nclose\nopen Velkora\nclose\n",
     "Velkora.dlu: loading (its static objects and library entry) did not return", 1},
    {"truncated", "Tarvel", [](damaged::Bytes& b) { b.resize(b.size() / 2); }, kAlign, "Tarvel.dlu: ", 4},
    // One library's fault is its own: the other's run goes on.
    {"other_library_crashes_in_entry", "Tarvel", At("", damaged::kCrash), kVelkora, "", 0},
    {"other_library_loops_in_class_descriptor", "Tarvel", At("LibClassDesc", damaged::kHang), kVelkora, "", 0},
};

struct Outcome {
    DWORD status = 0;
    std::string out;
    std::string err;
    DWORD left = 0;  // processes of the run alive after it ended
};

std::string Text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

HANDLE Inherited(const fs::path& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
}

// The processes alive in `job`, given a bound to end after its first one:
// the driver's own (10 s), as Wine on a busy machine may tell of a process
// that has ended for a while yet.
DWORD Left(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION counts{};
    for (int tries = 0; tries < 1000; ++tries) {
        QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &counts, sizeof counts, nullptr);
        if (counts.ActiveProcesses == 0) {
            return 0;
        }
        Sleep(10);
    }
    return counts.ActiveProcesses;
}

// morvane-host's copy in `folder`, run there on the scene and the session,
// in a job of the test's own that counts what the run left.
Outcome RunHost(const fs::path& folder) {
    // A first panel may take a second under Wine.
    SetEnvironmentVariableW(L"MORVANE_CALL_LIMIT", L"5");
    HANDLE out = Inherited(folder / "out.txt"), err = Inherited(folder / "err.txt");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring command = L"morvane-host.exe workshop.json run.session -o written.json";
    PROCESS_INFORMATION process{};
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    Outcome outcome;
    if (CreateProcessW((folder / "morvane-host.exe").wstring().c_str(), command.data(), nullptr, nullptr, TRUE,
                       CREATE_SUSPENDED, nullptr, folder.wstring().c_str(), &startup, &process)) {
        AssignProcessToJobObject(job, process.hProcess);
        ResumeThread(process.hThread);
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &outcome.status);
        outcome.left = Left(job);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        ADD_FAILURE() << "morvane-host.exe not started: " << GetLastError();
    }
    TerminateJobObject(job, 1);
    for (HANDLE handle : {job, out, err}) {
        CloseHandle(handle);
    }
    outcome.out = Text(folder / "out.txt");
    outcome.err = Text(folder / "err.txt");
    return outcome;
}

void Prepare(const fs::path& folder, const std::string& session) {
    for (const fs::directory_entry& built : fs::directory_iterator(kBuilt)) {
        const std::string extension = built.path().extension().string();
        if (extension == ".dll" || extension == ".dlu" || built.path().filename() == "morvane-host.exe") {
            fs::copy_file(built.path(), folder / built.path().filename());
        }
    }
    fs::copy_file(fs::path(EXAMPLES_DIR) / "workshop.json", folder / "workshop.json");
    std::ofstream(folder / "run.session") << session;
}

class SupervisedPlugin : public testing::TestWithParam<Damage> {};

TEST_P(SupervisedPlugin, CostsOneLine) {
    const Damage& damage = GetParam();
    test_support::ScratchFolder folder("supervised");
    Prepare(folder.Path(), damage.session);
    const fs::path library = folder.Path() / (std::string(damage.library) + ".dlu");
    damaged::Bytes bytes = damaged::ReadFile(library.string());
    damage.damage(bytes);
    damaged::WriteFile(library.string(), bytes);
    const Outcome outcome = RunHost(folder.Path());
    EXPECT_EQ(outcome.status, damage.status) << outcome.err;
    EXPECT_EQ(outcome.left, 0u);
    if (damage.status == 0) {
        EXPECT_EQ(outcome.err, "") << outcome.err;
        EXPECT_TRUE(fs::exists(folder.Path() / "written.json"));
        return;
    }
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
    EXPECT_NE(outcome.err.find(damage.line), std::string::npos) << outcome.err;
    EXPECT_FALSE(fs::exists(folder.Path() / "written.json"));
}

INSTANTIATE_TEST_SUITE_P(Damages, SupervisedPlugin, testing::ValuesIn(kDamages),
                         [](const testing::TestParamInfo<Damage>& param) { return param.param.name; });

}  // namespace
