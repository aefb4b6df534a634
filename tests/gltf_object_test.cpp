// What a pivot edit moves with a node's object, and which animation
// channels drive what of a node.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "gltf_test_file.h"
#include "gltf_test_scene.h"
#include "json/json_text.h"
#include "scene/gltf/json_edit.h"

using gltftest::Gltf;
using gltftest::Json;
using gltftest::Nodes;
using gltftest::Read;
using gltftest::Rows;
using standin::StandinNode;

// Everything of the object moves, with the channels that drive it; what
// belongs to the node stays. A skinned mesh and a node without an object
// get no child.
TEST(GltfObject, AnObjectOffItsPivotMovesOntoAMarkedChildWithAllItHoldsAndComesBackWhenRead) {
    auto channel = [](const std::string& target) { return R"({"sampler": 0, "target": )" + target + "}"; };
    auto pointer = [&](const std::string& to) {
        return channel(R"({"path": "pointer", "extensions": {"KHR_animation_pointer": {"pointer": ")" + to + "\"}}}");
    };
    const std::string animations =
        R"("animations": [{"channels": [)" + channel(R"({"node": 0, "path": "weights"})") + ", " +
        channel(R"({"node": 0, "path": "rotation"})") + ", " + pointer("/nodes/0/weights") + ", " +
        pointer("/nodes/0/extensions/EXT_lights_ies/x") + ", " + pointer("/nodes/0/extensions/EXT_kept/x") + ", " +
        pointer("/nodes/0/scale") + ", " + channel(R"({"node": 1, "path": "weights"})") + "]}]";
    const std::string text = Gltf(R"("scenes": [{"nodes": [0, 1, 2]}], "nodes": [{"name": "Lamp", "mesh": 0,
        "weights": [0.5], "extensions": {"EXT_mesh_gpu_instancing": {"attributes": {}}, "EXT_lights_ies": {"light": 0},
        "KHR_lights_punctual": {"light": 0}, "EXT_kept": {}}, "extras": {"x": 1}},
        {"mesh": 0, "skin": 0, "weights": [0.5]}, {"name": "Group"}], )" +
                                  animations);
    auto file = Read(text);
    const NodeMatrix offset = Rows({0, 1, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 0, 2});
    for (StandinNode* node : Nodes(*file)) {
        node->SetObjectOffset(node == Nodes(*file)[0] ? NodeMatrix() : offset);
    }
    const std::string written = file->Content("scene.gltf", {}).Joined();
    const Json nodes = Json::parse(written)["nodes"];
    ASSERT_EQ(nodes.size(), 4u) << "one new node, for the lamp";
    EXPECT_EQ(nodes[0],
              Json::parse(R"({"name": "Lamp", "extensions": {"EXT_kept": {}}, "extras": {"x": 1}, "children": [3]})"));
    EXPECT_EQ(nodes[1], Json::parse(R"({"mesh": 0, "skin": 0, "weights": [0.5]})"));
    EXPECT_EQ(nodes[2], Json::parse(R"({"name": "Group"})"));
    EXPECT_EQ(nodes[3]["mesh"], 0);
    EXPECT_EQ(nodes[3]["weights"], Json::parse("[0.5]"));
    EXPECT_EQ(nodes[3]["extensions"], Json::parse(R"({"EXT_mesh_gpu_instancing": {"attributes": {}},
        "EXT_lights_ies": {"light": 0}, "KHR_lights_punctual": {"light": 0}})"));
    EXPECT_EQ(nodes[3]["extras"], Json::parse(R"({"morvaneObjectOf": 0})"));
    std::string moved = animations;
    for (const char* was :
         {R"("node": 0, "path": "weights")", "/nodes/0/weights", "/nodes/0/extensions/EXT_lights_ies"}) {
        std::string is = was;
        is.replace(is.find('0'), 1, "3");
        moved.replace(moved.find(was), is.size(), is);
    }
    EXPECT_EQ(Json::parse(written)["animations"], Json::parse("{" + moved + "}")["animations"]);

    auto reread = Read(written);
    StandinNode& lamp = *Nodes(*reread)[1];
    ASSERT_EQ(Nodes(*reread).size(), 4u) << "the object's node is no node of the scene";
    EXPECT_EQ(lamp.GetObject().superClass, 0x10u);
    EXPECT_LT(gltftest::Distance(lamp.ObjectOffset(), offset), 1e-6);
    lamp.SetObjectOffset(NodeMatrix());
    const Json back = Json::parse(reread->Content("scene.gltf", {}).Joined())["nodes"];
    ASSERT_EQ(back.size(), 4u) << "a later write keeps the object's node";
    EXPECT_FALSE(back[3].contains("translation") || back[3].contains("rotation"));
}

TEST(GltfObject, AnimationChannelsTellWhatOfWhichNodesTheyPlace) {
    auto pointer = [](const char* to) {
        return std::string(R"({"target": {"path": "pointer", "extensions": {"KHR_animation_pointer": {"pointer": ")") +
               to + "\"}}}}";
    };
    auto file = Read(Gltf(R"("scenes": [{"nodes": [0, 1, 2, 3, 4]}], "nodes": [{}, {}, {}, {}, {}],
        "animations": [{"channels": [{"target": {"node": 1, "path": "rotation"}}, {"target": {"node": 2, "path": "weights"}},
                                     {"target": {"node": 9, "path": "scale"}}, {"target": "odd"}]}, 5,
                       {"channels": [{"target": {"node": 1, "path": "scale"}}, )" +
                          pointer("/nodes/0/translation") + ", " + pointer("/nodes/3/matrix") + ", " +
                          pointer("/nodes/4/weights") + ", " + pointer("/nodes/04/rotation") + ", " +
                          pointer("/nodes/4") + ", " + pointer("/nodes/x/scale") + ", " + pointer("/nodes/9/scale") +
                          ", " + pointer("/cameras/4/rotation") + "]}]"));
    const auto nodes = Nodes(*file);
    auto parts = [&](std::size_t k) {
        const driver::AnimatedParts driven = file->DrivenByAnimation(*nodes[k]);
        return std::string(driven.translation ? "T" : "") + (driven.rotation ? "R" : "") + (driven.scale ? "S" : "");
    };
    EXPECT_EQ(parts(0), "");
    EXPECT_EQ(parts(1), "T") << "through a KHR_animation_pointer";
    EXPECT_EQ(parts(2), "RS");
    EXPECT_EQ(parts(3), "") << "morph weights do not place a node";
    EXPECT_EQ(parts(4), "TRS") << "a matrix is all of the placement";
    EXPECT_EQ(parts(5), "") << "no pointer that reaches a member of the node";
}

// The writer edits a node in place where it can; what it writes is always
// what rewriting the whole object gives, whatever the layout, the escapes
// in keys and strings, the nesting, and the changes (new, removed, twice).
TEST(GltfObject, EditingAnObjectInPlaceWritesWhatRewritingItWhole) {
    using driver::gltf::MemberChange;
    std::mt19937 random(23);
    auto pick = [&random](const auto& pool) { return pool[random() % pool.size()]; };
    const std::vector<std::string> blanks = {"", " ", "\n    ", "\t"};
    const std::vector<std::pair<std::string, std::string>> keys = {
        {"name", R"("name")"},   {"name", R"("n\u0061me")"}, {"mesh", R"("mesh")"},
        {"scale", R"("scale")"}, {"extras", R"("extras")"},  {"rotation", R"("rotation")"}};
    const std::vector<std::string> values = {"7",
                                             "-1.5e3",
                                             "true",
                                             "null",
                                             R"("a\"}],b")",
                                             "[]",
                                             "{}",
                                             R"({"x": [1, {"y": "]}"}], "z": {}})",
                                             "[[0.5, 2], \"[\"]"};
    for (int round = 0; round < 3000; ++round) {
        std::string object = "{" + pick(blanks);
        std::vector<std::string> present;
        for (int members = static_cast<int>(random() % 5); members > 0; --members) {
            const auto& [key, raw] = pick(keys);
            if (std::find(present.begin(), present.end(), key) == present.end()) {
                object += (present.empty() ? "" : pick(blanks) + "," + pick(blanks)) + raw + pick(blanks) + ":" +
                          pick(blanks) + pick(values);
                present.push_back(key);
            }
        }
        object += pick(blanks) + "}";
        std::vector<MemberChange> changes;
        for (int count = 1 + static_cast<int>(random() % 3); count > 0; --count) {
            const bool removed = random() % 5 == 0;
            changes.push_back({pick(keys).first, removed ? std::nullopt : std::optional(pick(values))});
        }
        const std::string text = "[1, " + object + "]";
        const driver::gltf::Span span{4, 4 + object.size()};
        const std::string whole =
            "[1, " + driver::gltf::ChangedObject(driver::gltf::JsonValue(text, span), changes) + "]";
        driver::TextEdits edits;
        driver::gltf::EditObject(text, span, changes, edits);
        ASSERT_EQ(edits.AppliedTo(text), whole) << object;
    }
}

// What a client that draws the file needs of each node, in the tools'
// order: its index in the file, the node that draws its object, and what
// that object holds. A light with a marked child stays a light (the child
// is a node of its own); a helper's marked child draws the helper's object;
// a joint is the node, whatever child draws its object.
TEST(GltfObject, EachNodeSaysWhereTheFileHoldsItAndWhatItHolds) {
    const std::string mesh = R"("mesh": 0)";
    auto file = Read(Gltf(R"("scenes": [{"nodes": [0, 2, 3, 5]}], "nodes": [
        {"name": "Lamp", "extensions": {"KHR_lights_punctual": {"light": 0}}, "children": [1]},
        {"name": "Shade", )" +
                          mesh + R"(, "extras": {"morvaneObjectOf": 0}},
        {"name": "Table", )" +
                          mesh + R"(, "skin": 0, "weights": [1], "extensions": {"EXT_mesh_gpu_instancing": {}}},
        {"name": "Empty", "children": [4]},
        {"name": "Moved", )" +
                          mesh + R"(, "extras": {"morvaneObjectOf": 3}},
        {"name": "Eye", "camera": 0}], "skins": [{"joints": [3, 5]}])"));
    struct Expected {
        std::size_t fileNode, objectNode;
        std::vector<std::string> holds;
    };
    const std::vector<Expected> expected = {
        {driver::kNoFileNode, driver::kNoFileNode, {}},   {0, 0, {"light"}},         {1, 1, {"mesh"}},
        {2, 2, {"mesh", "skin", "instances", "weights"}}, {3, 4, {"mesh", "joint"}}, {5, 5, {"camera", "joint"}}};
    for (std::size_t index = 0; index < expected.size(); ++index) {
        const driver::NodeSource source = file->SourceOf(index);
        EXPECT_EQ(source.fileNode, expected[index].fileNode) << index;
        EXPECT_EQ(source.objectNode, expected[index].objectNode) << index;
        EXPECT_EQ(std::vector<std::string>(source.holds.begin(), source.holds.end()), expected[index].holds) << index;
    }
    EXPECT_EQ(file->SourceOf(expected.size()).fileNode, driver::kNoFileNode);
    EXPECT_EQ(file->FileNodeName(1), "nodes[0]");
    EXPECT_EQ(file->FileNodeName(expected.size()), std::nullopt);
}

// The keys of a moved node are written in place only where nothing else
// reads their accessor: GPU instances that read it keep its numbers.
TEST(GltfObject, KeysSharedWithGpuInstancesGoToAnAccessorOfTheirOwn) {
    const struct {
        int instancesRead;  // the accessor of the instances' translations
        int keysAfter;      // the accessor of the moved node's keys
    } cases[] = {{1, 2}, {0, 1}};
    for (const auto& c : cases) {
        const std::string text = Gltf(R"("scenes": [{"nodes": [0, 1]}], "nodes": [{"name": "Box"},
            {"name": "Crowd", "extensions": {"EXT_mesh_gpu_instancing": {"attributes": {"TRANSLATION": )" +
                                      std::to_string(c.instancesRead) + R"(}}}}],
            "animations": [{"channels": [{"sampler": 0, "target": {"node": 0, "path": "translation"}}],
                            "samplers": [{"input": 0, "output": 1}]}],
            "accessors": [{"componentType": 5126, "count": 2, "type": "SCALAR", "min": [0], "max": [1]},
                          {"componentType": 5126, "count": 2, "type": "VEC3"}])");
        auto file = Read(text);
        Nodes(*file)[1]->SetTransform(Rows({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {10, 0, 0}));
        const Json written = Json::parse(file->Content("scene.gltf", {}).Joined());
        EXPECT_EQ(written["animations"][0]["samplers"][0]["output"], c.keysAfter) << text;
        EXPECT_EQ(written["nodes"][1], Json::parse(text)["nodes"][1]) << text;
        EXPECT_EQ(written["accessors"][1].value("bufferView", -1) == -1, c.keysAfter != 1) << text;
    }
}
