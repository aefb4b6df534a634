// The safe writing's file calls on Windows: the wide calls throughout,
// with the UTF-8 paths converted (wide_text.h).
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "file_access_win32.h"
#include "file_calls.h"
#include "wide_text.h"

namespace safewrite {

namespace {

// Other programs may read and write the file while it is open here, as
// with the C library's streams; nothing else is shared.
constexpr DWORD kShared = FILE_SHARE_READ | FILE_SHARE_WRITE;
// The attributes that a replacement takes over from the file it replaces.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

HANDLE Open(const std::string& path, DWORD access, DWORD creation) {
    return CreateFileW(WideText(path).c_str(), access, kShared, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

// The code of this thread's last Error::Other.
static thread_local DWORD otherCode = 0;

Error LastError() {
    switch (GetLastError()) {
        case ERROR_SUCCESS:
            return Error::None;
        case ERROR_FILE_NOT_FOUND:
            return Error::NotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DIRECTORY:
            return Error::NoFolder;
        case ERROR_ACCESS_DENIED:
            return Error::Denied;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return Error::Exists;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return Error::InUse;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return Error::NoSpace;
        case ERROR_FILE_TOO_LARGE:
            return Error::TooLarge;
        case ERROR_FILENAME_EXCED_RANGE:
            return Error::NameTooLong;
        case ERROR_WRITE_PROTECT:
            return Error::ReadOnly;
        case ERROR_TOO_MANY_OPEN_FILES:
            return Error::TooManyFiles;
        case ERROR_CANT_RESOLVE_FILENAME:
            return Error::LinkLoop;
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
            return Error::ReaderGone;
        default:
            otherCode = GetLastError();
            return Error::Other;
    }
}

const char* OtherReason() {
    thread_local std::string reason;
    char text[256] = {};
    const DWORD length = otherCode == 0 ? 0
                                        : FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                                         nullptr, otherCode, 0, text, sizeof text, nullptr);
    reason.assign(text, length);
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.' || reason.back() == ' ')) {
        reason.pop_back();
    }
    if (reason.empty()) {
        return "an unexpected system error";
    }
    reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
    reason += " (system error " + std::to_string(otherCode) + ")";
    return reason.c_str();
}

Error File::Write(const char* data, std::size_t size) {
    while (size > 0) {
        DWORD wrote = 0;
        if (!WriteFile(Access::Of(*this), data, static_cast<DWORD>(size), &wrote, nullptr)) {
            return LastError();
        }
        data += wrote;
        size -= wrote;
    }
    return Error::None;
}

Error File::Read(char* data, std::size_t capacity, std::size_t& got) {
    DWORD read = 0;
    const BOOL ok = ReadFile(Access::Of(*this), data, static_cast<DWORD>(capacity), &read, nullptr);
    got = read;
    return ok ? Error::None : LastError();
}

Error File::Truncate() {
    if (GetFileType(Access::Of(*this)) != FILE_TYPE_DISK) {
        return Error::None;
    }
    if (SetFilePointer(Access::Of(*this), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !SetEndOfFile(Access::Of(*this))) {
        return LastError();
    }
    return Error::None;
}

namespace {

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

constexpr DWORD kPieceLimit = DWORD{1} << 30;

}  // namespace

Error ReadAtHandle(std::intptr_t handle, std::uint64_t offset, char* data, std::size_t size, std::size_t& got) {
    got = 0;
    while (got < size) {
        OVERLAPPED at = At(offset + got);
        DWORD read = 0;
        const auto piece = static_cast<DWORD>(std::min<std::size_t>(size - got, kPieceLimit));
        if (!ReadFile(reinterpret_cast<HANDLE>(handle), data + got, piece, &read, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) {
                break;
            }
            return LastError();
        }
        if (read == 0) {
            break;
        }
        got += read;
    }
    return Error::None;
}

Error File::ReadAt(std::uint64_t offset, char* data, std::size_t size, std::size_t& got) {
    return ReadAtHandle(handle_, offset, data, size, got);
}

Error File::WriteAt(std::uint64_t offset, const char* data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        OVERLAPPED at = At(offset + done);
        DWORD wrote = 0;
        const auto piece = static_cast<DWORD>(std::min<std::size_t>(size - done, kPieceLimit));
        if (!WriteFile(Access::Of(*this), data + done, piece, &wrote, &at)) {
            return LastError();
        }
        done += wrote;
    }
    return Error::None;
}

Error File::SizeNow(std::uint64_t& size) {
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(Access::Of(*this), &length)) {
        return LastError();
    }
    size = static_cast<std::uint64_t>(length.QuadPart);
    return Error::None;
}

Error File::Resize(std::uint64_t size) {
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(Access::Of(*this), end, nullptr, FILE_BEGIN) && SetEndOfFile(Access::Of(*this))
               ? Error::None
               : LastError();
}

Error File::Sync() {
    if (GetFileType(Access::Of(*this)) != FILE_TYPE_DISK) {
        return Error::None;
    }
    return FlushFileBuffers(Access::Of(*this)) ? Error::None : LastError();
}

Error File::Close() {
    if (!IsOpen()) {
        return Error::None;
    }
    const HANDLE handle = Access::Of(*this);
    handle_ = kNone;
    return CloseHandle(handle) ? Error::None : LastError();
}

Target OpenTarget(const std::string& path) {
    Target target;
    target.path = path;
    const DWORD attributes = GetFileAttributesW(WideText(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        target.error = GetLastError() == ERROR_FILE_NOT_FOUND ? Error::None : LastError();
        return target;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        target.kind = Kind::Folder;
        return target;
    }
    // Opening follows a link; replacing the path would replace the link.
    target.viaLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    target.kind = Kind::Regular;
    // Read too where it may be, so that a write in place can keep the old bytes.
    HANDLE handle = Open(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    target.readable = handle != INVALID_HANDLE_VALUE;
    if (handle == INVALID_HANDLE_VALUE) {
        handle = Open(path, GENERIC_WRITE, OPEN_EXISTING);
    }
    if (handle == INVALID_HANDLE_VALUE) {
        target.error = LastError();
        return target;
    }
    Access::Set(target.file, handle);
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        target.kind = Kind::Other;
        target.readable = false;
    } else if (GetFileInformationByHandle(handle, &information)) {
        target.linked = information.nNumberOfLinks > 1;
    }
    return target;
}

std::string SystemTemporaryFolder() {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    return length > 0 && length <= MAX_PATH ? Utf8Text(std::wstring(folder, length)) : std::string();
}

// The handle shares no right to delete: while it is open, no other writer
// can remove the temporary.
Error CreateTemporary(const std::string& path, bool, File& file) {
    const HANDLE handle = Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
    if (handle == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    Access::Set(file, handle);
    return Error::None;
}

// An open temporary shares no right to delete: the system refuses.
bool RemoveUnlessHeld(const std::string& path, unsigned long) { return DeleteFileW(WideText(path).c_str()) != 0; }

Error KeepOwnerAndMode(const File& original, File&, const std::string& copyPath) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(Access::Of(original), &information)) {
        return LastError();
    }
    const DWORD kept = information.dwFileAttributes & kKeptAttributes;
    if (!SetFileAttributesW(WideText(copyPath).c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL)) {
        return LastError();
    }
    return Error::None;
}

bool FolderIsAppendOnly(const std::string&) { return false; }

Error Replace(File& file, const std::string& replacement, const std::string& target) {
    // An open file cannot be renamed here.
    if (const Error closed = file.Close(); closed != Error::None) {
        return closed;
    }
    if (MoveFileExW(WideText(replacement).c_str(), WideText(target).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return Error::None;
    }
    // The target opened for writing and a file could be made beside it, so a
    // refusal comes from a program that holds the target open.
    const Error error = LastError();
    return error == Error::Denied ? Error::InUse : error;
}

void Remove(const std::string& path) { RemoveNow(path.c_str()); }

void RemoveNow(const char* path) { DeleteFileW(WideText(path).c_str()); }

Error OpenSource(const std::string& path, File& file, std::uint64_t& size) {
    const DWORD attributes = GetFileAttributesW(WideText(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return LastError();
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Error::IsFolder;
    }
    const HANDLE handle = Open(path, GENERIC_READ, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    Access::Set(file, handle);
    LARGE_INTEGER length{};
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        file.Close();
        return Error::NotRegular;
    }
    if (!GetFileSizeEx(handle, &length)) {
        const Error error = LastError();
        file.Close();
        return error;
    }
    size = static_cast<std::uint64_t>(length.QuadPart);
    return Error::None;
}

std::vector<std::string> NamesInFolder(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(WideText(folder + prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        names.push_back(Utf8Text(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

unsigned long ProcessId() { return GetCurrentProcessId(); }

bool ProcessHasEnded(unsigned long id) {
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (process == nullptr) {
        return GetLastError() == ERROR_INVALID_PARAMETER;  // no process of that number
    }
    const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

std::size_t FolderLength(const std::string& path) {
    const std::size_t separator = path.find_last_of("\\/:");
    return separator == std::string::npos ? 0 : separator + 1;
}

}  // namespace safewrite
