// A file staged by a child process and handed over to its parent, which
// puts it in place: only the very file the child made, whole; what the
// child left after any fault, or that the parent could not take, is gone
// once the parent's table is, and an impostor is never removed.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "handed_temporaries.h"
#include "replacement.h"
#include "temporary_files.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kTag = "test";
const std::string kOld = "the old file\n";
const std::string kNew = std::string(1 << 20, 'n');

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t Temporaries(const fs::path& folder) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        count += entry.path().filename().string().rfind(".~", 0) == 0 ? 1 : 0;
    }
    return count;
}

// A child that stages kNew for `target` and hands it over (then is killed,
// when asked); what it handed, none when it was killed or handed nothing.
std::optional<safewrite::Handed> StageInChild(const std::string& target, bool killed) {
    int pipe[2];
    if (::pipe(pipe) != 0) {
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        std::optional<safewrite::Handed> handed;
        {
            // Let go before the child ends, as a run's files are.
            safewrite::Replacement file(target, kTag);
            if (file.IsOpen() && file.Stage({kNew}) == safewrite::Error::None) {
                handed = file.HandOver();
            }
            if (killed) {
                ::raise(SIGKILL);
            }
        }
        const std::string told = handed ? handed->temporary + "\n" + std::to_string(handed->identity.device) + " " +
                                              std::to_string(handed->identity.file) + " " +
                                              std::to_string(handed->identity.born) + " " + std::to_string(handed->size)
                                        : std::string();
        _exit(::write(pipe[1], told.data(), told.size()) == static_cast<ssize_t>(told.size()) ? 0 : 1);
    }
    ::close(pipe[1]);
    std::string told;
    char piece[512];
    for (ssize_t got; (got = ::read(pipe[0], piece, sizeof piece)) > 0;) {
        told.append(piece, static_cast<std::size_t>(got));
    }
    ::close(pipe[0]);
    ::waitpid(child, nullptr, 0);
    const std::size_t line = told.find('\n');
    if (line == std::string::npos) {
        return std::nullopt;
    }
    safewrite::Handed handed{told.substr(0, line), {}, 0};
    std::istringstream numbers(told.substr(line + 1));
    numbers >> handed.identity.device >> handed.identity.file >> handed.identity.born >> handed.size;
    return handed;
}

struct Case {
    const char* name;
    bool killed;                                                      // the child, once it has staged
    std::function<void(const fs::path&, safewrite::Handed&)> meddle;  // after the child, before the parent
    bool written;                                                     // the new bytes are in place
    std::size_t left;                                                 // temporaries left once the table is gone
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

void Nothing(const fs::path&, safewrite::Handed&) {}

// A temporary of a live writer, held as writers hold theirs until the test ends.
int held = -1;
void HoldAsAWriter(const std::string& path) {
    held = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ::flock(held, LOCK_EX);
}

const Case kCases[] =
    {
        {"put_in_place", false, Nothing, true, 0},
        {"child_killed_after_staging", true, Nothing, false, 0},
        // Another file of the same name: refused, and not removed.
        {"temporary_swapped", false,
         [](const fs::path& folder, safewrite::Handed& h) {
    fs::rename(h.temporary, folder / "aside");
    std::ofstream(h.temporary, std::ios::binary) << kNew;
         },
         false, 1},
        // A temporary that another writer holds is not the child's.
        {"temporary_held", false, [](const fs::path&, safewrite::Handed& h) { HoldAsAWriter(h.temporary); }, false, 1},
        {"temporary_grown", false,
         [](const fs::path&, safewrite::Handed& h) { std::ofstream(h.temporary, std::ios::app) << "x"; }, false, 0},
        {"size_told_wrong", false, [](const fs::path&, safewrite::Handed& h) { h.size -= 1; }, false, 0},
        // A temporary that the child never named is not taken (nor removed).
        {"name_never_handed", false,
         [](const fs::path& folder, safewrite::Handed& h) {
    h.temporary = (folder / ".~test-1-0badf00d.tmp").string();
    fs::copy_file(folder / "scene.json", h.temporary);
         },
         false, 1},
           // A file that gained a second name is written in place, both names seeing it.
    {"target_gained_a_link", false,
     [](const fs::path& folder,
        safewrite::Handed&) { fs::create_hard_link(folder / "scene.json", folder / "link.json"); },
     true, 0},
           {"target_became_a_folder", false,
            [](const fs::path& folder, safewrite::Handed&) {
    fs::remove(folder / "scene.json");
    fs::create_directory(folder / "scene.json");
            },
            false, 0},
    };

class HandedWrite : public testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("handed_write_test." + std::to_string(::getpid()) + "." + std::to_string(counter++));
        fs::remove_all(folder);
        fs::create_directories(folder);
        target = (folder / "scene.json").string();
        std::ofstream(target, std::ios::binary) << kOld;
    }
    void TearDown() override {
        if (held >= 0) {
            ::close(std::exchange(held, -1));
        }
        fs::remove_all(folder);
    }

    static inline int counter = 0;
    fs::path folder;
    std::string target;
};

TEST_P(HandedWrite, OnlyTheChildsWholeFileIsPutInPlace) {
    const Case& c = GetParam();
    std::optional<safewrite::ChildTemporaries> table(std::in_place);
    std::optional<safewrite::Handed> handed = StageInChild(target, c.killed);
    ASSERT_EQ(handed.has_value(), !c.killed);
    EXPECT_EQ(Temporaries(folder), 1u);
    bool committed = false;
    if (handed) {
        c.meddle(folder, *handed);
        safewrite::Replacement file(target, kTag, *handed);
        committed = file.IsOpen() && file.Commit() == safewrite::Error::None;
    }
    table.reset();
    EXPECT_EQ(committed, c.written);
    if (fs::is_regular_file(target)) {
        EXPECT_EQ(ReadAll(target), c.written ? kNew : kOld);
    }
    if (fs::exists(folder / "link.json")) {
        EXPECT_EQ(ReadAll(folder / "link.json"), kNew);
    }
    EXPECT_EQ(Temporaries(folder), c.left);
}

INSTANTIATE_TEST_SUITE_P(Cases, HandedWrite, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& param) { return param.param.name; });

// What an interrupting signal's handler removes: the child's temporaries too.
TEST_F(HandedWrite, AnInterruptRemovesWhatTheChildLeft) {
    const safewrite::ChildTemporaries table;
    ASSERT_FALSE(StageInChild(target, true));
    ASSERT_EQ(Temporaries(folder), 1u);
    safewrite::RemoveTrackedTemporaries();
    EXPECT_EQ(Temporaries(folder), 0u);
    EXPECT_EQ(ReadAll(target), kOld);
}

// Without a parent's table, nothing is handed over, and nothing is left.
TEST_F(HandedWrite, NothingIsHandedWithoutATable) {
    EXPECT_FALSE(StageInChild(target, false));
    EXPECT_EQ(Temporaries(folder), 0u);
    EXPECT_EQ(ReadAll(target), kOld);
}

}  // namespace

// What a child names is removed only where it is named as a temporary: a
// child whose memory a library spoilt costs no other file.
TEST_F(HandedWrite, OnlyNamesOfTemporariesAreRemoved) {
    const struct {
        const char* name;
        bool removed;
    } names[] = {
        {".~test-1-0badf00d.tmp", true},  {"scene.json", false},
        {".~test-1-0badf00g.tmp", false}, {".~test-1-0badf00d.tmq", false},
        {".~test-1+0badf00d.tmp", false}, {"~test-1-0badf00d.tmp", false},
        {".~0badf00d.tmp", false},
    };
    for (const auto& name : names) {
        const std::string path = (folder / name.name).string();
        std::ofstream(path) << kOld;
        std::optional<safewrite::ChildTemporaries> table(std::in_place);
        const pid_t child = ::fork();
        if (child == 0) {
            _exit(safewrite::Track(path) ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_EQ(status, 0);
        table.reset();
        EXPECT_EQ(!fs::exists(path), name.removed) << name.name;
        fs::remove(path);
    }
}
