#pragma once

#include <string>

#include "standin/standin_scene.h"

namespace bench {

// The large scene of the names and scene file benchmarks: `nodes` nodes,
// the root with groups under it, 999 leaves a group, names of ten
// characters, every transform the identity.
inline void BuildGroupedScene(standin::StandinScene& scene, int nodes) {
    standin::StandinNode* group = nullptr;
    for (int i = 1; i < nodes; ++i) {
        std::string name = "Node" + std::to_string(100000 + i % 900000);
        if ((i - 1) % 1000 == 0) {
            group = &scene.AddNode(scene.Root(), std::move(name));
        } else {
            scene.AddNode(*group, std::move(name));
        }
    }
}

}  // namespace bench
