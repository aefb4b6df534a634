// Tally in the viewer, as a gesture on the page sends it: opened by name
// from the folder it lies in, its panel given control by control from its
// resources, and its save dialog's answer written once the gesture stands.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "resource.h"
#include "scratch_folder.h"
#include "view/view_session.h"

namespace fs = std::filesystem;

namespace {

std::string Bytes(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

TEST(TallyInTheViewer, WritesTheTallyOfTheSelectionThatTheGestureMade) {
    const test_support::ScratchFolder scratch("tally-view");
    const fs::path scene = scratch.Path() / "workshop.json";
    fs::copy_file(fs::path(SESSIONS_COMMON) / "workshop.json", scene);
    fs::create_directory(scratch.Path() / "keep");
    driver::ViewSession session(scene.string(), TALLY_FOLDER, "", driver::ViewFolders({scratch.Path().string()}),
                                (scratch.Path() / "keep").string());
    const driver::ViewState opened = session.Apply("open Tally");
    ASSERT_FALSE(opened.refusal) << opened.refusal->message;
    EXPECT_EQ(opened.openTool, "Tally");
    std::vector<std::pair<int, std::string>> controls;
    for (const driver::ViewControl& control : opened.panel) {
        controls.emplace_back(control.layout.id, control.layout.caption);
    }
    EXPECT_NE(std::find(controls.begin(), controls.end(), std::pair<int, std::string>(IDC_WRITE_TALLY, "Write Tally")),
              controls.end());
    const fs::path picked = scratch.Path() / "picked";
    const driver::ViewState wrote =
        session.Apply("select 7 3\nradio Z\nanswer " + picked.string() + "\npress Write Tally");
    ASSERT_FALSE(wrote.refusal) << wrote.refusal->message;
    EXPECT_EQ(Bytes(scratch.Path() / "picked.tly"), Bytes(TALLY_CASES "/tally-session/expected-picked.tly"));
    session.Undo();
    EXPECT_TRUE(fs::exists(scratch.Path() / "picked.tly")) << "a file written stays written";
}

}  // namespace
