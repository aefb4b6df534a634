// A source file on Windows: reads at 64-bit offsets, and copies by reading
// and writing.
#include <windows.h>

#include "source_file.h"
#include "wide_text.h"

namespace safewrite {

namespace {

HANDLE HandleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// The file's volume and index, size, and its last write and change times
// (FILETIME units).
bool StampOf(HANDLE handle, std::uint64_t& device, std::uint64_t& file, std::uint64_t& size, std::int64_t& modified,
             std::int64_t& changed) {
    BY_HANDLE_FILE_INFORMATION information{};
    FILE_BASIC_INFO times{};
    if (!GetFileInformationByHandle(handle, &information) ||
        !GetFileInformationByHandleEx(handle, FileBasicInfo, &times, sizeof times)) {
        return false;
    }
    device = information.dwVolumeSerialNumber;
    file = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    size = (std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
    modified = times.LastWriteTime.QuadPart;
    changed = times.ChangeTime.QuadPart;
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
    handle_ = reinterpret_cast<std::intptr_t>(handle);
    if (GetFileType(handle) != FILE_TYPE_DISK || !StampOfHandle(opened_)) {
        CloseHandle(handle);
        handle_ = -1;
        return Error::NotRegular;
    }
    size_ = opened_.size;
    return Error::None;
}

bool SourceFile::StampOfHandle(Stamp& stamp) const {
    return StampOf(HandleOf(handle_), stamp.device, stamp.file, stamp.size, stamp.modified, stamp.changed);
}

Error SourceFile::ReadAt(std::uint64_t offset, char* data, std::size_t size, std::size_t& got) const {
    return ReadAtHandle(handle_, offset, data, size, got);
}

Error SourceFile::CopyTo(File& out, std::uint64_t offset, std::uint64_t size) const {
    return CopyByReading(out, offset, offset + size);
}

}  // namespace safewrite
