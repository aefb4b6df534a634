#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace driver {

// What a file is, whatever name leads to it: its device and file number
// (volume serial number and file index on Windows).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;

    bool operator==(const FileIdentity& other) const { return device == other.device && file == other.file; }
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// Where a name leads, judged on the handle that opening it gives, so that
// case, short names, symbolic links, junctions, hard links and ".." all
// come to the one file they name. A name of no file leads to the folder
// that a write would make it in, and the last name there.
struct FilePlace {
    bool exists = false;      // the name opens a file or a folder
    bool folder = false;      // what it opens is a folder
    bool regular = false;     // what it opens is a regular file
    bool dangling = false;    // a symbolic link that leads to no file
    std::uint32_t links = 0;  // the file's names (hard links); 0 where it does not exist
    FileIdentity identity;    // of the file, else of the folder it would be made in
    std::string leaf;         // where it does not exist: its last name, as the system compares names
    std::string realPath;     // the path of the opened handle (with `leaf` where it does not exist)

    // A text that is equal for places that are one file (one existing
    // file, or one name in one folder), for keying a table.
    std::string Key() const;
};

// The place that `path` leads to, opened as the system opens it to read or
// write (a symbolic link at the end followed, a dangling one to where a
// write would create its file); none when neither the file nor the folder
// it would be made in can be opened.
std::optional<FilePlace> PlaceOf(const std::string& path);

// Whether standard output (`output`) is the file `file`. Its volume may be
// unknown (0: Wine gives none for a handle that the process inherited),
// and the file number then tells alone.
inline bool IsOutputFile(const FileIdentity& output, const FileIdentity& file) {
    return output.file == file.file && (output.device == file.device || output.device == 0);
}

// The identity of the file open as `handle` (a descriptor, or a HANDLE on
// Windows), as PlaceOf gives it; none where it cannot be looked at.
std::optional<FileIdentity> IdentityOfHandle(std::intptr_t handle);

// The identity of what standard output is now (a file, or on POSIX systems
// a pipe or a device too, which "/dev/stdout" opens).
std::optional<FileIdentity> StandardOutputIdentity();

}  // namespace driver
