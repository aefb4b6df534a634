#include "session/namesake_pairs.h"

#include <string>
#include <unordered_map>

#include "text/name_text.h"

namespace driver {

std::vector<NamesakePair> SelectedNamesakePairs(const std::vector<std::size_t>& selection,
                                                const std::vector<standin::StandinNode*>& order) {
    std::vector<NamesakePair> pairs;
    if (selection.size() < 2) {
        return pairs;
    }
    std::unordered_map<std::size_t, std::size_t> place;   // in the selection, by node
    std::unordered_map<std::string, std::size_t> wanted;  // the selected names, with room for two bearers
    for (std::size_t i = 0; i < selection.size(); ++i) {
        place.emplace(selection[i], i);
        wanted.emplace(order[selection[i]]->Name(), 0);
    }
    // The first two bearers of each selected name, in pre-order.
    std::unordered_map<std::string, std::pair<std::size_t, std::size_t>> bearers;
    for (std::size_t k = 0; k < order.size(); ++k) {
        const std::string& name = order[k]->Name();
        if (wanted.count(name) == 0) {
            continue;
        }
        auto [entry, first] = bearers.try_emplace(name, k, k);
        if (!first && entry->second.second == entry->second.first) {
            entry->second.second = k;
        }
    }
    for (std::size_t i = 0; i < selection.size(); ++i) {
        const std::size_t node = selection[i];
        const auto& [first, second] = bearers.at(order[node]->Name());
        const std::size_t namesake = first != node ? first : second;
        const auto selected = place.find(namesake);
        if (namesake != node && selected != place.end()) {
            pairs.push_back({node, namesake, selected->second < i});
        }
    }
    return pairs;
}

namespace {

bool Moved(const NodeMatrix& before, const NodeMatrix& after) {
    for (int row = 0; row < 4; ++row) {
        if (!(before.GetRow(row) == after.GetRow(row))) {
            return true;
        }
    }
    return false;
}

}  // namespace

void ReportNamesakePairs(const std::vector<std::size_t>& selection, const std::vector<standin::StandinNode*>& order,
                         const SceneHistory& history, ActionReport& report) {
    for (const NamesakePair& pair : SelectedNamesakePairs(selection, order)) {
        if (!history.ChangedSinceMark(pair.node) ||
            !Moved(history.StateAtMark(pair.node).transform, order[pair.node]->Transform())) {
            continue;
        }
        const std::string node = "node " + std::to_string(pair.node) + " " + Quoted(order[pair.node]->Name());
        const std::string namesake =
            "node " + std::to_string(pair.namesake) + " " + Quoted(order[pair.namesake]->Name());
        report.Warning("warning: " + node + " took the placement of its namesake " + namesake +
                       (pair.namesakeFirst ? ", as Align had just changed it" : "") +
                       "; both are selected, so the "
                       "order of the selection decides where they end");
    }
}

}  // namespace driver
