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

// The steps reached by one node, each once: a step is marked with the
// node's number, so that whether it is reached already is told at once.
class ReachedSteps {
public:
    ReachedSteps(const std::vector<std::string>& steps, std::vector<std::uint32_t>& reached)
        : steps_(steps), reached_(reached), mark_(steps.size() + 1, 0) {}

    // Begins the steps of the node numbered `node` (from 1), at the end of `reached`.
    void Begin(std::size_t node) {
        node_ = node;
        from_ = reached_.size();
    }
    // Adds `step`, and the steps after it that "**" may pass over (it may
    // stand for no level at all).
    void Add(std::uint32_t step) {
        while (mark_[step] != node_) {
            mark_[step] = node_;
            reached_.push_back(step);
            if (step >= steps_.size() || steps_[step] != kAnyDepth) {
                return;
            }
            ++step;
        }
    }
    bool Has(std::uint32_t step) const { return mark_[step] == node_; }
    std::size_t From() const { return from_; }

private:
    const std::vector<std::string>& steps_;
    std::vector<std::uint32_t>& reached_;
    std::vector<std::size_t> mark_;
    std::size_t node_ = 0;
    std::size_t from_ = 0;
};

}  // namespace

// Without recursion: in pre-order, each node's steps reached follow from
// its parent's, which lie on a stack of the nodes from the root down. A
// node's step reached is j when its path fits steps[0..j); it is found
// when every step is reached. A step "**" takes any node and stays; any
// other takes a node whose name it fits and moves on. Each node costs
// its parent's steps reached, never their square.
std::vector<std::size_t> NodesOnPath(const std::vector<std::string>& steps,
                                     const std::vector<standin::StandinNode*>& order, const NodeTree& tree) {
    std::vector<std::size_t> found;
    std::vector<std::uint32_t> reached;  // the steps reached by each node on the stack, one after another
    std::vector<std::size_t> frames{0};  // where each depth's steps begin in `reached`
    ReachedSteps node(steps, reached);
    node.Begin(order.size());  // the root's mark: no node's number
    node.Add(0);
    for (std::size_t k = 1; k < order.size(); ++k) {
        const std::uint32_t depth = tree.depth[k];
        if (frames.size() > depth) {
            reached.resize(frames[depth]);
            frames.resize(depth);
        }
        node.Begin(k);
        frames.push_back(node.From());
        for (std::size_t i = frames[depth - 1]; i < node.From(); ++i) {
            const std::uint32_t step = reached[i];
            if (step >= steps.size()) {
                continue;
            }
            if (steps[step] == kAnyDepth) {
                node.Add(step);
            } else if (NameMatches(steps[step], order[k]->Name())) {
                node.Add(step + 1);
            }
        }
        if (node.Has(static_cast<std::uint32_t>(steps.size()))) {
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
