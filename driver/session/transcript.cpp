#include "session/transcript.h"

#include <algorithm>

#include "files/display_path.h"
#include "text/name_text.h"

namespace driver {

void Transcript::Echo(const Action& action, std::size_t step) {
    echo_ = action.origin.line > 0 ? "line " + std::to_string(action.origin.line) : "step " + std::to_string(step);
    echo_ += ": " + EscapedControls(ActionText(action.what));
    if (!quiet_) {
        Line(echo_);
        echo_.clear();
    }
    notes_ = 0;
}

void Transcript::Note(const std::string& note) {
    if (quiet_) {
        ++notes_;
        return;
    }
    Write(note);
}

void Transcript::KeptNote(const std::string& note) {
    if (!echo_.empty()) {
        Line(echo_);
        echo_.clear();
    }
    Write(note);
}

void Transcript::Warning(const std::string& note) {
    KeptNote(note);
    if (record_ != nullptr) {
        record_->warnings.push_back(HasControls(note) ? EscapedControls(note) : note);
    }
}

void Transcript::Write(const std::string& note) {
    line_ = "    ";
    if (HasControls(note)) {
        line_ += EscapedControls(note);
    } else {
        line_ += note;
    }
    Line(line_);
    ++notes_;
}

void Transcript::Line(const std::string& line) {
    out_.write(line.data(), static_cast<std::streamsize>(line.size()));
    out_.put('\n');
    Record(line);
}

// A line end that a note kept (they are no control bytes here) starts a
// line of its own, as the written transcript shows it.
void Transcript::Record(const std::string& text) {
    if (record_ == nullptr) {
        return;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        record_->lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

void Transcript::Changes(const std::vector<NodeChange>& changes) {
    Line("changes:");
    if (changes.empty()) {
        Line("    none");
    }
    for (const NodeChange& change : changes) {
        Line("    node " + std::to_string(change.index) + " " + Quoted(change.name));
        for (const std::string& line : change.lines) {
            Line("        " + EscapedControls(line));
        }
    }
}

void Transcript::Written(const std::string& path) {
    if (quiet_) {
        return;
    }
    Line("written: " + EscapedControls(DisplayPath(path)));
}

void Transcript::Raw(const std::string& text) {
    const std::string escaped = EscapedControls(text);
    out_ << escaped;
    Record(escaped);
}

void Transcript::End(const std::string& line) { Line("end: " + EscapedControls(line)); }

}  // namespace driver
