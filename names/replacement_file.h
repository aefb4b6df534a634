#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// The new content of a file, written to a temporary file in the same folder
// and put in the file's place only when all of it reached the OS. Until
// then, and after any failure, the file stays exactly as it was, and the
// temporary file is removed.
class ReplacementFile {
public:
    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    // Removes the temporary file unless Commit succeeded.
    ~ReplacementFile();

    // False when `target` cannot be written (an existing file or folder that
    // does not open for writing) or no temporary file can be made beside it.
    bool Open(const std::string& target);
    // False once any write has failed; later writes do nothing.
    bool Write(const char* data, std::size_t size);
    // Flushes and closes the temporary file and renames it onto the target.
    bool Commit();

    // Whether the target existed when Open looked, and why the last call
    // that returned false failed.
    bool TargetExisted() const { return existed_; }
    const std::string& FailureReason() const { return reason_; }

private:
    void Discard();
    void Fail(int error);

    std::string target_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    bool existed_ = false;
    std::string reason_;
    bool committed_ = false;
};
