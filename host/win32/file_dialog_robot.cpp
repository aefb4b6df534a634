#include "win32/file_dialog_robot.h"

#include <dlgs.h>

#include "wide_text.h"
#include "win32/window_queries.h"

namespace winui {

namespace {

thread_local FileDialogRobot* t_robot = nullptr;

// The file-name box of a file dialog: the combo box of the Explorer-style
// dialogs, the edit box of the others.
HWND FileNameBox(HWND dialog) {
    for (const int id : {cmb13, edt1}) {
        if (HWND box = GetDlgItem(dialog, id); box != nullptr && IsWindowVisible(box)) {
            return box;
        }
    }
    return nullptr;
}

// The message of a message box: its static text that is not an icon.
std::string MessageOf(HWND box) {
    std::string message;
    for (HWND child : ChildWindows(box)) {
        const auto style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
        if (IsWindowClass(child, "Static") && (style & SS_TYPEMASK) != SS_ICON) {
            const std::string text = WindowText(child);
            if (!text.empty()) {
                message += (message.empty() ? "" : "\n") + text;
            }
        }
    }
    return message;
}

struct Search {
    HWND found = nullptr;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
    if (IsWindowClass(window, "#32770") && IsWindowVisible(window) && IsWindowEnabled(window)) {
        reinterpret_cast<Search*>(param)->found = window;
        return FALSE;
    }
    return TRUE;
}

void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace

FileDialogRobot::FileDialogRobot(DialogResponder responder, int maxNames)
    : responder_(std::move(responder)), maxNames_(maxNames) {
    t_robot = this;
    timer_ = SetTimer(nullptr, 0, 20, Tick);
}

FileDialogRobot::~FileDialogRobot() {
    if (timer_ != 0) {
        KillTimer(nullptr, timer_);
    }
    if (t_robot == this) {
        t_robot = nullptr;
    }
}

void CALLBACK FileDialogRobot::Tick(HWND, UINT, UINT_PTR, DWORD) {
    try {
        if (t_robot != nullptr && !t_robot->acting_) {
            t_robot->acting_ = true;
            t_robot->Act();
            t_robot->acting_ = false;
        }
    } catch (...) {
        if (t_robot != nullptr) {
            t_robot->acting_ = false;
        }
    }
}

void FileDialogRobot::Act() {
    Search search;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&search));
    HWND dialog = search.found;
    if (dialog == nullptr) {
        return;
    }
    DialogStep step;
    step.window = dialog;
    HWND nameBox = FileNameBox(dialog);
    if (nameBox != nullptr) {
        step.kind = DialogStep::Kind::FileName;
    } else if (GetDlgItem(dialog, IDYES) != nullptr) {
        step.kind = DialogStep::Kind::Question;
        step.text = MessageOf(dialog);
    } else {
        step.kind = DialogStep::Kind::Notice;
        step.text = MessageOf(dialog);
    }

    DialogAnswer answer;
    if (step.kind == DialogStep::Kind::FileName) {
        namesForLastDialog_ = dialog == lastDialog_ ? namesForLastDialog_ + 1 : 1;
        lastDialog_ = dialog;
        answer = namesForLastDialog_ > maxNames_ ? DialogAnswer::Cancel() : responder_(step);
    } else {
        answer = responder_(step);
    }
    steps_.push_back(step);

    switch (answer.action) {
        case DialogAnswer::Action::Type:
            if (nameBox != nullptr) {
                SetWindowTextW(nameBox, safewrite::WideText(answer.name).c_str());
                Press(dialog, IDOK);
                return;
            }
            Press(dialog, IDCANCEL);
            return;
        case DialogAnswer::Action::Yes:
            Press(dialog, GetDlgItem(dialog, IDYES) != nullptr ? IDYES : IDOK);
            return;
        case DialogAnswer::Action::No:
            Press(dialog, GetDlgItem(dialog, IDNO) != nullptr ? IDNO : IDCANCEL);
            return;
        case DialogAnswer::Action::Ok:
            Press(dialog, GetDlgItem(dialog, IDOK) != nullptr ? IDOK : IDCANCEL);
            return;
        case DialogAnswer::Action::Cancel:
        default:
            Press(dialog, IDCANCEL);
            return;
    }
}

}  // namespace winui
