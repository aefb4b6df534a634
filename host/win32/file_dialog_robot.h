#pragma once

// A user of the real Windows common file dialogs: while a robot lives, the
// dialogs that its thread opens are worked through their windows. A thread
// timer looks for the thread's enabled dialog window (class "#32770"); the
// responder decides what to do with it, and the robot types the file name
// into the dialog's file-name box and presses its buttons. The robot sees
// windows only: which call opened a dialog is for the host to say
// (standin::RunningFileDialogCall).
#include <functional>
#include <string>
#include <vector>

#include <windows.h>

namespace winui {

struct DialogStep {
    enum class Kind {
        FileName,  // a file dialog wants a name
        Question,  // a box asking yes or no (whether to replace a file)
        Notice,    // a box with a message and OK only (a refused name)
    };
    Kind kind = Kind::FileName;
    std::string text;  // Question and Notice: the message
    HWND window = nullptr;
};

struct DialogAnswer {
    enum class Action { Cancel, Type, Yes, No, Ok };
    Action action = Action::Cancel;
    std::string name;  // Type: typed (UTF-8) into the file-name box, then OK is pressed

    static DialogAnswer Cancel() { return {Action::Cancel, {}}; }
    static DialogAnswer Type(std::string typed) { return {Action::Type, std::move(typed)}; }
    static DialogAnswer Yes() { return {Action::Yes, {}}; }
    static DialogAnswer No() { return {Action::No, {}}; }
    static DialogAnswer Ok() { return {Action::Ok, {}}; }
};

using DialogResponder = std::function<DialogAnswer(const DialogStep&)>;

class FileDialogRobot {
public:
    // One robot per thread at a time. After `maxNames` file-name steps of
    // one dialog window the robot cancels it, so that a responder that
    // keeps being refused ends.
    explicit FileDialogRobot(DialogResponder responder, int maxNames = kMaxNamesPerDialog);
    ~FileDialogRobot();
    FileDialogRobot(const FileDialogRobot&) = delete;
    FileDialogRobot& operator=(const FileDialogRobot&) = delete;

    // Every step answered so far, in order.
    const std::vector<DialogStep>& Steps() const { return steps_; }
    static constexpr int kMaxNamesPerDialog = 16;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void Act();

    DialogResponder responder_;
    int maxNames_;
    UINT_PTR timer_ = 0;
    bool acting_ = false;
    HWND lastDialog_ = nullptr;
    int namesForLastDialog_ = 0;
    std::vector<DialogStep> steps_;
};

}  // namespace winui
