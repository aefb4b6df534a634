// Writes in place (a file with a second hard link, a mount point) struck by
// the faults of a real run: interrupting signals while the new bytes go
// over the old, a full disk, a file size limit, a device that fails midway,
// and a run of two files whose second cannot be written. The file is
// always whole: the old bytes, or the new ones with the signal taken after
// them; its other name says the same; no temporary is left. This program's
// write and pwrite come before the C library's, to strike at a chosen write.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
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

// The write onto the file (device and number) that strikes: its signal
// raised, or its error given.
struct Strike {
    dev_t device = 0;
    ino_t file = 0;
    int countdown = 0;
    int signal = 0;
    int error = 0;
} strike;

bool Strikes(int fd) {
    struct stat status {};
    if (strike.countdown <= 0 || ::fstat(fd, &status) != 0 || status.st_dev != strike.device ||
        status.st_ino != strike.file || --strike.countdown > 0) {
        return false;
    }
    if (strike.signal != 0) {
        ::raise(strike.signal);
        return false;
    }
    errno = strike.error;
    return true;
}

}  // namespace

extern "C" ssize_t write(int fd, const void* data, size_t size) {
    return Strikes(fd) ? -1 : ::syscall(SYS_write, fd, data, size);
}

extern "C" ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    return Strikes(fd) ? -1 : ::syscall(SYS_pwrite64, fd, data, size, offset);
}

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t TemporariesOf(const fs::path& folder, const std::string& prefix) {
    std::size_t count = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        count += entry.path().filename().string().rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return count;
}

enum class Place { Disk, SmallTmpfs, MountPoint };

struct Fault {
    const char* what;
    Place place;
    int signal;        // raised at the strike; held until the file is whole
    int error;         // given by the write struck
    rlim_t fileLimit;  // RLIMIT_FSIZE of the writer
    bool secondFile;   // written first, an ordinary file of the same run
    int status;        // the writer's exit status
    bool newBytes;     // the file holds the new bytes, else the old
};

constexpr int kNoNamespace = 77;
const std::string kOld(100000, 'o');
const std::string kNew(400000, 'n');

// The writer: both files of the run, or the one file through the safe
// writer itself; status 1 when the write failed.
[[noreturn]] void Write(const Fault& fault, const std::string& target, const std::string& second) {
    ::alarm(60);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{fault.fileLimit, fault.fileLimit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    safewrite::ExitOnInterrupt();
    safewrite::SetCopyPieceSize(4096);
    struct stat status {};
    ::stat(target.c_str(), &status);
    strike = {status.st_dev, status.st_ino, 5, fault.signal, fault.error};
    if (fault.secondFile) {
        try {
            driver::WriteOutputFiles({{second, "second"}, {target, kNew}});
        } catch (const driver::OutputFileError&) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    bool written = false;
    {
        safewrite::Replacement file(target, "test");
        written = file.Stage({kNew}) == safewrite::Error::None && file.Commit() == safewrite::Error::None;
    }
    ::_exit(written ? 0 : 1);
}

// In a process of its own (and a mount namespace of its own, for a tmpfs
// or a mount point): makes the files, runs the writer, and prints what it
// found: "STATUS BYTES SAME TEMPORARIES SECOND".
[[noreturn]] void RunAndLook(const Fault& fault, const fs::path& folder, int report) {
    const fs::path place = folder / "place";
    fs::create_directory(place);
    if (fault.place != Place::Disk &&
        (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)) {
        ::_exit(kNoNamespace);
    }
    if (fault.place == Place::SmallTmpfs && ::mount("tmpfs", place.c_str(), "tmpfs", 0, "size=256k") != 0) {
        ::_exit(kNoNamespace);
    }
    const std::string target = (place / "scene.glb").string();
    const std::string other = (fault.place == Place::MountPoint ? folder / "mounted.glb" : place / "link.glb").string();
    const std::string second = (folder / "second.glb").string();
    std::ofstream(fault.place == Place::MountPoint ? other : target, std::ios::binary) << kOld;
    std::ofstream(second, std::ios::binary) << "second, as it was";
    if (fault.place == Place::MountPoint) {
        std::ofstream(target) << "";
        if (::mount(other.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0) {
            ::_exit(kNoNamespace);
        }
    } else {
        fs::create_hard_link(target, other);
    }
    const pid_t writer = ::fork();
    if (writer == 0) {
        Write(fault, target, second);
    }
    int status = 0;
    ::waitpid(writer, &status, 0);
    const std::string now = ReadAll(target);
    const std::string prefix = ".~test-" + std::to_string(writer) + "-";
    const std::size_t temporaries =
        TemporariesOf(place, ".~") + TemporariesOf(folder, ".~") +
        TemporariesOf(safewrite::SystemTemporaryFolder(), ".~morvane-" + std::to_string(writer)) +
        TemporariesOf(safewrite::SystemTemporaryFolder(), prefix);
    const char* bytes = now == kOld ? "old" : now == kNew ? "new" : "cut";
    const std::string line = std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)) + " " +
                             bytes + " " + (ReadAll(other) == now ? "same" : "differ") + " " +
                             std::to_string(temporaries) + " " +
                             (ReadAll(second) == "second, as it was" ? "second-old" : "second-new");
    (void)!::write(report, line.data(), line.size());
    ::_exit(0);
}

}  // namespace

TEST(InPlaceFaults, TheFileIsWholeAfterEveryFault) {
    const Fault faults[] = {
        {"SIGINT while the new bytes go over the old", Place::Disk, SIGINT, 0, RLIM_INFINITY, false, 128 + SIGINT,
         true},
        {"SIGTERM, likewise", Place::Disk, SIGTERM, 0, RLIM_INFINITY, false, 128 + SIGTERM, true},
        {"SIGHUP, likewise", Place::Disk, SIGHUP, 0, RLIM_INFINITY, false, 128 + SIGHUP, true},
        {"SIGQUIT, likewise", Place::Disk, SIGQUIT, 0, RLIM_INFINITY, false, 128 + SIGQUIT, true},
        {"SIGINT onto a mount point", Place::MountPoint, SIGINT, 0, RLIM_INFINITY, false, 128 + SIGINT, true},
        {"the device fails midway: the old bytes go back", Place::Disk, 0, EIO, RLIM_INFINITY, false, 1, false},
        {"a full disk", Place::SmallTmpfs, 0, 0, RLIM_INFINITY, false, 1, false},
        {"a file size limit", Place::Disk, 0, 0, 150000, false, 1, false},
        {"a full disk for the second file of a run", Place::SmallTmpfs, 0, 0, RLIM_INFINITY, true, 1, false},
        {"a failing device for the second file of a run", Place::Disk, 0, EIO, RLIM_INFINITY, true, 1, false},
        {"SIGTERM for the second file of a run", Place::Disk, SIGTERM, 0, RLIM_INFINITY, true, 128 + SIGTERM, true},
    };
    std::vector<std::string> skipped;
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        const test_support::ScratchFolder folder("in_place_fault_test");
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        const pid_t looker = ::fork();
        if (looker == 0) {
            ::close(report[0]);
            RunAndLook(fault, folder.Path(), report[1]);
        }
        ::close(report[1]);
        char line[128] = {};
        const ssize_t got = ::read(report[0], line, sizeof line - 1);
        ::close(report[0]);
        int status = 0;
        ::waitpid(looker, &status, 0);
        if (WIFEXITED(status) && WEXITSTATUS(status) == kNoNamespace) {
            skipped.push_back(fault.what);
            continue;
        }
        ASSERT_GT(got, 0);
        const std::string expected = std::to_string(fault.status) + (fault.newBytes ? " new" : " old") + " same 0 " +
                                     (fault.secondFile && fault.newBytes ? "second-new" : "second-old");
        EXPECT_EQ(std::string(line), expected);
    }
    if (!skipped.empty()) {
        GTEST_SKIP() << skipped.size()
                     << " faults need a mount namespace of their own (root, or unshare -rm): " << skipped.front()
                     << ", ...";
    }
}
