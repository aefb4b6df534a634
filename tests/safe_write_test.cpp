// The one safe way of writing, on real files in child processes: a full
// disk (a file-size limit), interrupting signals, a killed writer and two
// writers at once never cost the old file, and leave no temporary; a live
// writer's temporary is never taken; modes and links are a direct write's.
#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "file_calls.h"
#include "replacement.h"
#include "temporary_files.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kTag = "test";

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t Temporaries(const fs::path& folder) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        count += entry.path().filename().string().rfind(std::string(".~") + kTag + "-", 0) == 0 ? 1 : 0;
    }
    return count;
}

// Writes `text` to `path` safely: 0 when it was written, 1 when it failed.
int Save(const std::string& path, const std::string& text) {
    safewrite::Replacement file(path, kTag);
    return file.IsOpen() && file.Stage({text}) == safewrite::Error::None && file.Commit() == safewrite::Error::None ? 0
                                                                                                                    : 1;
}

class SafeWriteTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A folder of each test's own: a process looks for stale temporaries once a folder.
        folder = fs::temp_directory_path() / ("safe_write_test." + std::to_string(::getpid()) + "." +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        target = (folder / "scene.json").string();
        std::ofstream(target, std::ios::binary) << old;
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder;
    std::string target;
    const std::string old = "the old file\n";
    const std::string large = std::string(4 << 20, 'n');
};

}  // namespace

// Each fault strikes a child once it has written `large` over the old file
// and before it commits; the old file stays byte for byte, and a temporary
// outlives only SIGKILL, until the next save to the folder removes it. A
// signal that the child ignored before its handlers came stays ignored:
// the save goes on and replaces the file.
TEST_F(SafeWriteTest, AFaultWhileWritingLeavesTheOldFileAsItWas) {
    const struct {
        const char* fault;
        rlim_t fileLimit;
        int signal;
        bool exitOnInterrupt;  // a program; else a library, whose signal takes its course
        bool ignored;          // the child ignores the signal from its start
        int status;            // the child's exit status, or the signal that ended it
    } faults[] = {
        {"a full disk", 1 << 16, 0, true, false, 1},
        {"SIGINT in a program", RLIM_INFINITY, SIGINT, true, false, 128 + SIGINT},
        {"SIGTERM in a program", RLIM_INFINITY, SIGTERM, true, false, 128 + SIGTERM},
        {"SIGHUP in a program", RLIM_INFINITY, SIGHUP, true, false, 128 + SIGHUP},
        {"SIGQUIT in a program", RLIM_INFINITY, SIGQUIT, true, false, 128 + SIGQUIT},
        {"SIGPIPE in a program", RLIM_INFINITY, SIGPIPE, true, false, 128 + SIGPIPE},
        {"SIGINT in a library", RLIM_INFINITY, SIGINT, false, false, SIGINT},
        {"SIGTERM in a library", RLIM_INFINITY, SIGTERM, false, false, SIGTERM},
        {"SIGQUIT in a library", RLIM_INFINITY, SIGQUIT, false, false, SIGQUIT},
        {"SIGPIPE in a library", RLIM_INFINITY, SIGPIPE, false, false, SIGPIPE},
        {"SIGHUP ignored (nohup)", RLIM_INFINITY, SIGHUP, true, true, 0},
        {"SIGTERM ignored", RLIM_INFINITY, SIGTERM, true, true, 0},
        {"SIGPIPE ignored in a library", RLIM_INFINITY, SIGPIPE, false, true, 0},
        {"SIGKILL", RLIM_INFINITY, SIGKILL, true, false, SIGKILL},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.fault);
        int staged[2];
        int go[2];
        ASSERT_EQ(::pipe(staged), 0);
        ASSERT_EQ(::pipe(go), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(60);
            std::signal(SIGXFSZ, SIG_IGN);
            std::signal(SIGINT, SIG_DFL);  // as a terminal's foreground job has it
            std::signal(fault.signal, fault.ignored ? SIG_IGN : SIG_DFL);
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            const rlimit limit{fault.fileLimit, fault.fileLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            if (fault.exitOnInterrupt) {
                safewrite::ExitOnInterrupt();
            }
            safewrite::Replacement file(target, kTag);
            if (file.Stage({large}) != safewrite::Error::None) {
                ::_exit(1);
            }
            // Written, not yet in place: the parent strikes now, then lets it go on.
            char next = 0;
            if (::write(staged[1], "s", 1) != 1 || ::read(go[0], &next, 1) != 1) {
                ::_exit(2);
            }
            ::_exit(file.Commit() == safewrite::Error::None ? 0 : 1);
        }
        ::close(staged[1]);
        ::close(go[0]);
        char said = 0;
        if (::read(staged[0], &said, 1) == 1 && fault.signal != 0) {
            ::kill(child, fault.signal);
        }
        // A signal sent before the byte is handled before the child reads
        // it; a child that the signal ended reads nothing (and the write
        // fails without a SIGPIPE here).
        if (said == 's') {
            const auto before = std::signal(SIGPIPE, SIG_IGN);
            (void)!::write(go[1], "g", 1);
            std::signal(SIGPIPE, before);
        }
        ::close(staged[0]);
        ::close(go[1]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status), fault.status);
        EXPECT_EQ(ReadAll(target), fault.ignored ? large : old);
        EXPECT_EQ(Temporaries(folder), fault.signal == SIGKILL ? 1u : 0u);
        std::ofstream(target, std::ios::binary | std::ios::trunc) << old;
    }
    // The killed writer's temporary is known by its process and removed.
    ASSERT_EQ(Save(target, large), 0);
    EXPECT_EQ(ReadAll(target), large);
    EXPECT_EQ(Temporaries(folder), 0u);
}

// A temporary is removed as stale only when no writer holds it, whatever
// its name says of its process: the number of a process that has ended
// here may be a live writer's in another PID namespace or on another
// machine that shares the folder, and that of a live process here may be
// a killed writer's of another namespace.
TEST_F(SafeWriteTest, OnlyTemporariesThatNoWriterHoldsAreRemoved) {
    const pid_t ended = ::fork();
    if (ended == 0) {
        ::_exit(0);
    }
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const std::string name = std::string(".~") + kTag + "-" + std::to_string(ended) + "-";
    const fs::path held = folder / (name + "0000000a.tmp");
    const fs::path loose = folder / (name + "0000000b.tmp");
    const fs::path living = folder / (".~" + std::string(kTag) + "-" + std::to_string(::getpid()) + "-0000000c.tmp");
    std::ofstream(held) << "a live writer's";
    std::ofstream(loose) << "a killed writer's";
    std::ofstream(living) << "a writer's killed in another namespace";
    const int holder = ::open(held.c_str(), O_WRONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    // Stale temporaries are looked for once a folder in a process: each save in a child.
    const auto saveInChild = [&] {
        const pid_t saver = ::fork();
        if (saver == 0) {
            ::_exit(Save(target, "new"));
        }
        int status = -1;
        ::waitpid(saver, &status, 0);
        return status;
    };
    EXPECT_EQ(saveInChild(), 0);
    EXPECT_TRUE(fs::exists(held));
    EXPECT_FALSE(fs::exists(loose));
    EXPECT_FALSE(fs::exists(living));
    EXPECT_EQ(ReadAll(target), "new");
    ::close(holder);
    EXPECT_EQ(saveInChild(), 0);
    EXPECT_EQ(Temporaries(folder), 0u);
}

// A new file takes the mode that the umask leaves of 0666, as a direct
// write would give it; a replaced one keeps its own, set-id bits too.
TEST_F(SafeWriteTest, ModesFollowTheUmaskForNewFilesAndStayForReplacedOnes) {
    const std::pair<mode_t, mode_t> cases[] = {{022, 0640}, {077, 02755}, {002, 04750}, {0, 06711}};
    for (const auto& [mask, kept] : cases) {
        const mode_t was = ::umask(mask);
        const fs::path made = folder / ("new." + std::to_string(mask));
        ASSERT_EQ(Save(made.string(), "new"), 0);
        ::chmod(target.c_str(), kept);
        ASSERT_EQ(Save(target, "again"), 0);
        ::umask(was);
        struct stat status {};
        ASSERT_EQ(::stat(made.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0666 & ~mask) << "umask " << mask;
        ASSERT_EQ(::stat(target.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, kept) << "umask " << mask;
    }
}

// A save through a chain of relative links writes the file at its end,
// each link read from its own folder, and makes no file anywhere else.
TEST_F(SafeWriteTest, RelativeLinksAreFollowedFromTheirOwnFolders) {
    const struct {
        const char* file;                                        // the real file, from the test's folder
        std::vector<std::pair<const char*, const char*>> links;  // link, what it holds
    } chains[] = {
        {"a/c", {{"first", "a/b"}, {"a/b", "c"}}},
        {"d", {{"first", "a/b"}, {"a/b", "../d"}}},
        {"a/e/f", {{"first", "a/b"}, {"a/b", "e/g"}, {"a/e/g", "f"}}},
    };
    for (const auto& chain : chains) {
        SCOPED_TRACE(chain.file);
        fs::remove_all(folder);
        fs::create_directories(folder / "a" / "e");
        std::ofstream(folder / chain.file) << old;
        for (const auto& [link, to] : chain.links) {
            fs::create_symlink(to, folder / link);
        }
        std::size_t entries = 0;
        for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
            ++entries;
        }
        ASSERT_EQ(Save((folder / "first").string(), "new"), 0);
        EXPECT_EQ(ReadAll(folder / chain.file), "new");
        EXPECT_TRUE(fs::is_symlink(folder / "first"));
        std::size_t after = 0;
        for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
            ++after;
        }
        EXPECT_EQ(after, entries);
    }
}

// Two writers replace one file many times at once: whenever it is read, it
// is the whole file of one of them.
TEST_F(SafeWriteTest, TwoWritersAtOnceLeaveOneWholeFile) {
    const std::string texts[] = {std::string(1 << 20, 'a'), std::string(300 << 10, 'b')};
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = ::fork();
        if (writers[w] == 0) {
            ::alarm(60);
            int failed = 0;
            for (int i = 0; i < 25; ++i) {
                failed |= Save(target, texts[w]);
            }
            ::_exit(failed);
        }
    }
    for (int looks = 0; looks < 200; ++looks) {
        const std::string now = ReadAll(target);
        ASSERT_TRUE(now == old || now == texts[0] || now == texts[1]) << now.size() << " bytes";
    }
    for (const pid_t writer : writers) {
        int status = 0;
        ASSERT_EQ(::waitpid(writer, &status, 0), writer);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::string last = ReadAll(target);
    EXPECT_TRUE(last == texts[0] || last == texts[1]);
    EXPECT_EQ(Temporaries(folder), 0u);
}

// A failure is told in its own words: a broken pipe as such, and any error
// without a kind of its own in the system's words, never as "unexpected".
TEST(SafeWriteReasons, EverySystemErrorIsToldInItsOwnWords) {
    const auto systemWords = [](int code) {
        std::string words = std::strerror(code);
        words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
        return words;
    };
    const std::pair<int, std::string> rows[] = {
        {EPIPE, "its reader has gone (a broken pipe)"},
        {ENOSPC, "no space left on device"},
        {EXDEV, systemWords(EXDEV)},
        {EOVERFLOW, systemWords(EOVERFLOW)},
        {ETIMEDOUT, systemWords(ETIMEDOUT)},
    };
    for (const auto& [code, words] : rows) {
        errno = code;
        EXPECT_EQ(safewrite::ReasonOf(safewrite::LastError()), words) << code;
    }
}
