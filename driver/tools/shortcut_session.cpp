#include "tools/shortcut_session.h"

#include <charconv>

#include "cli/invocation.h"
#include "hosting/session_host.h"
#include "session/verb_table.h"
#include "text/name_text.h"
#include "text/number_text.h"
#include "tools/tool_row.h"

namespace driver {

namespace {

// The panel of the shortcut's tool; null where the tool cannot be loaded,
// which the session's check reports where it opens the tool.
const PanelModel* PanelOf(const ToolRow& tool, SessionHost& host) {
    try {
        return host.Model(host.Library(tool.plugin));
    } catch (const ToolLibraryError&) {
        return nullptr;
    }
}

std::string PointText(const Point3& point) {
    return NumberText(point.x) + " " + NumberText(point.y) + " " + NumberText(point.z);
}

// The command line's value that a line's "{name}" stands for, if given.
std::optional<std::string> ValueOf(const Shortcut& shortcut, std::string_view name) {
    if (name == "axis") {
        return shortcut.axis;
    }
    if (name == "from" || name == "to") {
        const std::optional<Point3>& point = name == "from" ? shortcut.from : shortcut.to;
        return point ? std::optional(PointText(*point)) : std::nullopt;
    }
    if (name == "NAMES") {
        return shortcut.names;
    }
    throw CodedError(RefusalCode::Failed, "a shortcut line names no value " + std::string(name));
}

// The selection that the command line gives, as an action.
Action SelectionAction(const Shortcut& shortcut) {
    if (shortcut.copiesOf) {
        return {SelectNodes{}, {"--copies-of", 0}};  // its nodes are found by the job's check
    }
    if (shortcut.selectName) {
        return {SelectNamed{{*shortcut.selectName}, {}}, {"--select-name", 0}};
    }
    if (shortcut.selectPath) {
        return {SelectPath{{*shortcut.selectPath}, {}}, {"--select-path", 0}};
    }
    return {SelectNodes{shortcut.selection}, {"--select", 0}};
}

// "X, Y or Z".
std::string Alternatives(const std::vector<std::string>& captions) {
    std::string text;
    for (std::size_t i = 0; i < captions.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == captions.size() ? " or " : ", ") + captions[i];
    }
    return text;
}

// A line's argument with its "{...}"s filled in; none where a value is not given.
class LineFiller {
public:
    LineFiller(const Shortcut& shortcut, const PanelModel* panel) : shortcut_(shortcut), panel_(panel) {}

    std::optional<std::string> Fill(std::string_view text) {
        std::string filled;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t open = text.find('{', at);
            filled += text.substr(at, open == std::string_view::npos ? text.size() - at : open - at);
            if (open == std::string_view::npos) {
                break;
            }
            const std::size_t close = text.find('}', open);
            const std::string_view name = text.substr(open + 1, close - open - 1);
            std::optional<std::string> value = name.front() == '#' ? CaptionOf(name.substr(1))
                                                                   : ValueOf(shortcut_, name);
            if (!value) {
                return std::nullopt;
            }
            filled += *value;
            valued_ = valued_ || name.front() != '#';
            at = close + 1;
        }
        return filled;
    }
    const ModelControl* Control() const { return control_; }
    bool Valued() const { return valued_; }

private:
    // Where the tool cannot be loaded, its lines are left out: the check
    // stops at the line that opens it, saying why.
    std::optional<std::string> CaptionOf(std::string_view id) {
        if (panel_ == nullptr) {
            return std::nullopt;
        }
        int wanted = -1;
        std::from_chars(id.data(), id.data() + id.size(), wanted);
        for (const ModelControl& control : panel_->Controls()) {
            if (control.id == wanted) {
                control_ = &control;
                return control.caption;
            }
        }
        throw ToolLibraryError(std::string(ToolOf(*shortcut_.row).plugin) + ": its panel has no control " +
                               std::string(id) + ", which " + ShortcutName(shortcut_) + " works");
    }

    const Shortcut& shortcut_;
    const PanelModel* panel_;
    const ModelControl* control_ = nullptr;
    bool valued_ = false;
};

}  // namespace

std::optional<std::string> ShortcutSession::ChosenFile(const Shortcut& shortcut) const {
    if (!dialog || !shortcut.names || shortcut.namesToStandardOutput || shortcut.namesFromStandardInput) {
        return std::nullopt;
    }
    return dialog->FileFor(*shortcut.names);
}

ShortcutSession BuildShortcutSession(const Shortcut& shortcut, SessionHost& host) {
    const ToolRow& tool = ToolOf(*shortcut.row);
    const PanelModel* panel = PanelOf(tool, host);
    ShortcutSession session;
    for (const ShortcutLine& line : shortcut.row->lines) {
        const std::string_view text = line.text;
        if ((line.unlessGiven != nullptr && ValueOf(shortcut, line.unlessGiven)) || text == "{selection}") {
            if (text == "{selection}") {
                session.actions.push_back(SelectionAction(shortcut));
            }
            continue;
        }
        const Origin origin{line.origin == std::string_view(kCommandOrigin) ? shortcut.row->command : line.origin, 0};
        const std::size_t blank = text.find(' ');
        const std::string verbName(text.substr(0, blank));
        LineFiller filler(shortcut, panel);
        const std::optional<std::string> argument =
            blank == std::string_view::npos ? std::optional<std::string>("") : filler.Fill(text.substr(blank + 1));
        if (!argument) {
            continue;
        }
        ActionValue value = FindVerb(verbName)->parse(SessionLine(verbName, *argument, origin));
        if (auto* answer = std::get_if<AnswerDialog>(&value); answer != nullptr && filler.Valued()) {
            *answer = AnswerDialog{false, *argument};  // a file named "cancel" is a file still
        }
        if (const auto* radio = std::get_if<ClickRadio>(&value); radio != nullptr && panel != nullptr &&
                                                                 filler.Valued() &&
                                                                 panel->Find("radio", radio->caption) == nullptr) {
            throw UsageError(origin.Text() + ": " + QuotedExcerpt(radio->caption) + " is not " +
                             Alternatives(panel->Captions("radio")));
        }
        if (std::holds_alternative<PressButton>(value) && filler.Control() != nullptr) {
            session.dialog = filler.Control()->dialog;
        }
        session.actions.push_back({std::move(value), origin});
    }
    return session;
}

void CheckShortcutJob(const Shortcut& shortcut, ShortcutSession& session, SessionHost& host,
                      const ProxyFiles& proxies) {
    if (shortcut.row->checkJob != nullptr) {
        shortcut.row->checkJob(shortcut, session, host, proxies);
    }
}

}  // namespace driver
