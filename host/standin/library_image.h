#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host_api.h"

namespace standin {

// The largest library file that is read; a larger one is refused unread.
constexpr std::uint64_t kMaxLibraryBytes = std::uint64_t{256} << 20;

// The bytes of the library file at `path`, read only when it is a regular
// file of at most kMaxLibraryBytes; else false, and `error` says why
// ("PATH: cannot be opened", "PATH: not a regular file", ...).
bool ReadLibraryFile(const std::string& path, std::vector<char>& bytes, std::string& error);

// A library file opened once, by the name it has now, and held open while
// it is checked and mapped: Name() reaches that file whatever takes its
// name meanwhile (a descriptor's name in /proc/self/fd; on Windows the
// path itself, the file being held open without sharing deletion or
// writing, so that it can be neither renamed nor changed).
class HOST_API OpenLibraryFile {
public:
    explicit OpenLibraryFile(const std::string& path);
    ~OpenLibraryFile();
    OpenLibraryFile(const OpenLibraryFile&) = delete;
    OpenLibraryFile& operator=(const OpenLibraryFile&) = delete;
    bool Opened() const { return reason_.empty(); }
    // Why it could not be opened ("no such file or directory").
    const std::string& Reason() const { return reason_; }
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    std::string reason_;
    void* handle_ = nullptr;  // a descriptor (as an integer) or a Windows handle
};

// What a library file must be before the system maps it: whole, its
// headers, tables and segments inside the file (with arithmetic that
// cannot wrap), and made for this machine. Each gives "" for such a file,
// else what is wrong, as one short phrase.
struct ElfImage {
    std::uint64_t entry = 0;           // the entry address from the header
    std::uint64_t resourceOffset = 0;  // the ".rsrc" section; size 0 when there is none
    std::uint64_t resourceSize = 0;
};
std::string CheckElfLibrary(const std::vector<char>& bytes, ElfImage& image);
std::string CheckPeLibrary(const std::vector<char>& bytes);

}  // namespace standin
