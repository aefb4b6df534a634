#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace standin {

// The largest library file that is read; a larger one is refused unread.
constexpr std::uint64_t kMaxLibraryBytes = std::uint64_t{256} << 20;

// The bytes of the library file at `path`, read only when it is a regular
// file of at most kMaxLibraryBytes; else false, and `error` says why
// ("PATH: cannot be opened", "PATH: not a regular file", ...).
bool ReadLibraryFile(const std::string& path, std::vector<char>& bytes, std::string& error);

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
