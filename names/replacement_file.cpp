#include "replacement_file.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

// Temporary names: the target's own name with a numbered suffix, so the
// file is made in the target's folder. An existing file is never reused.
constexpr int kTempAttempts = 100;

bool Exists(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    return !error && std::filesystem::exists(status);
}

// Whether an existing target may be replaced: it must open for writing, as
// the target of a direct write would have to. A missing target is fine.
bool TargetWritable(const std::string& target, bool& existed) {
    errno = 0;
    existed = true;
    if (std::FILE* probe = std::fopen(target.c_str(), "r+b")) {
        std::fclose(probe);
        return true;
    }
    existed = errno != ENOENT;
    return !existed;
}

}  // namespace

ReplacementFile::~ReplacementFile() {
    if (!committed_) {
        Discard();
    }
}

void ReplacementFile::Fail(int error) {
    reason_ = error != 0 ? std::strerror(error) : "unknown error";
    if (!reason_.empty()) {
        reason_[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason_[0])));
    }
}

bool ReplacementFile::Open(const std::string& target) {
    if (!TargetWritable(target, existed_)) {
        Fail(errno);
        return false;
    }
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        std::string candidate = target + ".~" + std::to_string(attempt) + ".tmp";
        if (Exists(candidate)) {
            continue;
        }
        file_ = std::fopen(candidate.c_str(), "wb");
        if (file_ == nullptr) {
            Fail(errno);
            return false;
        }
        target_ = target;
        temp_ = std::move(candidate);
        return true;
    }
    reason_ = "no temporary name is free";
    return false;
}

bool ReplacementFile::Write(const char* data, std::size_t size) {
    if (file_ == nullptr || failed_) {
        return false;
    }
    if (size > 0 && std::fwrite(data, 1, size, file_) != size) {
        failed_ = true;
        Fail(errno);
    }
    return !failed_;
}

bool ReplacementFile::Commit() {
    if (file_ == nullptr || failed_) {
        return false;
    }
    const bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed || !closed) {
        Fail(errno);
        failed_ = true;
        Discard();
        return false;
    }
    // Replaces an existing file on every platform, unlike std::rename.
    std::error_code error;
    std::filesystem::rename(temp_, target_, error);
    if (error) {
        Fail(error.value());
        failed_ = true;
        Discard();
        return false;
    }
    committed_ = true;
    return true;
}

void ReplacementFile::Discard() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        std::remove(temp_.c_str());
        temp_.clear();
    }
}
