#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

#include "win32/file_name_rules.h"
#include "win32/standin_extensions.h"
#include "win32/standin_objects.h"
#include "win32/text_encoding.h"

namespace win32standin {

namespace {

namespace fs = std::filesystem;
using file_name_rules::ExtensionOffset;
using file_name_rules::NameOffset;

FileDialogResponder g_responder;
std::unique_ptr<RecordedFileDialog> g_last;
int g_count = 0;
DWORD g_error = 0;

constexpr std::size_t kMaxFilterItems = 64;

RecordedFileDialog Snapshot(FileDialogKind kind, const OPENFILENAMEA& record) {
    RecordedFileDialog seen;
    seen.kind = kind;
    seen.record = record;
    if (record.lpstrFilter != nullptr) {
        for (const char* item = record.lpstrFilter; *item != '\0' && seen.filter.size() < kMaxFilterItems;
             item += std::strlen(item) + 1) {
            seen.filter.emplace_back(item);
        }
    }
    seen.hasDefExt = record.lpstrDefExt != nullptr;
    seen.defExt = seen.hasDefExt ? record.lpstrDefExt : "";
    if (record.lpstrFile != nullptr && record.nMaxFile > 0) {
        seen.initialFile.assign(record.lpstrFile, strnlen(record.lpstrFile, record.nMaxFile));
    }
    seen.hasInitialDir = record.lpstrInitialDir != nullptr;
    seen.initialDir = seen.hasInitialDir ? record.lpstrInitialDir : "";
    seen.hasTitle = record.lpstrTitle != nullptr;
    seen.title = seen.hasTitle ? record.lpstrTitle : "";
    return seen;
}

// The full path of a typed name: relative names are taken in the initial
// folder, or the current one.
std::string NamedPath(const std::string& typed, const OPENFILENAMEA& record) {
    fs::path path(typed);
    if (path.is_relative()) {
        const fs::path base = record.lpstrInitialDir != nullptr ? fs::path(record.lpstrInitialDir) : fs::current_path();
        path = base / path;
    }
    return path.lexically_normal().string();
}

// The file a named path stands for.
std::string FullPath(const std::string& named, const OPENFILENAMEA& record) {
    return file_name_rules::WithDefaultExtension(named, record.lpstrDefExt != nullptr ? record.lpstrDefExt : "");
}

class FileDialog {
public:
    FileDialog(FileDialogKind kind, OPENFILENAMEA& record) : kind_(kind), record_(record) {}

    BOOL Run() {
        std::string refusal;
        for (int attempt = 0; attempt < kMaxFileDialogChoices; ++attempt) {
            FileDialogAnswer answer;
            if (!Ask(FileDialogStep::ChooseFile, attempt, refusal, "", answer)) {
                return FALSE;
            }
            if (answer.action == FileDialogAnswer::Action::Cancel) {
                return FALSE;
            }
            if (answer.action != FileDialogAnswer::Action::Choose) {
                return Fail("the responder did not choose a file or cancel");
            }
            std::string full;
            refusal = Check(answer.path, full);
            if (!refusal.empty()) {
                continue;
            }
            if (NeedsOverwritePrompt(full)) {
                if (!Ask(FileDialogStep::ConfirmOverwrite, attempt, "", full, answer)) {
                    return FALSE;
                }
                if (answer.action == FileDialogAnswer::Action::Decline) {
                    refusal = "replacing " + full + " was declined";
                    continue;
                }
                if (answer.action != FileDialogAnswer::Action::Confirm) {
                    return Fail("the responder neither confirmed nor declined the overwrite");
                }
            }
            return Accept(full);
        }
        return Fail("gave up after " + std::to_string(kMaxFileDialogChoices) + " refused choices");
    }

    std::string chosen;

private:
    bool Ask(FileDialogStep step, int attempt, const std::string& refusal, const std::string& path,
             FileDialogAnswer& answer) {
        FileDialogRequest request;
        request.kind = kind_;
        request.step = step;
        request.record = &record_;
        request.attempt = attempt;
        request.refusal = refusal;
        request.path = path;
        try {
            answer = g_responder(request);
        } catch (...) {
            Fail("an exception left the file dialog responder");
            return false;
        }
        return true;
    }

    // Why Windows would refuse the typed name; "" when it is acceptable.
    std::string Check(const std::string& typed, std::string& full) const {
        if (typed.empty()) {
            return "no file name";
        }
        // A folder is no file to choose, with or without the extension.
        const std::string named = NamedPath(typed, record_);
        std::error_code error;
        if (fs::is_directory(named, error)) {
            return named + " is a folder";
        }
        full = FullPath(named, record_);
        if (fs::is_directory(full, error)) {
            return full + " is a folder";
        }
        const DWORD mustExist = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
        const fs::path folder = fs::path(full).parent_path();
        if ((record_.Flags & mustExist) != 0 && !fs::is_directory(folder, error)) {
            return "the folder " + folder.string() + " does not exist";
        }
        if ((record_.Flags & OFN_FILEMUSTEXIST) != 0 && !fs::exists(full, error)) {
            return "the file " + full + " does not exist";
        }
        return "";
    }

    bool NeedsOverwritePrompt(const std::string& full) const {
        std::error_code error;
        return kind_ == FileDialogKind::Save && (record_.Flags & OFN_OVERWRITEPROMPT) != 0 && fs::exists(full, error);
    }

    BOOL Accept(const std::string& full) {
        if (full.size() + 1 > record_.nMaxFile) {
            g_error = FNERR_BUFFERTOOSMALL;
            if (record_.nMaxFile >= 2) {
                const auto needed = static_cast<WORD>(std::min<std::size_t>(full.size() + 1, 0xFFFF));
                std::memcpy(record_.lpstrFile, &needed, sizeof needed);
            }
            return FALSE;
        }
        std::memcpy(record_.lpstrFile, full.c_str(), full.size() + 1);
        record_.nFileOffset = static_cast<WORD>(NameOffset(full));
        record_.nFileExtension = static_cast<WORD>(ExtensionOffset(full));
        if (record_.lpstrFileTitle != nullptr && record_.nMaxFileTitle > 0) {
            const std::string name = full.substr(NameOffset(full));
            const std::size_t count = std::min<std::size_t>(name.size(), record_.nMaxFileTitle - 1);
            name.copy(record_.lpstrFileTitle, count);
            record_.lpstrFileTitle[count] = '\0';
        }
        const std::string extension = record_.nFileExtension != 0 ? full.substr(record_.nFileExtension) : "";
        if (record_.lpstrDefExt != nullptr && !SameNameIgnoringCase(extension, record_.lpstrDefExt)) {
            record_.Flags |= OFN_EXTENSIONDIFFERENT;
        }
        chosen = full;
        return TRUE;
    }

    BOOL Fail(const std::string& why) {
        detail::ReportViolation(std::string(kind_ == FileDialogKind::Save ? "GetSaveFileNameA" : "GetOpenFileNameA") +
                                ": " + why);
        g_error = CDERR_DIALOGFAILURE;
        return FALSE;
    }

    FileDialogKind kind_;
    OPENFILENAMEA& record_;
};

BOOL RunFileDialog(FileDialogKind kind, LPOPENFILENAMEA record, const char* caller) {
    g_error = 0;
    if (record == nullptr) {
        detail::ReportViolation(std::string(caller) + ": null record");
        g_error = CDERR_DIALOGFAILURE;
        return FALSE;
    }
    ++g_count;
    g_last = std::make_unique<RecordedFileDialog>(Snapshot(kind, *record));
    auto refuse = [&](DWORD error, const std::string& why) {
        detail::ReportViolation(std::string(caller) + ": " + why);
        g_error = error;
        return FALSE;
    };
    BOOL result = FALSE;
    if (record->lStructSize != OPENFILENAME_SIZE_VERSION_400A && record->lStructSize != sizeof(OPENFILENAMEA)) {
        result = refuse(CDERR_STRUCTSIZE, "lStructSize " + std::to_string(record->lStructSize) + " is no record size");
    } else if (record->lpstrFile == nullptr || record->nMaxFile == 0) {
        result = refuse(FNERR_INVALIDFILENAME, "no file name buffer");
    } else if (record->hwndOwner != nullptr && !detail::IsLiveWindow(record->hwndOwner)) {
        result = refuse(CDERR_DIALOGFAILURE, "the owner is not a live window");
    } else if (!g_responder) {
        result = refuse(CDERR_DIALOGFAILURE, "no file dialog responder is set");
    } else {
        FileDialog dialog(kind, *record);
        result = dialog.Run();
        g_last->chosenPath = dialog.chosen;
    }
    g_last->result = result;
    g_last->extendedError = g_error;
    return result;
}

}  // namespace

void SetFileDialogResponder(FileDialogResponder responder) { g_responder = std::move(responder); }

const RecordedFileDialog* LastFileDialog() { return g_last.get(); }

int FileDialogCount() { return g_count; }

}  // namespace win32standin

extern "C" BOOL GetOpenFileNameA(LPOPENFILENAMEA record) {
    using namespace win32standin;
    return detail::Guarded("GetOpenFileNameA", BOOL{FALSE},
                           [&] { return RunFileDialog(FileDialogKind::Open, record, "GetOpenFileNameA"); });
}

extern "C" BOOL GetSaveFileNameA(LPOPENFILENAMEA record) {
    using namespace win32standin;
    return detail::Guarded("GetSaveFileNameA", BOOL{FALSE},
                           [&] { return RunFileDialog(FileDialogKind::Save, record, "GetSaveFileNameA"); });
}

extern "C" DWORD CommDlgExtendedError(void) { return win32standin::g_error; }
