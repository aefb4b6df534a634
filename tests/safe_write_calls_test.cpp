// The file calls of a save, seen and steered from here: this program's
// rename and fsync come before the C library's. Every file is on the disk
// before it takes its name, and a rename that the system refuses (a mount
// point, an append-only folder) writes the file in place, once, as a
// success.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "files/output_file.h"
#include "replacement.h"

namespace fs = std::filesystem;

namespace {

std::set<std::pair<dev_t, ino_t>> synced;
std::vector<bool> renamedWhenSynced;  // per rename: was the file synced before
std::string refusedTarget;            // renames onto it fail with refusal
int refusal = 0;

bool IsSynced(const char* path) {
    struct stat status {};
    return ::stat(path, &status) == 0 && synced.count({status.st_dev, status.st_ino}) > 0;
}

}  // namespace

extern "C" int fsync(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) == 0) {
        synced.insert({status.st_dev, status.st_ino});
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

extern "C" int rename(const char* from, const char* to) {
    renamedWhenSynced.push_back(IsSynced(from));
    if (refusal != 0 && to == refusedTarget) {
        errno = refusal;
        return -1;
    }
    return ::renameat(AT_FDCWD, from, AT_FDCWD, to);
}

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t Entries(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class SafeWriteCallsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("safe_write_calls_test." + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        synced.clear();
        renamedWhenSynced.clear();
        refusal = 0;
    }
    void TearDown() override {
        refusal = 0;
        fs::remove_all(folder);
    }
    fs::path folder;
};

}  // namespace

TEST_F(SafeWriteCallsTest, EveryFileIsOnTheDiskBeforeItTakesItsName) {
    const std::string scene = (folder / "scene.json").string();
    std::ofstream(scene) << "old";
    const std::vector<driver::OutputFile> files = {{scene, std::string(3 << 20, 's')},
                                                   {(folder / "new.svg").string(), "<svg/>"},
                                                   {scene + ".2", ""}};
    driver::WriteOutputFiles(files);
    ASSERT_EQ(renamedWhenSynced.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_TRUE(renamedWhenSynced[i]) << files[i].path;
        EXPECT_EQ(ReadAll(files[i].path), files[i].content.Joined());
    }
}

// One refused rename among the files of a run: that file is written in
// place and says why, the others are replaced, nothing fails, and no
// temporary is left.
TEST_F(SafeWriteCallsTest, ARefusedRenameWritesTheFileInPlaceOnce) {
    for (const int code : {EBUSY, EPERM, EXDEV}) {
        SCOPED_TRACE(code);
        const std::vector<driver::OutputFile> files = {{(folder / "out.json").string(), "scene"},
                                                       {(folder / "out.svg").string(), "picture"}};
        for (const driver::OutputFile& file : files) {
            std::ofstream(file.path) << "old, longer than the new";
        }
        refusedTarget = files[0].path;
        refusal = code;
        std::vector<driver::InPlaceReason> inPlace;
        ASSERT_NO_THROW(inPlace = driver::WriteOutputFiles(files));
        ASSERT_EQ(inPlace.size(), 2u);
        EXPECT_TRUE(inPlace[0].has_value());
        EXPECT_FALSE(inPlace[1].has_value());
        if (code == EBUSY) {  // a mount point, which no program holds
            EXPECT_EQ(inPlace[0].value_or(""), "replacing it failed: the system holds it busy (a mount point)");
        }
        EXPECT_EQ(ReadAll(files[0].path), "scene");
        EXPECT_EQ(ReadAll(files[1].path), "picture");
        EXPECT_EQ(Entries(folder), 2u);

        // The same for one file through the safe writer itself.
        {
            safewrite::Replacement file(files[0].path, "test");
            ASSERT_EQ(file.Stage({"again"}), safewrite::Error::None);
            EXPECT_EQ(file.Commit(), safewrite::Error::None);
            EXPECT_EQ(file.Result(), safewrite::Outcome::WrittenInPlace);
            EXPECT_EQ(file.Commit(), safewrite::Error::Other);  // once
        }
        EXPECT_EQ(ReadAll(files[0].path), "again");
        EXPECT_EQ(Entries(folder), 2u);
    }
}

// A dangling link as the file to write is checked where it leads, before
// the run: its file's folder must be there.
TEST_F(SafeWriteCallsTest, ADanglingLinkIsCheckedWhereItLeads) {
    fs::create_directory(folder / "there");
    const struct {
        const char* link;
        const char* to;
        bool writable;
    } links[] = {{"into-missing", "missing/out.json", false},
                 {"into-folder", "there/out.json", true},
                 {"chain", "there/next", false}};  // there/next leads to missing/out.json
    fs::create_symlink("../missing/out.json", folder / "there" / "next");
    for (const auto& link : links) {
        fs::create_symlink(link.to, folder / link.link);
        const std::string path = (folder / link.link).string();
        bool refused = false;
        try {
            driver::CheckWritable(path, "-o");
        } catch (const driver::OutputFileError& e) {
            refused = std::string(e.what()).find("does not exist") != std::string::npos;
        }
        EXPECT_EQ(refused, !link.writable) << link.link;
    }
}
