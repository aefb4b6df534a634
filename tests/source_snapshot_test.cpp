// A source is one snapshot: a file that changes between its opening and
// its last byte read (rewritten with the same size and its modification
// time put back, grown, or another version renamed over it) is refused,
// never read as a mix of versions.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "files/input_file.h"
#include "files/source_bytes.h"
#include "scene/scene_format.h"
#include "scratch_folder.h"
#include "source_file.h"

namespace fs = std::filesystem;

namespace {

const std::string kScene =
    R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"name": "Chair"}]})";

// Returns once the file system's clock has moved past the file's last
// change, so that a change made from now on moves its stamp.
void AfterTheClockMoves(const fs::path& file) {
    const fs::path probe = file.string() + ".clock";
    const auto changed = fs::last_write_time(file);
    while (true) {
        std::ofstream(probe) << "tick";
        if (fs::last_write_time(probe) > changed) {
            break;
        }
    }
    fs::remove(probe);
}

struct Change {
    const char* what;
    std::function<void(const fs::path&)> make;
    bool refused;
};

const std::vector<Change>& Changes() {
    static const std::vector<Change> rows =
        {
            {"none", [](const fs::path&) {}, false},
            {"rewritten with the same size, its time put back",
             [](const fs::path& file) {
        const auto time = fs::last_write_time(file);
        std::fstream rewritten(file, std::ios::in | std::ios::out | std::ios::binary);
        rewritten.seekp(static_cast<std::streamoff>(kScene.find("Chair")));
        rewritten << "Table";
        rewritten.close();
        fs::last_write_time(file, time);
             },
             true},
            {"grown", [](const fs::path& file) { std::ofstream(file, std::ios::app) << "   "; }, true},
            {"renamed over by another version of the same size",
             [](const fs::path& file) {
        const fs::path other = file.string() + ".new";
        std::string text = kScene;
        text.replace(text.find("Chair"), 5, "Table");
        std::ofstream(other, std::ios::binary) << text;
        std::error_code error;
        fs::rename(other, file, error);  // Windows renames over no file that is open
        if (error) {
            throw std::runtime_error("not renamed");
        }
             },
             true},
                                     };
    return rows;
}

// Reads the file at `path` one way, `change` coming after its first bytes.
using Reader = std::function<void(const std::string& path, const std::function<void()>& change)>;

const std::vector<std::pair<const char*, Reader>>& Readers() {
    static const std::vector<std::pair<const char*, Reader>> readers =
        {
            {"a whole text (session, scene file, names)",
             [](const std::string& path, const std::function<void()>& change) {
        safewrite::SetCopyPieceSize(16);
        bool changed = false;
        driver::SetInputPieceHook([&](const std::string&) {
            if (!changed) {
                changed = true;
                change();
            }
        });
        try {
            driver::ReadInputFile(path);
        } catch (...) {
            driver::SetInputPieceHook(nullptr);
            safewrite::SetCopyPieceSize(std::size_t{1} << 20);
            throw;
        }
        driver::SetInputPieceHook(nullptr);
        safewrite::SetCopyPieceSize(std::size_t{1} << 20);
             }},
            {"a glTF scene, only looked at",
             [](const std::string& path, const std::function<void()>& change) {
        const driver::SourceBytes bytes = driver::SourceBytes::OfFile(path);
        change();
        driver::ParseScene(bytes, path, driver::SceneUse::LookedAt);
             }},
                                                             };
    return readers;
}

}  // namespace

TEST(SourceSnapshot, AFileChangedWhileItIsReadIsRefused) {
    for (const auto& [reader, read] : Readers()) {
        for (const Change& change : Changes()) {
            const test_support::ScratchFolder folder("morvane-snapshot");
            const fs::path file = folder.Path() / "scene.gltf";
            std::ofstream(file, std::ios::binary) << kScene;
            AfterTheClockMoves(file);
            std::string refusal;
            bool made = true;
            try {
                read(file.string(), [&] { change.make(file); });
            } catch (const driver::InputFileError& e) {
                refusal = e.what();
            } catch (const std::runtime_error&) {
                made = false;
            }
            EXPECT_EQ(refusal.find("changed while it was read") != std::string::npos, change.refused && made)
                << reader << ", " << change.what << ": " << refusal;
        }
    }
}
