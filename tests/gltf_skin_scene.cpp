#include "gltf_skin_scene.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "scene/gltf/gltf_data_uri.h"

namespace gltftest {

namespace {

void Put(std::string& bytes, const std::vector<float>& values) {
    const std::size_t at = bytes.size();
    bytes.resize(at + 4 * values.size());
    std::memcpy(&bytes[at], values.data(), 4 * values.size());
}

Json View(std::size_t offset, std::size_t length) {
    return {{"buffer", 0}, {"byteOffset", offset}, {"byteLength", length}};
}

std::string Word(std::size_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF), static_cast<char>((v >> 16) & 0xFF),
            static_cast<char>(v >> 24)};
}

Json JsonAndBinary(const std::string& file, std::string& binary) {
    if (file.rfind("glTF", 0) != 0) {
        return Json::parse(file);
    }
    const std::size_t length = static_cast<unsigned char>(file[12]) | static_cast<unsigned char>(file[13]) << 8;
    binary = file.substr(20 + length + 8);
    return Json::parse(file.substr(20, length));
}

}  // namespace

std::string SkinnedScene(std::mt19937& random, const SkinShape& shape, std::string& buffer) {
    std::uniform_real_distribution<float> place(-2, 2);
    Json nodes = Json::array({{{"name", "Body"}, {"mesh", 0}, {"skin", 0}}});
    for (int j = 0; j < 3; ++j) {
        std::normal_distribution<float> normal;
        float q[4] = {normal(random), normal(random), normal(random), normal(random) + 2};
        const float length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
        nodes.push_back({{"name", "Joint " + std::to_string(j)},
                         {"translation", {place(random), place(random) + 1, place(random)}},
                         {"rotation", {q[0] / length, q[1] / length, q[2] / length, q[3] / length}}});
        if (j < 2) {
            nodes.back()["children"] = {j + 2};
        }
    }
    nodes.push_back({{"name", "Door"}, {"mesh", 1}, {"translation", {3, 0, 0}}});
    nodes.push_back({{"name", "Pulse"}, {"mesh", 1}, {"translation", {0, 3, 0}}});
    nodes.push_back({{"name", "Body"}, {"translation", {1, 2, 3}}, {"rotation", {0, 0.6, 0, 0.8}}});
    nodes.push_back({{"name", "Joint 2"}, {"translation", {-1, 0.5, 2}}, {"rotation", {0.6, 0, 0, 0.8}}});
    Json gltf = {{"asset", {{"version", "2.0"}}},
                 {"extensionsUsed", {"KHR_animation_pointer"}},
                 {"scenes", {{{"nodes", {0, 1, 4, 5, 6, 7}}}}},
                 {"nodes", nodes}};
    const std::vector<Matrix4> worlds = GltfWorlds(gltf);

    // A vertex at each joint, weighted to it and the next; then the matrices,
    // the animation's times, rotations and scales.
    std::string bytes;
    std::vector<float> positions, weights, matrices;
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) {
            positions.push_back(static_cast<float>(worlds[1 + j][12 + i]));
        }
        weights.insert(weights.end(), {0.75f, 0.25f, 0, 0});
        const Matrix4 inverse = RigidInverse(worlds[1 + j]);
        matrices.insert(matrices.end(), inverse.begin(), inverse.end());
    }
    Put(bytes, positions);                                                           // 0: 36 bytes
    bytes += std::string{0, 1, 0, 0, 1, 2, 0, 0, 2, 0, 0, 0};                        // 36: JOINTS_0
    Put(bytes, weights);                                                             // 48: 48 bytes
    Put(bytes, matrices);                                                            // 96: 192 bytes
    Put(bytes, {0, 1, 0, 0, 0, 1, 0, 0.7071068f, 0, 0.7071068f, 1, 1, 1, 2, 2, 2});  // 288: 64 bytes
    Json accessors = Json::array();
    Json min = Json::array(), max = Json::array();
    for (int i = 0; i < 3; ++i) {
        min.push_back(std::min({positions[i], positions[3 + i], positions[6 + i]}));
        max.push_back(std::max({positions[i], positions[3 + i], positions[6 + i]}));
    }
    accessors.push_back(
        {{"bufferView", 0}, {"componentType", 5126}, {"count", 3}, {"type", "VEC3"}, {"min", min}, {"max", max}});
    accessors.push_back({{"bufferView", 1}, {"componentType", 5121}, {"count", 3}, {"type", "VEC4"}});
    accessors.push_back({{"bufferView", 2}, {"componentType", 5126}, {"count", 3}, {"type", "VEC4"}});
    accessors.push_back({{"bufferView", 3}, {"componentType", 5126}, {"count", 3}, {"type", "MAT4"}});
    accessors.push_back(
        {{"bufferView", 4}, {"componentType", 5126}, {"count", 2}, {"type", "SCALAR"}, {"min", {0}}, {"max", {1}}});
    accessors.push_back(
        {{"bufferView", 4}, {"byteOffset", 8}, {"componentType", 5126}, {"count", 2}, {"type", "VEC4"}});
    accessors.push_back(
        {{"bufferView", 4}, {"byteOffset", 40}, {"componentType", 5126}, {"count", 2}, {"type", "VEC3"}});
    gltf["accessors"] = accessors;
    gltf["bufferViews"] = {View(0, 36), View(36, 12), View(48, 48), View(96, 192), View(288, 64)};
    gltf["meshes"] = {{{"primitives", {{{"attributes", {{"POSITION", 0}, {"JOINTS_0", 1}, {"WEIGHTS_0", 2}}}}}}},
                      {{"primitives", {{{"attributes", {{"POSITION", 0}}}}}}}};
    gltf["skins"] = {{{"name", "Skin"}, {"joints", {1, 2, 3}}}};
    if (shape.matrices) {
        gltf["skins"][0]["inverseBindMatrices"] = 3;
    }
    Json channels = {
        {{"sampler", 0}, {"target", {{"node", 4}, {"path", "rotation"}}}},
        {{"sampler", 1},
         {"target",
          {{"path", "pointer"}, {"extensions", {{"KHR_animation_pointer", {{"pointer", "/nodes/5/scale"}}}}}}}}};
    if (shape.animatedJoint) {
        channels.push_back({{"sampler", 0}, {"target", {{"node", 2}, {"path", "rotation"}}}});
    }
    Json animation = {{"name", "Wave"}, {"channels", channels}};
    animation["samplers"] = Json::parse(R"([{"input": 4, "output": 5}, {"input": 4, "output": 6}])");
    gltf["animations"] = Json::array({animation});
    gltf["buffers"] = {{{"byteLength", bytes.size()}}};
    if (shape.external) {
        gltf["buffers"][0]["uri"] = "skin.bin";
        buffer = bytes;
        return gltf.dump();
    }
    if (!shape.glb) {
        gltf["buffers"][0]["uri"] = driver::gltf::BufferDataUri(bytes);
        return gltf.dump();
    }
    return GlbFile(gltf.dump(), Word(bytes.size()) + std::string("BIN\0", 4) + bytes);
}

std::vector<Matrix4> SkinningMatrices(const std::string& file, const std::string& folder) {
    std::string binary;
    const Json gltf = JsonAndBinary(file, binary);
    const std::vector<Matrix4> worlds = GltfWorlds(gltf);
    const Json& skin = gltf["skins"][0];
    std::string matrices(64 * skin["joints"].size(), '\0');
    if (skin.contains("inverseBindMatrices")) {
        const Json& accessor = gltf["accessors"][skin["inverseBindMatrices"].get<std::size_t>()];
        const Json& view = gltf["bufferViews"][accessor["bufferView"].get<std::size_t>()];
        const Json& buffer = gltf["buffers"][view["buffer"].get<std::size_t>()];
        std::string bytes = binary;
        if (buffer.contains("uri")) {
            const std::string uri = buffer["uri"].get<std::string>();
            const auto data = driver::gltf::DataUriBytes(uri);
            std::ifstream in(folder + "/" + uri, std::ios::binary);
            bytes = data ? *data : std::string(std::istreambuf_iterator<char>(in), {});
        }
        matrices = bytes.substr(view.value("byteOffset", 0) + accessor.value("byteOffset", 0), matrices.size());
    }
    std::vector<Matrix4> skinning;
    for (std::size_t j = 0; j < skin["joints"].size(); ++j) {
        Matrix4 inverse{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        if (skin.contains("inverseBindMatrices")) {
            for (std::size_t i = 0; i < 16; ++i) {
                float value = 0;
                std::memcpy(&value, &matrices[64 * j + 4 * i], 4);
                inverse[i] = value;
            }
        }
        skinning.push_back(Multiply(worlds[skin["joints"][j].get<std::size_t>()], inverse));
    }
    return skinning;
}

}  // namespace gltftest
