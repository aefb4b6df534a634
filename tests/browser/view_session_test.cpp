// The viewer's session: random gestures of the real Tarvel on the room,
// each undone gives back the scene and the session that stood before it,
// byte for byte, and redo gives back the end.
#include <gtest/gtest.h>

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
#include "scene/scene_format.h"
#include "session/session.h"
#include "session/session_check.h"
#include "session/session_replay.h"
#include "session/transcript.h"
#include "view/view_session.h"

namespace {

std::string RandomGesture(std::mt19937& random) {
    std::uniform_int_distribution<int> pick(0, 7), node(1, 8), coordinate(-30, 30);
    const auto number = [&] { return std::to_string(coordinate(random) / 10.0); };
    switch (pick(random)) {
        case 0: return "select " + std::to_string(node(random));
        case 1: {
            const int first = node(random);
            return "select " + std::to_string(first) + " " + std::to_string(first % 8 + 1);
        }
        case 2: return std::string("radio ") + "XYZ"[node(random) % 3];
        case 3: return "press Align";
        case 4: return "rightclick";
        case 5: return "select 7\npress Pick";
        default: return "click " + number() + " " + number() + " " + number();
    }
}

TEST(ViewSession, UndoGivesBackEachSceneAndSessionThatStood) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::mt19937 random(seed);
        driver::ViewSession session(MORVANE_ROOM_GLTF, driver::PluginDirectory(), "");
        session.Apply("open Tarvel");
        std::vector<std::string> scenes{session.SceneBytes()}, sessions{session.SessionText()};
        for (int gesture = 0; gesture < 12; ++gesture) {
            const driver::ViewState state = session.Apply(RandomGesture(random));
            ASSERT_FALSE(state.refused) << state.failure;
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

TEST(ViewSession, RefusedLinesDoNotStand) {
    driver::ViewSession session(MORVANE_ROOM_GLTF, driver::PluginDirectory(), "");
    for (const char* line : {"select 99", "press Pick", "open ./Tarvel.dlu", "save out.gltf", "push Align"}) {
        const driver::ViewState state = session.Apply(line);
        EXPECT_TRUE(state.refused) << line;
        EXPECT_FALSE(state.failure.empty()) << line;
    }
    const driver::ViewState state = session.Apply("select 7\nselect 99\nselect 5");
    EXPECT_TRUE(state.refused);
    EXPECT_EQ(session.SessionText(), "select 7\n") << "the lines before a refused one stand, those after it do not";
}

// The answer of a press refused for its names file stays for the next
// press, in the check as in the replay: the next press is refused too, and
// the file that is only read is never written.
TEST(ViewSession, ANamesPressRefusedLeavesItsAnswerToTheNextPress) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "morvane-view-session-test";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path room = fs::path(MORVANE_ROOM_GLTF);
    fs::copy_file(room, folder / "room.gltf");
    fs::copy_file(room.parent_path() / "room.bin", folder / "room.bin");
    const auto bytes = [&] {
        std::ostringstream text;
        text << std::ifstream(folder / "room.bin", std::ios::binary).rdbuf();
        return text.str();
    };
    const std::string before = bytes();
    driver::ViewSession session((folder / "room.gltf").string(), driver::PluginDirectory(), "");
    session.Apply("open Velkora\nanswer " + (folder / "room.bin").string());
    for (int press = 0; press < 2; ++press) {
        EXPECT_TRUE(session.Apply("press Save Names To File").refused) << "press " << press;
    }
    EXPECT_EQ(bytes(), before);
    fs::remove_all(folder);
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

// After the names tool has swapped two names, the page's select-name finds
// the nodes by the names shown; the session that stands replays to the same
// selection, whether the names it finds have changed or not. (One tool
// library is loaded by one host at a time: the replays come after.)
TEST(ViewSession, SelectNameStandsAsTheSelectionItMade) {
    const std::filesystem::path names = std::filesystem::temp_directory_path() / "morvane-view-swapped-names.txt";
    std::ofstream(names) << "Living Room\nPlaceholders\nDoor\nFloor Lamp\nProps\nSofa\nFloor Lamp\nSofa\nFloor\n";
    std::vector<std::pair<std::string, std::vector<std::size_t>>> stood;  // session, selection
    {
        driver::ViewSession session(MORVANE_ROOM_GLTF, driver::PluginDirectory(), "");
        ASSERT_FALSE(session.Apply("open Velkora\nanswer " + names.string() + "\npress Load Names Form File").refused);
        for (const char* line : {"select-name Door", "select-name \"Floor *\" Props", "select-name Sofa"}) {
            const driver::ViewState state = session.Apply(line);
            ASSERT_FALSE(state.refused) << state.failure;
            stood.emplace_back(session.SessionText(), state.selection);
        }
        EXPECT_EQ(stood.front().second, std::vector<std::size_t>{2}) << "the names shown are those found";
    }
    for (const auto& [text, selection] : stood) {
        EXPECT_EQ(ReplayedSelection(MORVANE_ROOM_GLTF, text), selection) << text;
    }
    std::filesystem::remove(names);
}

}  // namespace
