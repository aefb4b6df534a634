// The writers' lock, the room taken ahead and a file's identity, on
// Windows.
#include <windows.h>

#include <string>

#include "file_access_win32.h"
#include "file_calls.h"
#include "wide_text.h"

namespace safewrite {

namespace {

// The writers lock one byte far beyond any file's end: it keeps writers
// apart and no reader from the file's bytes.
constexpr DWORD kLockOffsetHigh = 0x7fffffff;

Error SetAllocation(const File& file, std::uint64_t size) {
    FILE_ALLOCATION_INFO room{};
    room.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
    return SetFileInformationByHandle(Access::Of(file), FileAllocationInfo, &room, sizeof room) ? Error::None
                                                                                                : LastError();
}

}  // namespace

Error File::LockNow() {
    OVERLAPPED at{};
    at.Offset = 0;
    at.OffsetHigh = kLockOffsetHigh;
    if (LockFileEx(Access::Of(*this), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        return Error::None;
    }
    const DWORD code = GetLastError();
    return code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING        ? Error::InUse
           : code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION ? Error::None
                                                                           : LastError();
}

// An allocation beyond the end leaves the length as it is.
Error File::Reserve(std::uint64_t size, bool& held) {
    held = false;
    std::uint64_t now = 0;
    if (const Error error = SizeNow(now); error != Error::None || now >= size) {
        held = error == Error::None;
        return error;
    }
    const Error error = SetAllocation(*this, size);
    held = error == Error::None;
    return error == Error::NoSpace || error == Error::TooLarge ? error : Error::None;
}

void File::Unreserve(std::uint64_t size) { SetAllocation(*this, size); }

Error IdentityOf(const File& file, Identity& identity) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(Access::Of(file), &information)) {
        return LastError();
    }
    identity.device = information.dwVolumeSerialNumber;
    identity.file = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    return Error::None;
}

// The folder's permissions keep other users' files out of it.
bool IsPrivateFile(const File& file) { return GetFileType(Access::Of(file)) == FILE_TYPE_DISK; }

std::string AbsolutePath(const std::string& path) {
    const std::wstring wide = WideText(path);
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return path;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    return length == 0 || length >= needed ? path : Utf8Text(full.substr(0, length));
}

}  // namespace safewrite
