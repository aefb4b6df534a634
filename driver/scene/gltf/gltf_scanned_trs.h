#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "scene/gltf/gltf_transform.h"

namespace driver::gltf {

// The translations, rotations and scales that the scan read, by node, in
// blocks that stay where they are as more nodes are read: no block is
// copied to grow, and no page is touched twice. Only once enabled: a run
// that will not write the scene spares the memory and reads them again.
class ScannedTrs {
public:
    void Enable() { enabled_ = true; }
    void Set(std::size_t node, const Trs& trs) {
        if (!enabled_) {
            return;
        }
        while (blocks_.size() <= node / kBlock) {
            blocks_.push_back(std::make_unique<Trs[]>(kBlock));
        }
        blocks_[node / kBlock][node % kBlock] = trs;
    }
    // The node's, or null past the last block (a slot never set holds the
    // identity).
    const Trs* Of(std::size_t node) const {
        return node / kBlock < blocks_.size() ? &blocks_[node / kBlock][node % kBlock] : nullptr;
    }
    void Clear() { std::vector<std::unique_ptr<Trs[]>>().swap(blocks_); }

private:
    static constexpr std::size_t kBlock = 4096;
    std::vector<std::unique_ptr<Trs[]>> blocks_;
    bool enabled_ = false;
};

}  // namespace driver::gltf
