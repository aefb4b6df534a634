// Saves and loads on real files that are not the plain case: failures,
// permissions, links, devices and endless sources, as the system has them.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include "names_report.h"
#include "names_test_support.h"
#include "names_utility.h"
#include "standin/standin_interface.h"

using names_test::NamesOf;
using names_test::ReadBytes;
using names_test::SameBytes;
using names_test::WriteBytes;
using standin::StandinInterface;
using standin::StandinScene;

namespace {

// Called once after the next positioned read of this process, then
// dropped: a test changes a file there while a load reads it.
std::function<void()> afterNextRead;

}  // namespace

// This program's pread comes before the C library's.
extern "C" ssize_t pread(int fd, void* data, size_t size, off_t offset) {
    const auto got = static_cast<ssize_t>(::syscall(SYS_pread64, fd, data, size, offset));
    if (afterNextRead) {
        const std::function<void()> change = std::move(afterNextRead);
        afterNextRead = nullptr;
        change();
    }
    return got;
}

namespace {

using Names = std::vector<std::string>;

constexpr uid_t kNobody = 65534;

// Runs `body` in a child process and returns the text it returned. With
// `unprivileged` the child is an ordinary user when the tests run as root,
// so that permissions apply to it; `fileLimit` caps the size of the files
// it writes. A child that hangs is ended after a minute (a busy machine may be slow).
std::string InChild(const std::function<std::string()>& body, bool unprivileged = false,
                    rlim_t fileLimit = RLIM_INFINITY) {
    int pipe[2];
    if (::pipe(pipe) != 0) {
        return "no pipe";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        ::alarm(60);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{fileLimit, fileLimit};
        if ((unprivileged && ::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ||
            ::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            ::_exit(100);
        }
        const std::string said = body();
        ::_exit(::write(pipe[1], said.data(), said.size()) == static_cast<ssize_t>(said.size()) ? 0 : 101);
    }
    ::close(pipe[1]);
    std::string said;
    char buffer[512];
    for (ssize_t got = 0; (got = ::read(pipe[0], buffer, sizeof buffer)) > 0;) {
        said.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipe[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "the child failed";
    }
    return said;
}

// Gives a file to the ordinary user of InChild, when the tests may.
void GiveToOrdinaryUser(const std::string& path) {
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    }
}

struct stat StatOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status;
}

class NamesRealFileTest : public ::testing::Test {
protected:
    NamesRealFileTest() : host_(scene_) {
        for (int i = 0; i < 3; ++i) {
            scene_.AddNode(scene_.Root(), "node" + std::to_string(100000 + i));
        }
        tool_.SetInterface(&host_);
        EXPECT_EQ(::chmod(folder_.Path().c_str(), 0777), 0);  // the unprivileged child's too
    }

    // What the log says of a save of `path`, here or in a child.
    std::string Save(const std::string& path) { return names_tool::ReportOf(path, tool_.SaveNames(path)).text; }
    std::string SaveAsOrdinaryUser(const std::string& path) {
        return InChild([&] { return Save(path); }, true);
    }
    std::string Load(const std::string& path) { return names_tool::ReportOf(path, tool_.LoadNames(path)).text; }

    static std::string Saved(const std::string& path, const std::string& how) {
        return "saved 4 names to \"" + path + "\": " + how;
    }
    static std::string NotSaved(const std::string& path, const std::string& how) {
        return "names not saved to \"" + path + "\": " + how;
    }

    names_test::ScratchFolder folder_;
    std::string path_ = folder_.File("names.txt");
    const std::string old_ = "previous\r\ncontent\n";
    const std::string new_ = "Scene Root\nnode100000\nnode100001\nnode100002\n";
    StandinScene scene_;
    StandinInterface host_;
    NamesUtility tool_;
};

}  // namespace

TEST_F(NamesRealFileTest, WriteFailingMidwayKeepsThePreviousFileOrLeavesNone) {
    // Small: the failure shows when the last bytes go out; large: while the
    // content is still being written.
    for (const int nodes : {0, 200000}) {
        SCOPED_TRACE(std::to_string(nodes) + " more nodes");
        for (int i = 0; i < nodes; ++i) {
            scene_.AddNode(scene_.Root(), "node" + std::to_string(200000 + i));
        }
        const std::string fresh = folder_.File("fresh.txt");
        WriteBytes(path_, old_);
        const std::string tooLarge = " (the file is too large)";
        EXPECT_EQ(InChild([&] { return Save(path_) + "|" + Save(fresh); }, false, 30),
                  NotSaved(path_, "not replaced" + tooLarge) + "|" + NotSaved(fresh, "not written" + tooLarge));
        EXPECT_TRUE(SameBytes(ReadBytes(path_), old_));
        EXPECT_EQ(folder_.Entries(), (Names{"names.txt"}));
    }
}

TEST_F(NamesRealFileTest, ReplacingKeepsModeOwnerAndLinks) {
    WriteBytes(path_, old_);
    ASSERT_EQ(::chmod(path_.c_str(), 0600), 0);
    const bool root = ::geteuid() == 0;
    GiveToOrdinaryUser(path_);
    EXPECT_EQ(Save(path_), Saved(path_, "replaced"));
    EXPECT_TRUE(SameBytes(ReadBytes(path_), new_));
    EXPECT_EQ(StatOf(path_).st_mode & 07777, 0600u);
    EXPECT_EQ(StatOf(path_).st_uid, root ? kNobody : ::geteuid());

    // A symbolic link stays a link; the file it leads to is replaced in its
    // own folder. A dangling link leads to the file to create.
    const std::string real = folder_.File("real/names.txt");
    std::filesystem::create_directory(folder_.File("real"));
    WriteBytes(real, old_);
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    const std::string link = folder_.File("link.txt");
    const std::string dangling = folder_.File("dangling.txt");
    ASSERT_EQ(::symlink("real/names.txt", link.c_str()), 0);
    ASSERT_EQ(::symlink("real/new.txt", dangling.c_str()), 0);
    EXPECT_EQ(Save(link), Saved(link, "replaced"));
    EXPECT_EQ(Save(dangling), Saved(dangling, "written"));
    EXPECT_TRUE(S_ISLNK(StatOf(link).st_mode));
    EXPECT_TRUE(S_ISLNK(StatOf(dangling).st_mode));
    EXPECT_TRUE(SameBytes(ReadBytes(real), new_));
    EXPECT_TRUE(SameBytes(ReadBytes(folder_.File("real/new.txt")), new_));
    EXPECT_EQ(StatOf(real).st_mode & 07777, 0640u);
    EXPECT_EQ(folder_.Entries(), (Names{"dangling.txt", "link.txt", "names.txt", "real"}));
}

TEST_F(NamesRealFileTest, WhereReplacingWouldChangeWhichFileItIsTheFileIsWrittenInPlace) {
    // A hard link: both names keep naming one file, which holds the names.
    WriteBytes(path_, old_);
    const std::string other = folder_.File("other-name.txt");
    ASSERT_EQ(::link(path_.c_str(), other.c_str()), 0);
    const names_tool::NamesReport inPlace = names_tool::ReportOf(path_, tool_.SaveNames(path_));
    EXPECT_EQ(inPlace.text, Saved(path_, "written in place (the file has other hard links)"));
    EXPECT_EQ(inPlace.type, SYSLOG_INFO) << "the save did its job";
    EXPECT_TRUE(SameBytes(ReadBytes(other), new_));
    EXPECT_EQ(StatOf(path_).st_ino, StatOf(other).st_ino);
    // An in-place write that cannot be made whole leaves the file as it was.
    EXPECT_EQ(InChild([&] { return Save(path_); }, false, 30), NotSaved(path_, "not replaced (the file is too large)"));
    EXPECT_TRUE(SameBytes(ReadBytes(other), new_));

    // Character devices stay devices: one that takes everything, and one
    // that is always full. Made here where the system lets us, else the
    // system's own, which an ordinary user cannot replace.
    for (const auto& [name, minor] : {std::pair<std::string, int>{"null", 3}, {"full", 7}}) {
        std::string device = folder_.File(name);
        if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, minor)) != 0 || ::chmod(device.c_str(), 0666) != 0) {
            device = "/dev/" + name;
        }
        const std::string expected = minor == 3 ? Saved(device, "written in place (not a regular file)")
                                                : NotSaved(device, "written only in part (no space left on device)");
        EXPECT_EQ(SaveAsOrdinaryUser(device), expected);
        EXPECT_EQ(Save(device), expected);
        EXPECT_TRUE(S_ISCHR(StatOf(device).st_mode));
    }
}

TEST_F(NamesRealFileTest, SavesThatADirectWriteMakesAreMade) {
    // A file its owner may write but not read.
    const std::string writeOnly = folder_.File("write-only.txt");
    WriteBytes(writeOnly, old_);
    ASSERT_EQ(::chmod(writeOnly.c_str(), 0200), 0);
    GiveToOrdinaryUser(writeOnly);
    EXPECT_EQ(SaveAsOrdinaryUser(writeOnly), Saved(writeOnly, "replaced"));
    EXPECT_EQ(StatOf(writeOnly).st_mode & 07777, 0200u);

    // A name as long as the system allows, and files left by other saves.
    const std::string longest = folder_.File(std::string(250, 'n') + ".txt");
    WriteBytes(longest, old_);
    EXPECT_EQ(Save(longest), Saved(longest, "replaced"));
    for (int i = 0; i < 100; ++i) {
        WriteBytes(path_ + ".~" + std::to_string(i) + ".tmp", "left\n");
    }
    WriteBytes(path_, old_);
    EXPECT_EQ(Save(path_), Saved(path_, "replaced"));
    EXPECT_TRUE(SameBytes(ReadBytes(path_), new_));
    EXPECT_TRUE(SameBytes(ReadBytes(path_ + ".~99.tmp"), "left\n"));
    EXPECT_EQ(folder_.Entries().size(), 103u);

    // A writable file in a folder that takes no new file, and another user's
    // writable file in a sticky folder: the owner or group cannot be kept.
    const std::string locked = folder_.File("locked/names.txt");
    const std::string sticky = folder_.File("sticky/names.txt");
    for (const std::string& file : {locked, sticky}) {
        std::filesystem::create_directory(std::filesystem::path(file).parent_path());
        WriteBytes(file, old_);
        ASSERT_EQ(::chmod(file.c_str(), 0666), 0);
    }
    GiveToOrdinaryUser(locked);
    ASSERT_EQ(::chmod(folder_.File("locked").c_str(), 0555), 0);
    ASSERT_EQ(::chmod(folder_.File("sticky").c_str(), 01777), 0);
    EXPECT_EQ(SaveAsOrdinaryUser(locked), Saved(locked, "written in place (the folder is not writable)"));
    EXPECT_EQ(SaveAsOrdinaryUser(sticky), Saved(sticky, "written in place (its owner or group cannot be kept)"));
    EXPECT_EQ(StatOf(sticky).st_uid, 0u);
    ASSERT_EQ(::chmod(folder_.File("locked").c_str(), 0700), 0);
    for (const std::string& file : {writeOnly, longest, locked, sticky}) {
        EXPECT_TRUE(SameBytes(ReadBytes(file), new_)) << file;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.File("sticky")), {}), 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.File("locked")), {}), 1);
}

TEST_F(NamesRealFileTest, WhatADirectWriteCannotDoIsNotDone) {
    // A folder, with and without a final separator.
    const std::string target = folder_.File("folder");
    std::filesystem::create_directory(target);
    EXPECT_EQ(Save(target), NotSaved(target, "not replaced (a folder)"));
    EXPECT_EQ(Save(target + "/"), NotSaved(target + "/", "not replaced (a folder)"));
    // A read-only file, and a folder that is missing.
    const std::string readOnly = folder_.File("read-only.txt");
    WriteBytes(readOnly, old_);
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    EXPECT_EQ(SaveAsOrdinaryUser(readOnly), NotSaved(readOnly, "not replaced (permission denied)"));
    EXPECT_TRUE(SameBytes(ReadBytes(readOnly), old_));
    const std::string nowhere = folder_.File("missing/names.txt");
    EXPECT_EQ(Save(nowhere), NotSaved(nowhere, "not written (no such folder)"));
    EXPECT_EQ(folder_.Entries(), (Names{"folder", "read-only.txt"}));
}

TEST_F(NamesRealFileTest, OnlyARegularFileIsLoadedAndEndlessSourcesReturnAtOnce) {
    const Names before = NamesOf(scene_);
    const std::string unreadable = folder_.File("unreadable.txt");
    WriteBytes(unreadable, "a\nb\nc\nd\n");
    ASSERT_EQ(::chmod(unreadable.c_str(), 0), 0);
    const std::string fifo = folder_.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    const std::string zeroLink = folder_.File("zero.txt");
    ASSERT_EQ(::symlink("/dev/zero", zeroLink.c_str()), 0);
    const std::string notLoaded = "names not loaded from \"";
    host_.Journal().Clear();
    // The scene is the child's copy: the child reports what it saw.
    EXPECT_EQ(InChild(
                  [&] {
        return Load(unreadable) + "|" + Load("/dev/zero") + "|" + Load(zeroLink) + "|" + Load(fifo) + "|" +
               Load(folder_.Path().string()) + "|" + std::to_string(host_.Journal().Calls().size()) +
               (NamesOf(scene_) == before ? " unchanged" : " changed");
                  },
                  true),
              notLoaded + unreadable + "\": permission denied|" + notLoaded + "/dev/zero\": not a regular file|" +
                  notLoaded + zeroLink + "\": not a regular file|" + notLoaded + fifo + "\": not a regular file|" +
                  notLoaded + folder_.Path().string() + "\": a folder|0 unchanged");
}

TEST_F(NamesRealFileTest, LoadingReadsOnceAndStopsAfterTheLineForTheLastNode) {
    std::string lines;
    for (int i = 0; lines.size() < (8u << 20); ++i) {
        lines += "line" + std::to_string(i) + "\n";
    }
    WriteBytes(path_, lines);
    // The bytes this process has read so far, as the system counts them.
    const auto bytesRead = [] {
        std::ifstream io("/proc/self/io");
        std::string key;
        long long value = 0;
        while (io >> key >> value && key != "rchar:") {
        }
        return value;
    };
    const long long start = bytesRead();
    EXPECT_EQ(Load(path_), "loaded 4 names from \"" + path_ + "\"");
    EXPECT_LT(bytesRead() - start, 1 << 20);
    EXPECT_EQ(NamesOf(scene_), (Names{"line0", "line1", "line2", "line3"}));
}

// A names file that changes while a load reads it renames nothing: what was
// read may mix two versions.
TEST_F(NamesRealFileTest, AFileChangedWhileItIsLoadedRenamesNothing) {
    namespace fs = std::filesystem;
    const std::string other = "Other Root\nother0\nother1\nother2\n";
    const struct {
        const char* what;
        std::function<void(const std::string& path)> change;
    } cases[] =
        {
            {"nothing", [](const std::string&) {}},
            {"rewritten with the same size, its time put back",
             [&](const std::string& path) {
        const auto time = fs::last_write_time(path);
        WriteBytes(path, other);
        fs::last_write_time(path, time);
             }},
            {"grown", [](const std::string& path) { std::ofstream(path, std::ios::app) << "more\n"; }},
            {"renamed over by another version",
             [&](const std::string& path) {
        WriteBytes(path + ".new", other);
        fs::rename(path + ".new", path);
             }},
      };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(path_, new_);
        // The clock moves past the file's last change, so that a change now moves its stamp.
        const auto written = fs::last_write_time(path_);
        do {
            WriteBytes(folder_.File("clock"), "tick");
        } while (fs::last_write_time(folder_.File("clock")) <= written);
        const std::string renamed = new_.substr(0, new_.find('\n'));
        scene_.Root().SetName("before");
        afterNextRead = [&] { c.change(path_); };
        const std::string said = Load(path_);
        afterNextRead = nullptr;
        if (&c == cases) {
            EXPECT_EQ(said, "loaded 4 names from \"" + path_ + "\"");
            EXPECT_EQ(scene_.Root().Name(), renamed);
        } else {
            EXPECT_EQ(said.rfind("names not loaded from \"" + path_ + "\": it changed while it was read (", 0), 0U)
                << said;
            EXPECT_EQ(scene_.Root().Name(), "before");
        }
    }
}
