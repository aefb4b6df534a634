#include "session/node_path.h"

#include <algorithm>

#include "session/name_pattern.h"

namespace driver {

std::vector<std::string> PathSteps(const std::string& path) {
    std::vector<std::string> steps(1);
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (c == '\\' && i + 1 < path.size() && (path[i + 1] == '/' || path[i + 1] == '\\')) {
            steps.back() += path[++i];
        } else if (c == '/') {
            steps.emplace_back();
        } else {
            steps.back() += c;
        }
    }
    return steps;
}

// A node fits when its own step fits its name and its parent fits the
// steps above: one pass in pre-order, parents before children.
std::vector<std::size_t> NodesOnPath(const std::vector<std::string>& steps,
                                     const std::vector<standin::StandinNode*>& order, const NodeTree& tree) {
    std::vector<bool> fits(order.size(), false);
    std::vector<std::size_t> found;
    for (std::size_t k = 1; k < order.size(); ++k) {
        const std::uint32_t depth = tree.depth[k];
        if (depth > steps.size() || (depth > 1 && !fits[tree.parent[k]])) {
            continue;
        }
        fits[k] = NameMatches(steps[depth - 1], order[k]->Name());
        if (fits[k] && depth == steps.size()) {
            found.push_back(k);
        }
    }
    return found;
}

std::string PathOf(std::size_t index, const std::vector<standin::StandinNode*>& order, const NodeTree& tree) {
    std::vector<std::size_t> chain;
    for (std::size_t k = index; k != 0; k = tree.parent[k]) {
        chain.push_back(k);
    }
    std::string path;
    for (auto k = chain.rbegin(); k != chain.rend(); ++k) {
        if (k != chain.rbegin()) {
            path += '/';
        }
        for (const char c : order[*k]->Name()) {
            path += c == '/' || c == '\\' ? std::string{'\\', c} : std::string{c};
        }
    }
    return path;
}

}  // namespace driver
