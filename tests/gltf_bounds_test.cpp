// The box that a morphed mesh draws in holds every vertex where its morph
// targets move it, each by its weight (the node's own weights, else the
// mesh's), whatever the signs and counts; a mesh of one vertex draws in
// exactly the point it is moved to.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "gltf_test_file.h"

namespace {

std::string Numbers(const std::vector<double>& values) {
    std::string text;
    for (const double value : values) {
        text += (text.empty() ? "" : ", ") + std::to_string(value);
    }
    return "[" + text + "]";
}

using Points = std::vector<std::vector<double>>;

// An accessor of the points, with their least and greatest coordinates.
std::string PointsAccessor(const Points& points) {
    std::vector<double> low = points[0], high = points[0];
    for (const std::vector<double>& point : points) {
        for (int i = 0; i < 3; ++i) {
            low[i] = std::min(low[i], point[i]);
            high[i] = std::max(high[i], point[i]);
        }
    }
    return R"({"componentType": 5126, "count": )" + std::to_string(points.size()) + R"(, "type": "VEC3", "min": )" +
           Numbers(low) + ", \"max\": " + Numbers(high) + "}";
}

}  // namespace

TEST(GltfBounds, AMorphedVertexIsBoxedWhereItsWeightedTargetsMoveIt) {
    std::mt19937 random(54);
    const double weightsToPick[] = {-1, -0.5, 0, 0.25, 1, 2};
    auto some = [&](std::size_t count, auto pick) {
        std::vector<double> values;
        for (std::size_t i = 0; i < count; ++i) {
            values.push_back(pick());
        }
        return values;
    };
    auto coordinate = [&] { return static_cast<double>(static_cast<int>(random() % 7) - 3); };
    auto weight = [&] { return weightsToPick[random() % 6]; };
    for (int round = 0; round < 80; ++round) {
        const std::size_t vertices = 1 + random() % 2;
        Points morphed;
        for (std::size_t v = 0; v < vertices; ++v) {
            morphed.push_back(some(3, coordinate));
        }
        std::string accessors = PointsAccessor(morphed), targets;
        const std::size_t targetCount = 1 + random() % 3;
        const std::vector<double> meshWeights = some(random() % 5, weight);
        const std::vector<double> nodeWeights = some(random() % 5, weight);
        const std::vector<double>& weights = nodeWeights.empty() ? meshWeights : nodeWeights;
        for (std::size_t t = 0; t < targetCount; ++t) {
            Points moves;
            for (std::size_t v = 0; v < vertices; ++v) {
                moves.push_back(some(3, coordinate));
                for (int i = 0; i < 3 && t < weights.size(); ++i) {
                    morphed[v][i] += weights[t] * moves[v][i];
                }
            }
            accessors += ", " + PointsAccessor(moves);
            targets += (t == 0 ? "" : ", ") + std::string(R"({"POSITION": )") + std::to_string(t + 1) + "}";
        }
        const std::string text =
            gltftest::Gltf(R"("scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0)" +
                           (nodeWeights.empty() ? "" : ", \"weights\": " + Numbers(nodeWeights)) +
                           R"(}], "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "targets": [)" + targets +
                           "]}]" + (meshWeights.empty() ? "" : ", \"weights\": " + Numbers(meshWeights)) +
                           "}], \"accessors\": [" + accessors + "]");
        const auto file = driver::ParseScene(text, "scene.gltf", driver::SceneUse::Listed);
        const std::optional<driver::WorldBox> box = file->DrawnBox(1);
        ASSERT_TRUE(box) << text;
        for (const std::vector<double>& point : morphed) {
            for (int i = 0; i < 3; ++i) {
                EXPECT_LE(box->min[i], point[i] + 1e-9) << text;
                EXPECT_GE(box->max[i], point[i] - 1e-9) << text;
                if (vertices == 1) {
                    EXPECT_NEAR(box->min[i], box->max[i], 1e-9) << text;
                }
            }
        }
    }
}
