#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "standin/standin_scene.h"

namespace driver {

// A node with a number that no scene file can hold, and why.
struct NonFiniteNode {
    std::size_t index;  // pre-order
    const standin::StandinNode* node;
    std::string reason;
};

// The first node, in pre-order, whose transform or object offset holds a
// number that is not finite (not a number, or an infinity); none where
// every number is finite. Every format's writer refuses such a scene, with
// the same reason.
std::optional<NonFiniteNode> FirstNonFiniteNode(standin::StandinScene& scene);

}  // namespace driver
