// A file is its identity: every spelling of one file (case and short names
// on Windows, symbolic and hard links, ".." after a missing part) is that
// file to the checks of clashes, of reach and of standard output.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <fcntl.h>
#  include <unistd.h>
#endif

#include "cli/list_command.h"
#include "files/input_file.h"
#include "files/run_files.h"
#include "hosting/file_dialog_user.h"
#include "scratch_folder.h"
#if defined(MORVANE_HAVE_VIEWER)
#  include "view/view_folders.h"
#endif

namespace fs = std::filesystem;

namespace {

#if defined(_WIN32)
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// The scene's folder "room" (reached) holds room.bin and .hidden-folder;
// "outside" (not reached) holds secret.txt.
struct Rooms {
    test_support::ScratchFolder scratch{"morvane-identity"};
    fs::path room = scratch.Path() / "room";
    fs::path outside = scratch.Path() / "outside";
    Rooms() {
        fs::create_directories(room / ".hidden-folder");
        fs::create_directories(outside);
        std::ofstream(room / "room.bin") << "buffer";
        std::ofstream(room / ".hidden-folder" / "names.txt") << "Chair\n";
        std::ofstream(outside / "secret.txt") << "secret";
    }
};

// A spelling made in `rooms`, relative to the room; "" when this system
// cannot make it (a symbolic link without the privilege).
struct Spelling {
    const char* what;
    std::function<std::string(const Rooms&)> make;
    bool isRoomBin;       // a check of clashes sees room.bin
    bool reachedToWrite;  // the viewer may write there
};

bool Linked(const fs::path& target, const fs::path& link, bool folder) {
    std::error_code error;
    folder ? fs::create_directory_symlink(target, link, error) : fs::create_symlink(target, link, error);
    return !error;
}

std::string ShortName(const fs::path& path) {
#if defined(_WIN32)
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? fs::path(std::wstring(buffer, length)).string() : "";
#else
    (void)path;
    return "";
#endif
}

const std::vector<Spelling>& Spellings() {
    static const std::vector<Spelling> rows =
        {
            {"itself", [](const Rooms&) { return "room.bin"; }, true, true},
            {"another case", [](const Rooms&) { return "ROOM.BIN"; }, kWindows, true},
            {"a symbolic link",
             [](const Rooms& r) { return Linked(r.room / "room.bin", r.room / "soft.bin", false) ? "soft.bin" : ""; },
             true, true},
            {"a hard link",
             [](const Rooms& r) {
        fs::create_hard_link(r.room / "room.bin", r.room / "hard.bin");
        return "hard.bin";
             },
             true, false},
            {"\"..\" after a missing part", [](const Rooms&) { return "missing/../room.bin"; }, true, true},
            {"a linked folder outside",
             [](const Rooms& r) { return Linked(r.outside, r.room / "out", true) ? "missing/../out/secret.txt" : ""; },
             false, false},
            {"a short name of a dot folder",
             [](const Rooms& r) {
        const std::string name = ShortName(r.room / ".hidden-folder");
        return name.empty() ? "" : (fs::path(name) / "names.txt").string();
             },
             false, false},
                                       {"another file", [](const Rooms&) { return "other.bin"; }, false, true},
                                       };
    return rows;
}

}  // namespace

// A tool's names file and a file that -o writes clash with a buffer that
// the scene reads under every spelling of it, and with no other file.
TEST(FileIdentity, EverySpellingOfAFileIsThatFileToTheClashCheck) {
    for (const Spelling& row : Spellings()) {
        const Rooms rooms;
        const std::string spelled = row.make(rooms);
        if (spelled.empty()) {
            continue;
        }
        const std::string path = (rooms.room / spelled).string();
        for (const auto use : {driver::RunFiles::Use::ToolWrites, driver::RunFiles::Use::Written}) {
            driver::RunFiles files;
            ASSERT_FALSE(files.Add((rooms.room / "room.bin").string(), driver::RunFiles::Use::OnlyRead, "buffer"));
            // A file that -o writes is opened as the system takes the path
            // (on POSIX, "missing/.." opens nothing); a dialog's by name.
            const bool lexical = use == driver::RunFiles::Use::ToolWrites || kWindows;
            const bool expected = row.isRoomBin && (lexical || spelled.find("missing") == std::string::npos);
            EXPECT_EQ(files.Add(path, use, "written").has_value(), expected) << row.what << " " << spelled;
        }
    }
}

// Two names of no file yet are one where they would make one file.
TEST(FileIdentity, NamesOfNoFileYetAreOneWhereTheSystemMakesThemOne) {
    const Rooms rooms;
    driver::RunFiles files;
    ASSERT_FALSE(files.Add((rooms.room / "new.bin").string(), driver::RunFiles::Use::Written, "new"));
    EXPECT_EQ(files.Add((rooms.room / "NEW.BIN").string(), driver::RunFiles::Use::Written, "x").has_value(), kWindows);
    EXPECT_TRUE(files.Add((rooms.room / "." / "new.bin").string(), driver::RunFiles::Use::Written, "x").has_value());
    EXPECT_FALSE(files.Add((rooms.outside / "new.bin").string(), driver::RunFiles::Use::Written, "x").has_value());
}

#if defined(MORVANE_HAVE_VIEWER)
// The viewer writes only inside the folders it reaches, judged on the file
// that a dialog opens, however it is spelled.
TEST(FileIdentity, EverySpellingOfAFileIsThatFileToTheReachCheck) {
    for (const Spelling& row : Spellings()) {
        const Rooms rooms;
        const std::string spelled = row.make(rooms);
        if (spelled.empty()) {
            std::printf("not made on this system: %s\n", row.what);
            continue;
        }
        const driver::ViewFolders reach({rooms.room.string()});
        const std::string opened = driver::OpenedByDialog((rooms.room / spelled).string());
        EXPECT_EQ(!reach.Unreachable(opened, true), row.reachedToWrite) << row.what << " " << spelled;
    }
}
#endif

namespace {

// Runs `check` with standard output appended to `file`, as `>> file` does.
std::string WithStandardOutputOn(const fs::path& file, const std::function<void()>& check) {
    std::fflush(stdout);
    std::string refusal;
#if defined(_WIN32)
    const HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE opened = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    SetStdHandle(STD_OUTPUT_HANDLE, opened);
#else
    const int saved = ::dup(1);
    const int opened = ::open(file.c_str(), O_WRONLY | O_APPEND);
    ::dup2(opened, 1);
#endif
    try {
        check();
    } catch (const driver::CodedError& e) {
        refusal = e.what();
    }
#if defined(_WIN32)
    SetStdHandle(STD_OUTPUT_HANDLE, saved);
    CloseHandle(opened);
#else
    ::dup2(saved, 1);
    ::close(saved);
    ::close(opened);
#endif
    return refusal;
}

}  // namespace

// Standard output appended to a file that the run reads is refused before
// anything is written, under every spelling of the file the run names.
TEST(FileIdentity, StandardOutputOnAFileTheRunReadsIsRefused) {
    for (const Spelling& row : Spellings()) {
        const Rooms rooms;
        const std::string spelled = row.make(rooms);
        if (spelled.empty() || spelled.find("missing") != std::string::npos) {
            continue;
        }
        const std::string named = (rooms.room / spelled).string();
        const std::string refusal = WithStandardOutputOn(rooms.room / "room.bin", [&] {
            driver::FilesOfRun({(rooms.room / "scene.json").string(), "", "", false, "", ""}, {named});
        });
        EXPECT_EQ(refusal.find("standard output is ") == 0, row.isRoomBin) << row.what << ": " << refusal;
        WithStandardOutputOn(rooms.room / "room.bin",
                             [&] { EXPECT_EQ(driver::IsStandardOutput(named), row.isRoomBin) << row.what; });
    }
}

// `list room.gltf >> room.bin` lists nothing into the buffer it reads.
TEST(FileIdentity, AListingIsNotAppendedToAFileTheSceneRefersTo) {
    const Rooms rooms;
    std::ofstream(rooms.room / "room.gltf")
        << R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"name": "A"}],)"
        << R"( "buffers": [{"uri": "room.bin", "byteLength": 6}]})";
    const std::string refusal = WithStandardOutputOn(rooms.room / "room.bin", [&] {
        driver::RunList((rooms.room / "room.gltf").string(), false);
    });
    EXPECT_EQ(refusal.find("standard output is "), 0u) << refusal;
    EXPECT_EQ(fs::file_size(rooms.room / "room.bin"), 6u);
}

// A file read as judged is the file that the check judged, on the handle
// read from: one whose name came to lead to another file between the check
// and the read is refused, nothing read of it.
TEST(FileIdentity, AFileReadAsJudgedIsTheFileTheCheckJudged) {
    const struct {
        const char* what;
        std::function<void(const fs::path& file)> meanwhile;
        bool read;
    } cases[] =
        {
            {"nothing", [](const fs::path&) {}, true},
            {"rewritten in place", [](const fs::path& file) { std::ofstream(file, std::ios::binary) << "other"; },
             true},
            {"another file renamed over it",
             [](const fs::path& file) {
        std::ofstream(file.string() + ".new", std::ios::binary) << "other";
        fs::rename(file.string() + ".new", file);
             },
             false},
            {"removed, and another made in its name",
             [](const fs::path& file) {
        const fs::path kept = file.string() + ".kept";
        fs::rename(file, kept);  // still there: its number is not given to the new one
        std::ofstream(file, std::ios::binary) << "other";
             },
             false},
      };
    for (const auto& c : cases) {
        const test_support::ScratchFolder folder("morvane-judged");
        const fs::path file = folder.Path() / "names.txt";
        std::ofstream(file, std::ios::binary) << "judged";
        const std::optional<driver::FilePlace> place = driver::PlaceOf(file.string());
        ASSERT_TRUE(place && place->regular) << c.what;
        c.meanwhile(file);
        std::string read;
        driver::RefusalCode code = driver::RefusalCode::NotDone;
        try {
            read = driver::ReadInputFile(file.string(), place->identity);
        } catch (const driver::InputFileError& e) {
            code = e.Code();
        }
        EXPECT_EQ(!read.empty(), c.read) << c.what;
        EXPECT_EQ(code == driver::RefusalCode::OutsideReach, !c.read) << c.what;
    }
}
