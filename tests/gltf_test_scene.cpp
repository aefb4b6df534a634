#include "gltf_test_scene.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace gltftest {

namespace {

// One triangle: three float positions, 36 bytes.
const char* const kTriangleBuffer =
    "data:application/octet-stream;base64,"
    "AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA";

// Animation keys, instance translations and skin attributes (132 bytes):
// times 0, 1; morph weights 0, 1; rotations identity, a quarter turn about
// Y; translations (0, 0, 0), (2, 0, 0); WEIGHTS_0 (1, 0, 0, 0) and
// JOINTS_0 (0, 0, 0, 0) for three vertices.
const char* const kFeatureBuffer =
    "data:application/octet-stream;base64,"
    "AAAAAAAAgD8AAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA9AQ1PwAAAAD0BDU/AAAAAAAAAAAAAAAAAAAAQAAAAAAAAAAAAACAPwAA"
    "AAAAAAAAAAAAAAAAgD8AAAAAAAAAAAAAAAAAAIA/AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA";

// Meshes: 0 a triangle, 1 the same with a morph target, 2 skinned.
const char* const kMeshes = R"([{"primitives": [{"attributes": {"POSITION": 0}}]},
    {"primitives": [{"attributes": {"POSITION": 0}, "targets": [{"POSITION": 0}]}], "weights": [0.5]},
    {"primitives": [{"attributes": {"POSITION": 0, "WEIGHTS_0": 5, "JOINTS_0": 6}}]}])";
const char* const kAccessors = R"([
    {"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3", "min": [0, 0, 0], "max": [1, 1, 0]},
    {"bufferView": 1, "componentType": 5126, "count": 2, "type": "SCALAR", "min": [0], "max": [1]},
    {"bufferView": 2, "componentType": 5126, "count": 2, "type": "SCALAR"},
    {"bufferView": 3, "componentType": 5126, "count": 2, "type": "VEC4"},
    {"bufferView": 4, "componentType": 5126, "count": 2, "type": "VEC3"},
    {"bufferView": 5, "componentType": 5126, "count": 3, "type": "VEC4"},
    {"bufferView": 6, "componentType": 5121, "count": 3, "type": "VEC4"}])";
const char* const kBufferViews = R"([{"buffer": 0, "byteLength": 36},
    {"buffer": 1, "byteLength": 8}, {"buffer": 1, "byteOffset": 8, "byteLength": 8},
    {"buffer": 1, "byteOffset": 16, "byteLength": 32}, {"buffer": 1, "byteOffset": 48, "byteLength": 24},
    {"buffer": 1, "byteOffset": 72, "byteLength": 48}, {"buffer": 1, "byteOffset": 120, "byteLength": 12}])";

Matrix4 Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

// T * R * S of a node's members, or its matrix.
Matrix4 LocalMatrix(const Json& node) {
    if (node.contains("matrix")) {
        Matrix4 m;
        for (int i = 0; i < 16; ++i) {
            m[i] = node["matrix"][i].get<double>();
        }
        return m;
    }
    const Json t = node.value("translation", Json::array({0, 0, 0}));
    const Json r = node.value("rotation", Json::array({0, 0, 0, 1}));
    const Json s = node.value("scale", Json::array({1, 1, 1}));
    double q[4];
    double length = 0;
    for (int i = 0; i < 4; ++i) {
        q[i] = r[i].get<double>();
        length += q[i] * q[i];
    }
    for (double& part : q) {
        part /= std::sqrt(length);
    }
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    Matrix4 rotation = {1 - 2 * (y * y + z * z),
                        2 * (x * y + w * z),
                        2 * (x * z - w * y),
                        0,
                        2 * (x * y - w * z),
                        1 - 2 * (x * x + z * z),
                        2 * (y * z + w * x),
                        0,
                        2 * (x * z + w * y),
                        2 * (y * z - w * x),
                        1 - 2 * (x * x + y * y),
                        0,
                        0,
                        0,
                        0,
                        1};
    Matrix4 scale = Identity();
    Matrix4 translation = Identity();
    for (int i = 0; i < 3; ++i) {
        scale[5 * i] = s[i].get<double>();
        translation[12 + i] = t[i].get<double>();
    }
    return Multiply(translation, Multiply(rotation, scale));
}

std::array<float, 4> RandomRotation(std::mt19937& random) {
    std::normal_distribution<float> normal;
    std::array<float, 4> q;
    float length = 0;
    do {
        length = 0;
        for (float& part : q) {
            part = normal(random);
            length += part * part;
        }
    } while (length < 1e-3f);
    for (float& part : q) {
        part /= std::sqrt(length);
    }
    return q;
}

// Morph weights of every morphed node, and a rotation of one node, each
// driven by an ordinary channel or by a KHR_animation_pointer.
Json RandomAnimations(std::mt19937& random, const std::vector<std::size_t>& morphed, int count, bool turning,
                      std::set<std::string>& used) {
    std::uniform_real_distribution<double> chance(0, 1);
    Json channels = Json::array();
    auto channel = [&](int sampler, std::size_t node, const char* path) {
        Json target = {{"node", node}, {"path", path}};
        if (chance(random) < 0.5) {
            target = {{"path", "pointer"},
                      {"extensions",
                       {{"KHR_animation_pointer", {{"pointer", "/nodes/" + std::to_string(node) + "/" + path}}}}}};
            used.insert("KHR_animation_pointer");
        }
        channels.push_back({{"sampler", sampler}, {"target", target}});
    };
    for (const std::size_t node : morphed) {
        channel(0, node, "weights");
    }
    if (chance(random) < 0.5 && turning) {
        channel(1, static_cast<std::size_t>(std::uniform_int_distribution<int>(0, count - 1)(random)), "rotation");
    }
    if (channels.empty()) {
        return Json::array();
    }
    return Json::array({{{"channels", channels},
                         {"samplers", Json::parse(R"([{"input": 1, "output": 2}, {"input": 1, "output": 3}])")}}});
}

}  // namespace

Matrix4 Multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 product{};
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            for (int k = 0; k < 4; ++k) {
                product[4 * column + row] += a[4 * k + row] * b[4 * column + k];
            }
        }
    }
    return product;
}

Json RandomGltf(std::mt19937& random, const SceneShape& shape) {
    std::uniform_real_distribution<float> place(-10, 10);
    std::uniform_real_distribution<float> factor(0.5f, 2);
    std::uniform_real_distribution<double> chance(0, 1);
    const int count = std::uniform_int_distribution<int>(1, shape.maxNodes)(random);
    static const char* const names[] = {"Chair", "Lamp", "Door", "Box", "Caf\xc3\xa9", "a \"quoted\" name"};

    // Parents drawn among the nodes made before, then indices shuffled.
    std::vector<int> parent(count, -1);
    for (int i = 1; i < count; ++i) {
        parent[i] = chance(random) < 0.25 ? -1 : std::uniform_int_distribution<int>(0, i - 1)(random);
    }
    std::vector<std::size_t> index(count);
    for (int i = 0; i < count; ++i) {
        index[i] = static_cast<std::size_t>(i);
    }
    std::shuffle(index.begin(), index.end(), random);

    Json nodes = Json::array();
    for (int i = 0; i < count; ++i) {
        nodes.push_back(Json::object());
    }
    Json roots = Json::array();
    std::set<std::string> used;  // extensions
    std::vector<std::size_t> morphed;
    Json skins = Json::array();
    for (int i = 0; i < count; ++i) {
        Json& node = nodes[index[i]];
        if (chance(random) < 0.85) {
            node["name"] = names[std::uniform_int_distribution<int>(0, 5)(random)];
        }
        const bool leaf = std::find(parent.begin(), parent.end(), i) == parent.end();
        const float uniform = factor(random);
        const bool stretched = leaf && shape.nonUniformLeaves && chance(random) < 0.5;
        const float s[3] = {uniform, stretched ? factor(random) : uniform, stretched ? factor(random) : uniform};
        const auto q = RandomRotation(random);
        Json trs = Json::object();
        trs["translation"] = {place(random), place(random), place(random)};
        trs["rotation"] = {q[0], q[1], q[2], q[3]};
        trs["scale"] = {s[0], s[1], s[2]};
        if (chance(random) < 0.3) {
            const Matrix4 m = LocalMatrix(trs);
            node["matrix"] = Json::array();
            for (double v : m) {
                node["matrix"].push_back(static_cast<float>(v));
            }
        } else {
            for (const char* key : {"translation", "rotation", "scale"}) {
                if (chance(random) < 0.7) {
                    node[key] = trs[key];
                }
            }
        }
        if (shape.mirrors && chance(random) < 0.2 && !node.contains("matrix")) {
            node["scale"] = {-s[0], s[1], s[2]};
        }
        const double holds = chance(random);
        if (holds < 0.25) {
            node["mesh"] = 0;
        } else if (holds < 0.35) {
            node["mesh"] = 1;
            if (chance(random) < 0.5) {
                node["weights"] = {0.25};
            }
            morphed.push_back(index[i]);
        } else if (holds < 0.45) {
            node["mesh"] = 0;
            node["extensions"]["EXT_mesh_gpu_instancing"]["attributes"]["TRANSLATION"] = 4;
            used.insert("EXT_mesh_gpu_instancing");
        } else if (holds < 0.52 && count > 1) {
            node["mesh"] = 2;
            node["skin"] = skins.size();
            skins.push_back({{"joints", {index[(i + 1) % count]}}});
        } else if (holds < 0.65) {
            node["camera"] = 0;
        } else if (holds < 0.8) {
            node["extensions"]["KHR_lights_punctual"]["light"] = std::uniform_int_distribution<int>(0, 1)(random);
            used.insert("KHR_lights_punctual");
        }
        if (parent[i] < 0) {
            roots.push_back(index[i]);
        } else {
            nodes[index[parent[i]]]["children"].push_back(index[i]);
        }
    }

    // The default scene is sometimes not the first: another one before it
    // holds the same roots in the reverse order.
    const bool second = chance(random) < 0.3;
    Json gltf = {{"asset", {{"version", "2.0"}, {"generator", "morvane tests"}}}, {"scene", second ? 1 : 0}};
    gltf["scenes"] = Json::array({{{"nodes", roots}}});
    if (chance(random) < 0.5) {
        gltf["scenes"][0]["name"] = "Room";
    }
    if (second) {
        Json reversed = Json::array();
        for (auto root = roots.rbegin(); root != roots.rend(); ++root) {
            reversed.push_back(*root);
        }
        gltf["scenes"].insert(gltf["scenes"].begin(), Json{{"name", "Other"}, {"nodes", reversed}});
    }
    gltf["nodes"] = nodes;
    if (!skins.empty()) {
        gltf["skins"] = skins;
    }
    gltf["meshes"] = Json::parse(kMeshes);
    gltf["accessors"] = Json::parse(kAccessors);
    gltf["bufferViews"] = Json::parse(kBufferViews);
    gltf["buffers"] =
        Json::array({{{"byteLength", 36}, {"uri", kTriangleBuffer}}, {{"byteLength", 132}, {"uri", kFeatureBuffer}}});
    gltf["cameras"] = Json::parse(R"([{"type": "perspective", "perspective": {"yfov": 0.8, "znear": 0.1}}])");
    if (used.count("KHR_lights_punctual") != 0) {
        gltf["extensions"]["KHR_lights_punctual"]["lights"] =
            Json::parse(R"([{"type": "point"}, {"type": "spot", "spot": {}}])");
    }
    if (Json animations = RandomAnimations(random, morphed, count, shape.turning, used); !animations.empty()) {
        gltf["animations"] = animations;
    }
    if (!used.empty()) {
        gltf["extensionsUsed"] = Json(used);
    }
    return gltf;
}

std::vector<Matrix4> GltfWorlds(const Json& gltf) {
    const Json& nodes = gltf.at("nodes");
    std::vector<int> parent(nodes.size(), -1);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        for (const Json& child : nodes[i].value("children", Json::array())) {
            parent[child.get<std::size_t>()] = static_cast<int>(i);
        }
    }
    std::vector<Matrix4> worlds(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        Matrix4 world = LocalMatrix(nodes[i]);
        for (int up = parent[i]; up >= 0; up = parent[up]) {
            world = Multiply(LocalMatrix(nodes[up]), world);
        }
        worlds[i] = world;
    }
    return worlds;
}

std::vector<std::size_t> GltfPreOrder(const Json& gltf) {
    std::vector<std::size_t> order;
    std::vector<std::size_t> pending;
    const Json& scene = gltf.at("scenes").at(gltf.value("scene", 0));
    for (const Json& root : scene.value("nodes", Json::array())) {
        pending.insert(pending.begin(), root.get<std::size_t>());
    }
    while (!pending.empty()) {
        const std::size_t node = pending.back();
        pending.pop_back();
        order.push_back(node);
        const Json children = gltf["nodes"][node].value("children", Json::array());
        for (auto child = children.rbegin(); child != children.rend(); ++child) {
            const Json& extras = gltf["nodes"][child->get<std::size_t>()].value("extras", Json::object());
            if (!extras.contains("morvaneObjectOf")) {
                pending.push_back(child->get<std::size_t>());
            }
        }
    }
    return order;
}

Matrix4 RigidInverse(const Matrix4& m) {
    Matrix4 inverse{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            inverse[4 * c + r] = m[4 * r + c];
        }
        for (int k = 0; k < 3; ++k) {
            inverse[12 + r] -= m[4 * r + k] * m[12 + k];
        }
    }
    inverse[15] = 1;
    return inverse;
}

NodeMatrix AsNodeMatrix(const Matrix4& m) {
    NodeMatrix matrix;
    for (int row = 0; row < 4; ++row) {
        matrix.row[row] = {static_cast<float>(m[4 * row]), static_cast<float>(m[4 * row + 1]),
                           static_cast<float>(m[4 * row + 2])};
    }
    return matrix;
}

std::string GlbFile(std::string json, const std::string& chunks) {
    json.append((4 - json.size() % 4) % 4, ' ');
    auto word = [](std::size_t v) {
        return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    };
    return "glTF" + word(2) + word(20 + json.size() + chunks.size()) + word(json.size()) + "JSON" + json + chunks;
}

std::string Chunk(const std::string& type, const std::string& data) {
    std::string chunk;
    for (int i = 0; i < 4; ++i) {
        chunk += static_cast<char>((data.size() >> (8 * i)) & 0xFF);
    }
    return chunk + (type + std::string(4, '\0')).substr(0, 4) + data;
}

double Distance(const NodeMatrix& a, const NodeMatrix& b) {
    double size = 1;
    double distance = 0;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            size = std::max(size, static_cast<double>(std::fabs(a.row[r][c])));
            distance = std::max(distance, static_cast<double>(std::fabs(a.row[r][c] - b.row[r][c])));
        }
    }
    return distance / size;
}

}  // namespace gltftest
