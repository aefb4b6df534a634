// Saves on Windows, where a path is ANSI text in the system's code page:
// names beyond ASCII, files named like temporaries, and a file that another
// program holds open.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>

#include "names_report.h"
#include "names_test_support.h"
#include "names_utility.h"
#include "standin/standin_interface.h"

using names_test::ReadBytes;
using names_test::SameBytes;
using names_test::WriteBytes;

namespace {

using Names = std::vector<std::string>;

class NamesWindowsSaveTest : public ::testing::Test {
protected:
    NamesWindowsSaveTest() : host_(scene_) {
        scene_.AddNode(scene_.Root(), "Box");
        tool_.SetInterface(&host_);
    }

    // A path in the scratch folder, made of bytes as the file dialog gives them.
    std::string File(const std::string& name) const { return folder_.Path().string() + "\\" + name; }
    std::string Save(const std::string& path) { return names_tool::ReportOf(path, tool_.SaveNames(path)).text; }
    // The folder's entries as the ANSI calls name them, sorted.
    Names Entries() const {
        Names names;
        WIN32_FIND_DATAA found{};
        const HANDLE search = FindFirstFileA(File("*").c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
            const std::string name = found.cFileName;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    names_test::ScratchFolder folder_;
    standin::StandinScene scene_;
    standin::StandinInterface host_;
    NamesUtility tool_;
    const std::string new_ = "Scene Root\r\nBox\r\n";
};

}  // namespace

TEST_F(NamesWindowsSaveTest, EveryByteBeyondAsciiNamesOneFileInEveryCall) {
    SCOPED_TRACE("code page " + std::to_string(GetACP()));
    Names expected;
    // Each name has its code in ASCII too: names that differ only in case
    // name one file on Windows.
    for (int code = 0x80; code <= 0xff; ++code) {
        const std::string name = std::to_string(code) + static_cast<char>(code) + ".txt";
        const std::string path = File(name);
        EXPECT_EQ(Save(path), "saved 2 names to \"" + path + "\": written") << code;
        EXPECT_EQ(Save(path), "saved 2 names to \"" + path + "\": replaced") << code;
        EXPECT_TRUE(SameBytes(ReadBytes(path), new_)) << code;
        expected.push_back(name);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Entries(), expected);
}

TEST_F(NamesWindowsSaveTest, FilesNamedLikeTemporariesAreNotTouched) {
    const std::string path = File("euro\x80.txt");
    for (const char* left : {".~0.tmp", ".~1.tmp"}) {
        WriteBytes(path + left, "someone else's\n");
    }
    EXPECT_EQ(Save(path), "saved 2 names to \"" + path + "\": written");
    EXPECT_EQ(Save(path), "saved 2 names to \"" + path + "\": replaced");
    EXPECT_TRUE(SameBytes(ReadBytes(path), new_));
    EXPECT_TRUE(SameBytes(ReadBytes(path + ".~0.tmp"), "someone else's\n"));
    EXPECT_EQ(Entries(), (Names{"euro\x80.txt", "euro\x80.txt.~0.tmp", "euro\x80.txt.~1.tmp"}));
}

TEST_F(NamesWindowsSaveTest, AFileThatAnotherProgramHoldsOpenIsWrittenInPlace) {
    const std::string path = File("held\xe9.txt");
    WriteBytes(path, "previous\r\n");
    char program[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(nullptr, program, MAX_PATH), 0u);
    std::string holder = program;
    holder = holder.substr(0, holder.find_last_of('\\') + 1) + "hold_file_open.exe";
    std::string command = "\"" + holder + "\" \"" + path + "\" \"" + File("ready") + "\" \"" + File("release") + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(holder.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    for (int waited = 0; GetFileAttributesA(File("ready").c_str()) == INVALID_FILE_ATTRIBUTES && waited < 3000;
         ++waited) {
        Sleep(10);
    }

    const std::string said = Save(path);
    WriteBytes(File("release"), "");
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(code, 0u) << "the other program did not hold the file";
    EXPECT_EQ(said, "saved 2 names to \"" + path + "\": written in place (the file is in use by another program)");
    EXPECT_TRUE(SameBytes(ReadBytes(path), new_));
    EXPECT_EQ(Entries(), (Names{"held\xe9.txt", "ready", "release"}));
}
