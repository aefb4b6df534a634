#include "tools/tarvel_shortcuts.h"

#include <unordered_map>

#include "cli/option_values.h"
#include "hosting/session_host.h"
#include "session/namesake_pairs.h"
#include "session/node_path.h"
#include "session/session.h"
#include "text/name_text.h"
#include "tools/shortcut_options.h"
#include "tools/shortcut_session.h"

namespace driver {

namespace {

// The selection's action, with its nodes found by the check.
std::vector<std::size_t>* SelectedIndices(std::vector<Action>& actions) {
    for (Action& action : actions) {
        if (auto* named = std::get_if<SelectNamed>(&action.what)) {
            return &named->indices;
        }
        if (auto* nodes = std::get_if<SelectNodes>(&action.what)) {
            return &nodes->indices;
        }
        if (auto* path = std::get_if<SelectPath>(&action.what)) {
            return &path->indices;
        }
    }
    throw CodedError(RefusalCode::Failed, "the shortcut's session selects nothing");
}

// The option that gives the selection, as messages lead with it.
std::string SelectionOption(const Shortcut& shortcut) {
    return shortcut.selectName   ? "--select-name: "
           : shortcut.selectPath ? "--select-path: "
           : shortcut.copiesOf   ? "--copies-of: "
                                 : "--select: ";
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

void ReadAlign(const ParsedArguments& arguments, const Invocation&, Shortcut& shortcut) {
    ReadSelectionOptions(arguments, shortcut);
}

void ReadPivot(const ParsedArguments& arguments, const Invocation&, Shortcut& shortcut) {
    ReadSelectionOptions(arguments, shortcut);
    if (shortcut.selection.size() > 1) {
        throw UsageError("--select: pivot works on one node, and " + std::to_string(shortcut.selection.size()) +
                         " are given");
    }
    shortcut.from = ReadPoint(RequiredValue(arguments, Option::From, shortcut), "--from");
    // Without --to the pivot only moves, its axes kept.
    if (arguments.Value(Option::To) == nullptr) {
        if (arguments.Value(Option::Axis) != nullptr) {
            throw UsageError(
                "--axis turns an axis towards --to, which is not given (without --to, pivot only "
                "moves the pivot to --from)");
        }
        return;
    }
    // The axis is one of the panel's radio buttons, which the session checks.
    shortcut.axis = RequiredValue(arguments, Option::Axis, shortcut);
    shortcut.to = ReadPoint(*arguments.Value(Option::To), "--to");
    if (shortcut.from->x == shortcut.to->x && shortcut.from->y == shortcut.to->y &&
        shortcut.from->z == shortcut.to->z) {
        throw UsageError("--to: the same point as --from, so the two points give no direction");
    }
}

void CheckAlignJob(const Shortcut& shortcut, ShortcutSession& session, SessionHost& host, const ProxyFiles&) {
    std::vector<std::size_t>& selected = *SelectedIndices(session.actions);
    if (shortcut.copiesOf) {
        selected = CopiesOf(*shortcut.copiesOf, host);
    }
    const std::string option = SelectionOption(shortcut);
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

void CheckPivotJob(const Shortcut& shortcut, ShortcutSession& session, SessionHost& host, const ProxyFiles&) {
    const std::vector<std::size_t>& selected = *SelectedIndices(session.actions);
    if (selected.size() == 1) {
        return;
    }
    const std::optional<std::string>& pattern = shortcut.selectName ? shortcut.selectName : shortcut.selectPath;
    const std::string fits = pattern ? Quoted(*pattern) + " fits " : "";
    throw NoMatchError(SelectionOption(shortcut) + fits + std::to_string(selected.size()) + " nodes (" +
                       NodeList(selected, host, 3) + "), and pivot works on one");
}

}  // namespace driver
