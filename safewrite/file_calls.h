#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The file calls of the project's safe writing, in one small file per
// platform: file_calls_posix.cpp and file_calls_win32.cpp. They use the
// standard library and the system's own calls only, so that the plug-ins
// can share them. Paths are used exactly as given, in UTF-8 on Windows too,
// where every call is a wide call (wide_text.h), so that any file can be
// named whatever the system's code page.
namespace safewrite {

// Why a call failed.
enum class Error {
    None,
    NotFound,    // no such file
    NoFolder,    // a folder of the path is missing or is not a folder
    Denied,      // no permission
    IsFolder,    // the path names a folder
    NotRegular,  // a device, a pipe, a socket: not a regular file
    Exists,      // a file of that name exists already
    InUse,       // another program holds the file
    Busy,        // the system holds the file busy: a mount point, a file being mounted on
    NoReader,    // a pipe that nothing reads from
    ReaderGone,  // a pipe whose reader has closed it while it was written
    NoSpace,     // the disk or the quota is full
    TooLarge,    // the file would exceed a size limit
    NameTooLong,
    ReadOnly,       // a read-only file system or medium
    LinkLoop,       // too many symbolic links
    Io,             // the device failed
    TooManyFiles,   // too many files open or being written at once
    NotReadable,    // a file to be written in place whose old bytes cannot be read, to be kept
    StagedChanged,  // a temporary staged by another process is gone, or is not what it wrote
    Other,          // any other: its reason is the system's own words (OtherReason)
};

// A short lower-case phrase for the log, e.g. "no space left on device".
const char* ReasonOf(Error error);

// The system's words for the last error of this thread that was none of
// the kinds above ("an unexpected system error" when it gave none).
const char* OtherReason();

// A file opened by this layer, closed when the object goes.
class File {
public:
    File() = default;
    File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = kNone; }
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { Close(); }

    bool IsOpen() const { return handle_ != kNone; }
    // Writes all of `size` bytes, or says why it could not.
    Error Write(const char* data, std::size_t size);
    // Reads up to `capacity` bytes; `got` is 0 at the end of the file.
    Error Read(char* data, std::size_t capacity, std::size_t& got);
    // Empties a regular file before an in-place write; other files keep
    // what they are, as a truncating open would leave them.
    Error Truncate();
    // Positioned reads and writes of a regular file (64-bit offsets on
    // every platform); ReadAt's `got` is short only at the end of the file.
    Error ReadAt(std::uint64_t offset, char* data, std::size_t size, std::size_t& got);
    Error WriteAt(std::uint64_t offset, const char* data, std::size_t size);
    // The size of a regular file now, and a new size for it (cut, or
    // extended with zeros).
    Error SizeNow(std::uint64_t& size);
    Error Resize(std::uint64_t size);
    // Makes the disk hold room for the first `size` bytes of a regular
    // file without changing its length or any of its bytes, so that
    // writing them cannot run out of space; `held` is false where the file
    // system cannot be asked (nothing is then taken). Unreserve gives back
    // what lies beyond the file's length `size`.
    Error Reserve(std::uint64_t size, bool& held);
    void Unreserve(std::uint64_t size);
    // Takes the writers' lock of the file, without waiting: InUse while
    // another writer (of this process too) holds it through another
    // opening. Held until the file is closed. A file system that takes no
    // locks takes none, and says None.
    Error LockNow();
    // Puts what was written on the disk itself.
    Error Sync();
    // Closes the file; an error of the last writes may show only here.
    Error Close();

private:
    friend struct Access;
    friend class SourceFile;  // copies into a file by its handle
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;  // a descriptor or a HANDLE
};

enum class Kind { Missing, Regular, Folder, Other };

// The file that a save writes, as OpenTarget finds it.
struct Target {
    Error error = Error::None;  // why an existing file did not open, or the path is unusable
    Kind kind = Kind::Missing;
    std::string path;         // the file itself, symbolic links followed
    bool linked = false;      // a regular file with more than one name (hard links)
    bool viaLink = false;     // reached through a link that the platform cannot follow here
    bool mountPoint = false;  // a regular file mounted over another (a bind mount): no rename reaches it
    bool readable = false;    // `file` reads too, so that its old bytes can be kept
    File file;                // open for writing (and reading where it may), not truncated, for Regular and Other
};

// What tells a file from every other on the machine, on its handle: the
// device and the file number (on Windows the volume serial number and the
// file index), and on Linux the file's birth time, since a file number
// freed by a removed file is given to the next file made (0 where the file
// system keeps none; NTFS puts a reuse count into the file index itself).
struct Identity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    std::uint64_t born = 0;  // nanoseconds since 1970
    bool operator==(const Identity& other) const {
        return device == other.device && file == other.file && born == other.born;
    }
};
Error IdentityOf(const File& file, Identity& identity);

// Whether `file` is a regular file of this user's alone, with one name
// (on POSIX systems), as a journal is made: a journal that another user
// could have written is not put back.
bool IsPrivateFile(const File& file);

// `path` from the root, as the working folder makes it now.
std::string AbsolutePath(const std::string& path);

// Looks at `path` and opens an existing file there for writing, as a
// direct write would have to (but without emptying it).
Target OpenTarget(const std::string& path);

// The folder of the system's temporary files (TMPDIR, else /tmp; on
// Windows GetTempPath), with its last separator: where the copies of a
// write in place go when the file's own folder takes no new file.
std::string SystemTemporaryFolder();

// Creates a temporary file that does not exist yet, open for reading and
// writing, and holds it, so that
// no other writer takes it for one a killed writer left: on POSIX systems
// an exclusive flock for as long as `file` is open, on Windows a handle
// that lets no one else delete the file. Exists also when another writer
// removed the new file before it was held (a fresh name is then needed).
// An `ownerOnly` temporary is readable by its owner alone until
// KeepOwnerAndMode gives it the target's; any other takes the mode that a
// new file gets (0666 less the umask).
Error CreateTemporary(const std::string& path, bool ownerOnly, File& file);

// Removes the temporary at `path` unless a writer holds it (see
// CreateTemporary); true when it was removed. Where the file system takes
// no locks, only a temporary whose writer `writer` has ended, as far as
// this process can tell, counts as not held.
bool RemoveUnlessHeld(const std::string& path, unsigned long writer);

// Gives `copy` (at `copyPath`) the owner and permissions of the open
// `original`. Denied when the owner cannot be kept.
Error KeepOwnerAndMode(const File& original, File& copy, const std::string& copyPath);

// Puts the temporary `replacement`, written and synced and still held
// open as `file`, in the place of `target` in one step, and closes `file`
// (before the rename where the system cannot rename an open file, after
// it elsewhere, so that no other writer can take the temporary meanwhile).
Error Replace(File& file, const std::string& replacement, const std::string& target);

// True where `folder` ("" is the working folder) lets files be added but
// none be renamed or removed (Linux's append-only attribute).
bool FolderIsAppendOnly(const std::string& folder);

// The positioned read of an open file's handle that File::ReadAt and
// SourceFile::ReadAt make: `size` bytes at `offset` into `data`, fewer
// (`got`) only where the file ends.
Error ReadAtHandle(std::intptr_t handle, std::uint64_t offset, char* data, std::size_t size, std::size_t& got);

// What the last system call of this thread that failed says (errno on
// POSIX systems, GetLastError on Windows), as an Error.
Error LastError();

void Remove(const std::string& path);
// The same, safe to call from a signal handler.
void RemoveNow(const char* path);

// Opens a regular file for reading and gives its size. Anything else
// (a folder, a device, a pipe) is refused before it is opened.
Error OpenSource(const std::string& path, File& file, std::uint64_t& size);

// The names in `folder` ("" is the working folder) that begin with
// `prefix`; none when the folder cannot be listed.
std::vector<std::string> NamesInFolder(const std::string& folder, const std::string& prefix);

// This process's number, and whether the process of that number has ended
// (false when that cannot be told). Only a hint: a process of another PID
// namespace or of another machine sharing the folder is not seen, and the
// number of one that ended may be another's now.
unsigned long ProcessId();
bool ProcessHasEnded(unsigned long id);

// The length of the folder part of `path`, its last separator included.
std::size_t FolderLength(const std::string& path);

}  // namespace safewrite
