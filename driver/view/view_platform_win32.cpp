#include "view/view_platform.h"

#include <windows.h>

#include <aclapi.h>
#include <objbase.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <iostream>
#include <memory>
#include <vector>

#include "files/output_file.h"
#include "view/view_guard.h"
#include "view/view_server.h"
#include "wide_text.h"

namespace driver {

namespace {

// The user's SID in its text form ("S-1-5-21-..."), or empty.
std::wstring UserSid() {
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) == FALSE) {
        return {};
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    LPWSTR text = nullptr;
    std::wstring sid;
    if (size != 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size) != FALSE &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text) != FALSE) {
        sid = text;
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}

std::wstring LocalApplicationData() {
    PWSTR folder = nullptr;
    std::wstring path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder))) {
        path = folder;
    }
    CoTaskMemFree(folder);
    return path;
}

// The console's interruptions, for the thread of StopOnSignal.
struct Interruption {
    HANDLE wake = nullptr;  // set by an interruption, or by EndSignalThread
    std::atomic<bool> interrupted{false};
};
Interruption g_interruption;

// Runs on a thread of the system's own. The console's closing ends the
// process once this returns: it waits for the program to end by itself,
// the server stopped and the private folder gone, for as long as Windows
// lets it (5 seconds).
BOOL WINAPI OnConsoleEvent(DWORD event) {
    g_interruption.interrupted = true;
    SetEvent(g_interruption.wake);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        Sleep(4000);
    }
    return TRUE;
}

}  // namespace

std::string MakePrivateFolder() {
    const std::wstring base = LocalApplicationData();
    const std::wstring sid = UserSid();
    if (base.empty() || sid.empty()) {
        throw OutputFileError(
            "cannot make a private folder: the user or their local application-data folder is unknown");
    }
    // Full access for the user alone, inherited by what is made inside; no
    // access list of the folders above applies.
    const std::wstring access = L"D:P(A;OICI;FA;;;" + sid + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(access.c_str(), SDDL_REVISION_1, &descriptor, nullptr) ==
        FALSE) {
        throw OutputFileError("cannot make a private folder: its access list is refused");
    }
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
    DWORD error = ERROR_ALREADY_EXISTS;
    for (int attempt = 0; attempt < 8 && error == ERROR_ALREADY_EXISTS; ++attempt) {
        const std::wstring candidate = base + L"\\morvane-view-" + safewrite::WideText(NewToken().substr(0, 12));
        if (CreateDirectoryW(candidate.c_str(), &attributes) != FALSE) {
            LocalFree(descriptor);
            return safewrite::Utf8Text(candidate);
        }
        error = GetLastError();
    }
    LocalFree(descriptor);
    throw OutputFileError("cannot make a private folder in " + safewrite::Utf8Text(base) + " (error " +
                          std::to_string(error) + ")");
}

namespace {

// The system's own account, which every file's access list may name (Wine
// names it in every list it reads back).
constexpr wchar_t kLocalSystem[] = L"S-1-5-18";

// Whether the access list of the file open as `file`, read back, lets in
// the user alone: entries that allow, the user's (one at least) or the
// system's, and no others.
bool OnlyUserMayEnter(HANDLE file, const std::wstring& sid) {
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    bool alone = acl != nullptr && acl->AceCount >= 1;
    bool user = false;
    for (DWORD k = 0; alone && k < acl->AceCount; ++k) {
        void* entry = nullptr;
        LPWSTR text = nullptr;
        alone = GetAce(acl, k, &entry) != FALSE &&
                static_cast<ACE_HEADER*>(entry)->AceType == ACCESS_ALLOWED_ACE_TYPE &&
                ConvertSidToStringSidW(reinterpret_cast<PSID>(&static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart),
                                       &text) != FALSE &&
                (sid == text || std::wstring(text) == kLocalSystem);
        user = user || (alone && sid == text);
        LocalFree(text);
    }
    LocalFree(descriptor);
    return alone && user;
}

}  // namespace

// The access list is set on the file itself, protected from its folder's,
// on a handle to it, then read back there: the system's calls by name
// would merge in the folder's entries on Wine.
void KeepToUser(const std::string& path) {
    const std::wstring sid = UserSid();
    const HANDLE file = CreateFileW(safewrite::WideText(path).c_str(), READ_CONTROL | WRITE_DAC,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring access = L"D:P(A;;FA;;;" + sid + L")";
    const bool kept = file != INVALID_HANDLE_VALUE && !sid.empty() &&
                      ConvertStringSecurityDescriptorToSecurityDescriptorW(access.c_str(), SDDL_REVISION_1, &descriptor,
                                                                           nullptr) != FALSE &&
                      SetKernelObjectSecurity(file, DACL_SECURITY_INFORMATION, descriptor) != FALSE &&
                      OnlyUserMayEnter(file, sid);
    LocalFree(descriptor);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    if (!kept) {
        throw OutputFileError("cannot keep " + path + " to its user alone: its access list is refused");
    }
}

std::thread StopOnSignal(ViewServer& server) {
    g_interruption.wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_interruption.interrupted = false;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    return std::thread([&server] {
        WaitForSingleObject(g_interruption.wake, INFINITE);
        if (g_interruption.interrupted) {
            server.Stop();
        }
    });
}

void EndSignalThread(std::thread& waiter) {
    SetEvent(g_interruption.wake);
    waiter.join();
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    CloseHandle(g_interruption.wake);
    g_interruption.wake = nullptr;
}

// The shell opens the page with the program that the user chose for web
// pages; its path is the one argument.
void OpenBrowser(const std::string& page) {
    std::wstring path = safewrite::WideText(page);
    for (wchar_t& c : path) {
        c = c == L'/' ? L'\\' : c;
    }
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const auto opened =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    if (opened <= 32) {
        std::cerr << "morvane-host: view: cannot start the browser (error " << opened << "); open " << page
                  << " yourself\n";
    }
}

}  // namespace driver
