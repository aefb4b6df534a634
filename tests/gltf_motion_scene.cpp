#include "gltf_motion_scene.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "gltf_test_scene.h"
#include "scene/gltf/gltf_data_uri.h"

namespace gltftest {

namespace {

struct Driven {
    const char* name;
    const char* path;
    const char* interpolation;
    bool pointer;
    const char* holds;  // "mesh", "camera" or "light"
};

const Driven kChildren[] = {
    {"Slide", "translation", "LINEAR", false, "mesh"},  {"Hop", "translation", "CUBICSPLINE", true, "camera"},
    {"Tick", "translation", "STEP", false, "light"},    {"Spin", "rotation", "LINEAR", true, "mesh"},
    {"Roll", "rotation", "CUBICSPLINE", false, "mesh"}, {"Flip", "rotation", "STEP", true, "camera"},
    {"Grow", "scale", "LINEAR", true, "mesh"},          {"Swell", "scale", "CUBICSPLINE", false, "light"},
    {"Blink", "scale", "STEP", false, "mesh"},
};

// The scene's binary data and its accessors, each in a view of its own.
class Data {
public:
    std::size_t Add(const std::vector<float>& values, const char* type, std::size_t count, int component = 5126) {
        const std::size_t at = bytes_.size();
        if (component == 5126) {
            bytes_.resize(at + 4 * values.size());
            std::memcpy(&bytes_[at], values.data(), 4 * values.size());
        } else if (component == 5122) {  // normalized
            for (const float v : values) {
                const auto s = static_cast<std::int16_t>(std::lround(v * 32767));
                bytes_ += static_cast<char>(s & 0xff);
                bytes_ += static_cast<char>((s >> 8) & 0xff);
            }
            bytes_.resize((bytes_.size() + 3) / 4 * 4, '\0');
        } else {
            for (const float v : values) {
                bytes_ += static_cast<char>(v);
            }
        }
        views_.push_back({{"buffer", 0}, {"byteOffset", at}, {"byteLength", bytes_.size() - at}});
        accessors_.push_back(
            {{"bufferView", views_.size() - 1}, {"componentType", component}, {"count", count}, {"type", type}});
        return accessors_.size() - 1;
    }
    Json& Last() { return accessors_.back(); }
    void Into(Json& gltf, bool glb) const {
        gltf["accessors"] = accessors_;
        gltf["bufferViews"] = views_;
        gltf["buffers"] = {{{"byteLength", bytes_.size()}}};
        if (!glb) {
            gltf["buffers"][0]["uri"] = driver::gltf::BufferDataUri(bytes_);
        }
    }
    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
    Json views_ = Json::array(), accessors_ = Json::array();
};

std::vector<float> Rotation(std::mt19937& random) {
    std::normal_distribution<float> normal;
    std::vector<float> q(4);
    float length = 0;
    while (length < 1e-2f) {
        length = 0;
        for (float& part : q) {
            part = normal(random);
            length += part * part;
        }
    }
    for (float& part : q) {
        part /= std::sqrt(length);
    }
    return q;
}

std::vector<float> Values(std::mt19937& random, const std::string& path, float low, float high) {
    std::uniform_real_distribution<float> value(low, high);
    return path == "rotation" ? Rotation(random) : std::vector<float>{value(random), value(random), value(random)};
}

// Three keys of `path`, each with tangents for a cubic spline.
std::vector<float> Keys(std::mt19937& random, const std::string& path, bool cubic) {
    std::vector<float> keys;
    for (int k = 0; k < 3; ++k) {
        std::vector<float> value = Values(random, path, path == "scale" ? 0.5f : -3, path == "scale" ? 2 : 3);
        std::vector<float> in = Values(random, "tangent", -1, 1), out = Values(random, "tangent", -1, 1);
        if (path == "rotation") {
            in.push_back(0.5f);
            out.push_back(-0.5f);
        }
        for (const auto* part : cubic ? std::vector<const std::vector<float>*>{&in, &value, &out}
                                      : std::vector<const std::vector<float>*>{&value}) {
            keys.insert(keys.end(), part->begin(), part->end());
        }
    }
    return keys;
}

Json Node(std::mt19937& random, const char* name, bool uniform) {
    std::uniform_real_distribution<float> place(-4, 4), factor(0.6f, 1.8f);
    const float s = factor(random);
    return {{"name", name},
            {"translation", {place(random), place(random), place(random)}},
            {"rotation", Rotation(random)},
            {"scale", {s, uniform ? s : factor(random), uniform ? s : factor(random)}}};
}

Json Rigid(std::mt19937& random, const char* name) {
    Json node = Node(random, name, true);
    node.erase("scale");
    return node;
}

}  // namespace

std::string MotionScene(std::mt19937& random, bool glb) {
    Data data;
    const std::size_t triangle = data.Add({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3", 3);
    data.Last()["min"] = {0, 0, 0};
    data.Last()["max"] = {1, 1, 0};
    const std::size_t times = data.Add({0, 0.5f, 1.5f}, "SCALAR", 3);
    data.Last()["min"] = {0};
    data.Last()["max"] = {1.5};

    Json nodes = Json::array();
    nodes.push_back(Node(random, "Frame", true));
    nodes[0]["mesh"] = 0;
    Json play = {{"name", "Play"}, {"channels", Json::array()}, {"samplers", Json::array()}};
    Json wave = {{"name", "Wave"}, {"channels", Json::array()}, {"samplers", Json::array()}};
    auto drive = [&](Json& animation, std::size_t node, const char* path, const char* interpolation, bool pointer) {
        const bool cubic = std::string(interpolation) == "CUBICSPLINE";
        const std::size_t output =
            data.Add(Keys(random, path, cubic), std::string(path) == "rotation" ? "VEC4" : "VEC3", cubic ? 9 : 3);
        animation["samplers"].push_back({{"input", times}, {"output", output}, {"interpolation", interpolation}});
        Json target = {{"node", node}, {"path", path}};
        if (pointer) {
            const std::string to = "/nodes/" + std::to_string(node) + "/" + path;
            target = {{"path", "pointer"}, {"extensions", {{"KHR_animation_pointer", {{"pointer", to}}}}}};
        }
        animation["channels"].push_back({{"sampler", animation["samplers"].size() - 1}, {"target", target}});
    };
    for (const Driven& child : kChildren) {
        nodes[0]["children"].push_back(nodes.size());
        drive(play, nodes.size(), child.path, child.interpolation, child.pointer);
        nodes.push_back(Node(random, child.name, false));
        nodes.back()[std::string(child.holds) == "light" ? "extensions" : child.holds] =
            std::string(child.holds) == "light" ? Json{{"KHR_lights_punctual", {{"light", 0}}}} : Json(0);
    }
    const std::size_t mover = nodes.size();
    drive(play, mover, "translation", "LINEAR", false);
    nodes.push_back(Node(random, "Mover", true));
    nodes.back()["mesh"] = 0;
    drive(play, nodes.size(), "rotation", "CUBICSPLINE", false);
    nodes.push_back(Node(random, "Spinner", true));
    nodes.back()["translation"] = {2, -1, 0.5};
    nodes.back()["mesh"] = 0;
    const std::size_t arm = nodes.size();
    drive(wave, arm, "rotation", "LINEAR", false);
    drive(wave, arm + 2, "rotation", "STEP", true);
    for (const char* joint : {"Arm", "Bone", "Tip"}) {
        nodes.push_back(Rigid(random, joint));
    }
    nodes[arm]["children"] = {arm + 1};
    nodes[arm + 1]["children"] = {arm + 2};
    nodes.push_back({{"name", "Body"}, {"mesh", 1}, {"skin", 0}});
    nodes.push_back(Node(random, "Frame", true));
    nodes.back()["scale"][0] = -nodes.back()["scale"][0].get<float>();
    nodes.push_back(Node(random, "Mover", false));

    Json gltf = {{"asset", {{"version", "2.0"}}},
                 {"extensionsUsed", {"KHR_animation_pointer", "KHR_lights_punctual"}},
                 {"extensions", {{"KHR_lights_punctual", {{"lights", {{{"type", "point"}}}}}}}},
                 {"scenes", {{{"nodes", {0, mover, mover + 1, arm, arm + 3, arm + 4, arm + 5}}}}},
                 {"nodes", nodes}};
    const std::vector<Matrix4> worlds = GltfWorlds(gltf);
    std::vector<float> matrices;
    for (std::size_t j = arm; j < arm + 3; ++j) {
        const Matrix4 inverse = RigidInverse(worlds[j]);
        matrices.insert(matrices.end(), inverse.begin(), inverse.end());
    }
    const std::size_t joints = data.Add({0, 1, 0, 0, 1, 2, 0, 0, 2, 0, 0, 0}, "VEC4", 3, 5121);
    const std::size_t weights = data.Add({0.75f, 0.25f, 0, 0, 0.75f, 0.25f, 0, 0, 1, 0, 0, 0}, "VEC4", 3);
    gltf["skins"] = {{{"joints", {arm, arm + 1, arm + 2}}, {"inverseBindMatrices", data.Add(matrices, "MAT4", 3)}}};
    gltf["meshes"] = {{{"primitives", {{{"attributes", {{"POSITION", triangle}}}}}}},
                      {{"primitives",
                        {{{"attributes", {{"POSITION", triangle}, {"JOINTS_0", joints}, {"WEIGHTS_0", weights}}}}}}}};
    gltf["cameras"] = Json::parse(R"([{"type": "perspective", "perspective": {"yfov": 0.8, "znear": 0.1}}])");
    gltf["animations"] = {play, wave};
    data.Into(gltf, glb);
    return glb ? GlbFile(gltf.dump(), Chunk("BIN", data.Bytes())) : gltf.dump();
}

}  // namespace gltftest

namespace gltftest {

namespace {

// Three keys of a bone's part as `kind` says, with nought tangents for a
// cubic spline where the keys are the same, random ones elsewhere.
// A turn that 16-bit integers hold exactly, as a unit quaternion: the
// axis nearest `q` turned half around, or none.
std::vector<float> Exact(const std::vector<float>& q) {
    std::vector<float> exact(4, 0.0f);
    std::size_t most = 0;
    for (std::size_t i = 1; i < 4; ++i) {
        most = std::fabs(q[i]) > std::fabs(q[most]) ? i : most;
    }
    exact[most] = q[most] < 0 ? -1.0f : 1.0f;
    return exact;
}

std::vector<float> BoneKeys(std::mt19937& random, const std::string& path, const std::string& kind,
                            const std::vector<float>& rest, bool cubic, bool quantized) {
    std::vector<float> same = kind == "rest" ? rest : Values(random, path, 0.5f, 2);
    const bool offUnit = kind == "varying" || kind == "constant";  // rounding leaves them off unit length
    same = quantized && !offUnit ? Exact(same) : same;
    std::uniform_real_distribution<float> factor(0.5f, 2);
    std::vector<float> keys;
    for (int k = 0; k < 3; ++k) {
        std::vector<float> value = kind == "varying" || kind == "translation" ? Values(random, path, -3, 3) : same;
        value = quantized && !offUnit ? Exact(value) : value;
        if (kind == "flipped" && k == 1) {
            for (float& part : value) {
                part = -part;
            }
        } else if (kind == "unit" || kind == "uniform") {
            value.assign(3, kind == "unit" ? 1 : factor(random));
        } else if (kind == "stretch") {
            value = {factor(random), factor(random), factor(random)};
        }
        const bool fixed = kind == "constant" || kind == "rest" || kind == "flipped" || kind == "unit";
        std::vector<float> tangent(value.size(), 0.0f);
        if (!fixed) {
            tangent = Values(random, "tangent", -1, 1);
            tangent.resize(value.size(), 0.25f);
        }
        for (const auto* part : cubic ? std::vector<const std::vector<float>*>{&tangent, &value, &tangent}
                                      : std::vector<const std::vector<float>*>{&value}) {
            keys.insert(keys.end(), part->begin(), part->end());
        }
    }
    return keys;
}

}  // namespace

std::string CarriedMotionScene(std::mt19937& random, const BoneMotion& motion) {
    Data data;
    const std::size_t triangle = data.Add({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3", 3);
    data.Last()["min"] = {0, 0, 0};
    data.Last()["max"] = {1, 1, 0};
    auto times = [&](float middle) {
        const std::size_t at = data.Add({0, middle, 1.5f}, "SCALAR", 3);
        data.Last()["min"] = {0};
        data.Last()["max"] = {1.5};
        return at;
    };
    const std::size_t played = times(0.5f);
    const std::vector<float> turn = Rotation(random);
    Json nodes = Json::parse(R"([{"name": "Arm", "translation": [2, -1, 0.5], "children": [1, 3]},
        {"name": "Bone", "mesh": 0, "translation": [1, 0.5, -2], "scale": [1.25, 1.25, 1.25], "children": [2]},
        {"name": "Tip", "mesh": 0, "translation": [0.5, 1, 0]},
        {"name": "Skin", "mesh": 1, "skin": 0},
        {"name": "Tip", "translation": [-2, 1, 3]}])");
    nodes[1]["rotation"] = turn;
    Json pose = {{"name", "Pose"}, {"channels", Json::array()}, {"samplers", Json::array()}};
    auto drive = [&](std::size_t node, const char* path, const std::string& interpolation, const std::string& kind,
                     const std::vector<float>& rest) {
        const bool cubic = interpolation == "CUBICSPLINE";
        const std::size_t input = interpolation == "STEP apart"   ? times(0.5f)
                                  : interpolation == "STEP later" ? times(0.7f)
                                                                  : played;
        const bool quantized = motion.quantized && std::string(path) == "rotation" && node == 1;
        const std::size_t output = data.Add(BoneKeys(random, path, kind, rest, cubic, quantized),
                                            std::string(path) == "rotation" ? "VEC4" : "VEC3", cubic ? 9 : 3,
                                            quantized ? 5122 : 5126);
        if (quantized) {
            data.Last()["normalized"] = true;
        }
        pose["samplers"].push_back({{"input", input},
                                    {"output", output},
                                    {"interpolation", interpolation.substr(0, interpolation.find(' '))}});
        pose["channels"].push_back(
            {{"sampler", pose["samplers"].size() - 1}, {"target", {{"node", node}, {"path", path}}}});
    };
    drive(1, "rotation", motion.rotationInterpolation, motion.rotation, turn);
    if (motion.translation != nullptr) {
        drive(1, "translation", motion.translation, "translation", {});
    }
    if (motion.scale != nullptr) {
        drive(1, "scale", "LINEAR", motion.scale, {});
    }
    drive(2, "rotation", "LINEAR", "varying", {});
    const std::size_t joints = data.Add({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "VEC4", 3, 5121);
    const std::size_t weights = data.Add({1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, "VEC4", 3);
    Json gltf = {{"asset", {{"version", "2.0"}}}, {"scenes", {{{"nodes", {0, 4}}}}}, {"nodes", nodes}};
    gltf["skins"] = {{{"joints", {2}}}};
    gltf["meshes"] = {{{"primitives", {{{"attributes", {{"POSITION", triangle}}}}}}},
                      {{"primitives",
                        {{{"attributes", {{"POSITION", triangle}, {"JOINTS_0", joints}, {"WEIGHTS_0", weights}}}}}}}};
    gltf["animations"] = Json::array({pose});  // {pose} alone is pose itself to some compilers
    data.Into(gltf, false);
    return gltf.dump();
}

}  // namespace gltftest
