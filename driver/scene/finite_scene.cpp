#include "scene/finite_scene.h"

#include "standin/transform_math.h"

namespace driver {

std::optional<NonFiniteNode> FirstNonFiniteNode(standin::StandinScene& scene) {
    const std::vector<standin::StandinNode*> nodes = scene.PreOrder();
    for (std::size_t index = 0; index < nodes.size(); ++index) {
        const standin::StandinNode& node = *nodes[index];
        if (!standin::IsFinite(node.Transform())) {
            return NonFiniteNode{index, &node, "its transform is not finite"};
        }
        if (!standin::IsFinite(node.ObjectOffset())) {
            return NonFiniteNode{index, &node, "its object offset is not finite"};
        }
    }
    return std::nullopt;
}

}  // namespace driver
