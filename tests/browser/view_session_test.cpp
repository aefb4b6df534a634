// The viewer's session: random gestures of the real Tarvel on the room,
// each undone gives back the scene and the session that stood before it,
// byte for byte, and redo gives back the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "files/input_file.h"
#include "files/run_files.h"
#include "hosting/plugin_directory.h"
#include "hosting/session_host.h"
#include "sanitized_build.h"
#include "scene/scene_format.h"
#include "scratch_folder.h"
#include "session/session.h"
#include "session/session_check.h"
#include "session/session_replay.h"
#include "session/transcript.h"
#include "view/view_dialog_files.h"
#include "view/view_session.h"

#include <sys/inotify.h>
#include <unistd.h>

#if defined(__GLIBC__)
#  include <malloc.h>
#endif

namespace {

// Why a gesture was refused; "" where it stands.
std::string Why(const driver::ViewState& state) { return state.refusal ? state.refusal->message : ""; }

// A folder of its own for a test, with the room in it; gone at the end.
struct RoomFolder {
    test_support::ScratchFolder scratch;
    std::filesystem::path path;
    explicit RoomFolder(const std::string& name) : scratch("morvane-view-test-" + name), path(scratch.Path()) {
        std::filesystem::create_directories(path / "keep");
        const std::filesystem::path room(MORVANE_ROOM_GLTF);
        std::filesystem::copy_file(room, path / "room.gltf");
        std::filesystem::copy_file(room.parent_path() / "room.bin", path / "room.bin");
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    std::unique_ptr<driver::ViewSession> Session() const {
        return std::make_unique<driver::ViewSession>(*this / "room.gltf", driver::PluginDirectory(), "",
                                                     driver::ViewFolders({path.string()}), *this / "keep");
    }
};

std::string Bytes(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

std::string RandomGesture(std::mt19937& random) {
    std::uniform_int_distribution<int> pick(0, 7), node(1, 8), coordinate(-30, 30);
    const auto number = [&] { return std::to_string(coordinate(random) / 10.0); };
    switch (pick(random)) {
        case 0:
            return "select " + std::to_string(node(random));
        case 1: {
            const int first = node(random);
            return "select " + std::to_string(first) + " " + std::to_string(first % 8 + 1);
        }
        case 2:
            return std::string("radio ") + "XYZ"[node(random) % 3];
        case 3:
            return "press Align";
        case 4:
            return "rightclick";
        case 5:
            return "select 7\npress Pick";
        default:
            return "click " + number() + " " + number() + " " + number();
    }
}

TEST(ViewSession, UndoGivesBackEachSceneAndSessionThatStood) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::mt19937 random(seed);
        const RoomFolder room("undo");
        const auto owned = room.Session();
        driver::ViewSession& session = *owned;
        session.Apply("open Tarvel");
        std::vector<std::string> scenes{session.SceneBytes()}, sessions{session.SessionText()};
        for (int gesture = 0; gesture < 12; ++gesture) {
            const driver::ViewState state = session.Apply(RandomGesture(random));
            ASSERT_FALSE(state.refusal) << Why(state);
            scenes.push_back(session.SceneBytes());
            sessions.push_back(session.SessionText());
        }
        for (std::size_t k = scenes.size() - 1; k > 0; --k) {
            session.Undo();
            ASSERT_EQ(session.SceneBytes(), scenes[k - 1]) << "seed " << seed << ", undo to " << k - 1;
            ASSERT_EQ(session.SessionText(), sessions[k - 1]);
        }
        while (session.Redo().redoable > 0) {
        }
        EXPECT_EQ(session.SceneBytes(), scenes.back()) << "seed " << seed;
    }
}

// A gesture stands whole or not at all: whatever line of it is refused, or
// fails, nothing of it stands, and an answer never outlives its press.
TEST(ViewSession, AGestureStandsWholeOrNotAtAll) {
    const RoomFolder room("whole");
    const auto session = room.Session();
    session->Apply("open Velkora");
    const std::string none = session->SessionText();
    const std::string wanted = room / "wanted.txt";
    for (const std::string& gesture :
         std::vector<std::string>{"select 7\nselect 99\nselect 5", "select 7\npress Nothing",
                                  "answer " + room / "first-try.txt", "answer " + room / "a.txt\nselect 7",
                                  "close\nopen Tarvel\nanswer " + room / "first-try.txt\npress Align",
                                  "answer " + room / "room.bin\npress Save Names To File",
                                  "answer " + room / "missing.txt\npress Load Names Form File"}) {
        const driver::ViewState state = session->Apply(gesture);
        EXPECT_TRUE(state.refusal) << gesture;
        EXPECT_FALSE(Why(state).empty()) << gesture;
        EXPECT_EQ(session->SessionText(), none) << gesture;
    }
    const driver::ViewState saved = session->Apply("answer " + wanted + "\npress Save Names To File");
    EXPECT_FALSE(saved.refusal) << Why(saved);
    EXPECT_TRUE(std::filesystem::exists(wanted)) << "no earlier answer took the place of this one";
    EXPECT_FALSE(std::filesystem::exists(room / "first-try.txt"));
}

// A save redone stands as it stood, every line of its gesture but the
// answer and the press, which do not write the file again.
TEST(ViewSession, ARedoneSaveStandsWithoutWritingAgain) {
    const RoomFolder room("redo-save");
    const auto session = room.Session();
    const std::string names = room / "names.txt";
    ASSERT_FALSE(session->Apply("open Velkora\nanswer " + names + "\npress Save Names To File").refusal);
    std::ofstream(names, std::ios::binary) << "edited since\n";
    session->Undo();
    const driver::ViewState redone = session->Redo();
    EXPECT_EQ(redone.openTool, "Velkora");
    EXPECT_EQ(Bytes(names), "edited since\n");
}

// A refused gesture keeps what redo would bring back.
TEST(ViewSession, ARefusedGestureKeepsTheRedoHistory) {
    const RoomFolder room("redo");
    const auto session = room.Session();
    session->Apply("select 7");
    EXPECT_EQ(session->Undo().lines, std::vector<std::string>{"undone: line 1: select 7"});
    for (const char* refused : {"select 99", "no-such-verb"}) {
        EXPECT_EQ(session->Apply(refused).redoable, 1u) << refused;
    }
}

// Undo, redo and every rebuild replay from what each gesture read: a names
// file is read once as it is loaded (the tool reads the copy kept of that
// read), never again once edited, nor one saved written again; the session
// downloaded with its files replays to the same scene.
TEST(ViewSession, ReplaysNeverTouchTheNamesFilesAgain) {
    const RoomFolder room("names");
    const std::string names = room / "names.txt";
    std::vector<std::pair<std::string, std::string>> archived;
    std::string scene;
    {
        const auto session = room.Session();
        ASSERT_FALSE(session->Apply("open Velkora").refusal);
        std::ofstream(names) << "an older file\n";
        ASSERT_FALSE(session->Apply("answer " + names + "\npress Save Names To File").refusal) << "over a file";
        ASSERT_NE(Bytes(names), "an older file\n");
        std::string text = Bytes(names);
        text.replace(text.find("Door"), 4, "Front Door");
        std::ofstream(names, std::ios::binary) << text;
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        // Closes too: two opens in a row would read as one.
        inotify_add_watch(watch, names.c_str(), IN_OPEN | IN_CLOSE);
        ASSERT_FALSE(session->Apply("answer " + names + "\npress Load Names Form File").refusal);
        char events[4096];
        const ssize_t got = read(watch, events, sizeof events);
        close(watch);
        int opens = 0;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            opens += (event->mask & IN_OPEN) != 0 ? 1 : 0;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
        EXPECT_EQ(opens, 1) << "opened once, to be kept";
        std::ofstream(names, std::ios::binary) << "changed again after the load\n";
        const std::string edited = Bytes(names);
        session->Apply("select 7");
        for (const auto& step : {&driver::ViewSession::Undo, &driver::ViewSession::Redo, &driver::ViewSession::Undo}) {
            (session.get()->*step)();
            EXPECT_EQ(Bytes(names), edited) << "undo and redo write no names file";
        }
        EXPECT_EQ(session->Whole().nodes[7].name, "Front Door") << "the names as they were read";
        session->Apply("select 7");
        scene = session->SceneBytes();
        archived = session->SessionWithFiles();
    }
    const std::filesystem::path unpacked = room.path / "unpacked";
    std::filesystem::create_directories(unpacked);
    for (const auto& [name, bytes] : archived) {
        std::ofstream(unpacked / name, std::ios::binary) << bytes;
    }
    ASSERT_EQ(archived.size(), 2u) << "the session and the file it loads";
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(unpacked);
    std::unique_ptr<driver::SceneFile> file =
        driver::ParseScene(driver::ReadInputFile(room / "room.gltf"), room / "room.gltf");
    {
        driver::SessionHost host(*file, driver::PluginDirectory());
        driver::RunFiles files;
        std::vector<driver::Action> actions = driver::ParseSession(archived.front().second, "downloaded");
        driver::CheckSession(actions, host, files);
        std::ostringstream out;
        driver::Transcript transcript(out);
        EXPECT_TRUE(driver::SessionReplay(host, transcript, false, false).Run(actions)) << out.str();
        EXPECT_EQ(file->Content(room / "room.gltf", host.SelectionIndices()).Joined(), scene);
    }
    std::filesystem::current_path(here);
    EXPECT_EQ(Bytes(names), "changed again after the load\n") << "the downloaded session saves beside itself";
}

// The dialogs and Save reach only the folders let in, judged where every
// link on the way ends: a link out, a link to no file (which a write would
// make wherever it points) and, for writing, a file with another name
// anywhere are refused with why, and none is offered.
TEST(ViewSession, AnswersAndSaveStayInTheFoldersReached) {
    const RoomFolder room("reach");
    const test_support::ScratchFolder elsewhere;
    const std::string outside = elsewhere.File("morvane-outside.txt");
    std::ofstream(elsewhere.File("linked.txt")) << "A\n";
    std::filesystem::create_directories(room.path / ".hidden");
    std::filesystem::create_symlink("/etc/hostname", room.path / "link.txt");
    std::filesystem::create_symlink(outside, room.path / "room-names.txt");
    std::filesystem::create_symlink(room / "fresh.txt", room.path / "inward.txt");
    std::filesystem::create_hard_link(elsewhere.File("linked.txt"), room.path / "hard.txt");
    const auto session = room.Session();
    session->Apply("open Velkora");
    const struct {
        std::string path;
        const char* save;  // what a save is refused for
        const char* load;  // what a load is refused for ("": it is not)
    } cases[] = {
        {outside, "outside", "outside"},
        {room / ".bashrc", "dot", "dot"},
        {room / ".hidden/names.txt", "dot", "dot"},
        {room / "link.txt", "outside", "outside"},
        {room / ("../" + elsewhere.Path().filename().string() + "/morvane-outside.txt"), "outside", "outside"},
        {room / "room-names.txt", "leads to no file", "leads to no file"},
        {room / "inward.txt", "leads to no file", "leads to no file"},
        {room / "hard.txt", "other names", ""},
    };
    for (const auto& c : cases) {
        for (const char* press : {"Save Names To File", "Load Names Form File"}) {
            const std::string refused = press[0] == 'S' ? c.save : c.load;
            const driver::ViewState state = session->Apply("answer " + c.path + "\npress " + press);
            EXPECT_EQ(Why(state).find(refused.empty() ? "reach" : refused) != std::string::npos, !refused.empty())
                << c.path << ": " << Why(state);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(outside));
    EXPECT_FALSE(std::filesystem::exists(room / "fresh.txt"));
    EXPECT_EQ(Bytes(elsewhere.File("linked.txt")), "A\n");
    EXPECT_EQ(driver::FilesForDialog(session->Reach(), "save", room / "room.gltf").suggested, "")
        << "a link to no file is not offered";
    std::filesystem::create_symlink(elsewhere.File("elsewhere.gltf"), room.path / "dangling.gltf");
    std::filesystem::create_hard_link(room / "room.gltf", room.path / "twice.gltf");
    for (const std::string& path : {elsewhere.File("elsewhere.gltf"), std::string(room / ".room.gltf"),
                                    room / "dangling.gltf", room / "twice.gltf"}) {
        const std::optional<driver::Refusal> refused = session->SetOutputPath(path);
        EXPECT_TRUE(refused && refused->code == driver::RefusalCode::OutsideReach) << path;
    }
    EXPECT_FALSE(std::filesystem::exists(elsewhere.File("elsewhere.gltf")));
}

// The selection that `session` gives when morvane-host runs it on `scene`.
std::vector<std::size_t> ReplayedSelection(const std::string& scene, const std::string& session) {
    std::unique_ptr<driver::SceneFile> file = driver::ParseScene(driver::ReadInputFile(scene), scene);
    driver::SessionHost host(*file, driver::PluginDirectory());
    driver::RunFiles files;
    std::vector<driver::Action> actions = driver::ParseSession(session, "downloaded");
    driver::CheckSession(actions, host, files);
    std::ostringstream out;
    driver::Transcript transcript(out);
    driver::SessionReplay(host, transcript, false, false).Run(actions);
    return host.SelectionIndices();
}

// The largest difference of two placements' numbers, relative to the
// larger of their translations (at least 1).
double PlacementOff(const standin::Affine& a, const standin::Affine& b) {
    double off = 0, scale = 1;
    for (int i = 0; i < 3; ++i) {
        scale = std::max({scale, std::fabs(a.t[i]), std::fabs(b.t[i])});
        off = std::max(off, std::fabs(a.t[i] - b.t[i]));
        for (int j = 0; j < 3; ++j) {
            off = std::max(off, std::fabs(a.m[i][j] - b.m[i][j]));
        }
    }
    return off / scale;
}

// The page places each node where the file that Save writes places it:
// after random gestures, saved and opened again, every node's pivot and
// object are where the session said they were.
TEST(ViewSession, NodesArePlacedWhereTheSavedFilePlacesThem) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
        std::mt19937 random(seed);
        const RoomFolder room("placed");
        std::vector<driver::ViewNode> before;
        {
            const auto session = room.Session();
            session->Apply("open Tarvel");
            for (int gesture = 0; gesture < 10; ++gesture) {
                session->Apply(RandomGesture(random));
            }
            ASSERT_FALSE(session->SetOutputPath(room / "saved.gltf"));
            session->Save();
            before = session->Whole().nodes;
        }
        const auto saved = std::make_unique<driver::ViewSession>(room / "saved.gltf", driver::PluginDirectory(), "",
                                                                 driver::ViewFolders({room.path.string()}),
                                                                 room / "keep");
        const std::vector<driver::ViewNode> after = saved->Whole().nodes;
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t k = 0; k < after.size(); ++k) {
            EXPECT_LE(PlacementOff(before[k].world, after[k].world), 1e-12) << "seed " << seed << ", node " << k;
            EXPECT_LE(PlacementOff(before[k].object, after[k].object), 1e-12) << "seed " << seed << ", node " << k;
        }
    }
}

// Nodes 5 mm apart under a parent 100 km out are placed at the file's own
// numbers: in single precision they would fall on six places.
TEST(ViewSession, NodesArePlacedAtTheFilesOwnPrecision) {
    const test_support::ScratchFolder scratch("morvane-view-test-far");
    std::string children, nodes;
    std::vector<double> expected;
    for (int i = 1; i <= 10; ++i) {
        const std::string x = std::to_string(0.005 * i);
        children += (i > 1 ? "," : "") + std::to_string(i);
        nodes += ",{\"name\": \"Near " + std::to_string(i) + "\", \"translation\": [" + x + ", 0, 0]}";
        expected.push_back(100000.0 + std::stod(x));
    }
    const std::string path = (scratch.Path() / "far.gltf").string();
    std::ofstream(path) << "{\"asset\": {\"version\": \"2.0\"}, \"scenes\": [{\"nodes\": [0]}], \"nodes\": [{\"name\": "
                           "\"Far\", \"translation\": [100000, 0, 0], \"children\": ["
                        << children << "]}" << nodes << "]}";
    driver::ViewSession session(path, driver::PluginDirectory(), "", driver::ViewFolders({scratch.Path().string()}),
                                scratch.Path().string());
    const std::vector<driver::ViewNode> placed = session.Whole().nodes;
    ASSERT_EQ(placed.size(), 12u);
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(placed[k + 2].world.t[0], expected[k]) << "node " << k + 2;
    }
}

// After the names tool has swapped two names, the page's select-name finds
// the nodes by the names shown; the session that stands replays to the same
// selection, whether the names it finds have changed or not. (One tool
// library is loaded by one host at a time: the replays come after.)
TEST(ViewSession, SelectNameStandsAsTheSelectionItMade) {
    const RoomFolder room("select-name");
    const std::filesystem::path names = room.path / "swapped-names.txt";
    std::ofstream(names) << "Living Room\nPlaceholders\nDoor\nFloor Lamp\nProps\nSofa\nFloor Lamp\nSofa\nFloor\n";
    std::vector<std::pair<std::string, std::vector<std::size_t>>> stood;  // session, selection
    {
        const auto owned = room.Session();
        driver::ViewSession& session = *owned;
        ASSERT_FALSE(session.Apply("open Velkora\nanswer " + names.string() + "\npress Load Names Form File").refusal);
        for (const char* line : {"select-name Door", "select-name \"Floor *\" Props", "select-name Sofa"}) {
            const driver::ViewState state = session.Apply(line);
            ASSERT_FALSE(state.refusal) << Why(state);
            stood.emplace_back(session.SessionText(), state.selection);
        }
        EXPECT_EQ(stood.front().second, std::vector<std::size_t>{2}) << "the names shown are those found";
    }
    for (const auto& [text, selection] : stood) {
        EXPECT_EQ(ReplayedSelection(MORVANE_ROOM_GLTF, text), selection) << text;
    }
}

}  // namespace

// An edit whose motion the keys of the scene's animations cannot keep (a
// pivot moved off a turning node's place) does not stand: the gesture is refused with the reason, and the scene is as
// it was; the same node turned about its own place stands.
TEST(ViewSession, AnEditThatWouldChangeTheMotionDoesNotStand) {
    const test_support::ScratchFolder scratch("morvane-view-test-motion");
    const std::filesystem::path folder = scratch.Path();
    std::filesystem::create_directories(folder / "keep");
    std::ofstream(folder / "fan.gltf") << R"({"asset": {"version": "2.0"}, "scenes": [{"nodes": [0]}],
        "nodes": [{"name": "Fan", "translation": [0, 2.5, 0]}],
        "animations": [{"channels": [{"sampler": 0, "target": {"node": 0, "path": "rotation"}}],
                        "samplers": [{"input": 0, "output": 1}]}],
        "buffers": [{"byteLength": 40,
                     "uri": "data:application/octet-stream;base64,AAAAAAAAgD8AAAAAAAAAAAAAAAAAAIA/AAAAAPMENT8AAAAA8wQ1Pw=="}],
        "bufferViews": [{"buffer": 0, "byteLength": 8}, {"buffer": 0, "byteOffset": 8, "byteLength": 32}],
        "accessors": [{"bufferView": 0, "componentType": 5126, "count": 2, "type": "SCALAR", "min": [0], "max": [1]},
                      {"bufferView": 1, "componentType": 5126, "count": 2, "type": "VEC4"}]})";
    driver::ViewSession session((folder / "fan.gltf").string(), driver::PluginDirectory(), "",
                                driver::ViewFolders({folder.string()}), (folder / "keep").string());
    ASSERT_FALSE(session.Apply("open Tarvel\nselect 1\nradio Y").refusal);
    const std::string before = session.SceneBytes();
    const driver::ViewState moved = session.Apply("press Pick\nclick 0.5 2.5 0");
    EXPECT_NE(Why(moved).find("refused: animation 0, channel 0, drives the rotation of node 1 \"Fan\" (nodes[0])"),
              std::string::npos)
        << Why(moved);
    EXPECT_EQ(session.SceneBytes(), before);
    const driver::ViewState turned = session.Apply("press Pick\nclick 0 2.5 0\nclick 1 3.5 0");
    EXPECT_FALSE(turned.refusal) << Why(turned);
    EXPECT_NE(session.SceneBytes(), before);
}

#if defined(__GLIBC__)
// A host destroyed frees what its tools made (their windows, buttons and
// resources): undo and redo, which build the scene and its host anew each
// time, keep nothing of the hosts before.
TEST(ViewSession, UndoAndRedoKeepNothingOfTheHostsBefore) {
    if (test_support::kSanitizedBuild) {
        GTEST_SKIP() << "the sanitizer's allocator keeps no account that mallinfo2 reads";
    }
    const RoomFolder room("memory");
    for (const char* tool : {"Tarvel", "Velkora"}) {
        const auto session = room.Session();
        ASSERT_EQ(Why(session->Apply(std::string("open ") + tool + "\nselect 2")), "");
        const auto cycles = [&session](int count) {
            for (int k = 0; k < count; ++k) {
                session->Undo();
                session->Redo();
            }
            return mallinfo2().uordblks;
        };
        const std::size_t settled = cycles(20);
        EXPECT_LT(cycles(200), settled + 256 * 1024) << tool << ": each host kept some of itself";
    }
}
#endif
