// Writes in place (files with a second hard link) struck where a real run
// is: SIGKILL at any write, a second writer at once, a signal that comes to
// another thread, a run of several files whose later one fails, a pipe
// among them. What is left is always the old bytes or the new, never a mix.
// This program's write and pwrite come before the C library's, to strike at
// a chosen write to a regular file.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "files/output_file.h"
#include "replacement.h"
#include "scratch_folder.h"
#include "source_file.h"
#include "temporary_files.h"

namespace fs = std::filesystem;

namespace {

enum class Action { Kill, Pause, Fail, SignalThread, Measure };

// The write that strikes: the `countdown`th to a regular file (to `file`
// alone where it is set).
struct Strike {
    int countdown = 0;
    Action action = Action::Kill;
    ino_t file = 0;
    int pipes[2] = {-1, -1};  // Pause: says so on the first, waits on the second
    pthread_t thread{};       // SignalThread: the thread that SIGTERM is sent to
    std::string watched;      // Measure: the file whose size is taken
    off_t measured = -1;
} strike;

bool Strikes(int fd) {
    struct stat status {};
    if (strike.countdown <= 0 || fd <= 2 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        (strike.file != 0 && status.st_ino != strike.file) || --strike.countdown > 0) {
        return false;
    }
    char byte = 0;
    switch (strike.action) {
        case Action::Kill:
            ::raise(SIGKILL);
            return false;
        case Action::Pause:
            (void)!::syscall(SYS_write, strike.pipes[0], &byte, 1);
            (void)!::read(strike.pipes[1], &byte, 1);
            return false;
        case Action::Fail:
            errno = EIO;
            return true;
        case Action::SignalThread:
            ::pthread_kill(strike.thread, SIGTERM);
            ::usleep(200000);  // time for the signal to land while the bytes go over
            return false;
        case Action::Measure:
            strike.measured = ::stat(strike.watched.c_str(), &status) == 0 ? status.st_size : -1;
            return false;
    }
    return false;
}

}  // namespace

extern "C" ssize_t write(int fd, const void* data, size_t size) {
    return Strikes(fd) ? -1 : ::syscall(SYS_write, fd, data, size);
}

extern "C" ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    return Strikes(fd) ? -1 : ::syscall(SYS_pwrite64, fd, data, size, offset);
}

namespace {

const std::string kOld(100000, 'o');
const std::string kNew(400000, 'n');
const std::string kOther(250000, 'b');

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char* Which(const std::string& bytes) {
    return bytes == kOld ? "old" : bytes == kNew ? "new" : bytes == kOther ? "other" : "mixed";
}

// A file of the old bytes with a second name, so that it is written in place.
std::string LinkedFile(const fs::path& folder, const std::string& name) {
    const fs::path path = folder / name;
    std::ofstream(path, std::ios::binary) << kOld;
    fs::create_hard_link(path, folder / (name + ".link"));
    return path.string();
}

ino_t FileNumber(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

std::size_t Left(const fs::path& folder) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        count += entry.path().filename().string().rfind(".~", 0) == 0 ? 1 : 0;
    }
    return count;
}

int StatusOf(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Writes `content` in place of `target`, struck at `at`; exits 0 when written.
[[noreturn]] void WriteNow(const std::string& target, const std::string& content, const Strike& at) {
    ::alarm(60);
    safewrite::SetCopyPieceSize(4096);
    strike = at;
    bool written = false;
    {
        safewrite::Replacement file(target, "test");
        written = file.Stage({content}) == safewrite::Error::None && file.Commit() == safewrite::Error::None;
    }
    ::_exit(written ? 0 : 1);
}

pid_t StartWriter(const std::string& target, const std::string& content, const Strike& at) {
    const pid_t writer = ::fork();
    if (writer == 0) {
        WriteNow(target, content, at);
    }
    return writer;
}

// The next run in the folder: a Replacement made, and nothing written. What it said.
std::string NextRun(const std::string& target, const fs::path& said) {
    const pid_t next = ::fork();
    if (next == 0) {
        const int out = ::open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, 2);
        const safewrite::Replacement file(target, "test");
        ::_exit(0);
    }
    StatusOf(next);
    return ReadAll(said);
}

}  // namespace

// Killed at any write, from the first byte of the journal to the last of
// the file: the next run finds the file as it was, or whole and new.
TEST(InPlaceJournal, AKillAtAnyWriteLeavesTheOldBytesOrTheNew) {
    std::mt19937 numbers(20261210);
    std::vector<int> kills = {1, 2, 3};
    for (int i = 0; i < 14; ++i) {
        kills.push_back(std::uniform_int_distribution<int>(4, 140)(numbers));
    }
    for (const int kill : kills) {
        SCOPED_TRACE("killed at write " + std::to_string(kill));
        const test_support::ScratchFolder scratch("in_place_journal_test");
        const fs::path place = scratch.Path() / "place";
        fs::create_directory(place);
        const std::string target = LinkedFile(place, "scene.glb");
        Strike at;
        at.countdown = kill;
        const int status = StatusOf(StartWriter(target, kNew, at));
        const bool cut = ReadAll(target) != kOld && ReadAll(target) != kNew;
        const std::string said = NextRun(target, scratch.Path() / "said.txt");
        EXPECT_EQ(Which(ReadAll(target)), std::string(status == 0 ? "new" : "old"));
        EXPECT_EQ(ReadAll(target), ReadAll(target + ".link"));
        EXPECT_EQ(said.find("put back") != std::string::npos, cut) << said;
        EXPECT_TRUE(status == 0 || status == 128 + SIGKILL) << status;
        std::size_t journals = 0;
        for (const auto& entry : fs::directory_iterator(place)) {
            journals += entry.path().extension() == ".journal" ? 1 : 0;
        }
        EXPECT_EQ(journals, 0U);
    }
}

// A second writer of the same file, by another of its names, while the
// first is midway: it waits, or is refused; the file is one of them whole.
TEST(InPlaceJournal, TwoWritersOfOneFileNeverMix) {
    const test_support::ScratchFolder scratch("in_place_journal_test");
    const std::string target = LinkedFile(scratch.Path(), "scene.glb");
    Strike at;
    at.countdown = 10;
    at.action = Action::Pause;
    at.file = FileNumber(target);
    int paused[2];
    int go[2];
    ASSERT_EQ(::pipe(paused), 0);
    ASSERT_EQ(::pipe(go), 0);
    at.pipes[0] = paused[1];
    at.pipes[1] = go[0];
    const pid_t first = StartWriter(target, kNew, at);
    char byte = 0;
    ASSERT_EQ(::read(paused[0], &byte, 1), 1);
    const pid_t second = StartWriter(target + ".link", kOther, Strike());
    // A second writer that did not wait has had the time to write it all.
    int secondStatus = -1;
    for (int wait = 0; wait < 150 && secondStatus < 0; ++wait) {
        int status = 0;
        secondStatus = ::waitpid(second, &status, WNOHANG) == second ? WEXITSTATUS(status) : -1;
        ::usleep(10000);
    }
    ASSERT_EQ(::write(go[1], &byte, 1), 1);
    EXPECT_EQ(StatusOf(first), 0);
    if (secondStatus < 0) {
        secondStatus = StatusOf(second);
    }
    const std::string now = ReadAll(target);
    EXPECT_EQ(Which(now), std::string(secondStatus == 0 ? "other" : "new"));
    EXPECT_EQ(now, ReadAll(target + ".link"));
    EXPECT_EQ(Left(scratch.Path()), 0U);
    for (const int fd : {paused[0], paused[1], go[0], go[1]}) {
        ::close(fd);
    }
}

// SIGTERM sent to another thread of the writer while the new bytes go over
// the old: it waits until they are whole, then ends the run.
TEST(InPlaceJournal, ASignalToAnotherThreadWaitsForTheWrite) {
    const test_support::ScratchFolder scratch("in_place_journal_test");
    const std::string target = LinkedFile(scratch.Path(), "scene.glb");
    const pid_t writer = ::fork();
    if (writer == 0) {
        safewrite::ExitOnInterrupt();
        std::thread idle([] {
            for (;;) {
                ::pause();
            }
        });
        Strike at;
        at.countdown = 5;
        at.action = Action::SignalThread;
        at.file = FileNumber(target);
        at.thread = idle.native_handle();
        idle.detach();
        WriteNow(target, kNew, at);
    }
    EXPECT_EQ(StatusOf(writer), 128 + SIGTERM);
    EXPECT_EQ(Which(ReadAll(target)), std::string("new"));
    EXPECT_EQ(ReadAll(target), ReadAll(target + ".link"));
    EXPECT_EQ(Left(scratch.Path()), 0U);
}

namespace {

enum class Way { InPlace, Renamed, Pipe };

struct FileRun {
    const char* what;
    std::vector<Way> files;
    int failing;       // the file whose device fails at its third write; -1: none
    bool measure;      // the last file's length, taken while the first one is written
    int status;        // 1: the run failed
    const char* left;  // each file: o(ld) or n(ew); a pipe's old is nothing received
};

struct RunFile {
    Way way;
    std::string path;
    int reader = -1;  // a pipe's end that this test reads
};

RunFile MakeFile(Way way, const fs::path& folder, std::size_t index) {
    const std::string name = "file" + std::to_string(index);
    RunFile file{way, (folder / name).string()};
    if (way == Way::InPlace) {
        LinkedFile(folder, name);
    } else if (way == Way::Renamed) {
        std::ofstream(file.path, std::ios::binary) << kOld;
    } else {
        ::mkfifo(file.path.c_str(), 0600);
        file.reader = ::open(file.path.c_str(), O_RDONLY | O_NONBLOCK);
    }
    return file;
}

char LeftIn(const RunFile& file) {
    if (file.way != Way::Pipe) {
        const std::string now = ReadAll(file.path);
        return now == kOld ? 'o' : now == kNew ? 'n' : '?';
    }
    char got[64] = {};
    const ssize_t read = ::read(file.reader, got, sizeof got);
    ::close(file.reader);
    return read <= 0 ? 'o' : std::string(got, static_cast<std::size_t>(read)) == "piped" ? 'n' : '?';
}

}  // namespace

// The commit of several files: writes in place first (each put back when a
// later one fails, its reserved room given back), renames next, pipes last.
TEST(InPlaceJournal, ARunOfFilesFailingMidwayLeavesEveryFileAsItWas) {
    const FileRun runs[] = {
        {"the second in place fails: the first is put back", {Way::InPlace, Way::InPlace}, 1, false, 1, "oo"},
        {"the first in place fails: the second never begins", {Way::InPlace, Way::InPlace}, 0, false, 1, "oo"},
        {"two in place: no file grows before its turn", {Way::InPlace, Way::InPlace}, -1, true, 0, "nn"},
        {"a pipe and a renamed file", {Way::Pipe, Way::Renamed}, -1, false, 0, "nn"},
        {"a pipe is sent nothing when a file fails", {Way::Pipe, Way::InPlace}, 1, false, 1, "oo"},
        {"in place, renamed and a pipe", {Way::InPlace, Way::Renamed, Way::Pipe}, 0, false, 1, "ooo"},
    };
    for (const FileRun& run : runs) {
        SCOPED_TRACE(run.what);
        const test_support::ScratchFolder scratch("in_place_journal_test");
        std::vector<RunFile> files;
        std::vector<driver::OutputFile> outputs;
        for (const Way way : run.files) {
            files.push_back(MakeFile(way, scratch.Path(), files.size()));
            outputs.push_back({files.back().path, way == Way::Pipe ? std::string("piped") : kNew});
        }
        Strike at;
        at.countdown = 3;
        at.action = run.measure ? Action::Measure : Action::Fail;
        at.file = FileNumber(files[run.measure ? 0 : static_cast<std::size_t>(std::max(run.failing, 0))].path);
        at.watched = files.back().path;
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        const pid_t writer = ::fork();
        if (writer == 0) {
            ::alarm(60);
            safewrite::SetCopyPieceSize(4096);
            strike = run.failing >= 0 || run.measure ? at : Strike();
            int status = 0;
            try {
                driver::WriteOutputFiles(outputs);
            } catch (const driver::OutputFileError&) {
                status = 1;
            }
            const std::string measured = std::to_string(strike.measured);
            (void)!::syscall(SYS_write, report[1], measured.data(), measured.size());
            ::_exit(status);
        }
        ::close(report[1]);
        char measured[32] = {};
        (void)!::read(report[0], measured, sizeof measured - 1);
        ::close(report[0]);
        EXPECT_EQ(StatusOf(writer), run.status);
        std::string left;
        for (const RunFile& file : files) {
            left += LeftIn(file);
            struct stat status {};
            if (file.way == Way::InPlace && left.back() == 'o' && ::stat(file.path.c_str(), &status) == 0) {
                EXPECT_LT(status.st_blocks * 512, static_cast<blkcnt_t>(kNew.size())) << file.path << ": room kept";
            }
        }
        EXPECT_EQ(left, run.left);
        if (run.measure) {
            EXPECT_EQ(std::string(measured), std::to_string(kOld.size()));
        }
        EXPECT_EQ(Left(scratch.Path()), 0U);
    }
}

// Held with no file tracked (so no handler of this layer installed), a
// signal on the holding thread waits, and is taken rather than ending the run.
TEST(InPlaceJournal, ASignalHeldWithoutAHandlerWaitsToBeTaken) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGTERM, SIG_DFL);
        safewrite::InterruptsHeld held;
        ::raise(SIGTERM);
        ::_exit(held.Take() == SIGTERM ? 0 : 1);
    }
    EXPECT_EQ(StatusOf(child), 0);
}
