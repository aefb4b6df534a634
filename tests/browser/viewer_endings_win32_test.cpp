// The Windows viewer: while it runs, its opening page's access list, read
// back, lets in its user alone; once it ends, status 0, and its private
// folder, whose opening page holds the token, gone.
#include <gtest/gtest.h>

#include <windows.h>
#include <winsock2.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "loopback_client.h"
#include "wide_text.h"

namespace {

std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
    return path.substr(0, path.find_last_of(L"\\/"));
}

// The user's SID in its text form.
std::wstring UserSid() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    std::vector<unsigned char> user(256);
    DWORD size = 0;
    LPWSTR text = nullptr;
    std::wstring sid;
    if (GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()), &size) != FALSE &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text) != FALSE) {
        sid = text;
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}

// The explicit entries of the access list of the file, read on a handle to
// it: "ALLOW SID MASK" or "DENY ...", one an entry.
std::vector<std::wstring> AccessEntries(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::vector<std::wstring> entries;
    ULONG count = 0;
    EXPLICIT_ACCESS_W* explicitEntries = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr,
                        &descriptor) == ERROR_SUCCESS &&
        acl != nullptr && GetExplicitEntriesFromAclW(acl, &count, &explicitEntries) == ERROR_SUCCESS) {
        for (ULONG k = 0; k < count; ++k) {
            const EXPLICIT_ACCESS_W& entry = explicitEntries[k];
            LPWSTR sid = nullptr;
            const bool bySid = entry.Trustee.TrusteeForm == TRUSTEE_IS_SID &&
                               ConvertSidToStringSidW(static_cast<PSID>(entry.Trustee.ptstrName), &sid) != FALSE;
            entries.push_back(std::wstring(entry.grfAccessMode == GRANT_ACCESS ? L"ALLOW " : L"OTHER ") +
                              (bySid ? sid : L"?") + L" " + std::to_wstring(entry.grfAccessPermissions));
            LocalFree(sid);
        }
        LocalFree(explicitEntries);
    } else if (acl == nullptr) {
        entries.push_back(L"no access list: everyone");
    }
    LocalFree(descriptor);
    CloseHandle(file);
    return entries;
}

// morvane-host view on the room; its first two lines: the address and the
// opening page.
struct Viewer {
    PROCESS_INFORMATION process{};
    std::string address;
    std::string opening;

    Viewer() {
        SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE read = nullptr, write = nullptr;
        EXPECT_NE(CreatePipe(&read, &write, &inherited, 0), FALSE);
        SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = write;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        std::wstring command =
            L"\"" + ProgramFolder() + L"\\morvane-host.exe\" view \"" + safewrite::WideText(MORVANE_ROOM_GLTF) + L"\"";
        EXPECT_NE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                 &process),
                  FALSE);
        CloseHandle(write);
        // Two lines, or what came within a minute (a hang guard).
        std::string lines;
        char buffer[512];
        for (int waited = 0; std::count(lines.begin(), lines.end(), '\n') < 2 && waited < 600; ++waited) {
            DWORD ready = 0, got = 0;
            if (PeekNamedPipe(read, nullptr, 0, nullptr, &ready, nullptr) == FALSE) {
                break;
            }
            if (ready == 0) {
                Sleep(100);
            } else if (ReadFile(read, buffer, std::min<DWORD>(ready, sizeof buffer), &got, nullptr) != FALSE) {
                lines.append(buffer, got);
            }
        }
        CloseHandle(read);
        address = lines.substr(0, lines.find('\n'));
        const std::string prefix = "(or open ";
        const std::size_t start = lines.find(prefix);
        const std::size_t end = lines.find(", a page that only you can read)");
        if (start != std::string::npos && end != std::string::npos) {
            opening = lines.substr(start + prefix.size(), end - start - prefix.size());
        }
    }
    ~Viewer() {
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process.hProcess, 99);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    // Its exit status, once it has ended (a minute at most: a hang guard).
    DWORD Status() const {
        DWORD status = 259;
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process.hProcess, &status);
        }
        return status;
    }
    int Port() const { return std::stoi(address.substr(address.rfind(':') + 1)); }
    std::string Token() const { return address.substr(address.find("token=") + 6); }
};

void Quit(const Viewer& viewer) {
    const std::string answer = test_support::Exchange(
        viewer.Port(), "POST /api/quit HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(viewer.Port()) +
                           "\r\nAuthorization: Bearer " + viewer.Token() + "\r\nContent-Length: 7\r\n\r\ndiscard");
    EXPECT_EQ(answer.substr(0, 12), "HTTP/1.1 200") << answer;
}

// Wine delivers no console event that a program sends (Ctrl+C, Ctrl+Break:
// GenerateConsoleCtrlEvent fails on its consoles): the page's Quit ends
// the viewer here.
TEST(ViewerEndingsOnWindows, TheOpeningPageIsTheUsersAndGoesWithTheViewer) {
    const std::wstring user = UserSid();
    ASSERT_FALSE(user.empty());
    const Viewer viewer;
    ASSERT_FALSE(viewer.opening.empty()) << "no opening page in " << viewer.address;
    const std::filesystem::path opening(safewrite::WideText(viewer.opening));
    ASSERT_TRUE(std::filesystem::exists(opening));
    // The user's entry, and none but the system's own account beside it.
    const std::vector<std::wstring> entries = AccessEntries(opening.wstring());
    const auto allows = [&](const std::wstring& entry, const std::wstring& sid) {
        return entry.rfind(L"ALLOW " + sid + L" ", 0) == 0;
    };
    EXPECT_EQ(std::count_if(entries.begin(), entries.end(), [&](const auto& e) { return allows(e, user); }), 1);
    for (const std::wstring& entry : entries) {
        EXPECT_TRUE(allows(entry, user) || allows(entry, L"S-1-5-18")) << safewrite::Utf8Text(entry);
    }
    Quit(viewer);
    EXPECT_EQ(viewer.Status(), 0u);
    EXPECT_FALSE(std::filesystem::exists(opening.parent_path())) << "the private folder is left";
}

}  // namespace
