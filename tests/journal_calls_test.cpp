// The journal and the lock of a write in place, on both systems (natively
// and under Wine): a journal left by a writer that was cut short is put
// back by the next run, or kept where its file is no longer there (another
// file at its name, or its number now another file's); one cut
// short before it was whole is removed; the clean-up of temporaries never
// takes one; a second writer cannot take the lock; reserving room changes
// no file's length.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#ifndef _WIN32
#  include <sys/stat.h>
#endif

#include "journal.h"
#include "scratch_folder.h"
#include "temporary_files.h"

namespace fs = std::filesystem;

namespace {

const std::string kOld = "the old bytes\n" + std::string(5000, 'o');
const std::string kHalf = "half new" + std::string(9000, 'n');

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::size_t Journals(const fs::path& folder) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        count += entry.path().extension() == ".journal" ? 1 : 0;
    }
    return count;
}

enum class Left { Whole, FileReplaced, NumberReused, HeaderOnly, Empty };

struct Recovery {
    const char* what;
    Left left;
    const char* expected;  // the file's bytes after the next run: "old", "half", "other"
    std::size_t journals;  // journals left after it
};

#ifndef _WIN32
// The file at `target` removed and another made there that, as a system
// gives a freed number again, has its device and number where it can.
void TakeItsNumber(const std::string& target) {
    struct stat old {};
    ASSERT_EQ(::stat(target.c_str(), &old), 0);
    fs::remove(target);
    for (int attempt = 0; attempt < 16; ++attempt) {
        WriteAll(target, "another file");
        struct stat now {};
        if (::stat(target.c_str(), &now) == 0 && now.st_ino == old.st_ino) {
            return;
        }
        fs::rename(target, target + ".aside" + std::to_string(attempt));
    }
    WriteAll(target, "another file");
}
#endif

// What is at the name of a file whose number another file took.
#ifdef _WIN32
constexpr char kAtTheNumber[] = "half";
#else
constexpr char kAtTheNumber[] = "other";
#endif

// A writer that kept the old bytes, began the new ones and was cut short.
void LeaveJournal(const std::string& target, Left left) {
    safewrite::Target file = safewrite::OpenTarget(target);
    ASSERT_EQ(file.error, safewrite::Error::None);
    safewrite::Journal journal;
    ASSERT_EQ(journal.Keep(target, file.file, kOld.size(), "test"), safewrite::Error::None);
    ASSERT_EQ(file.file.WriteAt(0, kHalf.data(), kHalf.size()), safewrite::Error::None);
    const std::string path = journal.Leave();
    file.file.Close();
    if (left == Left::FileReplaced) {
        fs::rename(target, target + ".moved");
        WriteAll(target, "another file");
    } else if (left == Left::NumberReused) {
#ifndef _WIN32
        TakeItsNumber(target);
#else
        // The file's device and number, but another file's birth: what a
        // number freed by a removed file and given to a new one looks like.
        std::string bytes = ReadAll(path);
        const std::size_t born = bytes.find("\nborn ") + 6;
        const std::size_t end = bytes.find('\n', born);
        bytes.replace(born, end - born, std::to_string(std::stoull(bytes.substr(born, end - born)) + 1));
        WriteAll(path, bytes);
#endif
    } else if (left != Left::Whole) {
        const std::string bytes = ReadAll(path);
        WriteAll(path, left == Left::Empty ? "" : bytes.substr(0, bytes.find('\n') + 1));
    }
}

}  // namespace

TEST(JournalCalls, TheNextRunPutsTheOldBytesBackOrKeepsThem) {
    const Recovery cases[] = {
        {"a whole journal is put back", Left::Whole, "old", 0},
        {"a file renamed over since keeps the journal", Left::FileReplaced, "other", 1},
        {"a file number given to another file since keeps the journal", Left::NumberReused, kAtTheNumber, 1},
        {"a journal cut short in its header is removed", Left::HeaderOnly, "half", 0},
        {"an empty journal is removed", Left::Empty, "half", 0},
    };
    const test_support::ScratchFolder scratch("journal_calls_test");
    for (const Recovery& recovery : cases) {
        SCOPED_TRACE(recovery.what);
        // A folder of each case's own: a run looks at a folder once.
        const fs::path folder = scratch.Path() / std::to_string(&recovery - cases);
        fs::create_directory(folder);
        const std::string target = (folder / "scene.glb").string();
        WriteAll(target, kOld);
        LeaveJournal(target, recovery.left);
        // A dead writer's temporary beside it: cleared, and the journal with it never.
        const fs::path stale = folder / ".~test-999999-0000000a.tmp";
        WriteAll(stale, "stale");
        safewrite::RemoveStaleTemporaries(folder.string() + "/", "test");
        EXPECT_FALSE(fs::exists(stale));
        EXPECT_EQ(Journals(folder), 1U);
        safewrite::RecoverJournals(folder.string() + "/", "test");
        const std::string now = ReadAll(target);
        EXPECT_EQ(now == kOld             ? "old"
                  : now == kHalf          ? "half"
                  : now == "another file" ? "other"
                                          : "mixed",
                  std::string(recovery.expected));
        EXPECT_EQ(Journals(folder), recovery.journals);
    }
}

TEST(JournalCalls, ASecondWriterCannotTakeTheLockUntilTheFirstLetsGo) {
    const test_support::ScratchFolder scratch("journal_calls_test");
    const std::string target = scratch.File("scene.glb");
    WriteAll(target, kOld);
    safewrite::Target first = safewrite::OpenTarget(target);
    safewrite::Target second = safewrite::OpenTarget(target);
    EXPECT_EQ(first.file.LockNow(), safewrite::Error::None);
    EXPECT_EQ(second.file.LockNow(), safewrite::Error::InUse);
    // Readers are not kept from the bytes.
    EXPECT_EQ(ReadAll(target), kOld);
    first.file.Close();
    EXPECT_EQ(second.file.LockNow(), safewrite::Error::None);
}

TEST(JournalCalls, ReservingRoomChangesNoLength) {
    const test_support::ScratchFolder scratch("journal_calls_test");
    const std::string target = scratch.File("scene.glb");
    WriteAll(target, kOld);
    safewrite::Target file = safewrite::OpenTarget(target);
    bool held = false;
    ASSERT_EQ(file.file.Reserve(std::uint64_t{8} << 20, held), safewrite::Error::None);
    std::uint64_t size = 0;
    EXPECT_EQ(file.file.SizeNow(size), safewrite::Error::None);
    EXPECT_EQ(size, kOld.size());
    file.file.Unreserve(kOld.size());
    file.file.Close();
    EXPECT_EQ(ReadAll(target), kOld);
}
