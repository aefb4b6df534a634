// A signal that comes while a tool's save of a names file is in progress
// (the save waits for the file's writers' lock, which this test holds, with
// its new content in its temporary): the run finishes the save, leaves no
// temporary, and ends as the docs say, status 0 and the signal told. (Ended
// at once, the save would leave its temporary beside the file.)
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include "scratch_folder.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Waits until a file whose name begins with `prefix` is made in the folder
// that `watch` watches.
bool MadeIn(int watch, const std::string& prefix) {
    alignas(inotify_event) char events[4096];
    for (ssize_t got = 0; (got = ::read(watch, events, sizeof events)) > 0;) {
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            if (event->len > 0 && std::string(event->name).rfind(prefix, 0) == 0) {
                return true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return false;
}

std::size_t Temporaries(const fs::path& folder) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        count += entry.path().filename().string().rfind(".~", 0) == 0 ? 1 : 0;
    }
    return count;
}

}  // namespace

TEST(ToolSaveSignal, ASaveInProgressEndsWholeWithoutItsTemporaryAndTheSignalIsTold) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const test_support::ScratchFolder scratch("tool_save_signal_test");
        const fs::path folder = scratch.Path();
        fs::copy_file(fs::path(EXAMPLES_DIR) / "room.gltf", folder / "room.gltf");
        fs::copy_file(fs::path(EXAMPLES_DIR) / "room.bin", folder / "room.bin");
        const fs::path names = folder / "names.txt";
        std::ofstream(names, std::ios::binary) << "old\n";
        fs::create_hard_link(names, folder / "names.link");  // so that it is written in place, locked
        const int held = ::open(names.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::flock(held, LOCK_EX), 0);
        const int watch = ::inotify_init1(IN_CLOEXEC);
        ASSERT_GE(::inotify_add_watch(watch, folder.c_str(), IN_CREATE), 0);
        const pid_t run = ::fork();
        if (run == 0) {
            ::alarm(60);
            if (::chdir(folder.c_str()) != 0 || std::freopen("err.txt", "w", stderr) == nullptr ||
                std::freopen("out.txt", "w", stdout) == nullptr) {
                ::_exit(126);
            }
            ::execl(HOST_PROGRAM, "morvane-host", "save-names", "room.gltf", "names.txt", nullptr);
            ::_exit(127);
        }
        const bool saving = MadeIn(watch, ".~velkora-");
        ::close(watch);
        ::kill(run, signal);
        ::close(held);
        int status = 0;
        ::waitpid(run, &status, 0);
        ASSERT_TRUE(saving);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(ReadAll(names).rfind("Living Room\n", 0), 0U) << ReadAll(names);
        EXPECT_NE(ReadAll(folder / "err.txt")
                      .find("signal " + std::to_string(signal) +
                            " came while the files were being put in place; they were written whole first"),
                  std::string::npos)
            << ReadAll(folder / "err.txt");
        EXPECT_EQ(Temporaries(folder), 0U);
    }
}
