// glTF scenes: what is read agrees with glTF's own arithmetic, what is
// written keeps everything no tool changed, and what glTF cannot hold or
// the tools cannot read is refused with the place and the reason.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <random>
#include <string>

#include "gltf_test_file.h"
#include "gltf_test_scene.h"
#include "scene/scene_format.h"
#include "standin/transform_math.h"

using gltftest::Gltf;
using gltftest::Json;
using gltftest::Nodes;
using gltftest::Read;
using gltftest::Rows;
using standin::StandinNode;

namespace {

template <typename Action>
std::string ErrorOf(Action action) {
    try {
        action();
    } catch (const driver::SceneFileError& e) {
        return e.what();
    }
    return "no error";
}

void ExpectNumbers(const Json& value, std::vector<double> expected) {
    ASSERT_EQ(value.size(), expected.size()) << value.dump();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(value[i].get<double>(), expected[i], 1e-6) << value.dump();
    }
}

// q and -q are the same rotation.
void ExpectRotation(const Json& value, std::vector<double> expected) {
    const double dot = value[0].get<double>() * expected[0] + value[1].get<double>() * expected[1] +
                       value[2].get<double>() * expected[2] + value[3].get<double>() * expected[3];
    EXPECT_NEAR(std::fabs(dot), 1, 1e-6) << value.dump();
}

// A transform of rotation q, uniform or per-axis scale, and translation.
NodeMatrix Placement(std::mt19937& random, bool stretched) {
    std::uniform_real_distribution<float> place(-5, 5), factor(0.5f, 2);
    standin::Affine rotation;
    standin::RotationOf(Quat(place(random), place(random), place(random), place(random)), rotation);
    const float s = factor(random);
    const standin::Affine scaled =
        standin::FirstThen(stretched ? standin::ScaleOf(s, factor(random), factor(random)) : standin::ScaleOf(s, s, s),
                           rotation);
    const standin::Affine placed = standin::Translation(place(random), place(random), place(random));
    return standin::ToNodeMatrix(standin::FirstThen(scaled, placed));
}

// A name of bytes that JSON must escape, or may write as they are: TAB,
// CR, LF and other control bytes, DEL, quotes, backslashes, UTF-8 of two
// to four bytes.
std::string RandomName(std::mt19937& random) {
    const std::string pieces[] = {"\t",   "\r", "\n",     "\x01",     "\x1f",         "\x7f",
                                  "\"",   "\\", "/",      "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80",
                                  "Lamp", " ",  "\\u0041"};
    std::string name;
    for (int n = std::uniform_int_distribution<int>(1, 6)(random); n > 0; --n) {
        name += pieces[std::uniform_int_distribution<std::size_t>(0, std::size(pieces) - 1)(random)];
    }
    return name;
}

// A node whose object a pivot edit moves onto a child of its own.
bool HoldsObject(const Json& node) {
    return !node.contains("skin") && (node.contains("mesh") || node.contains("camera") || node.contains("extensions"));
}

// The input's animations with every channel that drives morph weights of a
// node whose object moved onto a new child pointed at that child.
Json RetargetedAnimations(const Json& input, const Json& output) {
    Json animations = input.value("animations", Json());
    for (Json& animation : animations) {
        for (Json& channel : animation["channels"]) {
            Json& target = channel["target"];
            const bool pointer = target.contains("extensions");
            const std::string text = pointer ? target["extensions"]["KHR_animation_pointer"]["pointer"] : "";
            const std::size_t node = pointer ? std::stoul(text.substr(7)) : target["node"].get<std::size_t>();
            const bool weights = pointer ? text.size() > 8 && text.substr(text.size() - 8) == "/weights"
                                         : target["path"] == "weights";
            for (std::size_t c = input["nodes"].size(); weights && c < output["nodes"].size(); ++c) {
                if (output["nodes"][c]["extras"]["morvaneObjectOf"] == node) {
                    if (pointer) {
                        target["extensions"]["KHR_animation_pointer"]["pointer"] =
                            "/nodes/" + std::to_string(c) + "/weights";
                    } else {
                        target["node"] = c;
                    }
                }
            }
        }
    }
    return animations;
}

}  // namespace

TEST(GltfScene, AQuarterTurnAboutYWithATranslationReadsAndWritesAsGltfMeansIt) {
    const std::string text = Gltf(R"("scenes": [{"nodes": [0, 1]}], "nodes": [
        {"name": "Turned", "rotation": [0, 0.70710678, 1e-400, 0.70710678], "translation": [1, 2, 3], "children": [2]},
        {"name": "Matrix", "matrix": [0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 1, 2, 3, 1]},
        {"name": "Child", "translation": [1, 0, 0]}])");
    auto file = Read(text);
    const auto nodes = Nodes(*file);
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes[0]->Name(), "Scene Root");
    EXPECT_EQ(nodes[2]->Name(), "Child") << "children come right after their parent";
    // The X axis turns onto -Z, Z onto X; the child one unit along X sits at (1, 2, 2).
    const NodeMatrix turned = Rows({0, 0, -1}, {0, 1, 0}, {1, 0, 0}, {1, 2, 3});
    EXPECT_LT(gltftest::Distance(nodes[1]->Transform(), turned), 1e-7);
    EXPECT_LT(gltftest::Distance(nodes[3]->Transform(), turned), 1e-7);
    EXPECT_LT(gltftest::Distance(nodes[2]->Transform(), Rows({0, 0, -1}, {0, 1, 0}, {1, 0, 0}, {1, 2, 2})), 1e-7);

    // Both turned the other way and moved to (4, 5, 6): the child stays where it is.
    const NodeMatrix back = Rows({0, 0, 1}, {0, 1, 0}, {-1, 0, 0}, {4, 5, 6});
    nodes[1]->SetTransform(back);
    nodes[3]->SetTransform(back);
    const Json written = Json::parse(file->Content("scene.gltf", {}).Joined());
    const Json& out = written["nodes"];
    ExpectRotation(out[0]["rotation"], {0, -0.70710678, 0, 0.70710678});
    ExpectNumbers(out[0]["translation"], {4, 5, 6});
    EXPECT_EQ(out[0]["children"], Json::array({2}));
    ExpectNumbers(out[1]["matrix"], {0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 4, 5, 6, 1});
    EXPECT_FALSE(out[1].contains("translation") || out[1].contains("rotation") || out[1].contains("scale"));
    ExpectNumbers(out[2]["translation"], {-4, -3, 3});
    ExpectRotation(out[2]["rotation"], {0, 1, 0, 0});
}

// A mirrored node moved keeps the signs of its scale as written, not just
// its matrix: an animation's rotation or scale channel replaces one of the
// two, and must meet the other as the file had it.
TEST(GltfScene, AMovedMirroredNodeKeepsTheSignsOfItsScale) {
    for (int signs = 1; signs < 8; ++signs) {
        std::vector<double> scale(3);
        for (int i = 0; i < 3; ++i) {
            scale[i] = (signs & (1 << i)) != 0 ? -2 : 2;
        }
        const std::string text =
            Gltf(R"("scenes": [{"nodes": [0]}], "nodes": [{"name": "Mirrored", "scale": [)" + std::to_string(scale[0]) +
                 ", " + std::to_string(scale[1]) + ", " + std::to_string(scale[2]) + "]}]");
        auto file = Read(text);
        const auto nodes = Nodes(*file);
        nodes[1]->MoveNode(0, NodeMatrix(), {1, 2, 3}, false, false, PIVOT_MODE_NODE, false);
        const Json written = Json::parse(file->Content("scene.gltf", {}).Joined());
        const Json& out = written["nodes"][0];
        ExpectNumbers(out["scale"], scale);
        ExpectNumbers(out["translation"], {1, 2, 3});
        if (out.contains("rotation")) {
            ExpectRotation(out["rotation"], {0, 0, 0, 1});
        }
    }
}

// Random scenes: read, they agree with glTF's arithmetic and write back to
// the same bytes; edited, the written file holds exactly the edits, and the
// nodes nobody touched keep their JSON.
TEST(GltfScene, RandomScenesReadAsGltfDefinesThemAndWriteBackOnlyWhatChanged) {
    for (unsigned seed = 0; seed < 60; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        // No node turned by an animation: any placement is written (the keys
        // that follow an edit have tests of their own).
        const Json input = gltftest::RandomGltf(random, {12, true, false, false});
        const std::string text = input.dump(seed % 2 == 0 ? 2 : -1);
        auto file = Read(text);
        const auto nodes = Nodes(*file);
        const std::vector<std::size_t> order = gltftest::GltfPreOrder(input);
        const auto worlds = gltftest::GltfWorlds(input);
        ASSERT_EQ(nodes.size(), order.size() + 1);
        EXPECT_EQ(nodes[0]->Name(), input["scenes"][input.value("scene", 0)].value("name", "Scene Root"));
        for (std::size_t k = 0; k < order.size(); ++k) {
            const Json& node = input["nodes"][order[k]];
            EXPECT_EQ(nodes[k + 1]->Name(), node.value("name", ""));
            EXPECT_LT(gltftest::Distance(nodes[k + 1]->Transform(), gltftest::AsNodeMatrix(worlds[order[k]])), 1e-5);
            const SClass_ID expected = node.contains("mesh")         ? 0x10u
                                       : node.contains("camera")     ? 0x20u
                                       : node.contains("extensions") ? 0x30u
                                                                     : 0x40u;
            EXPECT_EQ(nodes[k + 1]->GetObject().superClass, expected);
        }
        ASSERT_EQ(file->Content("scene.gltf", {}).Joined(), text);

        // Edits: names (the empty one included), placements and object offsets.
        std::uniform_int_distribution<int> pick(0, 5);
        std::vector<int> edit(nodes.size(), -1);
        std::vector<NodeMatrix> world(nodes.size()), object(nodes.size());
        std::size_t offsets = 0;
        for (std::size_t k = 1; k < nodes.size(); ++k) {
            StandinNode& node = *nodes[k];
            edit[k] = pick(random);
            if (edit[k] == 0) {
                node.SetName(k % 2 == 0 ? "" : RandomName(random));
            } else if (edit[k] == 1) {
                node.SetTransform(Placement(random, node.Children().empty()));
            } else if (edit[k] == 2) {
                node.SetObjectOffset(Placement(random, false));
                offsets += HoldsObject(input["nodes"][order[k - 1]]) ? 1 : 0;
            }
            world[k] = node.Transform();
            object[k] = node.ObjectWorld();
        }
        const std::string written = file->Content("scene.gltf", {}).Joined();
        const Json output = Json::parse(written);
        auto reread = Read(written);
        const auto again = Nodes(*reread);
        ASSERT_EQ(again.size(), nodes.size());
        EXPECT_EQ(output["nodes"].size(), input["nodes"].size() + offsets) << "one new node per object moved off";
        EXPECT_EQ(output.value("animations", Json()), RetargetedAnimations(input, output))
            << "channels follow the morph weights that moved, and nothing else changes";
        const auto writtenWorlds = gltftest::GltfWorlds(output);
        for (std::size_t k = 1; k < nodes.size(); ++k) {
            EXPECT_EQ(again[k]->Name(), nodes[k]->Name());
            // A skinned mesh's node, which glTF places by its joints, keeps
            // its transform unless it was edited itself (or has children).
            const Json& read = input["nodes"][order[k - 1]];
            if (read.contains("skin") && edit[k] != 1 && nodes[k]->Children().empty()) {
                for (const char* member : {"matrix", "translation", "rotation", "scale"}) {
                    EXPECT_EQ(output["nodes"][order[k - 1]].value(member, Json()), read.value(member, Json()));
                }
                continue;
            }
            EXPECT_LT(gltftest::Distance(again[k]->Transform(), world[k]), 1e-4) << "node " << k;
            const bool holds = HoldsObject(input["nodes"][order[k - 1]]);
            EXPECT_LT(gltftest::Distance(again[k]->ObjectWorld(), holds ? object[k] : world[k]), 1e-4)
                << "node " << k << ": an object stays where it is; a node without one keeps no offset";
            EXPECT_EQ(again[k]->GetObject().superClass, nodes[k]->GetObject().superClass);
            const std::size_t g = order[k - 1];
            const Json& node = output["nodes"][g];
            EXPECT_EQ(node.value("name", ""), nodes[k]->Name()) << "byte for byte";
            const std::size_t parent = std::find(nodes.begin(), nodes.end(), nodes[k]->Parent()) - nodes.begin();
            if (edit[k] > 2 && edit[parent] != 1) {
                EXPECT_EQ(node, input["nodes"][g]) << "node " << k << " is as it was";
            }
            // Other tools see the object where the stand-in sees it.
            for (const Json& child : node.value("children", Json::array())) {
                const std::size_t c = child.get<std::size_t>();
                if (output["nodes"][c].value("extras", Json::object()).contains("morvaneObjectOf")) {
                    EXPECT_LT(gltftest::Distance(gltftest::AsNodeMatrix(writtenWorlds[c]), object[k]), 1e-4);
                }
            }
        }
        EXPECT_EQ(reread->Content("scene.gltf", {}).Joined(), written)
            << "a written file reads back and writes the same";
    }
}

// A node's transform is read the same to the last bit whether the reader
// takes it on the way through the file, reads the node carefully (a member
// it does not know), or finds its arrays far into the node's text; and so
// is the transform of a node's object.
TEST(GltfScene, ANodeReadsTheSameTransformHoweverItIsRead) {
    for (unsigned seed = 0; seed < 20; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        Json input;
        {  // with objects moved off their nodes' pivots onto marked children
            auto file = Read(gltftest::RandomGltf(random, {12, true, true}).dump());
            for (StandinNode* node : Nodes(*file)) {
                node->SetObjectOffset(node->Parent() == nullptr ? node->ObjectOffset() : Placement(random, false));
            }
            input = Json::parse(file->Content("scene.gltf", {}).Joined());
        }
        Json careful = input;
        Json far = input;
        for (std::size_t i = 0; i < input["nodes"].size(); ++i) {
            careful["nodes"][i]["unknownMember"] = 0;
            Json extras = input["nodes"][i].value("extras", Json::object());
            extras["padding"] = std::string(70000, 'x');
            far["nodes"][i] = Json::object({{"extras", extras}});
            for (const auto& [key, value] : input["nodes"][i].items()) {
                if (key != "extras") {
                    far["nodes"][i][key] = value;
                }
            }
        }
        auto plain = Read(input.dump(seed % 2 == 0 ? 2 : -1));
        const auto expected = Nodes(*plain);
        for (const Json* other : {&careful, &far}) {
            auto file = Read(other->dump());
            const auto nodes = Nodes(*file);
            ASSERT_EQ(nodes.size(), expected.size());
            for (std::size_t k = 1; k < nodes.size(); ++k) {
                for (int r = 0; r < 4; ++r) {
                    EXPECT_EQ(nodes[k]->Transform().row[r], expected[k]->Transform().row[r]) << "node " << k;
                    EXPECT_EQ(nodes[k]->ObjectOffset().row[r], expected[k]->ObjectOffset().row[r]) << "node " << k;
                }
            }
        }
    }
}

TEST(GltfScene, WhatAGltfFileCannotHoldIsRefusedNamingTheNode) {
    // The parent stretches along X; a child turned against that stretch is sheared.
    const std::string text = Gltf(R"("scenes": [{"nodes": [0]}], "nodes": [
        {"name": "Stretched", "scale": [2, 1, 1], "children": [1]}, {"name": "Child", "mesh": 0}])");
    const NodeMatrix turned = Rows({0.70710677f, 0.70710677f, 0}, {-0.70710677f, 0.70710677f, 0}, {0, 0, 1}, {});
    struct Case {
        const char* what;
        void (*edit)(std::vector<StandinNode*>&, const NodeMatrix&);
        const char* message;
    };
    const Case cases[] =
        {
            {"shear", [](auto& n, const NodeMatrix& m) { n[2]->SetTransform(m); },
             "out.gltf: node 2 \"Child\" (nodes[1]): its transform relative to its parent has shear"},
            {"object offset with shear",
             [](auto& n, const NodeMatrix&) {
        n[2]->SetObjectOffset(Rows({1, 0.5f, 0}, {0, 1, 0}, {0, 0, 1}, {}));
             },
             "out.gltf: node 2 \"Child\" (nodes[1]): its object's offset from the pivot has shear"},
            {"a name that is not UTF-8", [](auto& n, const NodeMatrix&) { n[2]->SetName("Caf\xe9"); },
             "out.gltf: node 2 \"Caf\\xe9\" (nodes[1]): the name is not UTF-8, as glTF names must be (line 3 of a "
             "names file)"},
            {"an object offset of the root", [](auto& n, const NodeMatrix& m) { n[0]->SetObjectOffset(m); },
             "out.gltf: node 0 \"Scene Root\" (the scene root): the scene root is no glTF node"},
    };
    for (const Case& c : cases) {
        auto file = Read(text);
        auto nodes = Nodes(*file);
        c.edit(nodes, turned);
        EXPECT_EQ(ErrorOf([&] { file->Content("out.gltf", {}).Joined(); }).rfind(c.message, 0), 0u) << c.what;
    }
    auto sceneless = Read(Gltf(R"("nodes": [{"name": "Alone"}])"));
    Nodes(*sceneless)[0]->SetName("Named");
    EXPECT_EQ(ErrorOf([&] { sceneless->Content("out.gltf", {}).Joined(); }),
              "out.gltf: node 0 \"Named\" (the scene root): the file has no scene to take the root's name");
}

TEST(GltfScene, FilesTheToolsCannotReadAreRefusedWithThePlaceAndTheReason) {
    const std::string scene = R"("scenes": [{"nodes": [0]}], )";
    const std::pair<std::string, std::string> cases[] = {
        {"{\"asset\": ", ":1:11: malformed JSON: the text ends inside an unclosed value"},
        {"\xEF\xBB\xBF{\"asset\": {\"version\": \"2.0\"}}\n}",
         ":2:1: malformed JSON: unexpected '}' after the end of the value"},
        {R"({"asset": {"version": "1.0"}})", ":1:23: asset.version: not glTF 2.0: the version is \"1.0\""},
        {R"({"nodes": []})", ": asset: not glTF 2.0: there is no \"asset\" with a \"version\" string"},
        {R"({"asset": {"version": "2.0", "minVersion": "2.1"}})",
         ":1:44: asset.minVersion: needs a newer glTF than 2.0"},
        {Gltf(R"("nodes": {})"), ":1:40: nodes: must be an array of nodes"},
        {Gltf(R"("nodes": [7])"), ":1:41: nodes[0]: must be a node object"},
        {Gltf(R"("nodes": [{"name": "a", "name": "b"}])"), ":1:55: nodes[0]: has the member \"name\" twice"},
        {Gltf(R"("nodes": [{"children": [1]}])"), ":1:55: nodes[0].children[0]: 1 is not a node index (0 to 0)"},
        {Gltf(R"("nodes": [{"children": [-1]}])"), ":1:55: nodes[0].children[0]: must be a node index"},
        {Gltf(R"("nodes": [{"children": [2]}, {"children": [2]}, {}])"),
         ":1:74: nodes[2]: is a child of both nodes[0] and nodes[1]"},
        {Gltf(R"("nodes": [{"children": [1]}, {"children": [2]}, {"children": [0]}])"),
         ":1:41: nodes[0]: is its own ancestor: nodes[0] -> nodes[1] -> nodes[2] -> nodes[0]"},
        {Gltf(R"("nodes": [{"name": 5}])"), ":1:50: nodes[0].name: must be a string"},
        {Gltf(R"("nodes": [{"name": [5], "mesh": 0}])"), ":1:50: nodes[0].name: must be a string"},
        {Gltf(R"("nodes": [{"matrix": [1, 0, 0]}])"), ":1:52: nodes[0].matrix: must be an array of 16 numbers"},
        {Gltf(R"("nodes": [{"matrix": [1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1], "scale": [1, 1, 1]}])"),
         ":1:52: nodes[0]: has both a \"matrix\" and a translation, rotation or scale"},
        {Gltf(R"("nodes": [{"matrix": [1,0,0,0, 0,1,0,0, 0,0,1,0.5, 0,0,0,1]}])"),
         ":1:52: nodes[0].matrix: is not an affine transform: its last row must be 0, 0, 0, 1"},
        {Gltf(R"("nodes": [{"translation": [0, 1e39, 0]}])"),
         ":1:61: nodes[0].translation: 1e39 is not finite in single precision"},
        {Gltf(R"("nodes": [{"translation": [0, 1)" + std::string(100000, '0') + R"(, 0]}])"),
         ":1:61: nodes[0].translation: 1" + std::string(79, '0') +
             "... (100001 bytes) is not finite in single precision"},
        {Gltf(R"("nodes": [{"name": "Lamp",
 "translation": [1, "x", 3]}])"),
         ":2:21: node \"Lamp\" (nodes[0]): translation: must be an array of 3 numbers"},
        {gltftest::GlbFile(Gltf(R"("nodes": [{"mesh": -1}])"), ""), ":1:50: nodes[0].mesh: must be a mesh index"},
        {Gltf(R"("nodes": [{"rotation": [0, 0, 0, 0]}])"), ":1:54: nodes[0].rotation: is not a rotation quaternion"},
        {Gltf(R"("nodes": [{"mesh": "box"}])"), ":1:50: nodes[0].mesh: must be a mesh index"},
        {Gltf(R"("nodes": [{"extensions": {"KHR_lights_punctual": {"light": 0.5}}}])"),
         ":1:90: nodes[0].extensions.KHR_lights_punctual.light: must be a light index"},
        {Gltf(scene + R"("nodes": [{"scale": [1e30, 1, 1], "children": [1]}, {"scale": [1e30, 1, 1]}])"),
         ": nodes[1]: its world transform is not finite in single precision"},
        {Gltf(R"("scene": 0)"), ":1:40: scene: 0 is not a scene index (there are none)"},
        {Gltf(R"("scene": "hello", "scenes": [{}])"), ":1:40: scene: must be a scene index"},
        {Gltf(R"("scenes": [{"name": 42}])"), ":1:51: scenes[0].name: must be a string"},
        {Gltf(R"("scenes": [{"nodes": [1]}], "nodes": [{"children": [1]}, {}])"),
         ":1:53: scenes[0].nodes[0]: nodes[1] is a child of nodes[0], not a root"},
        {gltftest::GlbFile("{}", ""), ": asset: not glTF 2.0: there is no \"asset\" with a \"version\" string"},
        {std::string("glTF\x01\0\0\0\x0c\0\0\0", 12), ": not glTF 2.0: GLB version 1"},
        {gltftest::GlbFile("{}", "") + "x",
         ": malformed GLB: the header gives a length of 24 bytes, the file has 25: the file has more than the header "
         "counts"},
        {std::string("glTF\x02\0\0\0\x64\0\0\0", 12),
         ": malformed GLB: the header gives a length of 100 bytes, the file has 12: the file is cut short"},
        {gltftest::GlbFile("{}", std::string("\x10\0\0\0BIN\0", 8)),
         ": malformed GLB: chunk 1 at byte 24 runs past the end: it gives 16 bytes, the file has 0 after its header"},
        {std::string("glTF\x02\0\0\0\x14\0\0\0\0\0\0\0BIN\0", 20),
         ": malformed GLB: the first chunk is not the JSON chunk"},
    };
    for (const auto& [content, message] : cases) {
        // A lambda of C++17 cannot capture a structured binding.
        const std::string& bytes = content;
        const std::string path = bytes.rfind("glTF", 0) == 0 ? "scene.glb" : "scene.gltf";
        EXPECT_EQ(ErrorOf([&] { Read(bytes, path); }), path + message) << bytes;
    }
    EXPECT_EQ(ErrorOf([] { Read("{}", "scene.glb"); }), "scene.glb: not a GLB file: it does not begin with \"glTF\"");
}

// A cycle of any length is found in one pass and told in one short line:
// its first nodes and its length.
TEST(GltfScene, ACycleOfAnyLengthIsToldInAShortLine) {
    for (const std::size_t length : {std::size_t{2}, std::size_t{5}, std::size_t{6}, std::size_t{50000}}) {
        std::string nodes;
        for (std::size_t i = 0; i < length; ++i) {
            nodes += (i == 0 ? "" : ", ") + std::string("{\"children\": [") + std::to_string((i + 1) % length) + "]}";
        }
        const std::string error = ErrorOf([&] { Read(Gltf("\"nodes\": [" + nodes + "]")); });
        std::string expected = "nodes[0]: is its own ancestor: nodes[0] -> nodes[1]";
        EXPECT_NE(error.find(expected), std::string::npos) << error.substr(0, 300);
        EXPECT_LT(error.size(), 300u);
        const bool told = error.find("(a cycle of " + std::to_string(length) + " nodes)") != std::string::npos;
        EXPECT_EQ(told, length > 5) << error.substr(0, 300);
        EXPECT_EQ(error.find(" -> ... -> ") != std::string::npos, length > 5) << "nodes left out of the line";
    }
}

TEST(GltfScene, GlbKeepsItsBinaryChunkAndEveryOtherByteForByte) {
    std::string binary;
    for (int i = 0; i < 256; ++i) {
        binary += static_cast<char>(i);
    }
    const std::string chunks = std::string("\0\1\0\0BIN\0", 8) + binary + std::string("\4\0\0\0XTRA\1\2\3\4", 12);
    std::string json = Gltf(R"("scenes": [{"nodes": [0]}], "nodes": [{"name": "Box", "mesh": 0}])");
    const std::size_t padding = (4 - json.size() % 4) % 4;
    json.append(padding, '\0');  // zero padding, as some writers make it
    const std::string glb = gltftest::GlbFile(json, chunks);
    auto file = Read(glb, "scene.glb");
    EXPECT_EQ(file->FormatName(), "GLB");
    EXPECT_FALSE(file->WrongName("COPY.GLB"));
    EXPECT_FALSE(file->WrongName("copy.gltf")) << "written as .gltf";
    EXPECT_EQ(file->WrongName("copy.json").value_or(driver::Refusal{}).message,
              "the scene is GLB, which is written to a .glb or .gltf file");
    EXPECT_EQ(file->WrongName("copy.gltf", driver::FormatChange::Refused).value_or(driver::Refusal{}).message,
              "the scene is GLB, which is written to a .glb file");
    EXPECT_EQ(file->Content("scene.glb", {}).Joined(), glb) << "unchanged, the file is written as it was";

    Nodes(*file)[1]->SetName("Crate with a longer name");
    const std::string written = file->Content("scene.glb", {}).Joined();
    const std::uint32_t jsonLength = static_cast<unsigned char>(written[12]) | static_cast<unsigned char>(written[13])
                                                                                   << 8;
    EXPECT_EQ(jsonLength % 4, 0u);
    EXPECT_EQ(written.substr(20 + jsonLength), chunks);
    EXPECT_EQ(static_cast<unsigned char>(written[8]) | static_cast<unsigned char>(written[9]) << 8, written.size());
    EXPECT_EQ(Nodes(*Read(written, "copy.glb"))[1]->Name(), "Crate with a longer name");
}

// New data (here the keys of a node whose frame moved) is appended to a GLB
// file's binary chunk, past the bytes it had, before the chunks after it;
// a file without buffers and without a binary chunk gets both.
TEST(GltfScene, NewDataGoesIntoTheBinaryChunkOfAGlbFile) {
    const std::string extra("\4\0\0\0XTRA\1\2\3\4", 12);
    const float was[] = {0, 1, 1, 2, 3, 4, 5, 6};  // times, then two translations
    std::string binary(reinterpret_cast<const char*>(was), sizeof was);
    binary.append(256 - binary.size(), '\x7f');
    const std::string animated = R"("scenes": [{"nodes": [0]}], "nodes": [{"name": "Box"}],
        "animations": [{"channels": [{"sampler": 0, "target": {"node": 0, "path": "translation"}}],
                        "samplers": [{"input": 0, "output": 1}]}], )";
    const struct {
        std::string json, chunks, before;  // `before`: the binary chunk's data as read
        std::vector<float> keys;
    } cases[] = {
        {animated +
             R"("accessors": [{"bufferView": 0, "componentType": 5126, "count": 2, "type": "SCALAR", "min": [0], "max": [1]},
            {"bufferView": 1, "componentType": 5126, "count": 2, "type": "VEC3"}],
            "bufferViews": [{"buffer": 0, "byteLength": 8}, {"buffer": 0, "byteOffset": 8, "byteLength": 24}],
            "buffers": [{"byteLength": 250}])",
         gltftest::Chunk("BIN", binary) + extra,
         binary,
         {11, 2, 3, 14, 5, 6}},
        {animated + R"("accessors": [{"componentType": 5126, "count": 2, "type": "SCALAR", "min": [0], "max": [1]},
            {"componentType": 5126, "count": 2, "type": "VEC3"}])",
         extra,
         "",
         {10, 0, 0, 10, 0, 0}},
    };
    for (const auto& c : cases) {
        auto file = Read(gltftest::GlbFile(Gltf(c.json), c.chunks), "scene.glb");
        Nodes(*file)[1]->SetTransform(Rows({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {10, 0, 0}));
        const std::string written = file->Content("scene.glb", {}).Joined();
        auto word = [&](std::size_t at) {
            std::uint32_t value = 0;
            std::memcpy(&value, &written[at], 4);
            return value;
        };
        ASSERT_EQ(word(8), written.size());
        const std::size_t binaryAt = 20 + word(12);
        ASSERT_EQ(written.substr(binaryAt + 4, 4), std::string("BIN\0", 4));
        const std::size_t length = word(binaryAt);
        EXPECT_EQ(written.substr(binaryAt + 8 + length), extra) << "the chunks after it follow it";
        EXPECT_EQ(written.substr(binaryAt + 8, c.before.size()), c.before) << "no byte read before changes";
        const Json json = Json::parse(written.substr(20, word(12)));
        EXPECT_EQ(json["buffers"][0]["byteLength"], length);
        const Json& view = json["bufferViews"][json["accessors"][1]["bufferView"].get<std::size_t>()];
        ASSERT_GE(view.value("byteOffset", 0u), c.before.size());
        std::vector<float> keys(6);
        std::memcpy(keys.data(), &written[binaryAt + 8 + view.value("byteOffset", 0u)], 24);
        EXPECT_EQ(keys, c.keys);
        EXPECT_NO_THROW(Read(written, "copy.glb"));
    }
}

TEST(GltfScene, DeeplyNestedValuesAreKeptWithoutBeingFollowed) {
    const std::size_t depth = 200000;
    const std::string deep = std::string(depth, '[') + "\"x\"" + std::string(depth, ']');
    auto file = Read(Gltf(R"("scenes": [{"nodes": [0]}], "nodes": [{"name": "Box", "extras": )" + deep + "}]"));
    Nodes(*file)[1]->SetName("Crate");
    Nodes(*file)[1]->SetTransform(Rows({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 2, 3}));
    const std::string written = file->Content("scene.gltf", {}).Joined();
    EXPECT_NE(written.find("\"extras\": " + deep), std::string::npos);
    EXPECT_NE(written.find("\"name\": \"Crate\""), std::string::npos);
}
