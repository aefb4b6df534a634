// A file's place on Windows: the handle's volume serial number and file
// index, its real number of names, and its final path (long names, real
// links and junctions followed).
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/file_identity_platform.h"
#include "wide_text.h"

namespace driver {

namespace {

// The final path of the handle without the "\\?\" that the call puts first.
std::string FinalPathOf(HANDLE handle) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    if (length == 0 || length >= buffer.size()) {
        return "";
    }
    std::wstring path(buffer.data(), length);
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        path = L"\\\\" + path.substr(8);
    } else if (path.compare(0, 4, L"\\\\?\\") == 0) {
        path = path.substr(4);
    }
    return safewrite::Utf8Text(path);
}

// The volume and the file's number; a handle opened only to write (`>>`)
// may still be asked for them by FileIdInfo where the older call fails.
bool IdentityOf(HANDLE handle, FileIdentity& identity) {
    FILE_ID_INFO id{};
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)) {
        std::uint64_t low = 0;
        std::uint64_t high = 0;
        std::memcpy(&low, id.FileId.Identifier, sizeof low);
        std::memcpy(&high, id.FileId.Identifier + sizeof low, sizeof high);
        identity = {id.VolumeSerialNumber, low ^ (high * 0x9E3779B97F4A7C15ULL)};
        return true;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) {
        return false;
    }
    identity = {information.dwVolumeSerialNumber,
                (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
    return true;
}

bool FillPlace(HANDLE handle, FilePlace& place) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) {
        return false;
    }
    place.exists = true;
    place.folder = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    place.regular = !place.folder && GetFileType(handle) == FILE_TYPE_DISK;
    place.links = information.nNumberOfLinks;
    place.realPath = FinalPathOf(handle);
    if (!IdentityOf(handle, place.identity)) {
        return false;
    }
    return !place.realPath.empty();
}

}  // namespace

OpenOutcome OpenPlace(const std::string& path, FilePlace& place) {
    const std::wstring wide = safewrite::WideText(path);
    // Attributes only, shared every way: looking stops no other program.
    const HANDLE handle = wide.empty() ? INVALID_HANDLE_VALUE
                                       : CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_FILE_NOT_FOUND ? OpenOutcome::Missing : OpenOutcome::Failed;
    }
    const bool filled = FillPlace(handle, place);
    CloseHandle(handle);
    return filled ? OpenOutcome::Opened : OpenOutcome::Failed;
}

std::string FoldedName(const std::string& name) {
    std::wstring wide = safewrite::WideText(name);
    if (!wide.empty()) {
        CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    }
    return safewrite::Utf8Text(wide);
}

std::optional<FileIdentity> IdentityOfHandle(std::intptr_t handle) {
    FileIdentity identity;
    if (!IdentityOf(reinterpret_cast<HANDLE>(handle), identity)) {
        return std::nullopt;
    }
    return identity;
}

std::optional<FileIdentity> StandardOutputIdentity() {
    const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    FileIdentity identity;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
        !IdentityOf(handle, identity)) {
        return std::nullopt;
    }
    return identity;
}

}  // namespace driver
