#include "journal.h"

#include <chrono>
#include <cstdio>
#include <string_view>
#include <thread>

#include "byte_copy.h"
#include "temporary_files.h"

namespace safewrite {

namespace {

constexpr int kAttempts = 16;
constexpr std::string_view kMagic = "morvane journal 1\nstate ";
constexpr std::string_view kSuffix = ".journal";
// The longest path a header names, and the most of a header read at once.
constexpr std::uint64_t kMaxPath = 32768;
constexpr std::size_t kFixedPart = 256;
// How long a second writer waits for the first, in steps.
constexpr auto kLockWait = std::chrono::seconds(10);
constexpr auto kLockStep = std::chrono::milliseconds(10);

// The decimal number at `at` in `text`, ended by `end`; moves `at` past both.
bool NumberAt(const std::string& text, std::size_t& at, char end, std::uint64_t& value) {
    const std::size_t first = at;
    value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && at - first < 19; ++at) {
        value = value * 10 + static_cast<std::uint64_t>(text[at] - '0');
    }
    if (at == first || at >= text.size() || text[at] != end) {
        return false;
    }
    ++at;
    return true;
}

// The same after `label` and a space.
bool NumberAfter(const std::string& text, std::size_t& at, std::string_view label, char end, std::uint64_t& value) {
    if (text.compare(at, label.size(), label) != 0 || at + label.size() >= text.size() ||
        text[at + label.size()] != ' ') {
        return false;
    }
    at += label.size() + 1;
    return NumberAt(text, at, end, value);
}

}  // namespace

namespace journal_format {

std::uint64_t StateOffset() { return kMagic.size(); }

std::string Header(const std::string& targetPath, const Identity& identity, std::uint64_t size) {
    return std::string(kMagic) + kBeingWritten + "\nsize " + std::to_string(size) + "\nfile " +
           std::to_string(identity.device) + " " + std::to_string(identity.file) + "\nborn " +
           std::to_string(identity.born) + "\npath " + std::to_string(targetPath.size()) + "\n" + targetPath + "\n";
}

Parsed Parse(File& journal) {
    Parsed parsed;
    std::string text(kFixedPart, '\0');
    std::size_t got = 0;
    std::uint64_t length = 0;
    if (journal.ReadAt(0, text.data(), text.size(), got) != Error::None || journal.SizeNow(length) != Error::None) {
        return parsed;
    }
    text.resize(got);
    // Cut short before it was whole, the header itself perhaps: the file never changed.
    if ((text.size() <= kMagic.size() && kMagic.compare(0, text.size(), text) == 0) ||
        (text.compare(0, kMagic.size(), kMagic) == 0 && text[kMagic.size()] == kBeingWritten)) {
        parsed.valid = true;
        parsed.state = kBeingWritten;
        return parsed;
    }
    std::size_t at = kMagic.size() + 2;
    std::uint64_t pathLength = 0;
    if (text.compare(0, kMagic.size(), kMagic) != 0 || at > text.size() || text[at - 1] != '\n' ||
        !NumberAfter(text, at, "size", '\n', parsed.size) ||
        !NumberAfter(text, at, "file", ' ', parsed.identity.device) ||
        !NumberAt(text, at, '\n', parsed.identity.file) || !NumberAfter(text, at, "born", '\n', parsed.identity.born) ||
        !NumberAfter(text, at, "path", '\n', pathLength) || pathLength > kMaxPath) {
        return parsed;
    }
    parsed.path.resize(static_cast<std::size_t>(pathLength) + 1);
    if (journal.ReadAt(at, parsed.path.data(), parsed.path.size(), got) != Error::None || got != parsed.path.size() ||
        parsed.path.back() != '\n') {
        return parsed;
    }
    parsed.path.pop_back();
    parsed.state = text[kMagic.size()];
    parsed.start = at + pathLength + 1;
    // A journal marked whole holds every old byte.
    parsed.valid = parsed.state == kWhole && length == parsed.start + parsed.size;
    return parsed;
}

}  // namespace journal_format

Error LockWaiting(File& file) {
    const auto until = std::chrono::steady_clock::now() + kLockWait;
    Error error = file.LockNow();
    while (error == Error::InUse && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(kLockStep);
        error = file.LockNow();
    }
    return error;
}

Error Journal::Create(const std::string& folder, const char* tag) {
    Error error = Error::Exists;
    for (int attempt = 0; attempt < kAttempts && error == Error::Exists; ++attempt) {
        std::string name = TemporaryName(folder, tag);
        path_ = name.substr(0, name.size() - 4) + std::string(kSuffix);
        if (!Track(path_)) {
            path_.clear();
            return Error::TooManyFiles;
        }
        error = CreateTemporary(path_, true, file_);
        if (error == Error::None) {
            error = file_.LockNow();
        }
        if (error != Error::None) {
            file_.Close();
            Untrack(path_);
            path_.clear();
        }
    }
    return error;
}

Error Journal::Keep(const std::string& targetPath, File& target, std::uint64_t size, const char* tag) {
    Identity identity;
    if (const Error error = IdentityOf(target, identity); error != Error::None) {
        return error;
    }
    const std::string folder = targetPath.substr(0, FolderLength(targetPath));
    const bool beside = !FolderIsAppendOnly(folder) && Create(folder, tag) == Error::None;
    if (!beside) {
        const std::string system = SystemTemporaryFolder();
        if (const Error error = system.empty() ? Error::NoFolder : Create(system, tag); error != Error::None) {
            return error;
        }
    }
    const std::string header = journal_format::Header(AbsolutePath(targetPath), identity, size);
    size_ = size;
    start_ = header.size();
    const char whole = journal_format::kWhole;
    Error error = file_.WriteAt(0, header.data(), header.size());
    if (error == Error::None) {
        error = CopyOver(target, 0, file_, start_, size);
    }
    if (error == Error::None) {
        error = file_.Sync();
    }
    if (error == Error::None) {
        error = file_.WriteAt(journal_format::StateOffset(), &whole, 1);
    }
    if (error == Error::None) {
        error = file_.Sync();
    }
    if (error != Error::None) {
        Remove();
    }
    return error;
}

Error Journal::PutBack(File& target) {
    Error error = CopyOver(file_, start_, target, 0, size_);
    if (error == Error::None) {
        error = target.Resize(size_);
    }
    return error == Error::None ? target.Sync() : error;
}

// Closed first where an open file cannot be removed; the file's lock, held
// until after, keeps a run that looks for journals from taking it for one
// that was left.
void Journal::Remove() {
    if (!path_.empty()) {
        file_.Close();
        safewrite::Remove(path_);
        Untrack(path_);
        path_.clear();
    }
}

std::string Journal::Leave() {
    std::string path = path_;
    Untrack(path_);
    path_.clear();
    file_.Close();
    return path;
}

}  // namespace safewrite
