#include "session/transcript.h"

#include "files/display_path.h"
#include "text/name_text.h"

namespace driver {

void Transcript::Echo(const Action& action, std::size_t step) {
    echo_ = action.origin.line > 0 ? "line " + std::to_string(action.origin.line) : "step " + std::to_string(step);
    echo_ += ": " + EscapedControls(ShownStandIn(ActionText(action.what), true)) + "\n";
    if (!quiet_) {
        out_ << echo_;
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
        out_ << echo_;
        echo_.clear();
    }
    Write(note);
}

void Transcript::Write(const std::string& given) {
    const std::string& note = standInForms_.empty() ? given : ShownStandIn(given, false);
    line_ = "    ";
    if (HasControls(note)) {
        line_ += EscapedControls(note);
    } else {
        line_ += note;
    }
    line_ += '\n';
    out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
    ++notes_;
}

void Transcript::Changes(const std::vector<NodeChange>& changes) {
    out_ << "changes:\n";
    if (changes.empty()) {
        out_ << "    none\n";
    }
    for (const NodeChange& change : changes) {
        out_ << "    node " << change.index << " " << Quoted(change.name) << "\n";
        for (const std::string& line : change.lines) {
            out_ << "        " << EscapedControls(line) << "\n";
        }
    }
}

void Transcript::Written(const std::string& path) {
    if (quiet_) {
        return;
    }
    out_ << "written: " << EscapedControls(DisplayPath(path)) << "\n";
}

void Transcript::StandIn(const std::string& path, const std::string& echoed, const std::string& noted) {
    standInForms_ = {Quoted(path), Quoted(DisplayPath(path)), path};
    echoed_ = echoed;
    noted_ = noted;
}

std::string Transcript::ShownStandIn(std::string text, bool echo) const {
    for (std::size_t form = 0; form < standInForms_.size(); ++form) {
        const std::string& from = standInForms_[form];
        const std::string& to = form + 1 == standInForms_.size() || echo ? echoed_ : noted_;
        for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
            text.replace(at, from.size(), to);
        }
    }
    return text;
}

void Transcript::Raw(const std::string& text) { out_ << EscapedControls(text); }

void Transcript::End(const std::string& line) { out_ << "end: " << EscapedControls(line) << "\n"; }

}  // namespace driver
