// A source file on Windows: reads at 64-bit offsets, and copies by reading
// and writing.
#include <windows.h>

#include "source_file.h"
#include "wide_text.h"

namespace safewrite {

namespace {

HANDLE HandleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

bool Stamp(HANDLE handle, std::uint64_t& size, std::int64_t& modified) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) {
        return false;
    }
    size = (std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
    modified = static_cast<std::int64_t>((std::uint64_t{information.ftLastWriteTime.dwHighDateTime} << 32) |
                                         information.ftLastWriteTime.dwLowDateTime);
    return true;
}

}  // namespace

SourceFile::~SourceFile() {
    if (handle_ != -1) {
        CloseHandle(HandleOf(handle_));
    }
}

Error SourceFile::Open(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(WideText(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return LastError();
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Error::IsFolder;
    }
    // Shared for deletion too, so that the file can be replaced while it is open.
    const HANDLE handle = CreateFileW(WideText(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    if (GetFileType(handle) != FILE_TYPE_DISK || !Stamp(handle, size_, modified_)) {
        CloseHandle(handle);
        return Error::NotRegular;
    }
    handle_ = reinterpret_cast<std::intptr_t>(handle);
    return Error::None;
}

Error SourceFile::ReadAt(std::uint64_t offset, char* data, std::size_t size, std::size_t& got) const {
    got = 0;
    while (got < size) {
        OVERLAPPED at{};
        const std::uint64_t from = offset + got;
        at.Offset = static_cast<DWORD>(from & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(from >> 32);
        DWORD read = 0;
        if (!ReadFile(HandleOf(handle_), data + got, static_cast<DWORD>(size - got), &read, &at)) {
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

bool SourceFile::Changed(std::uint64_t& sizeNow) const {
    std::int64_t modified = 0;
    if (!Stamp(HandleOf(handle_), sizeNow, modified)) {
        sizeNow = 0;
        return true;
    }
    return sizeNow != size_ || modified != modified_;
}

Error SourceFile::CopyTo(File& out, std::uint64_t offset, std::uint64_t size) const {
    return CopyByReading(out, offset, offset + size);
}

}  // namespace safewrite
