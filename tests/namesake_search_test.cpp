// A single look-up of the namesake index: the first other node of the same
// name in pre-order, and the host calls of its walk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "namesake_index.h"
#include "standin/standin_scene.h"

using standin::StandinNode;
using standin::StandinScene;

namespace {

SceneNode* FindNamesake(SceneNode* root, const char* name, SceneNode* excluded) {
    return pivot_tool::NamesakeIndex(root, {{name, excluded}}).NamesakeOf(0);
}

// root
//   A1
//     box01
//     A2
//   Box01
//     A3
//   Box
struct NamedScene {
    StandinScene scene{"root"};
    StandinNode& a1 = scene.AddNode(scene.Root(), "A");
    StandinNode& lowerBox = scene.AddNode(a1, "box01");
    StandinNode& a2 = scene.AddNode(a1, "A");
    StandinNode& box01 = scene.AddNode(scene.Root(), "Box01");
    StandinNode& a3 = scene.AddNode(box01, "A");
    StandinNode& box = scene.AddNode(scene.Root(), "Box");
    SceneNode* Find(StandinNode& node) { return FindNamesake(&scene.Root(), node.Name().c_str(), &node); }
};

}  // namespace

TEST(NamesakeLookUp, FindsTheFirstOtherNodeOfExactlyTheSameNameInPreOrder) {
    NamedScene s;
    EXPECT_EQ(s.Find(s.a1), &s.a2);
    EXPECT_EQ(s.Find(s.a2), &s.a1);
    EXPECT_EQ(s.Find(s.a3), &s.a1);
    // Case and prefixes make different names.
    EXPECT_EQ(s.Find(s.box01), nullptr);
    EXPECT_EQ(s.Find(s.lowerBox), nullptr);
    EXPECT_EQ(s.Find(s.box), nullptr);
    // The start node is compared first; the root can be a namesake.
    StandinNode& rootName = s.scene.AddNode(s.box, "root");
    EXPECT_EQ(s.Find(rootName), &s.scene.Root());
    // The excluded node's descendants are searched.
    EXPECT_EQ(FindNamesake(&s.a1, "A", &s.a1), &s.a2);
    EXPECT_EQ(FindNamesake(&s.box01, "A", nullptr), &s.a3);
}

TEST(NamesakeLookUp, AsksTheChildCountAgainBeforeEachChildAndStopsAtTheMatch) {
    NamedScene s;
    s.scene.Journal().Clear();
    ASSERT_EQ(FindNamesake(&s.scene.Root(), "A", &s.a1), &s.a2);
    std::vector<std::string> calls;
    for (const auto& call : s.scene.Journal().Calls()) {
        calls.push_back(call.operation + " " + call.node->Name() + (call.index >= 0 ? std::to_string(call.index) : ""));
    }
    // The excluded node's name is not asked for.
    const std::vector<std::string> expected{"NodeName root", "ChildCount root", "ChildNode root0",  "ChildCount A",
                                            "ChildNode A0",  "NodeName box01",  "ChildCount box01", "ChildCount A",
                                            "ChildNode A1",  "NodeName A"};
    EXPECT_EQ(calls, expected);
}

TEST(NamesakeLookUp, WalksAMillionDeepChainWithoutRecursion) {
    constexpr int kDepth = 1000000;
    StandinScene scene;
    scene.Journal().SetEnabled(false);
    StandinNode* tip = &scene.Root();
    for (int i = 0; i < kDepth; ++i) {
        tip = &scene.AddNode(*tip, i + 1 == kDepth ? "Tip" : "link");
    }
    StandinNode& late = scene.AddNode(scene.Root(), "Tip");
    EXPECT_EQ(FindNamesake(&scene.Root(), "Tip", tip), &late);
    EXPECT_EQ(FindNamesake(&scene.Root(), "Tip", &late), tip);
    EXPECT_EQ(FindNamesake(&scene.Root(), "none", nullptr), nullptr);
}
