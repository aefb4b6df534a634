// Damaged copies of the built plug-ins in the viewer: a crash, a hang or an
// end of the process in a gesture refuses that gesture in one line naming
// the library and the call, and the session goes on as it stood. Undo, redo
// and a refused gesture replay into the libraries loaded when the tool was
// opened, whatever becomes of their files after.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "damaged_library.h"
#include "hosting/plugin_directory.h"
#include "hosting/plugin_trial.h"
#include "scratch_folder.h"
#include "served_view.h"
#include "view/view_session.h"

namespace {

namespace fs = std::filesystem;

using damaged::kAcceptPick;
using damaged::kAlignSelected;
using damaged::kBeginEdit;
using damaged::kEndEdit;

std::string Why(const driver::ViewState& state) { return state.refusal ? state.refusal->message : ""; }

// The room, and a folder of plug-ins of its own beside it.
struct DamagedRoom {
    test_support::ScratchFolder scratch{"morvane-view-fault"};
    fs::path path = scratch.Path();
    DamagedRoom() {
        fs::create_directories(path / "keep");
        fs::create_directories(path / "plugins");
        const fs::path room(MORVANE_ROOM_GLTF);
        fs::copy_file(room, path / "room.gltf");
        fs::copy_file(room.parent_path() / "room.bin", path / "room.bin");
        for (const char* plugin : {"Tarvel.dlu", "Velkora.dlu"}) {
            fs::copy_file(fs::path(driver::PluginDirectory()) / plugin, path / "plugins" / plugin);
        }
        setenv("MORVANE_CALL_LIMIT", "1", 1);
    }
    // The plug-in's file, damaged at `symbol` (its entry when empty) by `code`.
    void Damage(const std::string& symbol, const std::string& code, const std::string& plugin = "Tarvel") const {
        const fs::path file = path / "plugins" / (plugin + ".dlu");
        damaged::Bytes bytes = damaged::ReadFile(file.string());
        damaged::Patch(bytes, damaged::CodeOffset(bytes, symbol), code);
        // A new file, as an update would bring it: a loaded library's pages stay its own.
        damaged::WriteFile((path / "plugins" / "next.dlu").string(), bytes);
        fs::rename(path / "plugins" / "next.dlu", file);
    }
    std::unique_ptr<driver::ViewSession> Session() const {
        return std::make_unique<driver::ViewSession>((path / "room.gltf").string(), (path / "plugins").string(), "",
                                                     driver::ViewFolders({path.string()}), (path / "keep").string());
    }
};

struct Fault {
    const char* name;
    const char* symbol;
    const std::string& code;
    std::vector<const char*> standing;  // gestures before the one that meets the fault
    const char* gesture;
    const char* call;  // what the refusal names
};

void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

const char kOpen[] = "open Tarvel";

// A process that the plug-in starts, which leaves its group and session.
const std::string kLeftItsGroupThenHang = damaged::LeavingGroup(false) + damaged::kHang;

const Fault kFaults[] = {
    {"crash_in_entry", "", damaged::kCrash, {}, kOpen, "in loading"},
    {"crash_in_class_descriptor", "LibClassDesc", damaged::kCrash, {}, kOpen, "class descriptor"},
    {"crash_in_begin_edit", kBeginEdit, damaged::kCrash, {}, kOpen, "crashed in BeginEditParams (SIGILL)"},
    {"hang_in_begin_edit", kBeginEdit, damaged::kHang, {}, kOpen, "BeginEditParams did not return within 1 s"},
    {"ends_the_process_in_begin_edit",
     kBeginEdit,
     damaged::kExit3,
     {},
     kOpen,
     "ended its process in BeginEditParams (status 3)"},
    {"crash_in_dialog_procedure",
     kAlignSelected,
     damaged::kCrash,
     {kOpen, "select 5 6"},
     "press Align",
     "in the panel's dialog procedure (\"Align\" pressed)"},
    {"crash_in_pick",
     kAcceptPick,
     damaged::kCrash,
     {kOpen, "select 7\npress Pick"},
     "click -0.5 -10 0",
     "in the pick mode (AcceptPick)"},
    // Opening a tool learns its panel, which closes it once.
    {"crash_in_end_edit", kEndEdit, damaged::kCrash, {}, kOpen, "in EndEditParams"},
    {"left_its_group_at_hang_in_begin_edit",
     kBeginEdit,
     kLeftItsGroupThenHang,
     {},
     kOpen,
     "BeginEditParams did not return within 1 s"},
};

// The processes that came to this process, a subreaper, ended.
void EndAdopted() {
    std::ifstream list("/proc/self/task/" + std::to_string(getpid()) + "/children");
    for (pid_t adopted = 0; list >> adopted;) {
        kill(adopted, SIGKILL);
        waitpid(adopted, nullptr, 0);
    }
}

class ViewFault : public testing::TestWithParam<Fault> {};

TEST_P(ViewFault, RefusesTheGestureAndTheSessionGoesOn) {
    const Fault& fault = GetParam();
    prctl(PR_SET_CHILD_SUBREAPER, 1);  // what a tried copy leaves comes here
    const DamagedRoom room;
    room.Damage(fault.symbol, fault.code);
    const auto session = room.Session();
    for (const char* gesture : fault.standing) {
        ASSERT_EQ(Why(session->Apply(gesture)), "") << gesture;
    }
    const std::string text = session->SessionText(), scene = session->SceneBytes();
    const std::string origin = "viewer:" + std::to_string(std::count(text.begin(), text.end(), '\n') + 1) + ": ";
    for (int attempt = 0; attempt < 2; ++attempt) {
        const driver::ViewState state = session->Apply(fault.gesture);
        ASSERT_TRUE(state.refusal) << "the fault went unseen";
        EXPECT_EQ(state.refusal->code, driver::RefusalCode::PluginFault);
        const std::string& line = state.refusal->message;
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        EXPECT_EQ(line.rfind(origin, 0), 0u) << line;
        EXPECT_NE(line.find("Tarvel.dlu: "), std::string::npos) << line;
        EXPECT_NE(line.find(fault.call), std::string::npos) << line;
        EXPECT_EQ(state.undoable, fault.standing.size());
        EXPECT_EQ(session->SessionText(), text);
        EXPECT_EQ(session->SceneBytes(), scene);
    }
    // Nothing of the tried copy is left behind.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EndAdopted();
    // The intact tool still runs in the same session.
    if (fault.standing.empty()) {
        const driver::ViewState state = session->Apply("open Velkora\nselect 2");
        EXPECT_EQ(Why(state), "");
        EXPECT_EQ(state.selection, std::vector<std::size_t>{2});
    } else {
        EXPECT_EQ(Why(session->Apply("select 2")), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Damages, ViewFault, testing::ValuesIn(kFaults),
                         [](const testing::TestParamInfo<Fault>& param) { return param.param.name; });

// What a trial takes for a fault: the copy's crash or end, never what the
// work throws (this process meets that as it runs it); and the copy holds
// none of the viewer's sockets, which would keep a connection that the
// server ends open as long as the copy lives.
TEST(PluginTrial, FaultsAreTheCopysEndsAndItHoldsNoSocket) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const int file = open(MORVANE_ROOM_GLTF, O_RDONLY | O_CLOEXEC);
    const auto isOpen = [](int descriptor) { return fcntl(descriptor, F_GETFD) != -1; };
    const struct {
        const char* what;
        std::function<void()> work;
        bool fault;
    } cases[] = {
        {"nothing", [] {}, false},
        {"a throw", [] { throw std::runtime_error("refused"); }, false},
        {"an abort", [] { std::abort(); }, true},
        {"an end of its own", [] { _exit(4); }, true},
        {"the work finds a socket", [&] { isOpen(pair[0]) || isOpen(pair[1]) ? std::abort() : void(); }, false},
        {"the work finds no file", [&] { isOpen(file) ? void() : std::abort(); }, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(driver::PluginTrialFault(c.work).has_value(), c.fault) << c.what;
    }
    EXPECT_TRUE(isOpen(pair[0]) && isOpen(pair[1]) && isOpen(file)) << "this process keeps its own";
    close(pair[0]);
    close(pair[1]);
    close(file);
}

// Through the server: the fault is the answer to the gesture, and the
// server goes on answering, the intact tool's gestures too.
TEST(ViewFaultServer, AFaultIsAnAnswerAndTheServerGoesOn) {
    const DamagedRoom room;
    room.Damage(kBeginEdit, damaged::kCrash);
    const auto session = room.Session();
    driver::ViewServer server(*session, driver::ViewerPageDirectory(driver::PluginDirectory()));
    ASSERT_FALSE(server.Bind(0));
    const std::string address = server.Address();
    const int port = std::stoi(address.substr(address.rfind(':') + 1));
    const std::string bearer = "Authorization: Bearer " + address.substr(address.find("token=") + 6) + "\r\n";
    std::future<void> serving = std::async(std::launch::async, [&server] { server.Serve(); });
    const auto post = [&](const std::string& body) {
        return test_support::Body(
            test_support::Exchange(port, "POST /api/actions HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                             "\r\nConnection: close\r\n" + bearer +
                                             "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body));
    };
    const nlohmann::json refused = post("open Tarvel");
    EXPECT_EQ(refused["refusal"]["code"], "plugin-fault") << refused.dump();
    EXPECT_NE(refused["refusal"]["message"].get<std::string>().find("in BeginEditParams"), std::string::npos);
    const nlohmann::json opened = post("open Velkora\nselect 2");
    EXPECT_FALSE(opened["refused"].get<bool>()) << opened.dump();
    EXPECT_EQ(opened["undoable"], 1);
    server.Stop();
    serving.wait();
}

// A library is loaded once for the session: once Tarvel is open, its file
// replaced by one that crashes as it loads never runs, through undo, redo
// and a refused gesture alike.
TEST(ViewLibraries, UndoAndRedoReplayIntoTheLibrariesLoaded) {
    const DamagedRoom room;
    const auto session = room.Session();
    ASSERT_EQ(Why(session->Apply("open Tarvel\nselect 5 6")), "");
    ASSERT_EQ(Why(session->Apply("press Align")), "");
    const std::string aligned = session->SceneBytes();
    room.Damage("", damaged::kCrash);
    for (int cycle = 0; cycle < 3; ++cycle) {
        ASSERT_EQ(Why(session->Undo()), "");
        ASSERT_EQ(Why(session->Undo()), "");
        ASSERT_EQ(session->Redo().undoable, 1u);
        ASSERT_EQ(Why(session->Redo()), "");
        EXPECT_EQ(session->SceneBytes(), aligned);
        const driver::ViewState refused = session->Apply("select 99");
        ASSERT_TRUE(refused.refusal);
        EXPECT_NE(refused.refusal->code, driver::RefusalCode::PluginFault) << Why(refused);
        EXPECT_EQ(session->SceneBytes(), aligned);
    }
}

// A names file that a gesture loads is copied as it is read; a gesture
// refused by a fault keeps no copy, which a later load would take for its own.
TEST(ViewLibraries, AFaultInALoadKeepsNoCopy) {
    const DamagedRoom room;
    room.Damage("_ZN12NamesUtility9LoadNamesERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE", damaged::kCrash,
                "Velkora");
    const auto session = room.Session();
    ASSERT_EQ(Why(session->Apply("open Velkora")), "");
    const std::string names = (room.path / "names.txt").string();
    ASSERT_EQ(Why(session->Apply("answer " + names + "\npress Save Names To File")), "");
    const driver::ViewState state = session->Apply("answer " + names + "\npress Load Names Form File");
    ASSERT_TRUE(state.refusal);
    EXPECT_EQ(state.refusal->code, driver::RefusalCode::PluginFault) << Why(state);
    EXPECT_TRUE(fs::is_empty(room.path / "keep"));
}

// The names file that a save chooses is written by the gesture that
// stands, not by its trial too, which writes a file of the viewer's own
// and leaves none behind.
TEST(ViewLibraries, ASaveWritesTheFileChosenOnce) {
    const DamagedRoom room;
    const auto session = room.Session();
    ASSERT_EQ(Why(session->Apply("open Velkora")), "");
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    // Opens too: two writes in a row would read as one.
    inotify_add_watch(watch, room.path.c_str(), IN_OPEN | IN_CLOSE_WRITE);
    const std::string names = (room.path / "names.txt").string();
    ASSERT_EQ(Why(session->Apply("answer " + names + "\npress Save Names To File")), "");
    char events[8192];
    const ssize_t got = read(watch, events, sizeof events);
    close(watch);
    int writes = 0;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        writes += (event->mask & IN_CLOSE_WRITE) != 0 ? 1 : 0;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    EXPECT_EQ(writes, 1);
    EXPECT_TRUE(fs::is_regular_file(names));
    EXPECT_TRUE(fs::is_empty(room.path / "keep"));
}

}  // namespace
