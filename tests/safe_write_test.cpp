// The one safe way of writing, on real files in child processes: a full
// disk (a file-size limit), interrupting signals, a killed writer and two
// writers at once never cost the old file, and leave no temporary.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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
    return file.IsOpen() && file.Stage({text}) == safewrite::Error::None && file.Commit() == safewrite::Error::None
               ? 0
               : 1;
}

class SafeWriteTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("safe_write_test." + std::to_string(::getpid()));
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

// Each fault strikes a child while it writes `large` over the old file;
// the old file stays byte for byte, and a temporary outlives only SIGKILL,
// until the next save to the folder removes it.
TEST_F(SafeWriteTest, AFaultWhileWritingLeavesTheOldFileAsItWas) {
    const struct {
        const char* fault;
        rlim_t fileLimit;
        int signal;
        bool exitOnInterrupt;  // a program; else a library, whose signal takes its course
        int status;            // the child's exit status, or the signal that ended it
    } faults[] = {
        {"a full disk", 1 << 16, 0, true, 1},
        {"SIGINT in a program", RLIM_INFINITY, SIGINT, true, 128 + SIGINT},
        {"SIGTERM in a program", RLIM_INFINITY, SIGTERM, true, 128 + SIGTERM},
        {"SIGHUP in a program", RLIM_INFINITY, SIGHUP, true, 128 + SIGHUP},
        {"SIGINT in a library", RLIM_INFINITY, SIGINT, false, SIGINT},
        {"SIGTERM in a library", RLIM_INFINITY, SIGTERM, false, SIGTERM},
        {"SIGKILL", RLIM_INFINITY, SIGKILL, true, SIGKILL},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.fault);
        int staged[2];
        ASSERT_EQ(::pipe(staged), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(10);
            std::signal(SIGXFSZ, SIG_IGN);
            std::signal(SIGINT, SIG_DFL);  // as a terminal's foreground job has it
            const rlimit limit{fault.fileLimit, fault.fileLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            if (fault.exitOnInterrupt) {
                safewrite::ExitOnInterrupt();
            }
            safewrite::Replacement file(target, kTag);
            if (file.Stage({large}) != safewrite::Error::None) {
                ::_exit(1);
            }
            // Written, not yet in place: the parent strikes now.
            if (::write(staged[1], "s", 1) == 1) {
                ::pause();
            }
            ::_exit(0);
        }
        ::close(staged[1]);
        char said = 0;
        if (::read(staged[0], &said, 1) == 1 && fault.signal != 0) {
            ::kill(child, fault.signal);
        }
        ::close(staged[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status), fault.status);
        EXPECT_EQ(ReadAll(target), old);
        EXPECT_EQ(Temporaries(folder), fault.signal == SIGKILL ? 1u : 0u);
    }
    // The killed writer's temporary is known by its process and removed.
    ASSERT_EQ(Save(target, large), 0);
    EXPECT_EQ(ReadAll(target), large);
    EXPECT_EQ(Temporaries(folder), 0u);
}

// Two writers replace one file many times at once: whenever it is read, it
// is the whole file of one of them.
TEST_F(SafeWriteTest, TwoWritersAtOnceLeaveOneWholeFile) {
    const std::string texts[] = {std::string(1 << 20, 'a'), std::string(300 << 10, 'b')};
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = ::fork();
        if (writers[w] == 0) {
            ::alarm(20);
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
