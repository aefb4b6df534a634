#pragma once

#include <functional>
#include <memory>
#include <string>

namespace driver {

// The user of the file dialogs that tools open: asked for the next answer
// when a dialog wants a file name. An answer is a path, or empty to cancel.
// `refusal` says why the dialog refused the previous answer ("" at first).
using NextAnswer = std::function<std::string(bool saving, const std::string& refusal)>;

// Installs `next` as the user of every file dialog until the returned
// object is destroyed. Overwriting an existing file is confirmed.
class FileDialogUser {
public:
    explicit FileDialogUser(NextAnswer next);
    ~FileDialogUser();
    FileDialogUser(const FileDialogUser&) = delete;
    FileDialogUser& operator=(const FileDialogUser&) = delete;

    // What the last dialog did: "" when no dialog ran since the last call.
    struct Outcome {
        bool ran = false;
        bool saving = false;
        bool chosen = false;  // false: cancelled or failed
        std::string path;     // the full path chosen
    };
    Outcome TakeOutcome();

private:
    NextAnswer next_;
    int seen_ = 0;
    struct Platform;  // what the platform's dialogs need; may be null
    std::unique_ptr<Platform> platform_;
};

}  // namespace driver
