// The standing session as text, as a downloaded archive with the names
// files it reads, and the scene as Save writes it.
#include "files/input_file.h"
#include "files/output_file.h"
#include "hosting/session_host.h"
#include "scene/scene_format.h"
#include "session/session.h"
#include "text/name_text.h"
#include "view/replayed_scene.h"
#include "view/view_session.h"

namespace driver {

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace

std::string ViewSession::SessionText() const {
    std::string text;
    for (const ViewGesture& gesture : gestures_) {
        for (const Action& action : gesture.actions) {
            text += ActionText(action.what) + "\n";
        }
    }
    return text;
}

std::vector<std::pair<std::string, std::string>> ViewSession::SessionWithFiles() const {
    std::vector<std::pair<std::string, std::string>> files{{"viewer.session", ""}};
    for (const ViewGesture& gesture : gestures_) {
        std::vector<Action> actions = gesture.actions;
        for (const ViewNamesFile& file : gesture.files) {
            const std::string line = std::to_string(actions[file.answer + 1].origin.line);
            const std::string name = (file.saved ? "saved-" : "names-") + line + ".txt";
            std::get<AnswerDialog>(actions[file.answer].what).path = name;
            if (!file.saved) {
                files.emplace_back(name, ReadInputFile(file.copy));
            }
        }
        for (const Action& action : actions) {
            files.front().second += ActionText(action.what) + "\n";
        }
    }
    return files;
}

std::vector<std::string> ViewSession::Unsaved() const {
    const std::vector<std::string> saved = SplitLines(savedSession_);
    const std::vector<std::string> now = SplitLines(SessionText());
    std::size_t same = 0;
    while (same < saved.size() && same < now.size() && saved[same] == now[same]) {
        ++same;
    }
    std::vector<std::string> unsaved;
    for (std::size_t k = same; k < saved.size(); ++k) {
        unsaved.push_back("undone: " + saved[k]);
    }
    unsaved.insert(unsaved.end(), now.begin() + static_cast<std::ptrdiff_t>(same), now.end());
    return unsaved;
}

FileContent ViewSession::SceneContent() {
    return replayed_->file->Content(outputPath_.empty() ? scenePath_ : outputPath_,
                                    replayed_->host->SelectionIndices());
}

std::string ViewSession::SceneBytes() { return SceneContent().Joined(); }

InPlaceReason ViewSession::Save() {
    // Judged again as it is written: a link or a second name may have come since.
    if (const std::optional<Refusal> refusal = reach_.Unreachable(outputPath_, true)) {
        throw CodedError(refusal->code, Excerpt(outputPath_) + ": " + refusal->message);
    }
    InPlaceReason inPlace = WriteOutputFiles({{outputPath_, SceneContent()}}).front();
    savedSession_ = SessionText();
    return inPlace;
}

}  // namespace driver
