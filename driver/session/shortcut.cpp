#include "session/shortcut.h"

#include <unordered_map>

#include "files/display_path.h"
#include "files/line_count.h"
#include "hosting/session_host.h"
#include "session/namesake_pairs.h"
#include "session/node_path.h"
#include "session/session.h"
#include "text/count_text.h"
#include "text/name_text.h"

namespace driver {

namespace {

// A shortcut is a small session, pressing the tools' buttons by the
// captions their panels show, as a user's session would.
constexpr const char* kSaveNamesCaption = "Save Names To File";
constexpr const char* kLoadNamesCaption = "Load Names Form File";

bool UsesTarvel(ShortcutKind kind) { return kind == ShortcutKind::Align || kind == ShortcutKind::Pivot; }

// The selection's action, with its nodes found by the check.
const std::vector<std::size_t>& SelectedIndices(const std::vector<Action>& actions) {
    for (const Action& action : actions) {
        if (const auto* named = std::get_if<SelectNamed>(&action.what)) {
            return named->indices;
        }
        if (const auto* nodes = std::get_if<SelectNodes>(&action.what)) {
            return nodes->indices;
        }
        if (const auto* path = std::get_if<SelectPath>(&action.what)) {
            return path->indices;
        }
    }
    static const std::vector<std::size_t> none;
    return none;
}

// "2 "Chair", 5 "Chair"", at most `shown` of them, then how many more.
std::string NodeList(const std::vector<std::size_t>& indices, const SessionHost& host, std::size_t shown) {
    std::string list;
    for (std::size_t i = 0; i < indices.size() && i < shown; ++i) {
        list += (i == 0 ? "" : ", ") + std::to_string(indices[i]) + " " + Quoted(host.Nodes()[indices[i]]->Name());
    }
    if (indices.size() > shown) {
        list += " and " + std::to_string(indices.size() - shown) + " more";
    }
    return list;
}

// The dialog that the shortcut's press opens, as the panel of the tool it
// opens says; null for a press that opens none.
const PanelDialog* PressedDialog(const std::vector<Action>& actions, SessionHost& host) {
    const PanelModel* panel = nullptr;
    for (const Action& action : actions) {
        if (const auto* open = std::get_if<OpenTool>(&action.what)) {
            panel = host.Model(host.Library(open->plugin));
        } else if (const auto* press = std::get_if<PressButton>(&action.what)) {
            return panel != nullptr ? panel->DialogOf(press->caption) : nullptr;
        }
    }
    return nullptr;
}

// A names file of another number of lines than the scene has nodes gives
// names by position all the same: one line missing or added moves every
// later name one node on, which nothing in the result shows.
void CheckNamesCount(const Shortcut& shortcut, SessionHost& host, const ProxyFiles& proxies) {
    const ProxyFile* proxy = proxies.Of(shortcut.names);
    const std::optional<std::string> chosen = proxy != nullptr ? proxy->file : ShortcutNamesFile(shortcut, host);
    if (!chosen) {
        return;  // the press is refused, and says why
    }
    const std::string& path = *chosen;
    const std::optional<std::uint64_t> lines = CountLines(path);
    if (!lines) {
        return;  // the dialog refuses it, and says why
    }
    const std::size_t nodes = host.Nodes().size();
    if (*lines != nodes) {
        throw NoMatchError("NAMES: " + (proxy != nullptr ? proxy->shown : Quoted(DisplayPath(path))) + " has " +
                           Counted(static_cast<std::size_t>(*lines), "line") + " and the scene " +
                           Counted(nodes, "node") +
                           ", so its names would shift off the nodes they belong to; "
                           "nothing was loaded or written (--partial loads it by position all the same)");
    }
}

// How the command line selects `first` or `second` alone: by their paths
// where each fits its node only, and by their indices.
std::string WaysToSelectOne(std::size_t first, std::size_t second, const std::vector<standin::StandinNode*>& nodes) {
    const NodeTree tree = TreeOf(nodes);
    const std::string firstPath = PathOf(first, nodes, tree);
    const std::string secondPath = PathOf(second, nodes, tree);
    auto alone = [&](const std::string& path, std::size_t k) {
        return NodesOnPath(PathSteps(path), nodes, tree) == std::vector<std::size_t>{k};
    };
    const std::string byIndex = "index (--select " + std::to_string(first) + " or " + std::to_string(second) + ")";
    if (!alone(firstPath, first) || !alone(secondPath, second)) {
        return "by its " + byIndex;
    }
    return "by its path (--select-path " + Quoted(firstPath) + " or " + Quoted(secondPath) + ") or " + byIndex;
}

// Align with a node and its namesake selected moves one to the other's
// place and the other back, or the reverse, as the order of the selection
// has it: the command line has to select one of them.
void CheckNoNamesakePair(const std::string& option, const std::vector<std::size_t>& selected, const SessionHost& host) {
    const std::vector<NamesakePair> pairs = SelectedNamesakePairs(selected, host.Nodes());
    if (pairs.empty()) {
        return;
    }
    const NamesakePair& pair = pairs.front();
    const std::vector<standin::StandinNode*>& nodes = host.Nodes();
    auto node = [&](std::size_t k) { return "node " + std::to_string(k) + " " + Quoted(nodes[k]->Name()); };
    const std::size_t first = pair.node;
    const std::size_t second = pair.namesake;
    throw SelectionConflict(option + "the selection holds both " + node(first) + " and " + node(second) +
                            ", the namesake whose place it would take, so the result would depend on their order; "
                            "select only the one to move, " +
                            WaysToSelectOne(first, second, nodes) + ", or every copy but the first with --copies-of " +
                            Quoted(nodes[first]->Name()));
}

// The nodes of --copies-of: those named `name` exactly, but the first in
// pre-order (the root is never selected, but may be the first).
std::vector<std::size_t> CopiesOf(const std::string& name, const SessionHost& host) {
    std::vector<std::size_t> named;
    for (std::size_t k = 0; k < host.Nodes().size(); ++k) {
        if (host.Nodes()[k]->Name() == name) {
            named.push_back(k);
        }
    }
    if (named.size() < 2) {
        throw NoMatchError("--copies-of: " + (named.empty()
                                                  ? "no node is named " + QuotedExcerpt(name)
                                                  : "only node " + std::to_string(named[0]) + " is named " +
                                                        QuotedExcerpt(name) + ", so it has no copies to align"));
    }
    named.erase(named.begin());
    return named;
}

}  // namespace

const char* ShortcutName(ShortcutKind kind) {
    switch (kind) {
        case ShortcutKind::Align:
            return "align";
        case ShortcutKind::Pivot:
            return "pivot";
        case ShortcutKind::SaveNames:
            return "save-names";
        case ShortcutKind::LoadNames:
            return "load-names";
    }
    return "";
}

std::vector<Action> ShortcutActions(const Shortcut& shortcut) {
    const Origin command{ShortcutName(shortcut.kind), 0};
    std::vector<Action> actions;
    if (UsesTarvel(shortcut.kind)) {
        actions.push_back({OpenTool{"Tarvel"}, command});
        if (shortcut.copiesOf) {
            actions.push_back({SelectNodes{}, {"--copies-of", 0}});
        } else if (shortcut.selectName) {
            actions.push_back({SelectNamed{{*shortcut.selectName}, {}}, {"--select-name", 0}});
        } else if (shortcut.selectPath) {
            actions.push_back({SelectPath{{*shortcut.selectPath}, {}}, {"--select-path", 0}});
        } else {
            actions.push_back({SelectNodes{shortcut.selection}, {"--select", 0}});
        }
        if (shortcut.kind == ShortcutKind::Align) {
            actions.push_back({PressButton{"Align"}, command});
        } else {
            if (!shortcut.axis.empty()) {
                actions.push_back({ClickRadio{shortcut.axis}, {"--axis", 0}});
            }
            actions.push_back({PressButton{"Pick"}, command});
            actions.push_back({ClickViewport{shortcut.from}, {"--from", 0}});
            if (!shortcut.axis.empty()) {
                actions.push_back({ClickViewport{shortcut.to}, {"--to", 0}});
            } else {
                actions.push_back({EndPickMode{}, command});
            }
        }
    } else {
        const bool saving = shortcut.kind == ShortcutKind::SaveNames;
        actions.push_back({OpenTool{"Velkora"}, command});
        actions.push_back({AnswerDialog{false, shortcut.names}, {"NAMES", 0}});
        actions.push_back({PressButton{saving ? kSaveNamesCaption : kLoadNamesCaption}, command});
    }
    actions.push_back({CloseTool{}, command});
    return actions;
}

std::optional<std::string> ShortcutNamesFile(const Shortcut& shortcut, SessionHost& host) {
    const PanelDialog* dialog = shortcut.names.empty() ? nullptr : PressedDialog(ShortcutActions(shortcut), host);
    return dialog != nullptr ? std::optional(dialog->FileFor(shortcut.names)) : std::nullopt;
}

void CheckShortcutJob(const Shortcut& shortcut, std::vector<Action>& actions, SessionHost& host,
                      const ProxyFiles& proxies) {
    if (shortcut.kind == ShortcutKind::LoadNames && !shortcut.partial) {
        CheckNamesCount(shortcut, host, proxies);
    }
    if (!UsesTarvel(shortcut.kind)) {
        return;
    }
    if (shortcut.copiesOf) {
        for (Action& action : actions) {
            if (auto* select = std::get_if<SelectNodes>(&action.what)) {
                select->indices = CopiesOf(*shortcut.copiesOf, host);
            }
        }
    }
    const std::string option = shortcut.selectName   ? "--select-name: "
                               : shortcut.selectPath ? "--select-path: "
                               : shortcut.copiesOf   ? "--copies-of: "
                                                     : "--select: ";
    const std::vector<std::size_t>& selected = SelectedIndices(actions);
    if (shortcut.kind == ShortcutKind::Pivot) {
        if (selected.size() != 1) {
            const std::string* pattern = shortcut.selectName   ? &*shortcut.selectName
                                         : shortcut.selectPath ? &*shortcut.selectPath
                                                               : nullptr;
            const std::string fits = pattern != nullptr ? Quoted(*pattern) + " fits " : "";
            throw NoMatchError(option + fits + std::to_string(selected.size()) + " nodes (" +
                               NodeList(selected, host, 3) + "), and pivot works on one");
        }
        return;
    }
    std::unordered_map<std::string, std::size_t> bearers;
    for (const standin::StandinNode* node : host.Nodes()) {
        ++bearers[node->Name()];
    }
    std::vector<std::size_t> alone;
    for (const std::size_t index : selected) {
        if (bearers[host.Nodes()[index]->Name()] < 2) {
            alone.push_back(index);
        }
    }
    if (!alone.empty()) {
        throw NoMatchError(option + (alone.size() == 1 ? "node " : "nodes ") + NodeList(alone, host, 3) +
                           (alone.size() == 1 ? " has" : " have") +
                           " no namesake (no other node of the same name), so align would not move " +
                           (alone.size() == 1 ? "it" : "them"));
    }
    CheckNoNamesakePair(option, selected, host);
}

}  // namespace driver
