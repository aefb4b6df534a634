#include "session/node_path.h"

#include <algorithm>
#include <cstdint>

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

namespace {

constexpr const char* kAnyDepth = "**";

// The steps a match may have reached, `reached`, with every "**" at them
// passed over as well (it may stand for no level at all).
void PassAnyDepth(const std::vector<std::string>& steps, std::vector<std::uint32_t>& reached, std::size_t from) {
    for (std::size_t i = from; i < reached.size(); ++i) {
        if (reached[i] < steps.size() && steps[reached[i]] == kAnyDepth &&
            std::find(reached.begin() + static_cast<std::ptrdiff_t>(from), reached.end(), reached[i] + 1) ==
                reached.end()) {
            reached.push_back(reached[i] + 1);
        }
    }
}

}  // namespace

// Without recursion: in pre-order, each node's steps reached follow from
// its parent's, which lie on a stack of the nodes from the root down. A
// node's step reached is j when its path fits steps[0..j); it is found
// when every step is reached. A step "**" takes any node and stays; any
// other takes a node whose name it fits and moves on.
std::vector<std::size_t> NodesOnPath(const std::vector<std::string>& steps,
                                     const std::vector<standin::StandinNode*>& order, const NodeTree& tree) {
    std::vector<std::size_t> found;
    std::vector<std::uint32_t> reached{0};  // the steps reached by each node on the stack, one after another
    std::vector<std::size_t> frames{0};     // where each depth's steps begin in `reached`
    PassAnyDepth(steps, reached, 0);
    for (std::size_t k = 1; k < order.size(); ++k) {
        const std::uint32_t depth = tree.depth[k];
        if (frames.size() > depth) {
            reached.resize(frames[depth]);
            frames.resize(depth);
        }
        const std::size_t from = reached.size();
        frames.push_back(from);
        for (std::size_t i = frames[depth - 1]; i < from; ++i) {
            const std::uint32_t step = reached[i];
            if (step >= steps.size()) {
                continue;
            }
            const std::uint32_t next = steps[step] == kAnyDepth ? step : step + 1;
            if ((steps[step] == kAnyDepth || NameMatches(steps[step], order[k]->Name())) &&
                std::find(reached.begin() + static_cast<std::ptrdiff_t>(from), reached.end(), next) == reached.end()) {
                reached.push_back(next);
            }
        }
        PassAnyDepth(steps, reached, from);
        if (std::find(reached.begin() + static_cast<std::ptrdiff_t>(from), reached.end(), steps.size()) !=
            reached.end()) {
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
