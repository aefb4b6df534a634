// Saves and loads that fail for real: a file size limit that stops writing
// midway, missing permissions, names taken by other files.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

using Names = std::vector<std::string>;

constexpr uid_t kNobody = 65534;

// Runs `body` in a child process and returns its exit code, or -1 when it
// did not exit normally. `unprivileged` makes the child an ordinary user
// when the tests run as root, so that permissions apply to it.
int InChild(const std::function<int()>& body, bool unprivileged = false) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (unprivileged && ::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(100);
        }
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// A scene of `count` nodes under the root, names of ten characters.
void FillScene(StandinScene& scene, int count) {
    for (int i = 0; i < count; ++i) {
        scene.AddNode(scene.Root(), "node" + std::to_string(100000 + i));
    }
}

class NamesSaveFailureTest : public ::testing::Test {
protected:
    NamesSaveFailureTest() : host_(scene_) { tool_.SetInterface(&host_); }

    names_test::ScratchFolder folder_;
    std::string path_ = folder_.File("names.txt");
    const std::string old_ = "previous\r\ncontent\n";
    StandinScene scene_;
    StandinInterface host_;
    NamesUtility tool_;
};

}  // namespace

TEST_F(NamesSaveFailureTest, WriteFailingMidwayKeepsThePreviousFileAndLeavesNoTemporary) {
    // Small: the failure shows when the last bytes are flushed; large: while
    // the content is still being written.
    for (const int nodes : {20, 200000}) {
        SCOPED_TRACE(std::to_string(nodes) + " nodes");
        StandinScene scene;
        FillScene(scene, nodes);
        StandinInterface host(scene);
        NamesUtility tool;
        tool.SetInterface(&host);
        WriteBytes(path_, old_);

        const int code = InChild([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{100, 100};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                return 1;
            }
            tool.SaveNames(path_);
            return 0;
        });
        ASSERT_EQ(code, 0);
        EXPECT_TRUE(SameBytes(ReadBytes(path_), old_));
        EXPECT_EQ(folder_.Entries(), (Names{"names.txt"}));

        // The same save without the limit replaces the file.
        tool.SaveNames(path_);
        EXPECT_EQ(ReadBytes(path_).size(), 11u + 11u * static_cast<unsigned>(nodes));
        EXPECT_EQ(folder_.Entries(), (Names{"names.txt"}));
    }
}

TEST_F(NamesSaveFailureTest, TargetThatIsAFolderStaysAndNoTemporaryIsLeft) {
    const std::filesystem::path target = folder_.Path() / "names.txt";
    std::filesystem::create_directory(target);
    WriteBytes((target / "inside").string(), old_);
    tool_.SaveNames(target.string());
    tool_.SaveNames(target.string() + "/");
    EXPECT_EQ(folder_.Entries(), (Names{"names.txt"}));
    EXPECT_TRUE(SameBytes(ReadBytes((target / "inside").string()), old_));
}

TEST_F(NamesSaveFailureTest, FilesNamedLikeTheTemporaryAreNotTouched) {
    WriteBytes(path_ + ".~0.tmp", "someone else's\n");
    scene_.Root().SetName("Root");
    tool_.SaveNames(path_);
    EXPECT_TRUE(SameBytes(ReadBytes(path_), "Root\n"));
    EXPECT_TRUE(SameBytes(ReadBytes(path_ + ".~0.tmp"), "someone else's\n"));
    EXPECT_EQ(folder_.Entries(), (Names{"names.txt", "names.txt.~0.tmp"}));
}

TEST_F(NamesSaveFailureTest, WithoutPermissionNothingChanges) {
    FillScene(scene_, 3);
    const Names before = NamesOf(scene_);
    const std::string readOnly = folder_.File("read-only.txt");
    const std::string unreadable = folder_.File("unreadable.txt");
    WriteBytes(readOnly, old_);
    WriteBytes(unreadable, "a\nb\nc\nd\n");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(unreadable.c_str(), 0), 0);
    ASSERT_EQ(::chmod(folder_.Path().c_str(), 0777), 0);

    // A read-only file in a writable folder is not replaced.
    EXPECT_EQ(InChild([&] { tool_.SaveNames(readOnly); return 0; }, true), 0);
    EXPECT_TRUE(SameBytes(ReadBytes(readOnly), old_));
    // A file that cannot be read gives no names; the scene is the child's
    // copy, so the child reports what it saw.
    EXPECT_EQ(InChild([&] { tool_.LoadNames(unreadable); return NamesOf(scene_) == before ? 0 : 1; }, true), 0);

    // A writable file in a read-only folder: no temporary can be made there.
    const std::string inLocked = folder_.File("in-locked.txt");
    WriteBytes(inLocked, old_);
    ASSERT_EQ(::chmod(inLocked.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(folder_.Path().c_str(), 0555), 0);
    EXPECT_EQ(InChild([&] { tool_.SaveNames(inLocked); return 0; }, true), 0);
    ASSERT_EQ(::chmod(folder_.Path().c_str(), 0700), 0);
    EXPECT_TRUE(SameBytes(ReadBytes(inLocked), old_));
    EXPECT_EQ(folder_.Entries(), (Names{"in-locked.txt", "read-only.txt", "unreadable.txt"}));
}
