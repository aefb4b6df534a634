// Which nodes a glTF file's animation channels drive: a channel counts only
// for a node the file has, by its "node" index or by a pointer, and the
// parts it drives are told for that node alone. (Run in the sanitizer build
// too, where a channel of a node past the end would be a heap overflow.)
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "scene/gltf/gltf_accessors.h"
#include "scene/gltf/gltf_animation.h"

using driver::gltf::ChannelTarget;
using driver::gltf::JsonValue;

TEST(GltfAnimation, ChannelsCountOnlyForNodesTheFileHas) {
    std::mt19937 random(30);
    const char* const paths[] = {"translation", "rotation", "scale", "weights"};
    for (int round = 0; round < 200; ++round) {
        const std::size_t count = 1 + random() % 4;
        std::string channels;
        std::size_t inside = 0;
        for (std::size_t c = 1 + random() % 6; c > 0; --c) {
            const std::size_t node = random() % (count + 2);  // count and count + 1 lie past the end
            const std::string path = paths[random() % 4];
            const bool pointer = random() % 2 == 0;
            channels += channels.empty() ? "" : ", ";
            channels +=
                pointer
                    ? R"({"target": {"path": "pointer", "extensions": {"KHR_animation_pointer": {"pointer": "/nodes/)" +
                          std::to_string(node) + "/" + path + "\"}}}}"
                    : R"({"target": {"node": )" + std::to_string(node) + R"(, "path": ")" + path + "\"}}";
            inside += node < count ? 1 : 0;
        }
        const std::string text = R"([{"channels": [)" + channels + "]}]";
        const std::vector<ChannelTarget> targets =
            driver::gltf::ChannelTargets(JsonValue(text, {0, text.size()}), count);
        EXPECT_EQ(targets.size(), inside) << text;
        for (const ChannelTarget& target : targets) {
            EXPECT_LT(target.node, count) << text;
        }
        const auto animated = driver::gltf::AnimatedNodes(targets, count);
        ASSERT_EQ(animated.size(), count);
        for (std::size_t node = 0; node < count; ++node) {
            bool moved = false;
            for (const ChannelTarget& target : targets) {
                moved = moved || (target.node == node && target.property == "translation");
            }
            EXPECT_EQ(animated[node].translation, moved) << text;
        }
    }
}

// Quantized keys read as glTF maps normalized integers: c / 127 (at least
// -1), c / 255, c / 32767 (at least -1), c / 65535; floats as they are.
TEST(GltfAnimation, QuantizedKeysReadAsGltfMapsThem) {
    using driver::gltf::AccessorEntry;
    const struct {
        std::uint32_t type;
        std::string bytes;
        double value;
    } cases[] = {
        {5120, "\x7f", 1},
        {5120, "\x81", -1},
        {5120, "\x80", -1},
        {5120, "\x40", 64 / 127.0},
        {5121, "\xff", 1},
        {5121, "\x80", 128 / 255.0},
        {5122, "\xff\x7f", 1},
        {5122, std::string("\x00\x80", 2), -1},
        {5122, "\x01\xc0", -16383 / 32767.0},
        {5123, "\xff\xff", 1},
        {5123, std::string("\x00\x01", 2), 256 / 65535.0},
        {5126, std::string("\x00\x00\xc0\x3f", 4), 1.5},
    };
    for (const auto& c : cases) {
        AccessorEntry accessor;
        accessor.componentType = c.type;
        accessor.normalized = c.type != 5126;
        EXPECT_EQ(driver::gltf::ComponentSize(accessor), c.bytes.size()) << c.type;
        EXPECT_DOUBLE_EQ(driver::gltf::ComponentValue(accessor, c.bytes + c.bytes, 1), c.value) << c.type;
    }
}
